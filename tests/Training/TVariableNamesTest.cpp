#include "Training/TVariableNames.h"

#include <gtest/gtest.h>

namespace glean {
namespace {

TEST(SanitisedName, KeepsOneWordTheRuleFileReads) {
    const struct {
        const char* Text;
        const char* Name;
    } rows[] = {
        {"sepal length (cm)", "sepal_length_cm"},
        {"  x  ", "x"},
        {"a__b", "a__b"},  // underscores are kept as written
        {"<is>", "is_"},   // a reserved word
        {"NOT", "NOT_"},
        {"Then", "Then_"},
        {"(%)", "fallback"},
        {"", "fallback"},
        {"od280/od315", "od280_od315"},
        {"temp=warm", "temp_warm"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(SanitisedName(row.Text, "fallback"), row.Name) << row.Text;
}

TEST(UniqueNames, NumbersRepeatsIgnoringCaseAndAvoidsTakenNames) {
    EXPECT_EQ(UniqueNames({"a", "A", "b", "a", "a_2"}),
              (std::vector<std::string>{"a", "A_3", "b", "a_4", "a_2"}));
    EXPECT_EQ(UniqueNames({"x", "y"}), (std::vector<std::string>{"x", "y"}));
}

TEST(TermNames, RunFromLowToHigh) {
    EXPECT_EQ(TermNames(2), (std::vector<std::string>{"Low", "High"}));
    EXPECT_EQ(TermNames(3), (std::vector<std::string>{"Low", "Medium", "High"}));
    EXPECT_EQ(TermNames(5).front(), "VeryLow");
    EXPECT_EQ(TermNames(6).back(), "Term6");
}

}  // namespace
}  // namespace glean
