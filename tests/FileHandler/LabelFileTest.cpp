#include "FileHandler/LabelFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "FileHandler/ParseTools.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

std::string Example() {
    std::ifstream file(GLEAN_TEST_DATA "/FileHandler/TwoInputsOneOutput.lbl", std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The text with its one occurrence of `from` replaced by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::unique_ptr<TOmbraLabel> Load(const std::string& text) {
    std::istringstream in(text);
    return LoadLabels(in);
}

std::string Saved(const TOmbraLabel& labels) {
    std::ostringstream out;
    SaveLabels(out, labels);
    return out.str();
}

void ExpectSameLabels(const TOmbraLabel& a, const TOmbraLabel& b) {
    ASSERT_EQ(a.InputMF, b.InputMF);
    ASSERT_EQ(a.OutputMF, b.OutputMF);
    for (int k = 0; k < a.Inputs; ++k)
        EXPECT_EQ(a.GetInputName(k), b.GetInputName(k));
    for (int k = 0; k < a.NumConditions; ++k) {
        EXPECT_EQ(a.GetConditionName(k), b.GetConditionName(k));
    }
    for (int k = 0; k < a.Outputs; ++k)
        EXPECT_EQ(a.GetOutputName(k), b.GetOutputName(k));
    for (int k = 0; k < a.NumActions; ++k)
        EXPECT_EQ(a.GetActionName(k), b.GetActionName(k));
}

// The labels of the example file, built by hand.
TOmbraLabel ExampleLabels() {
    TOmbraLabel labels(2, std::vector<int>{3, 3}, 1, std::vector<int>{2});
    labels.SetInputName(0, "InputA");
    labels.SetInputName(1, "InputB");
    for (int k = 0; k < 6; ++k)
        labels.SetConditionName(k, std::string(1, char('A' + k % 3)));
    labels.SetOutputName(0, "OutputA");
    labels.SetActionName(0, "A");
    labels.SetActionName(1, "B");
    return labels;
}

TEST(LabelFile, LoadsTheExample) {
    const auto labels = Load(Example());
    EXPECT_EQ(labels->Inputs, 2);
    EXPECT_EQ(labels->NumConditions, 6);
    EXPECT_EQ(labels->Outputs, 1);
    EXPECT_EQ(labels->NumActions, 2);
    ExpectSameLabels(*labels, ExampleLabels());
}

TEST(LabelFile, SaveWritesTheExampleByteForByte) {
    EXPECT_EQ(Saved(ExampleLabels()), Example());
}

TEST(LabelFile, RoundTrip) {
    EXPECT_EQ(Saved(*Load(Example())), Example());

    TOmbraLabel labels(3, std::vector<int>{1, 0, 2}, 2, std::vector<int>{2, 1});
    const char* const names[] = {"x", "y", "z", "p", "q", "r", "Out-1", "Out_2", "low", "hi", "ok"};
    const char* const* next = names;
    for (int k = 0; k < labels.Inputs; ++k)
        labels.SetInputName(k, *next++);
    for (int k = 0; k < labels.NumConditions; ++k)
        labels.SetConditionName(k, *next++);
    for (int k = 0; k < labels.Outputs; ++k)
        labels.SetOutputName(k, *next++);
    for (int k = 0; k < labels.NumActions; ++k)
        labels.SetActionName(k, *next++);
    const std::string text = Saved(labels);
    const auto loaded = Load(text);
    ExpectSameLabels(*loaded, labels);
    EXPECT_EQ(Saved(*loaded), text);

    const TOmbraLabel empty(0, {}, 0, {});
    EXPECT_EQ(Load(Saved(empty))->NumConditions, 0);
}

TEST(LabelFile, EntriesMayComeInAnyOrder) {
    std::string text = Replaced(Example(),
                                "[Condition=0 Label=A ]\n[Condition=1 Label=B ]\n"
                                "[Condition=2 Label=C ]",
                                "[Condition=2 Label=C ]\n[Condition=0 Label=A ]\n"
                                "[Condition=1 Label=B ]");
    text = Replaced(text, "[Input=0 MF=3 ]\n[Input=1 MF=3 ]", "[Input=1 MF=3 ]\n[Input=0 MF=3 ]");
    ExpectSameLabels(*Load(text), ExampleLabels());
}

TEST(LabelFile, KeywordsIgnoreLetterCase) {
    std::string text = Replaced(Example(), "[InputLabels]", "[inputlabels]");
    text = Replaced(text, "[~InputLabels]", "[~INPUTLABELS]");
    text = Replaced(text, "[Condition=4 Label=B ]", "[condition=4 LABEL=B ]");
    text = Replaced(text, "[Inputs = 2]", "[INPUTS = 2]");
    ExpectSameLabels(*Load(text), ExampleLabels());
}

TEST(LabelFile, NamePositionOutOfRangeFailsInTheSetter) {
    EXPECT_TEXCEPTION(Load(Replaced(Example(), "[Condition=5 Label=C ]", "[Condition=6 Label=X ]")),
                      "Condition number out of bounds", "Bad Parameter",
                      "TOmbraLabel::SetConditionName");
    EXPECT_TEXCEPTION(Load(Replaced(Example(), "[Input=0 Label=InputA ]", "[Input=-1 Label=X ]")),
                      "Input number out of bounds", "Bad Parameter", "TOmbraLabel::SetInputName");
    EXPECT_TEXCEPTION(Load(Replaced(Example(), "[Action=1 Label=B ]", "[Action=2 Label=B ]")),
                      "Action number out of bounds", "Bad Parameter", "TOmbraLabel::SetActionName");
}

TEST(LabelFile, UnsoundStructureIsRefused) {
    struct Row {
        const char* from;
        const char* to;
        const char* message;
    };
    const Row rows[] = {
        {"[Input=1 MF=3 ]", "[Input=2 MF=3 ]", "Input number out of bounds"},
        {"[Input=1 MF=3 ]", "[Input=-1 MF=3 ]", "Input number out of bounds"},
        {"[Input=1 MF=3 ]", "[Input=0 MF=3 ]", "Input number repeated"},
        {"[Output=0 MF=2 ]", "[Output=1 MF=2 ]", "Output number out of bounds"},
        {"[Input=1 MF=3 ]", "[Input=1 MF=-3 ]", "MF count out of bounds"},
        {"[Input=0 MF=3 ]\n[Input=1 MF=3 ]", "[Input=0 MF=2147483647 ]\n[Input=1 MF=1 ]",
         "MF count out of bounds"},
        {"[Inputs = 2]\n[InputMF]\n[Input=0 MF=3 ]\n[Input=1 MF=3 ]", "[Inputs = -1]\n[InputMF]",
         "Input count out of bounds"},
        {"[Outputs = 1]\n[OutputMF]\n[Output=0 MF=2 ]", "[Outputs = -5]\n[OutputMF]",
         "Output count out of bounds"},
        // The same name position twice leaves another name unset.
        {"[Condition=5 Label=C ]", "[Condition=4 Label=C ]", "Label name missing"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.to);
        EXPECT_TEXCEPTION(Load(Replaced(Example(), row.from, row.to)), row.message, "Bad File Data",
                          "TOmbraLabel::LoadLabels");
    }
}

TEST(LabelFile, SyntaxErrorsComeFromTheBlockReader) {
    struct Row {
        const char* from;
        const char* to;
        const char* message;
    };
    const Row rows[] = {
        {"[InputLabels]", "[InputLabel]", "[InputLabels] expected"},
        {"[~InputMF]", "[~InputMFs]", "Unexpected End Tag"},
        {"[Inputs = 2]", "[Inputs = two]", "integer-expected"},
        {"[Condition=3 Label=A ]", "[Condition=3 Name=A ]", "[Label = <string>] expectedName"},
        {"[Action=1 Label=B ]\n", "[Action=1 Label=B ]\n[Action=2 Label=C ]\n", "End Tag expected"},
        {"[~OmbraLabels]\n", "", "Unexpected end of file"},
        // Declared counts far beyond the file's entries fail on the file, without allocating them.
        {"[Inputs = 2]", "[Inputs = 2000000000]", "[Input = <integer>] expected"},
        {"[Input=1 MF=3 ]", "[Input=1 MF=2000000000 ]", "[Condition = <integer>] expected"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.to);
        EXPECT_THROW_TEXT(Load(Replaced(Example(), row.from, row.to)), FileTools::Error,
                          row.message);
    }
}

TEST(LabelFile, SaveRefusesNamesItCouldNotReadBack) {
    for (const char* name : {"", "two words", "a,b", "x=y", "[x]", "a/b", "tab\there"}) {
        SCOPED_TRACE(name);
        TOmbraLabel labels = ExampleLabels();
        labels.SetConditionName(2, name);
        std::ostringstream out;
        EXPECT_TEXCEPTION(SaveLabels(out, labels), "Label name not writable", "Bad Parameter",
                          "TOmbraLabel::SaveLabels");
        EXPECT_EQ(out.str(), "");
    }
    const TOmbraLabel unnamed(1, std::vector<int>{1}, 1, std::vector<int>{1});
    std::ostringstream out;
    EXPECT_TEXCEPTION(SaveLabels(out, unnamed), "Label name missing", "Bad Parameter",
                      "TOmbraLabel::SaveLabels");
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace glean
