#include "Ombra/Glean/Glean.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "FileHandler/ParseTools.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

GleanParameters Read(const std::string& text) {
    std::istringstream in(text);
    GleanParameters parameters;
    ReadParameters(in, parameters);
    return parameters;
}

TEST(ReadParameters, CompleteFile) {
    const GleanParameters p = Read(
        "WeightFile = net.wts\nLabelFile = net.lbl\nThresholdIn = 0.5\nThresholdOut = 0.3\n"
        "RuleFile = net.rul\n");
    EXPECT_EQ(p.WeightFile, "net.wts");
    EXPECT_EQ(p.LabelFile, "net.lbl");
    EXPECT_EQ(p.ThresholdIn, 0.5);
    EXPECT_EQ(p.ThresholdOut, 0.3);
    EXPECT_EQ(p.RuleFile, "net.rul");
}

TEST(ReadParameters, OptionalItemsStayUnsetWhenNotNamed) {
    const GleanParameters p = Read("weightfile = a RULEFILE = b");
    EXPECT_EQ(p.WeightFile, "a");
    EXPECT_EQ(p.RuleFile, "b");
    EXPECT_FALSE(p.LabelFile);
    EXPECT_FALSE(p.ThresholdIn);
    EXPECT_FALSE(p.ThresholdOut);
    EXPECT_EQ(Read("").WeightFile, "");
}

TEST(ReadParameters, KeysIgnoreLetterCase) {
    const GleanParameters p =
        Read("WEIGHTFILE = w labelfile = l thresholdin = 1 THRESHOLDOUT = 2 rULEfILE = r");
    EXPECT_EQ(p.WeightFile, "w");
    EXPECT_EQ(p.LabelFile, "l");
    EXPECT_EQ(p.ThresholdIn, 1);
    EXPECT_EQ(p.ThresholdOut, 2);
    EXPECT_EQ(p.RuleFile, "r");
}

TEST(ReadParameters, SeparatorIsOneUncheckedCharacter) {
    EXPECT_EQ(Read("WeightFile =net.wts").WeightFile, "net.wts");
    EXPECT_EQ(Read("WeightFile\n:\n\tnet.wts").WeightFile, "net.wts");
    EXPECT_EQ(Read("ThresholdIn #-0.25").ThresholdIn, -0.25);
    // Without a separator the value's first character is taken for it.
    EXPECT_EQ(Read("WeightFile net.wts").WeightFile, "et.wts");
    // A key glued to its separator is one unknown word, and so is its value.
    const GleanParameters glued = Read("WeightFile=net.wts RuleFile= r.rul");
    EXPECT_EQ(glued.WeightFile, "");
    EXPECT_EQ(glued.RuleFile, "");
}

TEST(ReadParameters, UnknownWordsAreSkippedOneByOne) {
    const GleanParameters p =
        Read("# a stray line of words\nWeightFile = w\nComment: RuleFile = r Threshold = 9\n");
    EXPECT_EQ(p.WeightFile, "w");
    EXPECT_EQ(p.RuleFile, "r");
    EXPECT_FALSE(p.ThresholdIn);
    // A value is never taken for a key.
    EXPECT_EQ(Read("WeightFile = RuleFile").RuleFile, "");
}

TEST(ReadParameters, LaterKeysOverwrite) {
    const GleanParameters p =
        Read("WeightFile = a ThresholdIn = 1 weightfile = b THRESHOLDIN = 2 WeightFile =c");
    EXPECT_EQ(p.WeightFile, "c");
    EXPECT_EQ(p.ThresholdIn, 2);
}

TEST(ReadParameters, FileKeyWithoutValueAtTheEndChangesNothing) {
    const GleanParameters p = Read("LabelFile = l WeightFile = w LabelFile =");
    EXPECT_EQ(p.LabelFile, "l");
    EXPECT_EQ(p.WeightFile, "w");
    const GleanParameters bare = Read("LabelFile");
    EXPECT_FALSE(bare.LabelFile);
}

