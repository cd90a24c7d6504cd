// Text helpers shared by the plug-ins: the trim rule, cutting a line of text into words and telling
// callsign-like words apart. All work on UTF-16 one code unit at a time; surrogate halves are judged
// separately.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The trim rule drops the code units from U+0000 to U+0020: control characters and the plain space, not
// the Unicode white-space class (U+0085, U+00A0 and the separators above U+00FF stay).
constexpr bool IsTrimmed(char16_t c) {
    return c <= u' ';
}

// text without the code units of the trim rule at both ends; a view into text.
std::u16string_view Trim(std::u16string_view text);

// The classes a single code unit can fall into. Below U+0100 they follow a fixed Latin-1 table that
// deliberately departs from current Unicode data at U+00A7, U+00B6 (symbols) and U+00AD (punctuation);
// from U+0100 up they follow the Unicode general category.
enum class CharClass : std::uint8_t { None, WhiteSpace, Letter, Digit, Punctuation };

CharClass CharClassOf(char16_t c);

// Clears *words, then appends every white-space separated word of text that is at least minLength code
// units long, in order, duplicates included. Raises EAssertionFailed when words is null.
void SplitWords(const std::u16string& text, std::vector<std::u16string>* words, int32_t minLength);

// True when word holds at least one letter and one digit and no white space or punctuation.
bool IsCallsign(const std::u16string& word);
