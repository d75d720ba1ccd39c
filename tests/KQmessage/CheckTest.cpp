#include "KQmessage/Check.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace glean {
namespace {

TEST(Check, ThrowModeReportsExpressionUnitAndLine) {
    try {
        GLEAN_CHECK_TEXT(1 + 1 == 3, "index>=0");
        FAIL() << "check did not fire";
    } catch (const CheckFailure& failure) {
        EXPECT_EQ(failure.Expression(), "index>=0");
        EXPECT_EQ(failure.Unit(), "tests/KQmessage/CheckTest");
        EXPECT_GT(failure.Line(), 0);
    }
}

TEST(Check, PassingCheckDoesNothing) {
    EXPECT_NO_THROW(GLEAN_CHECK(2 > 1));
}

TEST(Check, SourceUnitDropsOnlyTheSourceExtension) {
    EXPECT_EQ(SourceUnit("NeuralNets/TBasicNetwork.cpp"), "NeuralNets/TBasicNetwork");
    EXPECT_EQ(SourceUnit("NeuralNets/TBasicNetwork.h"), "NeuralNets/TBasicNetwork.h");
}

TEST(CheckDeathTest, ExitModeEndsTheRunWithCodeOneAndAReport) {
    EXPECT_EXIT(
        {
            SetCheckAction(CheckAction::Exit);
            GLEAN_CHECK(sizeof(int) == 0);
        },
        testing::ExitedWithCode(1),
        "Internal check failed: sizeof\\(int\\) == 0, file tests/KQmessage/CheckTest, line [0-9]+");
}

}  // namespace
}  // namespace glean
