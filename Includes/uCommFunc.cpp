#include "Includes/uCommFunc.h"

#include "Includes/UnicodeCategory.h"
#include "PluginAPI/SysUtils.h"

#include <array>

namespace {

// The Latin-1 range is fixed rather than taken from the Unicode data so that it does not move with the
// Unicode version; the section sign and the pilcrow are symbols here, the soft hyphen is
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

// From U+0100 up the class follows the general category. No default: a category left out is a warning.
CharClass ClassOfCategory(GeneralCategory category) {
    using enum GeneralCategory;
    switch (category) {
    case Zs:
    case Zl:
    case Zp:
        return CharClass::WhiteSpace;
    case Lu:
    case Ll:
    case Lt:
    case Lm:
    case Lo:
        return CharClass::Letter;
    case Nd:
        return CharClass::Digit;
    case Pc:
    case Pd:
    case Ps:
    case Pe:
    case Pi:
    case Pf:
    case Po:
        return CharClass::Punctuation;
    case Mn:
    case Mc:
    case Me:
    case Nl:
    case No:
    case Sm:
    case Sc:
    case Sk:
    case So:
    case Cc:
    case Cf:
    case Cs:
    case Co:
    case Cn:
        break;
    }
    return CharClass::None;
}

} // namespace

CharClass CharClassOf(char16_t c) {
    if (c < Latin1Classes.size())
        return Latin1Classes[c];
    // Surrogate halves are Cs and so fall in no class.
    return ClassOfCategory(GeneralCategoryOf(c));
}

std::u16string_view Trim(std::u16string_view text) {
    while (!text.empty() && IsTrimmed(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsTrimmed(text.back()))
        text.remove_suffix(1);
    return text;
}

void SplitWords(const std::u16string& text, std::vector<std::u16string>* words, int32_t minLength) {
    Assert(words != nullptr, u"Includes\\uCommFunc", 36);
    words->clear();

    // The rest of the line is [begin, end); walking the indices keeps long lines linear.
    const std::u16string_view trimmed = Trim(text);
    std::size_t begin = static_cast<std::size_t>(trimmed.data() - text.data());
    const std::size_t end = begin + trimmed.size();

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
