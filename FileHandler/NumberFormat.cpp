#include "FileHandler/NumberFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "KQmessage/Check.h"

namespace glean {

namespace {

// "00" to "99": the digits of a number are made two at a time, the pairs independently.
constexpr std::array<char, 200> DigitPairs = [] {
    std::array<char, 200> pairs{};
    for (std::size_t n = 0; n < 100; ++n) {
        pairs[2 * n] = static_cast<char>('0' + n / 10);
        pairs[2 * n + 1] = static_cast<char>('0' + n % 10);
    }
    return pairs;
}();

void WriteDigitPair(char* out, std::uint32_t pair) {
    std::memcpy(out, DigitPairs.data() + 2 * pair, 2);
}

// "%g" for 0.0001 <= |value| < 999999.5, where it writes fixed notation: the six digits come from
// one product with an exact power of ten, whose rounding error (below 1e-10 at that scale)
// cannot change them unless the product lies next to a rounding tie or a power of ten. There,
// and outside that range, null: the caller formats exactly. Otherwise the end of the text.
char* WriteFixedGeneral(char* out, double value) {
    static constexpr std::array<double, 10> PowersOfTen{1e0, 1e1, 1e2, 1e3, 1e4,
                                                        1e5, 1e6, 1e7, 1e8, 1e9};
    constexpr double Margin = 1e-6;
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-4 && magnitude < 999999.5)) return nullptr;
    // The decimal exponent of the first digit, from -4 to 5, counted without branches. The
    // bounds are doubles near the powers of ten, so it may be one off next to one; the range
    // check of the scaled value corrects that.
    static constexpr std::array<double, 9> Decades{1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5};
    int exponent = -4;
    for (const double decade : Decades)
        exponent += magnitude >= decade ? 1 : 0;
    double scaled = magnitude * PowersOfTen[static_cast<std::size_t>(5 - exponent)];
    if (scaled < 1e5 && exponent > -4) {
        --exponent;
        scaled = magnitude * PowersOfTen[static_cast<std::size_t>(5 - exponent)];
    } else if (scaled >= 1e6 && exponent < 5) {
        ++exponent;
        scaled = magnitude * PowersOfTen[static_cast<std::size_t>(5 - exponent)];
    }
    if (!(scaled >= 1e5 + Margin && scaled < 1e6 - 0.5 - Margin)) return nullptr;
    const auto whole = static_cast<std::uint32_t>(scaled);  // scaled is positive: its floor
    const double fraction = scaled - whole;
    if (std::fabs(fraction - 0.5) < Margin) return nullptr;
    const std::uint32_t digits = whole + (fraction > 0.5 ? 1U : 0U);

    std::array<char, 6> six{};
    WriteDigitPair(six.data(), digits / 10000);
    WriteDigitPair(six.data() + 2, digits / 100 % 100);
    WriteDigitPair(six.data() + 4, digits % 100);
    std::size_t used = six.size();  // trailing zeros are dropped
    while (six[used - 1] == '0')    // the first digit is not zero
        --used;
    // The longest form is "-0.000123456".
    char* end = out;
    if (value < 0) *end++ = '-';
    if (exponent < 0) {
        *end++ = '0';
        *end++ = '.';
        end = std::fill_n(end, -exponent - 1, '0');
        end = std::copy_n(six.data(), used, end);
    } else {
        const auto integerDigits = static_cast<std::size_t>(exponent + 1);
        end = std::copy_n(six.data(), integerDigits, end);
        if (used > integerDigits) {
            *end++ = '.';
            end = std::copy_n(six.data() + integerDigits, used - integerDigits, end);
        }
    }
    return end;
}

}  // namespace

char* WriteGeneralNumber(char* out, double value) {
    if (char* end = WriteFixedGeneral(out, value)) return end;
    constexpr int kPrecision = 6;
    const auto [end, error] =
        std::to_chars(out, out + GeneralNumberSize, value, std::chars_format::general, kPrecision);
    GLEAN_CHECK(error == std::errc());
    return end;
}

}  // namespace glean
