#include "Includes/uCommFunc.h"

#include "PluginAPI/SysUtils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Words = std::vector<std::u16string>;

struct SplitCase {
    const char* name;
    std::u16string text;
    int32_t minLength;
    Words expected;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.text) << " min " << c.minLength;
}

class SplitWordsTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitWordsTest, YieldsTheWordsInOrder) {
    const SplitCase& c = GetParam();
    Words words;
    SplitWords(c.text, &words, c.minLength);
    EXPECT_EQ(words, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitWordsTest,
    testing::Values(SplitCase{"ShortWordDropped", u"  UR5ABC  UT1A  73 ", 3, {u"UR5ABC", u"UT1A"}},
                    SplitCase{"EmptyText", u"", 3, {}},
                    SplitCase{"OnlySpacesEvenWithMinimumZero", u"   ", 0, {}},
                    SplitCase{"ControlWhiteSpaceCuts", u"X\tY\r\nZ", 1, {u"X", u"Y", u"Z"}},
                    SplitCase{
                        "NoBreakSpaceKeepsEmptyWordAtMinimumZero", u"A\u00A0\u00A0B", 0, {u"A", u"", u"B"}},
                    SplitCase{"NoBreakSpaceEmptyWordDroppedAtMinimumOne", u"A\u00A0\u00A0B", 1, {u"A", u"B"}},
                    SplitCase{"NegativeMinimumKeepsEmptyWord", u"A\u00A0\u00A0B", -5, {u"A", u"", u"B"}},
                    SplitCase{"ControlInsideWordStays", u"XY\u0001 ZW", 1, {u"XY\u0001", u"ZW"}},
                    SplitCase{"ControlAfterCutIsTrimmed", u"A \u0001B", 1, {u"A", u"B"}},
                    SplitCase{"FullStopStaysInWord", u"NO.  UR5ABC", 3, {u"NO.", u"UR5ABC"}},
                    SplitCase{"CommaDoesNotCut", u"UR5ABC,UT1A", 3, {u"UR5ABC,UT1A"}},
                    SplitCase{"IdeographicSpaceCuts", u"UR5ABC\u3000UT1A", 3, {u"UR5ABC", u"UT1A"}},
                    SplitCase{"LineSeparatorCuts", u"A\u2028B", 1, {u"A", u"B"}},
                    SplitCase{"LengthEqualToMinimumKept", u"ABC AB", 3, {u"ABC"}},
                    SplitCase{"LeadingNextLineGivesEmptyWord", u"\u0085A", 0, {u"", u"A"}},
                    SplitCase{"TrailingNextLineGivesNoEmptyWord", u"A\u0085", 0, {u"A"}},
                    SplitCase{"DuplicatesKept", u"UT1A UT1A", 3, {u"UT1A", u"UT1A"}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(SplitWords, EmptiesAFilledListFirst) {
    Words words{u"OLD", u"STALE"};
    SplitWords(u"UR5ABC", &words, 3);
    EXPECT_EQ(words, Words{u"UR5ABC"});
    SplitWords(u"", &words, 3);
    EXPECT_TRUE(words.empty());
}

TEST(SplitWords, MissingListIsAnAssertionFailure) {
    try {
        SplitWords(u"UR5ABC", nullptr, 3);
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), u"Assertion failure (Includes\\uCommFunc, line 36)");
        EXPECT_STREQ(e.ClassName(), "EAssertionFailed");
    }
}

struct CallsignCase {
    const char* name;
    std::u16string word;
    bool expected;
};

void PrintTo(const CallsignCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.word);
}

class IsCallsignTest : public testing::TestWithParam<CallsignCase> {};

TEST_P(IsCallsignTest, Decides) {
    const CallsignCase& c = GetParam();
    EXPECT_EQ(IsCallsign(c.word), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IsCallsignTest,
    testing::Values(
        CallsignCase{"LettersAndDigit", u"UR5ABC", true}, CallsignCase{"LowerCase", u"ur5abc", true},
        CallsignCase{"DigitsAnywhere", u"R2D2", true}, CallsignCase{"DigitFirst", u"1A", true},
        CallsignCase{"Slash", u"UR5ABC/P", false}, CallsignCase{"HyphenMinus", u"UR5-ABC", false},
        CallsignCase{"FullStop", u"UR5ABC.", false}, CallsignCase{"Parentheses", u"(UR5ABC)", false},
        CallsignCase{"Apostrophe", u"UR5A'", false}, CallsignCase{"LowLine", u"UR5_A", false},
        CallsignCase{"MiddleDot", u"UR5A\u00B7", false}, CallsignCase{"PlusSign", u"UR5ABC+", true},
        CallsignCase{"DollarSign", u"UR5$", true}, CallsignCase{"Tilde", u"UR5A~", true},
        CallsignCase{"SectionSign", u"UR5A\u00A7", true}, CallsignCase{"Pilcrow", u"UR5A\u00B6", true},
        CallsignCase{"SoftHyphen", u"UR5A\u00AD", false}, CallsignCase{"NoDigit", u"UKRAINE", false},
        CallsignCase{"NoLetter", u"2018", false}, CallsignCase{"Empty", u"", false},
        CallsignCase{"Cyrillic", u"\u042E\u04205\u0410", true},
        CallsignCase{"SuperscriptTwo", u"UR\u00B2A", false},
        CallsignCase{"ArabicIndicDigit", u"UR\u0663A", true},
        CallsignCase{"CombiningMark", u"UR5A\u0301", true},
        CallsignCase{"SurrogatePair", u"\U000104005", false},
        CallsignCase{"NoBreakSpace", u"UR5\u00A0A", false},
        CallsignCase{"IdeographicSpace", u"UR5\u3000A", false}, CallsignCase{"EnDash", u"UR5\u2013A", false}),
    [](const testing::TestParamInfo<CallsignCase>& info) { return std::string(info.param.name); });

} // namespace
