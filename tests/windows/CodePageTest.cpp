// The system's ANSI and OEM code pages. The tests run with the code pages of an English Windows (Wine
// under LC_ALL=C.UTF-8): 1252 and 437.
#include "Platform/CodePage.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

class TCodePageTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetACP(), 1252u) << "the expectations below are those of code page 1252";
        ASSERT_EQ(GetOEMCP(), 437u) << "the expectations below are those of code page 437";
    }
};

struct TCase {
    const char16_t* text;
    const char* ansi; // code page 1252
    const char* oem;  // code page 437
};

TEST_F(TCodePageTest, ConvertsBothWaysInEachCodePage) {
    const TCase cases[] = {
        {u"", "", ""},
        {u"UR5ABC", "UR5ABC", "UR5ABC"},
        {u"caf\u00E9", "caf\xE9", "caf\x82"},
        {u"\u00C4\u00DF", "\xC4\xDF", "\x8E\xE1"},
        {u"\u20AC5",
         "\x80"
         "5",
         nullptr}, // the euro sign exists in 1252 only
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "ANSI bytes " << testing::PrintToString(std::string(c.ansi)));
        EXPECT_EQ(UnicodeToAnsi(c.text), c.ansi);
        EXPECT_EQ(AnsiToUnicode(c.ansi), c.text);
        if (c.oem != nullptr) {
            EXPECT_EQ(UnicodeToOem(c.text), c.oem);
            EXPECT_EQ(OemToUnicode(c.oem), c.text);
        }
    }
}

TEST_F(TCodePageTest, CharactersTheCodePageLacksBecomeQuestionMarksNotLookAlikes) {
    // Best fit would write "L" for "Ł" and "A" for "Ā": a path would then name a different file.
    EXPECT_EQ(UnicodeToAnsi(u"\u0141\u0100"), "??");
    EXPECT_EQ(UnicodeToAnsi(u"\u041F\u0435\u0442\u0440\u043E"), "?????");
    EXPECT_EQ(UnicodeToOem(u"\u0141\u20AC"), "??");
}

TEST_F(TCodePageTest, EveryByteDecodesAndNulsStayInTheText) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(AnsiToUnicode(all).size(), 256u);
    EXPECT_EQ(OemToUnicode(all).size(), 256u);
    EXPECT_EQ(AnsiToUnicode(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(AppendUtf16, WritesSurrogatePairsAndReplacesWhatIsNoScalarValue) {
    const std::pair<char32_t, std::u16string> cases[] = {
        {U'A', u"A"},
        {0x1F4FB, u"\xD83D\xDCFB"},
        {0xD800, u"\xFFFD"},
        {0x110000, u"\xFFFD"},
    };
    for (const auto& [cp, expected] : cases) {
        std::u16string out;
        AppendUtf16(out, cp);
        EXPECT_EQ(out, expected) << std::hex << static_cast<std::uint32_t>(cp);
    }
}

} // namespace
