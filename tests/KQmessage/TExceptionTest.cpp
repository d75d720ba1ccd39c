#include "KQmessage/TException.h"

#include <gtest/gtest.h>

#include "KQmessage/TKQstructure.h"

namespace glean {
namespace {

TEST(Strcasecmp, ComparesUpperCasedBytes) {
    EXPECT_EQ(strcasecmp("WeightFile", "WEIGHTFILE"), 0);
    EXPECT_EQ(strcasecmp("Input", "InputMF"), -1);
    EXPECT_EQ(strcasecmp("InputMF", "Input"), 1);
    EXPECT_EQ(strcasecmp("b", "A"), 1);
    EXPECT_EQ(strcasecmp("", ""), 0);
    // '_' (0x5F) lies between the upper- and lower-case letters: upper-casing decides the order.
    EXPECT_EQ(strcasecmp("a", "_"), -1);
    EXPECT_EQ(strcasecmp("\xE9", "a"), 1);  // bytes compare as unsigned
}

TEST(Strcasecmp, SameTextIgnoresCaseOnly) {
    EXPECT_TRUE(SameText("thresholdin", "ThresholdIn"));
    EXPECT_FALSE(SameText("threshold", "thresholdin"));
}

TEST(TException, CopiesKeepAllTextsAndShareDetails) {
    auto details = MakeError("bad");
    TException original("Bad MF Number", "Invalid Parameter", "TBasicMFSet::GetMF",
                        std::move(details));
    TException copy = original;
    EXPECT_EQ(copy.Message, "Bad MF Number");
    EXPECT_EQ(copy.Kind, "Invalid Parameter");
    EXPECT_EQ(copy.Operation, "TBasicMFSet::GetMF");
    ASSERT_NE(copy.Details, nullptr);
    EXPECT_EQ(copy.Details->GetParameter("type").Name, "bad");
    EXPECT_EQ(copy.Details, original.Details);
}

TEST(TException, TwoTextFormHasNoOperation) {
    TException e("Bad Rule File", "'is' expected");
    EXPECT_EQ(e.Kind, "'is' expected");
    EXPECT_TRUE(e.Operation.empty());
    EXPECT_EQ(e.Details, nullptr);
}

}  // namespace
}  // namespace glean
