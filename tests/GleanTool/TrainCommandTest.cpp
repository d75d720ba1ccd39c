#include "GleanTool/TrainCommand.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/TestSupport.h"
#include "tests/GleanTool/ToolRun.h"

namespace glean {
namespace {

namespace fs = std::filesystem;

using test::Tool;
using test::ToolRun;

TTrainJob Job(const std::vector<std::string>& options) {
    std::vector<std::string> words = {"in.dat", "out.wts"};
    words.insert(words.end(), options.begin(), options.end());
    return ParseTrainJob(words);
}

TEST(ParseTrainJob, ReadsEveryOption) {
    const TTrainJob job = Job({"--rules",          "5",
                               "--mf-in",          "2,3",
                               "--mf-out",         "4",
                               "--epochs",         "12",
                               "--rate",           "0.25",
                               "--momentum",       "0.5",
                               "--seed",           "18446744073709551615",
                               "--init",           "-0.5,2",
                               "--centres",        "output",
                               "--centre-rate",    "0.002",
                               "--centre-gap",     "0.15",
                               "--penalty",        "LWF",
                               "--penalty-params", "LEARNINGRATE=1,FORGETTINGRATE=1e-4",
                               "--test",           "t.dat",
                               "--consequents",    "positive"});
    EXPECT_EQ(job.DataFile, "in.dat");
    EXPECT_EQ(job.WeightsFile, "out.wts");
    EXPECT_EQ(job.TestFile, "t.dat");
    EXPECT_EQ(job.Rules, 5);
    EXPECT_EQ(job.MFIn, (std::vector<int>{2, 3}));
    EXPECT_EQ(job.MFOut, (std::vector<int>{4}));
    const TTrainingSettings& s = job.Settings;
    EXPECT_EQ(s.Epochs, 12);
    EXPECT_EQ(s.LearningRate, 0.25);
    EXPECT_EQ(s.Momentum, 0.5);
    EXPECT_EQ(s.Seed, 18446744073709551615ull);
    EXPECT_EQ(s.InitialMinimum, -0.5);
    EXPECT_EQ(s.InitialMaximum, 2.0);
    EXPECT_FALSE(s.TrainInputCentres);
    EXPECT_TRUE(s.TrainOutputCentres);
    EXPECT_EQ(s.CentreRate, 0.002);
    EXPECT_EQ(s.CentreGap, 0.15);
    EXPECT_EQ(s.Penalty.Name, "LWF");
    EXPECT_EQ(s.Penalty.GetParameter("FORGETTINGRATE").Name, "1e-4");
    EXPECT_TRUE(s.NonNegativeConsequents);

    const TTrainJob defaults = Job({"--rules", "2"});
    EXPECT_EQ(defaults.MFIn, (std::vector<int>{3}));
    EXPECT_EQ(defaults.MFOut, (std::vector<int>{2}));
    EXPECT_EQ(defaults.TestFile, "");
    EXPECT_EQ(defaults.Settings.Penalty.Name, "NONE");
    EXPECT_EQ(defaults.Settings.CentreRate, 0.0);
    EXPECT_EQ(defaults.Settings.CentreGap, 0.0);
    EXPECT_FALSE(defaults.Settings.NonNegativeConsequents);
    for (const char* centres : {"none", "input", "both"}) {
        const TTrainingSettings c = Job({"--rules", "2", "--centres", centres}).Settings;
        EXPECT_EQ(c.TrainInputCentres, centres != std::string("none")) << centres;
        EXPECT_EQ(c.TrainOutputCentres, centres == std::string("both")) << centres;
    }
}

TEST(ParseTrainJob, RefusesValuesItsOptionsCannotTake) {
    const struct {
        std::vector<std::string> Options;
        const char* Message;
    } cases[] = {
        {{}, "--rules is required"},
        {{"--epochs", "x"}, "--rules is required"},  // checked first
        {{"--rules", "two"}, "--rules needs a number, not \"two\""},
        {{"--rules", "2", "--rate", "0.1x"}, "--rate needs a number, not \"0.1x\""},
        {{"--rules", "2", "--rate", "inf"}, "--rate needs a finite number"},
        {{"--rules", "2", "--mf-in", "2,,3"}, "--mf-in needs a number, not \"\""},
        {{"--rules", "2", "--init", "1"}, "--init takes LOW,HIGH"},
        {{"--rules", "2", "--init", "0,1,2"}, "--init takes LOW,HIGH"},
        {{"--rules", "2", "--seed", "-1"}, "--seed needs a number, not \"-1\""},
        {{"--rules", "2", "--centre-gap", "wide"}, "--centre-gap needs a number, not \"wide\""},
        {{"--rules", "2", "--centres", "all"},
         "--centres takes none, input, output or both, not \"all\""},
        {{"--rules", "2", "--consequents", "negative"},
         "--consequents takes any or positive, not \"negative\""},
        {{"--rules", "2", "--penalty-params", "EPSILON1"},
         "--penalty-params takes KEY=VALUE pairs, not \"EPSILON1\""},
        {{"--rules", "2", "--penalty-params", "=1"},
         "--penalty-params takes KEY=VALUE pairs, not \"=1\""},
    };
    for (const auto& c : cases)
        EXPECT_THROW_TEXT(Job(c.Options), UsageError, c.Message);
}

// The csv and train commands through the program's dispatch: usage mistakes give 2 and the
// usage, failures 1, and a CSV file becomes a weight file the other commands read.
class TrainCommandRun : public test::ScratchFolderTest {
protected:
    TrainCommandRun() : ScratchFolderTest("glean-train-") {}
};

TEST_F(TrainCommandRun, UsageMistakesAndFailures) {
    const struct {
        std::vector<std::string> words;
        int code;
        std::string message;
    } cases[] = {
        {{"train", "a.dat"}, 2, "expected 2 file names, got 1"},
        {{"train", "a.dat", "b.wts"}, 2, "--rules is required"},
        {{"train", "a.dat", "b.wts", "--rules", "x"}, 2, "--rules needs a number, not \"x\""},
        {{"train", "a.dat", "b.wts", "--speed", "1"}, 2, "unknown option \"--speed\""},
        {{"csv", "a.csv", "b.dat", "--holdout-every", "3"},
         2,
         "--holdout-every and --holdout go together"},
        {{"train", Scratch("none.dat"), Scratch("b.wts"), "--rules", "2"},
         1,
         "Cannot read data set: " + Scratch("none.dat") + " (File Error; RunTrainJob)"},
        {{"csv", Scratch("none.csv"), Scratch("b.dat")},
         1,
         "Cannot open CSV file: " + Scratch("none.csv") + " (File Error; ConvertCsvFile)"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Tool(c.words);
        EXPECT_EQ(run.Code, c.code) << c.message;
        EXPECT_EQ(run.Err.rfind("GleanTool: " + c.message + "\n", 0), 0u) << run.Err;
        if (c.code == 2) {
            EXPECT_NE(run.Err.find("  train DATASET WEIGHTS"), std::string::npos);
        }
    }
    EXPECT_NE(ToolUsage().find("  csv CSV DATASET"), std::string::npos);
}

TEST_F(TrainCommandRun, CsvThenTrainThenFidelity) {
    {
        std::ofstream csv(Scratch("d.csv"));
        csv << "x,y,label\n";
        for (int i = 0; i < 24; ++i)
            csv << i << ',' << (i * 5) % 7 << ',' << (i < 12 ? "lo" : "hi") << '\n';
    }
    const ToolRun csv = Tool({"csv", Scratch("d.csv"), Scratch("d.dat"), "--class", "label",
                              "--holdout-every", "4", "--holdout", Scratch("t.dat")});
    ASSERT_EQ(csv.Code, 0) << csv.Err;
    EXPECT_EQ(csv.Out,
              "rows read 24, dropped for a missing value 0\n"
              "training rows 18, held-out rows 6, inputs 2, outputs 2\n");

    const ToolRun train = Tool({"train", Scratch("d.dat"), Scratch("d.wts"), "--rules", "2",
                                "--mf-in", "2", "--epochs", "50", "--test", Scratch("t.dat")});
    ASSERT_EQ(train.Code, 0) << train.Err;
    EXPECT_NE(train.Out.find("\nepoch 50 error "), std::string::npos);
    EXPECT_NE(train.Out.find("\nheld-out: error "), std::string::npos);

    const ToolRun fidelity =
        Tool({"fidelity", Scratch("d.wts"), Scratch("none.rul"), "--data", Scratch("t.dat")});
    // The weight file reads; only the missing rule file stops the run.
    EXPECT_EQ(fidelity.Code, 1);
    EXPECT_NE(fidelity.Err.find("none.rul"), std::string::npos) << fidelity.Err;
}

}  // namespace
}  // namespace glean
