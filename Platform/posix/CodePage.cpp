// On Linux UTF-8 is the system's code page.
#include "Platform/CodePage.h"

std::u16string AnsiToUnicode(std::string_view text) {
    return Utf8ToUtf16(text);
}

std::string UnicodeToAnsi(std::u16string_view text) {
    return Utf16ToUtf8(text);
}
