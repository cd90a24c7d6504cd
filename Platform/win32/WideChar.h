// The project's UTF-16 text (char16_t) at the wide Windows calls (wchar_t). Both are 16-bit UTF-16 code
// units on Windows, so the text passes as it is, without conversion.
#pragma once

#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t is a UTF-16 code unit on Windows");

inline const wchar_t* WidePtr(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}
inline wchar_t* WidePtr(char16_t* text) {
    return reinterpret_cast<wchar_t*>(text);
}
inline const wchar_t* WidePtr(const std::u16string& text) {
    return WidePtr(text.c_str());
}

inline const char16_t* Utf16Ptr(const wchar_t* text) {
    return reinterpret_cast<const char16_t*>(text);
}
inline char16_t* Utf16Ptr(wchar_t* text) {
    return reinterpret_cast<char16_t*>(text);
}
inline std::u16string Utf16String(const wchar_t* text) {
    return text == nullptr ? std::u16string() : std::u16string(Utf16Ptr(text));
}
