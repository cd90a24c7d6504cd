// The Unicode general category of a UTF-16 code unit, from a table generated out of the Unicode
// Character Database (tools/unicode/gen_general_categories.py), so that it needs no library and does
// not move with one.
#pragma once

#include <cstdint>

// The two-letter names of the Unicode Character Database. Surrogate code units are Cs; code points
// that the table's version leaves unassigned are Cn.
// clang-format off
enum class GeneralCategory : std::uint8_t {
    Lu, Ll, Lt, Lm, Lo,
    Mn, Mc, Me,
    Nd, Nl, No,
    Pc, Pd, Ps, Pe, Pi, Pf, Po,
    Sm, Sc, Sk, So,
    Zs, Zl, Zp,
    Cc, Cf, Cs, Co, Cn,
};
// clang-format on

GeneralCategory GeneralCategoryOf(char16_t c);

// The version of the Unicode Character Database the table was made from, e.g. "15.0.0".
const char* GeneralCategoryUnicodeVersion();
