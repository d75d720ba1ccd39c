#include "FileHandler/NumberFormat.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace glean {
namespace {

std::string PrintfG(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string GeneralNumber(double value) {
    std::array<char, GeneralNumberSize + 1> text{};
    text.back() = 'x';  // must stay
    char* end = WriteGeneralNumber(text.data(), value);
    EXPECT_EQ(text.back(), 'x');
    return std::string(text.data(), end);
}

TEST(WriteGeneralNumber, WritesWhatPrintfGWrites) {
    std::vector<double> values{0.0,
                               -0.0,
                               1.0,
                               -1.0,
                               0.5,
                               1e-4,
                               -1e-4,
                               9.99999e-5,
                               9.999995e-5,
                               0.0001000005,
                               0.1234565,
                               0.1234575,
                               2.5,
                               999999.4,
                               999999.5,
                               -999999.5,
                               999999.49999999988,
                               1e6,
                               123456.5,
                               100000.5,
                               0.3,
                               1.0 / 3.0,
                               5e-324,
                               1.7976931348623157e308,
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN()};
    for (const double base : {1e-4, 0.1, 1.0, 1e5, 1e6}) {
        values.push_back(std::nextafter(base, 0.0));
        values.push_back(std::nextafter(base, 2e6));
    }
    std::mt19937_64 random(2024);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_real_distribution<double> decades(-7.0, 8.0);
    for (int i = 0; i < 40000; ++i) {
        values.push_back(unit(random));                                        // typical weights
        values.push_back((i % 2 ? -1 : 1) * std::pow(10.0, decades(random)));  // any scale
        // Short decimals, many of them next to a rounding tie of the seventh digit.
        const auto digits = static_cast<double>(random() % 100000000);
        values.push_back(digits / std::pow(10.0, static_cast<double>(random() % 12)));
    }
    for (const double value : values)
        ASSERT_EQ(GeneralNumber(value), PrintfG(value)) << std::hexfloat << value;
}

}  // namespace
}  // namespace glean
