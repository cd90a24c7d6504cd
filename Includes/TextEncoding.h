// The encodings of the text files the plug-in reads and writes: the byte-order mark that names one, and
// the code units of UTF-16 in either byte order. One reading of these rules for the text-file reader and
// the settings store.
#pragma once

#include "PluginAPI/SysUtils.h"

#include <cstddef>
#include <string>
#include <string_view>

// Ansi is the system code page, without a byte-order mark.
enum class TTextEncoding { Ansi, Utf8, Utf16LE, Utf16BE };

struct TByteOrderMark {
    TTextEncoding Encoding = TTextEncoding::Ansi;
    std::size_t Size = 0; // bytes of the mark; 0 when there is none
};

// The mark at the start of bytes: EF BB BF, FF FE, FE FF, tested in that order.
TByteOrderMark ReadByteOrderMark(std::string_view bytes);

// Bytes per code unit: 2 for UTF-16, 1 for the 8-bit encodings.
std::size_t CodeUnitSize(TTextEncoding encoding);

// The code unit (a byte for the 8-bit encodings) that starts at byte offset.
char16_t CodeUnitAt(std::string_view bytes, std::size_t offset, TTextEncoding encoding);

// Text without a mark. Bytes that are not UTF-8 in UTF-8 text become U+FFFD; in UTF-16 an odd last
// byte, half a code unit, becomes U+FFFD; ANSI text is the system code page's (UTF-8 on Linux).
UnicodeString DecodeText(std::string_view bytes, TTextEncoding encoding);
std::string EncodeText(std::u16string_view text, TTextEncoding encoding);
