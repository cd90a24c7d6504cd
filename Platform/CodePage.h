// The system's code pages. On Linux UTF-8 plays both the ANSI and the OEM role; bytes that are not
// UTF-8 decode to U+FFFD and never fail. On Windows they are the system's ANSI (CP_ACP) and OEM (CP_OEMCP)
// code pages.
#pragma once

#include "Platform/Unicode.h"

#include <string>
#include <string_view>

std::u16string AnsiToUnicode(std::string_view text);
std::string UnicodeToAnsi(std::u16string_view text);

#if defined(_WIN32)
// Bytes the code page does not define decode to its default character; the conversion never fails.
std::u16string OemToUnicode(std::string_view text);
// A character the code page lacks becomes '?'.
std::string UnicodeToOem(std::u16string_view text);
#endif
