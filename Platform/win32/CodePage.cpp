// The ANSI (CP_ACP) and OEM (CP_OEMCP) code pages of the system, through MultiByteToWideChar and
// WideCharToMultiByte.
#include "Platform/CodePage.h"

#include "Platform/win32/WideChar.h"

#include <windows.h>

#include <climits>
#include <stdexcept>

namespace {

int CheckedLength(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("text too long for the system's code page conversion");
    return static_cast<int>(size);
}

// Without MB_ERR_INVALID_CHARS: a byte the code page does not define becomes its default character, so
// decoding never fails.
std::u16string Decode(UINT codePage, std::string_view text) {
    if (text.empty())
        return {};
    const int size = CheckedLength(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::u16string out(static_cast<std::size_t>(length), u'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, WidePtr(out.data()), length);
    return out;
}

// WC_NO_BEST_FIT_CHARS: a character the code page lacks becomes '?', which no file name may hold,
// instead of a look-alike ("Ł" as "L") that could name a different, existing file.
std::string Encode(UINT codePage, std::u16string_view text) {
    if (text.empty())
        return {};
    const int size = CheckedLength(text.size());
    const wchar_t* wide = WidePtr(text.data());
    const int length =
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, size, out.data(), length, nullptr, nullptr);
    return out;
}

} // namespace

std::u16string AnsiToUnicode(std::string_view text) {
    return Decode(CP_ACP, text);
}

std::string UnicodeToAnsi(std::u16string_view text) {
    return Encode(CP_ACP, text);
}

std::u16string OemToUnicode(std::string_view text) {
    return Decode(CP_OEMCP, text);
}

std::string UnicodeToOem(std::u16string_view text) {
    return Encode(CP_OEMCP, text);
}
