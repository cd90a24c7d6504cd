// The system's code pages. On Linux UTF-8 plays both the ANSI and the OEM role; bytes that are not
// UTF-8 decode to U+FFFD and never fail.
#pragma once

#include <string>
#include <string_view>

std::u16string AnsiToUnicode(std::string_view text);
std::string UnicodeToAnsi(std::u16string_view text);

// Appends one code point as UTF-16; values that are no Unicode scalar become U+FFFD.
void AppendUtf16(std::u16string& out, char32_t cp);

// The text with every control character (U+0000 to U+001F, U+007F and U+0080 to U+009F) shown as U+FFFD,
// for texts from outside (entry names, server replies, converter messages): a line end in one could
// forge lines of a report, an escape character could steer a terminal.
std::u16string ReplaceControlChars(std::u16string_view text);
