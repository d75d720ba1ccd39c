#include "Training/TrainingCommands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "FileHandler/NetworkFile.h"
#include "Ombra/TOmbra.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

using Options = std::map<std::string, std::string>;

TTrainJob Job(const Options& options) {
    const std::vector<std::string> files = {"in.dat", "out.wts"};
    return TrainJobFromArguments(files, options);
}

TEST(TrainJobFromArguments, ReadsEveryOption) {
    const TTrainJob job = Job({{"rules", "5"},
                               {"mf-in", "2,3"},
                               {"mf-out", "4"},
                               {"epochs", "12"},
                               {"rate", "0.25"},
                               {"momentum", "0.5"},
                               {"seed", "18446744073709551615"},
                               {"init", "-0.5,2"},
                               {"centres", "output"},
                               {"centre-rate", "0.002"},
                               {"centre-gap", "0.15"},
                               {"penalty", "LWF"},
                               {"penalty-params", "LEARNINGRATE=1,FORGETTINGRATE=1e-4"},
                               {"test", "t.dat"},
                               {"consequents", "positive"}});
    EXPECT_EQ(job.DataFile, "in.dat");
    EXPECT_EQ(job.WeightsFile, "out.wts");
    EXPECT_EQ(job.TestFile, "t.dat");
    EXPECT_EQ(job.Rules, 5);
    EXPECT_EQ(job.MFIn, (std::vector<int>{2, 3}));
    EXPECT_EQ(job.MFOut, (std::vector<int>{4}));
    EXPECT_EQ(job.Settings.Epochs, 12);
    EXPECT_EQ(job.Settings.LearningRate, 0.25);
    EXPECT_EQ(job.Settings.Momentum, 0.5);
    EXPECT_EQ(job.Settings.Seed, 18446744073709551615ull);
    EXPECT_EQ(job.Settings.InitialMinimum, -0.5);
    EXPECT_EQ(job.Settings.InitialMaximum, 2.0);
    EXPECT_FALSE(job.Settings.TrainInputCentres);
    EXPECT_TRUE(job.Settings.TrainOutputCentres);
    EXPECT_EQ(job.Settings.CentreRate, 0.002);
    EXPECT_EQ(job.Settings.CentreGap, 0.15);
    EXPECT_EQ(job.Settings.Penalty.Name, "LWF");
    EXPECT_TRUE(job.Settings.NonNegativeConsequents);
    EXPECT_EQ(job.Settings.Penalty.GetParameter("FORGETTINGRATE").Name, "1e-4");

    const TTrainJob defaults = Job({{"rules", "2"}});
    EXPECT_EQ(defaults.MFIn, (std::vector<int>{3}));
    EXPECT_EQ(defaults.MFOut, (std::vector<int>{2}));
    EXPECT_EQ(defaults.Settings.Penalty.Name, "NONE");
    EXPECT_EQ(defaults.Settings.CentreRate, 0.0);
    EXPECT_EQ(defaults.Settings.CentreGap, 0.0);
}

TEST(TrainJobFromArguments, RefusesWhatItCannotUse) {
    auto usage = [](const Options& options, const std::string& text) {
        EXPECT_THROW_TEXT(Job(options), TrainingUsageError, text);
    };
    usage({}, "--rules is required");
    usage({{"rules", "2"}, {"speed", "1"}}, "unknown option --speed");
    usage({{"rules", "two"}}, "--rules needs a number, not \"two\"");
    usage({{"rules", "2"}, {"rate", "0.1x"}}, "--rate needs a number, not \"0.1x\"");
    usage({{"rules", "2"}, {"rate", "inf"}}, "--rate needs a finite number");
    usage({{"rules", "2"}, {"mf-in", "2,,3"}}, "--mf-in needs a number, not \"\"");
    usage({{"rules", "2"}, {"init", "1"}}, "--init takes LOW,HIGH");
    usage({{"rules", "2"}, {"centre-gap", "wide"}}, "--centre-gap needs a number, not \"wide\"");
    usage({{"rules", "2"}, {"centres", "all"}},
          "--centres takes none, input, output or both, not \"all\"");
    usage({{"rules", "2"}, {"consequents", "negative"}},
          "--consequents takes any or positive, not \"negative\"");
    usage({{"rules", "2"}, {"penalty-params", "EPSILON1"}},
          "--penalty-params takes KEY=VALUE pairs, not \"EPSILON1\"");
    const std::vector<std::string> one = {"in.dat"};
    EXPECT_THROW_TEXT(TrainJobFromArguments(one, {{"rules", "2"}}), TrainingUsageError,
                      "expected 2 file names, got 1");
}

