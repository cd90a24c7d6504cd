// The generated category table against Qt's character data, every UTF-16 code unit. The two come from
// different versions of the Unicode Character Database, so they may differ exactly where the newer
// version assigned a code point; each difference is listed and explained here.
#include "Includes/UnicodeCategory.h"
#include "Includes/uCommFunc.h"

#include <QChar>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

GeneralCategory FromQt(QChar::Category category) {
    using enum GeneralCategory;
    switch (category) {
    case QChar::Mark_NonSpacing:
        return Mn;
    case QChar::Mark_SpacingCombining:
        return Mc;
    case QChar::Mark_Enclosing:
        return Me;
    case QChar::Number_DecimalDigit:
        return Nd;
    case QChar::Number_Letter:
        return Nl;
    case QChar::Number_Other:
        return No;
    case QChar::Separator_Space:
        return Zs;
    case QChar::Separator_Line:
        return Zl;
    case QChar::Separator_Paragraph:
        return Zp;
    case QChar::Other_Control:
        return Cc;
    case QChar::Other_Format:
        return Cf;
    case QChar::Other_Surrogate:
        return Cs;
    case QChar::Other_PrivateUse:
        return Co;
    case QChar::Other_NotAssigned:
        return Cn;
    case QChar::Letter_Uppercase:
        return Lu;
    case QChar::Letter_Lowercase:
        return Ll;
    case QChar::Letter_Titlecase:
        return Lt;
    case QChar::Letter_Modifier:
        return Lm;
    case QChar::Letter_Other:
        return Lo;
    case QChar::Punctuation_Connector:
        return Pc;
    case QChar::Punctuation_Dash:
        return Pd;
    case QChar::Punctuation_Open:
        return Ps;
    case QChar::Punctuation_Close:
        return Pe;
    case QChar::Punctuation_InitialQuote:
        return Pi;
    case QChar::Punctuation_FinalQuote:
        return Pf;
    case QChar::Punctuation_Other:
        return Po;
    case QChar::Symbol_Math:
        return Sm;
    case QChar::Symbol_Currency:
        return Sc;
    case QChar::Symbol_Modifier:
        return Sk;
    case QChar::Symbol_Other:
        return So;
    }
    ADD_FAILURE() << "Qt category " << int(category) << " has no counterpart";
    return Cn;
}

struct Difference {
    char16_t unit;
    GeneralCategory qt;
    GeneralCategory table;
    bool operator==(const Difference&) const = default;
};

void PrintTo(const Difference& d, std::ostream* os) {
    *os << "U+" << std::hex << std::uppercase << int(d.unit) << " Qt " << std::dec << int(d.qt) << " table "
        << int(d.table);
}

} // namespace

TEST(UnicodeCategoryTable, MatchesQtButForCodePointsTheNewerVersionAssigned) {
    // The pair of versions the list below explains; another pair needs the list looked at again.
    ASSERT_STREQ(GeneralCategoryUnicodeVersion(), "15.0.0");
    ASSERT_EQ(QChar::currentUnicodeVersion(), QChar::Unicode_14_0);

    std::vector<Difference> differences;
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        const auto unit = static_cast<char16_t>(c);
        const GeneralCategory qt = FromQt(QChar::category(c));
        const GeneralCategory table = GeneralCategoryOf(unit);
        if (qt != table)
            differences.push_back({unit, qt, table});
    }

    // Unicode 15.0 assigned two code points of the Basic Multilingual Plane, both combining marks:
    // KANNADA SIGN COMBINING ANUSVARA ABOVE RIGHT and LAO YAMAKKAN.
    using enum GeneralCategory;
    const std::vector<Difference> expected{{0x0CF3, Cn, Mc}, {0x0ECE, Cn, Mn}};
    EXPECT_EQ(differences, expected);
    for (const Difference& d : differences)
        EXPECT_EQ(QChar::unicodeVersion(char32_t{d.unit}), QChar::Unicode_Unassigned) << int(d.unit);
}

// What the word splitter makes of the categories: the same classes as Qt's character tests give, for
// every code unit from U+0100 up, the version differences included (marks are in no class either way).
TEST(UnicodeCategoryTable, GivesTheWordSplitterTheClassesOfQtsData) {
    for (char32_t c = 0x100; c <= 0xFFFF; ++c) {
        // From U+0100 up Qt's tests are the category groups: Z*, L*, Nd and P*.
        const CharClass expected = QChar::isSpace(c)    ? CharClass::WhiteSpace
                                   : QChar::isLetter(c) ? CharClass::Letter
                                   : QChar::isDigit(c)  ? CharClass::Digit
                                   : QChar::isPunct(c)  ? CharClass::Punctuation
                                                        : CharClass::None;
        ASSERT_EQ(CharClassOf(static_cast<char16_t>(c)), expected) << "U+" << std::hex << int(c);
    }
}
