#include "Platform/CodePage.h"

#include "PluginAPI/SysUtils.h"

#include <gtest/gtest.h>

namespace {

TEST(ReplaceControlChars, ShowsEveryControlCharacterAsTheReplacementCharacter) {
    const struct {
        std::u16string text, shown;
    } cases[] = {
        {u"Список УР.pdf", u"Список УР.pdf"},
        {u"a\r\n* Done.", u"a\uFFFD\uFFFD* Done."},
        {u"\x1B[31mred\x1B[0m", u"\uFFFD[31mred\uFFFD[0m"},
        {std::u16string(u"a\0b\tc\x1F", 6), u"a\uFFFDb\uFFFDc\uFFFD"},
        // DEL and the C1 block go; the no-break space after it and a character beyond the BMP stay.
        {u"\x7F\x80\x9B\x9F\xA0 \U0001F4FB", u"\uFFFD\uFFFD\uFFFD\uFFFD\xA0 \U0001F4FB"},
        {u"", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceControlChars(c.text), c.shown) << StringToUtf8(c.text);
}

} // namespace