TEST(CsvJobFromArguments, ReadsOptionsAndRefusesHalfAHoldOut) {
    const std::vector<std::string> files = {"a.csv", "a.dat"};
    const TCsvJob job = CsvJobFromArguments(files, {{"class", "species"},
                                                    {"holdout-every", "3"},
                                                    {"holdout", "b.dat"},
                                                    {"names", "a,b,species"}});
    EXPECT_EQ(job.Options.Names, (std::vector<std::string>{"a", "b", "species"}));
    EXPECT_EQ(job.Options.ClassColumn, "species");
    EXPECT_EQ(job.Options.HoldoutEvery, 3);
    EXPECT_EQ(job.HeldOutFile, "b.dat");
    EXPECT_THROW_TEXT(CsvJobFromArguments(files, {{"holdout-every", "3"}}), TrainingUsageError,
                      "--holdout-every and --holdout go together");
    EXPECT_THROW_TEXT(CsvJobFromArguments(files, {{"holdout-every", "1"}, {"holdout", "b.dat"}}),
                      TrainingUsageError, "--holdout-every must be >= 2");
    EXPECT_THROW_TEXT(CsvJobFromArguments(files, {{"outputs", "0"}}), TrainingUsageError,
                      "--outputs must be >= 1");
}

TEST(ExpandCounts, OneForAllOrOneEach) {
    EXPECT_EQ(ExpandCounts({3}, 2), (std::vector<int>{3, 3}));
    EXPECT_EQ(ExpandCounts({2, 4}, 2), (std::vector<int>{2, 4}));
    EXPECT_TEXCEPTION(ExpandCounts({2, 4}, 3), "MF counts do not fit the data set", "Bad Parameter",
                      "RunTrainJob");
}

// From CSV to a trained network file that Glean's reader accepts, through both commands.
TEST(RunJobs, CsvThenTrainWritesANetworkAndReportsTheFit) {
    const std::string dir = ::testing::TempDir();
    {
        std::ofstream csv(dir + "jobs.csv");
        csv << "x,y,label\n";
        for (int i = 0; i < 30; ++i)
            csv << i << ',' << (i * 7) % 11 << ',' << (i < 15 ? "lo" : "hi") << '\n';
    }
    const std::vector<std::string> csvFiles = {dir + "jobs.csv", dir + "jobs.dat"};
    std::ostringstream csvOut;
    RunCsvJob(CsvJobFromArguments(
                  csvFiles,
                  {{"class", "label"}, {"holdout-every", "5"}, {"holdout", dir + "jobs-test.dat"}}),
              csvOut);
    EXPECT_EQ(csvOut.str(), "training rows 24, held-out rows 6, inputs 2, outputs 2\n");

    const std::vector<std::string> trainFiles = {dir + "jobs.dat", dir + "jobs.wts"};
    std::ostringstream out;
    const int code =
        RunTrainJob(TrainJobFromArguments(trainFiles, {{"rules", "2"},
                                                       {"mf-in", "2"},
                                                       {"epochs", "200"},
                                                       {"rate", "0.3"},
                                                       {"test", dir + "jobs-test.dat"}}),
                    out);
    EXPECT_EQ(code, 0);
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("epoch 1 error ", 0), 0u);
    EXPECT_NE(text.find("\nepoch 200 error "), std::string::npos);
    EXPECT_NE(text.find("\ntraining: error "), std::string::npos);
    EXPECT_NE(text.find("\nheld-out: error "), std::string::npos);
    const std::string last = text.substr(text.find("held-out: "));
    EXPECT_NE(last.find(" accuracy "), std::string::npos) << last;
    FileTools tools;
    auto network = LoadNetworkFile(tools, dir + "jobs.wts");
    EXPECT_EQ(network->GetNetworkType(), "Ombra");
    EXPECT_EQ(dynamic_cast<TOmbra&>(*network).GetStructure().nRules, 2);
    for (const char* name : {"jobs.csv", "jobs.dat", "jobs.dat.scale", "jobs-test.dat", "jobs.wts"})
        std::remove((dir + name).c_str());
}

