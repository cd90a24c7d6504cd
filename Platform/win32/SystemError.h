// The system's own text for an error code: a Win32 error (GetLastError) or an HRESULT.
#pragma once

#include <cstdint>
#include <string>

// The text FormatMessageW gives, in the user's language, without its closing blanks, line break and full
// stop, so that it can end a sentence of ours; empty when the system has no text for the code.
std::u16string SysErrorMessage(std::uint32_t code);
// The same from the message table of a loaded module (winhttp.dll for WinHTTP's codes), falling back to the
// system's own table; empty when neither has a text for the code.
std::u16string SysErrorMessage(std::uint32_t code, const char16_t* module);
