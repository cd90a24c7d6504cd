// UTF-8 and UTF-16, the same on every platform.
#pragma once

#include <string>
#include <string_view>

// Bytes that are not UTF-8 decode to U+FFFD, one for each byte that starts no valid sequence; never fails.
std::u16string Utf8ToUtf16(std::string_view text);
// A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Appends one code point as UTF-16; values that are no Unicode scalar become U+FFFD.
void AppendUtf16(std::u16string& out, char32_t cp);

// The text with every control character (U+0000 to U+001F, U+007F and U+0080 to U+009F) shown as U+FFFD,
// for texts from outside (entry names, server replies, converter messages): a line end in one could
// forge lines of a report, an escape character could steer a terminal.
std::u16string ReplaceControlChars(std::u16string_view text);

// Every occurrence of from replaced by to, left to right, without rescanning what was put in; an empty
// from changes nothing.
std::u16string StringReplaceAll(std::u16string text, std::u16string_view from, std::u16string_view to);
