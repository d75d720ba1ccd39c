#include "GleanTool/ToolFiles.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "support/TestSupport.h"

namespace glean {
namespace {

TEST(NumberOption, TakesTheWholeTextAsTheTypeAsked) {
    EXPECT_EQ(NumberOption<int>("--rules", "12"), 12);
    EXPECT_EQ(NumberOption<int>("--grid", "-3"), -3);
    EXPECT_EQ(NumberOption<std::uint64_t>("--seed", "18446744073709551615"),
              18446744073709551615ull);
    EXPECT_EQ(NumberOption<double>("--rate", "1e-4"), 1e-4);
}

TEST(NumberOption, RefusesWhatIsNotWhollyANumberOfTheType) {
    const struct {
        const char* Text;
        const char* Type;  // i: int, u: std::uint64_t, d: double
    } refused[] = {{"", "i"},           {"2.5", "i"}, {" 2", "i"},   {"2 ", "i"},  {"+2", "i"},
                   {"2147483648", "i"}, {"-1", "u"},  {"0.1x", "d"}, {"1,5", "d"}, {"1e999", "d"}};
    for (const auto& row : refused) {
        SCOPED_TRACE(std::string(row.Type) + " \"" + row.Text + "\"");
        const std::string message = std::string("--x needs a number, not \"") + row.Text + "\"";
        switch (row.Type[0]) {
            case 'i':
                EXPECT_THROW_TEXT(NumberOption<int>("--x", row.Text), UsageError, message);
                break;
            case 'u':
                EXPECT_THROW_TEXT(NumberOption<std::uint64_t>("--x", row.Text), UsageError,
                                  message);
                break;
            default:
                EXPECT_THROW_TEXT(NumberOption<double>("--x", row.Text), UsageError, message);
        }
    }
    EXPECT_THROW_TEXT(NumberOption<int>("--grid", "3x", "a whole number"), UsageError,
                      "--grid needs a whole number, not \"3x\"");
    for (const char* text : {"inf", "-inf", "nan"}) {
        EXPECT_THROW_TEXT(NumberOption<double>("--rate", text), UsageError,
                          "--rate needs a finite number");
    }
}

TEST(ListOption, SplitsAtEveryCommaKeepingEmptyParts) {
    EXPECT_EQ(ListOption("a"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(ListOption(""), (std::vector<std::string>{""}));
    EXPECT_EQ(ListOption("2,,3"), (std::vector<std::string>{"2", "", "3"}));
    EXPECT_EQ(ListOption(",x,"), (std::vector<std::string>{"", "x", ""}));
}

TEST(ExceptionText, MessageThenKindAndOperation) {
    EXPECT_EQ(ExceptionText(TException("Bad MF Number", "Invalid Parameter", "TBasicMFSet::GetMF")),
              "Bad MF Number (Invalid Parameter; TBasicMFSet::GetMF)");
}

}  // namespace
}  // namespace glean
