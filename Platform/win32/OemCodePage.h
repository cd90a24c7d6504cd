// The system's OEM code page (CP_OEMCP): the code page of the names stored in RAR archives. The ANSI
// code page is behind the functions of Platform/CodePage.h.
#pragma once

#include <string>
#include <string_view>

// Bytes the code page does not define decode to its default character; the conversion never fails.
std::u16string OemToUnicode(std::string_view text);
// A character the code page lacks becomes '?'.
std::string UnicodeToOem(std::u16string_view text);
