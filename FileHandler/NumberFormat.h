// Numbers in the "%g" form of the block text, written fast: rule files carry hundreds of
// thousands of weights, and the general formatters take several times longer for the usual ones.
//
// Guarantee: the text is bit-identical to what printf writes for "%g", which is also what a
// stream writes with its default formatting (precision 6, no floatfield): six significant
// digits, trailing zeros and a trailing point dropped, fixed notation from 1e-4 up to (not
// including) 999999.5 in magnitude and exponent notation outside, "inf", "-inf" and "nan" as
// printf spells them.
//
// Fast path: a value in the fixed-notation range, whose six digits come from one product with
// an exact power of ten. Fallback: std::to_chars (general, precision 6), which rounds exactly,
// for every value where that product cannot prove its digits (next to a rounding tie of the
// seventh digit or to a power of ten) and for all others (exponent notation, zero, infinities,
// NaN).
#pragma once

#include <cstddef>

namespace glean {

// The room WriteGeneralNumber may use: "-1.79769e+308", the longest, takes 13.
inline constexpr std::size_t GeneralNumberSize = 16;

// Writes `value` at `out` as "%g" writes it, in at most GeneralNumberSize characters and with no
// terminating zero, and returns the end of the text.
char* WriteGeneralNumber(char* out, double value);

}  // namespace glean
