#include "Ombra/TOmbraLabel.h"

#include <gtest/gtest.h>

#include <climits>

#include "support/TestSupport.h"

namespace glean {
namespace {

TOmbraLabel TwoInputsOneOutput() {
    const std::vector<int> inputMF{3, 2};
    const std::vector<int> outputMF{4};
    return TOmbraLabel(2, inputMF, 1, outputMF);
}

TEST(TOmbraLabel, CountsAndTotals) {
    const TOmbraLabel labels = TwoInputsOneOutput();
    EXPECT_EQ(labels.Inputs, 2);
    EXPECT_EQ(labels.NumConditions, 5);
    EXPECT_EQ(labels.InputMF, (std::vector<int>{3, 2}));
    EXPECT_EQ(labels.Outputs, 1);
    EXPECT_EQ(labels.NumActions, 4);
    EXPECT_EQ(labels.OutputMF, (std::vector<int>{4}));
    EXPECT_FALSE(labels.Complete());

    const TOmbraLabel empty(0, {}, 0, {});
    EXPECT_EQ(empty.NumConditions, 0);
    EXPECT_TRUE(empty.Complete());
}

TEST(TOmbraLabel, StructureOutOfBoundsIsRefused) {
    const std::vector<int> one{1};
    const std::vector<int> negative{-1};
    const std::vector<int> huge{INT_MAX, 1};
    EXPECT_TEXCEPTION(TOmbraLabel(-1, {}, 0, {}), "Label structure out of bounds", "Bad Parameter",
                      "TOmbraLabel::TOmbraLabel");
    EXPECT_TEXCEPTION(TOmbraLabel(2, one, 0, {}), "Label structure out of bounds", "Bad Parameter",
                      "TOmbraLabel::TOmbraLabel");
    EXPECT_TEXCEPTION(TOmbraLabel(1, one, 1, negative), "Label structure out of bounds",
                      "Bad Parameter", "TOmbraLabel::TOmbraLabel");
    EXPECT_TEXCEPTION(TOmbraLabel(2, huge, 0, {}), "Label structure out of bounds", "Bad Parameter",
                      "TOmbraLabel::TOmbraLabel");
}

TEST(TOmbraLabel, SettersCopyAndReplace) {
    TOmbraLabel labels = TwoInputsOneOutput();
    std::string name = "Speed";
    labels.SetInputName(1, name);
    name = "changed";
    EXPECT_EQ(labels.GetInputName(1), "Speed");
    labels.SetInputName(1, "Rate");
    EXPECT_EQ(labels.GetInputName(1), "Rate");
    labels.SetConditionName(4, "High");
    EXPECT_EQ(labels.GetConditionName(4), "High");
    labels.SetOutputName(0, "Power");
    EXPECT_EQ(labels.GetOutputName(0), "Power");
    labels.SetActionName(3, "Max");
    EXPECT_EQ(labels.GetActionName(3), "Max");
}

TEST(TOmbraLabel, CompleteOnlyWhenEveryNameIsSet) {
    TOmbraLabel labels = TwoInputsOneOutput();
    for (int i = 0; i < labels.Inputs; ++i)
        labels.SetInputName(i, "I");
    for (int i = 0; i < labels.NumConditions; ++i)
        labels.SetConditionName(i, "C");
    for (int i = 0; i < labels.Outputs; ++i)
        labels.SetOutputName(i, "O");
    for (int i = 0; i < labels.NumActions - 1; ++i)
        labels.SetActionName(i, "A");
    EXPECT_FALSE(labels.Complete());
    labels.SetActionName(labels.NumActions - 1, "");  // an empty name is still a name
    EXPECT_TRUE(labels.Complete());
}

TEST(TOmbraLabel, AbsentNameFailsTheCheck) {
    const TOmbraLabel labels = TwoInputsOneOutput();
    test::ExpectGuardsFire({
        {"an input without a name", [&] { labels.GetInputName(0); }},
        {"an action without a name", [&] { labels.GetActionName(3); }},
    });
}

TEST(TOmbraLabel, IndexOutOfBounds) {
    TOmbraLabel labels = TwoInputsOneOutput();
    struct Row {
        int index;
        void (TOmbraLabel::*set)(int, const std::string&);
        const std::string& (TOmbraLabel::*get)(int) const;
        const char* message;
        const char* setter;
        const char* getter;
    };
    const Row rows[] = {
        {2, &TOmbraLabel::SetInputName, &TOmbraLabel::GetInputName, "Input number out of bounds",
         "SetInputName", "GetInputName"},
        {5, &TOmbraLabel::SetConditionName, &TOmbraLabel::GetConditionName,
         "Condition number out of bounds", "SetConditionName", "GetConditionName"},
        {1, &TOmbraLabel::SetOutputName, &TOmbraLabel::GetOutputName, "Output number out of bounds",
         "SetOutputName", "GetOutputName"},
        {4, &TOmbraLabel::SetActionName, &TOmbraLabel::GetActionName, "Action number out of bounds",
         "SetActionName", "GetActionName"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        for (const int index : {-1, row.index, INT_MAX}) {
            EXPECT_TEXCEPTION((labels.*row.set)(index, "x"), row.message, "Bad Parameter",
                              std::string("TOmbraLabel::") + row.setter);
            EXPECT_TEXCEPTION((void)(labels.*row.get)(index), row.message, "Bad Parameter",
                              std::string("TOmbraLabel::") + row.getter);
        }
        // The last valid index is inside.
        (labels.*row.set)(row.index - 1, "last");
        EXPECT_EQ((labels.*row.get)(row.index - 1), "last");
    }
}

}  // namespace
}  // namespace glean