TEST(RunJobs, AHeldOutSetOfOtherColumnsIsRefusedBeforeTraining) {
    const std::string dir = ::testing::TempDir();
    const auto convert = [&dir](const char* name, const char* header, const char* row) {
        {
            std::ofstream csv(dir + name + std::string(".csv"));
            csv << header << '\n';
            for (int i = 0; i < 6; ++i)
                csv << i << ',' << row << '\n';
        }
        const std::vector<std::string> files = {dir + name + ".csv", dir + name + ".dat"};
        std::ostringstream out;
        RunCsvJob(CsvJobFromArguments(files, {}), out);
    };
    convert("fit-train", "x,y", "1");     // one input, one output
    convert("fit-test", "x,y,z", "1,2");  // two inputs
    const std::vector<std::string> files = {dir + "fit-train.dat", dir + "fit-train.wts"};
    std::ostringstream out;
    EXPECT_TEXCEPTION(
        RunTrainJob(TrainJobFromArguments(files, {{"rules", "2"}, {"test", dir + "fit-test.dat"}}),
                    out),
        "Data set does not fit the network", "Bad Data", "TFit");
    EXPECT_EQ(out.str(), "");  // not one epoch
    EXPECT_FALSE(std::ifstream(dir + "fit-train.wts").good());
    for (const char* name : {"fit-train.csv", "fit-train.dat", "fit-train.dat.scale",
                             "fit-test.csv", "fit-test.dat", "fit-test.dat.scale"})
        std::remove((dir + name).c_str());
}

TEST(RunJobs, MissingDataSetIsAClearError) {
    const std::vector<std::string> files = {"/nonexistent/none.dat", "x.wts"};
    std::ostringstream out;
    EXPECT_TEXCEPTION(RunTrainJob(TrainJobFromArguments(files, {{"rules", "2"}}), out),
                      "Cannot read data set: /nonexistent/none.dat", "File Error", "RunTrainJob");
}

TEST(RunJobs, AWeightFileThatCannotBeWrittenIsNamed) {
    const std::string dir = ::testing::TempDir();
    {
        std::ofstream csv(dir + "unwritten.csv");
        csv << "x,y\n";
        for (int i = 0; i < 6; ++i)
            csv << i << ',' << i % 2 << '\n';
    }
    const std::vector<std::string> csvFiles = {dir + "unwritten.csv", dir + "unwritten.dat"};
    std::ostringstream out;
    RunCsvJob(CsvJobFromArguments(csvFiles, {}), out);
    const std::vector<std::string> files = {dir + "unwritten.dat", "/nonexistent/out.wts"};
    EXPECT_TEXCEPTION(
        RunTrainJob(TrainJobFromArguments(files, {{"rules", "2"}, {"epochs", "1"}}), out),
        "Cannot write weight file: /nonexistent/out.wts", "File Error", "RunTrainJob");
    for (const char* name : {"unwritten.csv", "unwritten.dat", "unwritten.dat.scale"})
        std::remove((dir + name).c_str());
}

}  // namespace
}  // namespace glean
