#include "Includes/TextEncoding.h"

#include "Platform/CodePage.h"

TByteOrderMark ReadByteOrderMark(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return {TTextEncoding::Utf8, 3};
    if (bytes.starts_with("\xFF\xFE"))
        return {TTextEncoding::Utf16LE, 2};
    if (bytes.starts_with("\xFE\xFF"))
        return {TTextEncoding::Utf16BE, 2};
    return {};
}

std::size_t CodeUnitSize(TTextEncoding encoding) {
    return encoding == TTextEncoding::Utf16LE || encoding == TTextEncoding::Utf16BE ? 2 : 1;
}

char16_t CodeUnitAt(std::string_view bytes, std::size_t offset, TTextEncoding encoding) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    switch (encoding) {
    case TTextEncoding::Utf16LE:
        return static_cast<char16_t>(byte(offset) | byte(offset + 1) << 8);
    case TTextEncoding::Utf16BE:
        return static_cast<char16_t>(byte(offset) << 8 | byte(offset + 1));
    case TTextEncoding::Ansi:
    case TTextEncoding::Utf8:
        break;
    }
    return byte(offset);
}

UnicodeString DecodeText(std::string_view bytes, TTextEncoding encoding) {
    if (encoding == TTextEncoding::Utf8)
        return Utf8ToString(bytes);
    if (encoding == TTextEncoding::Ansi)
        return AnsiToUnicode(bytes);
    UnicodeString text;
    text.reserve(bytes.size() / 2 + 1);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(CodeUnitAt(bytes, i, encoding));
    if (bytes.size() % 2 != 0)
        text.push_back(u'\uFFFD');
    return text;
}

std::string EncodeText(std::u16string_view text, TTextEncoding encoding) {
    if (encoding == TTextEncoding::Utf8)
        return StringToUtf8(text);
    if (encoding == TTextEncoding::Ansi)
        return UnicodeToAnsi(text);
    // The byte of each code unit that comes first.
    const int firstShift = encoding == TTextEncoding::Utf16BE ? 8 : 0;
    std::string bytes(text.size() * 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<char>(text[i] >> firstShift);
        bytes[2 * i + 1] = static_cast<char>(text[i] >> (8 - firstShift));
    }
    return bytes;
}
