// libFuzzer target for the word splitting and the callsign test. Input: one byte that becomes the
// minimum length (signed), then UTF-16 little-endian code units (a trailing odd byte is ignored).
// The results are checked against invariants and against a plain model of the rules built on its own
// classification of code units.
#include "Includes/uCommFunc.h"

#include "PluginAPI/SysUtils.h"

#include <QChar>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what, std::size_t detail = 0) {
    std::fprintf(stderr, "invariant broken: %s (%zu)\n", what, detail);
    std::abort();
}

void Check(bool condition, const char* what, std::size_t detail = 0) {
    if (!condition)
        Fail(what, detail);
}

struct Range {
    char16_t first;
    char16_t last;
};

// The Latin-1 classes written as ranges, apart from the table the library uses.
constexpr Range Latin1WhiteSpace[] = {{0x09, 0x0D}, {0x20, 0x20}, {0x85, 0x85}, {0xA0, 0xA0}};
constexpr Range Latin1Letters[] = {{u'A', u'Z'}, {u'a', u'z'}, {0xAA, 0xAA}, {0xB5, 0xB5},
                                   {0xBA, 0xBA}, {0xC0, 0xD6}, {0xD8, 0xF6}, {0xF8, 0xFF}};
constexpr Range Latin1Digits[] = {{u'0', u'9'}};
constexpr Range Latin1Punctuation[] = {{0x21, 0x23}, {0x25, 0x2A}, {0x2C, 0x2F}, {0x3A, 0x3B}, {0x3F, 0x40},
                                       {0x5B, 0x5D}, {0x5F, 0x5F}, {0x7B, 0x7B}, {0x7D, 0x7D}, {0xA1, 0xA1},
                                       {0xAB, 0xAB}, {0xAD, 0xAD}, {0xB7, 0xB7}, {0xBB, 0xBB}, {0xBF, 0xBF}};

template <std::size_t N> bool InRanges(char16_t c, const Range (&ranges)[N]) {
    for (const Range& r : ranges)
        if (c >= r.first && c <= r.last)
            return true;
    return false;
}

template <std::size_t N> bool HasCategory(char16_t c, const QChar::Category (&categories)[N]) {
    const QChar::Category category = QChar::category(char32_t{c});
    for (const QChar::Category candidate : categories)
        if (category == candidate)
            return true;
    return false;
}

constexpr QChar::Category SeparatorCategories[] = {QChar::Separator_Space, QChar::Separator_Line,
                                                   QChar::Separator_Paragraph};
constexpr QChar::Category LetterCategories[] = {QChar::Letter_Uppercase, QChar::Letter_Lowercase,
                                                QChar::Letter_Titlecase, QChar::Letter_Modifier,
                                                QChar::Letter_Other};
constexpr QChar::Category DigitCategories[] = {QChar::Number_DecimalDigit};
constexpr QChar::Category PunctuationCategories[] = {
    QChar::Punctuation_Connector, QChar::Punctuation_Dash,         QChar::Punctuation_Open,
    QChar::Punctuation_Close,     QChar::Punctuation_InitialQuote, QChar::Punctuation_FinalQuote,
    QChar::Punctuation_Other};

bool IsSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

bool IsWhiteSpace(char16_t c) {
    return c < 0x100 ? InRanges(c, Latin1WhiteSpace) : !IsSurrogate(c) && HasCategory(c, SeparatorCategories);
}
bool IsLetter(char16_t c) {
    return c < 0x100 ? InRanges(c, Latin1Letters) : !IsSurrogate(c) && HasCategory(c, LetterCategories);
}
bool IsDigit(char16_t c) {
    return c < 0x100 ? InRanges(c, Latin1Digits) : !IsSurrogate(c) && HasCategory(c, DigitCategories);
}
bool IsPunctuation(char16_t c) {
    return c < 0x100 ? InRanges(c, Latin1Punctuation)
                     : !IsSurrogate(c) && HasCategory(c, PunctuationCategories);
}

CharClass ModelClass(char16_t c) {
    const int memberships = IsWhiteSpace(c) + IsLetter(c) + IsDigit(c) + IsPunctuation(c);
    Check(memberships <= 1, "model classes overlap", c);
    if (IsWhiteSpace(c))
        return CharClass::WhiteSpace;
    if (IsLetter(c))
        return CharClass::Letter;
    if (IsDigit(c))
        return CharClass::Digit;
    if (IsPunctuation(c))
        return CharClass::Punctuation;
    return CharClass::None;
}

bool ModelIsCallsign(const std::u16string& word) {
    bool letter = false, digit = false, rejected = false;
    for (const char16_t c : word) {
        letter |= IsLetter(c);
        digit |= IsDigit(c);
        rejected |= IsWhiteSpace(c) || IsPunctuation(c);
    }
    return letter && digit && !rejected;
}

std::u16string ModelTrim(std::u16string s) {
    while (!s.empty() && s.back() <= u' ')
        s.pop_back();
    while (!s.empty() && s.front() <= u' ')
        s.erase(0, 1);
    return s;
}

// The rules taken word for word, with string copies; fine for fuzzing-sized inputs.
std::vector<std::u16string> ModelSplit(const std::u16string& text, int32_t minLength) {
    std::vector<std::u16string> words;
    std::u16string rest = ModelTrim(text);
    while (!rest.empty()) {
        std::size_t cut = 0;
        while (cut < rest.size() && !IsWhiteSpace(rest[cut]))
            ++cut;
        const std::u16string word = rest.substr(0, cut);
        rest = cut < rest.size() ? rest.substr(cut + 1) : std::u16string();
        if (static_cast<int64_t>(word.size()) >= minLength)
            words.push_back(word);
        rest = ModelTrim(rest);
    }
    return words;
}

void CheckCallsign(const std::u16string& word) {
    Check(IsCallsign(word) == ModelIsCallsign(word), "IsCallsign differs from the model", word.size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every code unit once: the library's classes against the model's.
    for (char32_t c = 0; c <= 0xFFFF; ++c)
        Check(CharClassOf(static_cast<char16_t>(c)) == ModelClass(static_cast<char16_t>(c)),
              "CharClassOf differs from the model", c);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const int32_t minLength = static_cast<std::int8_t>(data[0]);
    std::u16string text;
    for (std::size_t i = 1; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));

    // A filled list must come back holding only this text's words.
    std::vector<std::u16string> words{u"LEFTOVER"};
    SplitWords(text, &words, minLength);

    std::size_t searchFrom = 0;
    for (const std::u16string& word : words) {
        Check(static_cast<int64_t>(word.size()) >= minLength, "word shorter than the minimum", word.size());
        for (const char16_t c : word)
            Check(CharClassOf(c) != CharClass::WhiteSpace && !IsWhiteSpace(c), "white space inside a word",
                  c);
        Check(word.empty() || word.front() > u' ', "word starts with a trimmed code unit", word.front());
        const std::size_t at = text.find(word, searchFrom);
        Check(at != std::u16string::npos, "word not found in order", searchFrom);
        searchFrom = at + word.size();
        CheckCallsign(word);
    }
    Check(words == ModelSplit(text, minLength), "SplitWords differs from the model", words.size());

    CheckCallsign(text);
    return 0;
}