TEST(ReadParameters, ThresholdThatIsNotANumberStopsTheRead) {
    // A number must be the whole word: "0,5" once read as 0 and skipped ",5".
    for (const char* text :
         {"ThresholdIn = abc RuleFile = r", "ThresholdIn =", "ThresholdIn", "ThresholdIn = 1e999",
          "ThresholdIn = 0,5", "ThresholdIn = 0.5x", "ThresholdIn = 1e", "ThresholdIn = 0x1p3"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW_TEXT(Read(text), ParameterFileError, "ThresholdIn is not a number");
    }
    EXPECT_THROW_TEXT(Read("thresholdout = x"), ParameterFileError, "ThresholdOut is not a number");
    // Every form stream extraction reads whole stays a number.
    const struct {
        const char* Text;
        double Value;
    } numbers[] = {{"0.5", 0.5}, {"+.5", 0.5}, {"-5e-1", -0.5}, {"5E-1", 0.5}, {"1.", 1.0}};
    for (const auto& number : numbers) {
        const GleanParameters p =
            Read(std::string("ThresholdOut = ") + number.Text + " RuleFile = r");
        EXPECT_EQ(p.ThresholdOut, number.Value) << number.Text;
        EXPECT_EQ(p.RuleFile, "r");
    }
}

TEST(ReadParameters, WordsAreAtMostAsLongAsInEveryOtherFile) {
    // A key word beyond 255 characters is one unknown word, never cut into a known key.
    const std::string longKey = std::string(300, 'x') + "RuleFile";
    EXPECT_EQ(Read(longKey + " = r").RuleFile, "");
    const std::string longest(1024, 'n');
    const GleanParameters p = Read("WeightFile = " + longest + " RuleFile = r");
    EXPECT_EQ(p.WeightFile, longest);
    EXPECT_EQ(p.RuleFile, "r");
    // One character more, in any place of a word, and the read stops: an endless word (a
    // parameter file of /dev/zero) never fills memory.
    for (const std::string& text : {"WeightFile = " + longest + "n", longest + "x",
                                    "ThresholdIn = " + longest + "1", std::string(5000, '\0')}) {
        EXPECT_THROW_TEXT(Read(text), ParameterFileError, "Word longer than 1024 characters");
    }
}

}  // namespace
}  // namespace glean

namespace glean {
namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(ExtractRuleFile, RunsTheWholeJobOnStreams) {
    const std::string data = std::string(GLEAN_TEST_DATA) + "/../e2e/";
    std::istringstream weights(ReadWhole(data + "data/tiny.wts"));
    std::istringstream labels(ReadWhole(data + "data/tiny.lbl"));
    GleanParameters parameters;
    parameters.ThresholdIn = 0.5;
    parameters.ThresholdOut = 0.5;
    std::ostringstream rules;
    ExtractRuleFile(weights, &labels, parameters, rules);
    EXPECT_EQ(rules.str(), ReadWhole(data + "cases/run_labels_both_thresholds/expected/rules.out"));
}

// The tiny network of the end-to-end cases with its labels and both thresholds at 0.5.
GleanParameters TinyParameters() {
    const std::string data = std::string(GLEAN_TEST_DATA) + "/../e2e/data/";
    GleanParameters parameters;
    parameters.WeightFile = data + "tiny.wts";
    parameters.LabelFile = data + "tiny.lbl";
    parameters.ThresholdIn = 0.5;
    parameters.ThresholdOut = 0.5;
    return parameters;
}

std::string Written(TGleanRules& rules) {
    std::ostringstream out;
    rules.Write(out);
    return out.str();
}

TEST(GleanRules, StreamedAndHeldRulesWriteTheProgramsFile) {
    const std::string expected = ReadWhole(std::string(GLEAN_TEST_DATA) +
                                           "/../e2e/cases/run_labels_both_thresholds/expected/"
                                           "rules.out");
    TGleanRules rules(TinyParameters());
    EXPECT_EQ(rules.Inputs().GetMFSet(0)->Name, "Level");  // named before any rule is made
    EXPECT_EQ(Written(rules), expected);
    EXPECT_EQ(Written(rules), expected);  // streaming leaves the network as it was
    const TFuzzyRuleSet& held = rules.Rules();
    EXPECT_EQ(&rules.Rules(), &held);
    EXPECT_EQ(held.RuleList->numRules(), 1);
    EXPECT_EQ(Written(rules), expected);
    EXPECT_EQ(&rules.Outputs(), held.OutputMFList.get());

    const std::string file = testing::TempDir() + "glean-rules.rul";
    rules.Save(file);
    const std::unique_ptr<TGleanRules> read = TGleanRules::FromRuleFile(file);
    EXPECT_EQ(Written(*read), expected);
}

TEST(GleanRules, FilesThatCannotBeOpenedOrWritten) {
    GleanParameters parameters = TinyParameters();
    parameters.LabelFile = "no-such.lbl";
    EXPECT_THROW_TEXT(TGleanRules{parameters}, FileAccessError,
                      "Unable to open label file no-such.lbl");
    parameters.WeightFile = "no-such.wts";  // the weight file is read first
    EXPECT_THROW_TEXT(TGleanRules{parameters}, FileTools::OpenError, "Error on File Open");
    EXPECT_THROW_TEXT(TGleanRules::FromRuleFile("no-such.rul"), FileAccessError,
                      "Unable to open rule file no-such.rul");
    TGleanRules rules(TinyParameters());
    EXPECT_THROW_TEXT(rules.Save("no-such-folder/x.rul"), FileAccessError,
                      "Unable to open file no-such-folder/x.rul");
    EXPECT_THROW_TEXT(rules.Save("/dev/full"), FileAccessError, "Unable to write file /dev/full");
}

TEST(ExtractRuleFile, ReportsFailuresAsExceptions) {
    std::istringstream notANetwork("[DataSet]");
    std::ostringstream rules;
    EXPECT_THROW(ExtractRuleFile(notANetwork, nullptr, GleanParameters{}, rules), FileTools::Error);
    EXPECT_TRUE(rules.str().empty());
}

}  // namespace
}  // namespace glean
