#include "Includes/uCommFunc.h"

#include "PluginAPI/SysUtils.h"

#include <QChar>

#include <array>

namespace {

// The Latin-1 range is fixed rather than taken from the Unicode data so that it does not move with the
// library's Unicode version; the section sign and the pilcrow are symbols here, the soft hyphen is
// punctuation. N marks a code unit in no class.
constexpr std::array<CharClass, 0x100> Latin1Classes = [] {
    constexpr CharClass N = CharClass::None;
    constexpr CharClass W = CharClass::WhiteSpace;
    constexpr CharClass L = CharClass::Letter;
    constexpr CharClass D = CharClass::Digit;
    constexpr CharClass P = CharClass::Punctuation;
    return std::array<CharClass, 0x100>{
        N, N, N, N, N, N, N, N, N, W, W, W, W, W, N, N, // 00
        N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, // 10
        W, P, P, P, N, P, P, P, P, P, P, N, P, P, P, P, // 20
        D, D, D, D, D, D, D, D, D, D, P, P, N, N, N, P, // 30
        P, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, // 40
        L, L, L, L, L, L, L, L, L, L, L, P, P, P, N, P, // 50
        N, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, // 60
        L, L, L, L, L, L, L, L, L, L, L, P, N, P, N, N, // 70
        N, N, N, N, N, W, N, N, N, N, N, N, N, N, N, N, // 80
        N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, // 90
        W, P, N, N, N, N, N, N, N, N, L, P, N, P, N, N, // A0
        N, N, N, N, N, L, N, P, N, N, L, P, N, N, N, P, // B0
        L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, // C0
        L, L, L, L, L, L, L, N, L, L, L, L, L, L, L, L, // D0
        L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, L, // E0
        L, L, L, L, L, L, L, N, L, L, L, L, L, L, L, L, // F0
    };
}();

CharClass ClassOfCategory(QChar::Category category) {
    switch (category) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return CharClass::WhiteSpace;
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
        return CharClass::Letter;
    case QChar::Number_DecimalDigit:
        return CharClass::Digit;
    case QChar::Punctuation_Connector:
    case QChar::Punctuation_Dash:
    case QChar::Punctuation_Open:
    case QChar::Punctuation_Close:
    case QChar::Punctuation_InitialQuote:
    case QChar::Punctuation_FinalQuote:
    case QChar::Punctuation_Other:
        return CharClass::Punctuation;
    default:
        return CharClass::None;
    }
}

// The trim rule drops control characters and the plain space, not the Unicode white-space class.
bool IsTrimmed(char16_t c) {
    return c <= u' ';
}

} // namespace

CharClass CharClassOf(char16_t c) {
    if (c < Latin1Classes.size())
        return Latin1Classes[c];
    // Surrogate halves come out as Other_Surrogate and so fall in no class.
    return ClassOfCategory(QChar::category(char32_t{c}));
}

void SplitWords(const std::u16string& text, std::vector<std::u16string>* words, int32_t minLength) {
    Assert(words != nullptr, u"Includes\\uCommFunc", 36);
    words->clear();

    // The rest of the line is [begin, end); walking the indices keeps long lines linear.
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (end > begin && IsTrimmed(text[end - 1]))
        --end;
    while (begin < end && IsTrimmed(text[begin]))
        ++begin;

    while (begin < end) {
        std::size_t cut = begin;
        while (cut < end && CharClassOf(text[cut]) != CharClass::WhiteSpace)
            ++cut;
        const std::size_t length = cut - begin;
        // Compared in 64 bits so that no line length wraps against a negative minimum.
        if (static_cast<int64_t>(length) >= int64_t{minLength})
            words->emplace_back(text, begin, length);
        begin = cut < end ? cut + 1 : end;
        // The end of the rest is already trimmed; only its front can start with trimmed code units.
        while (begin < end && IsTrimmed(text[begin]))
            ++begin;
    }
}

bool IsCallsign(const std::u16string& word) {
    bool hasLetter = false;
    bool hasDigit = false;
    for (const char16_t c : word) {
        switch (CharClassOf(c)) {
        case CharClass::Letter:
            hasLetter = true;
            break;
        case CharClass::Digit:
            hasDigit = true;
            break;
        case CharClass::WhiteSpace:
        case CharClass::Punctuation:
            return false;
        case CharClass::None:
            break;
        }
    }
    return hasLetter && hasDigit;
}
