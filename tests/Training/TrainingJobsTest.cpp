#include "Training/TrainingJobs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "FileHandler/NetworkFile.h"
#include "Ombra/TOmbra.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

TTrainJob TrainJob(const std::string& dataFile, const std::string& weightsFile) {
    TTrainJob job;
    job.DataFile = dataFile;
    job.WeightsFile = weightsFile;
    job.Rules = 2;
    return job;
}

TCsvJob CsvJob(const std::string& csvFile, const std::string& dataFile) {
    TCsvJob job;
    job.CsvFile = csvFile;
    job.DataFile = dataFile;
    return job;
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
    TCsvJob csv = CsvJob(dir + "jobs.csv", dir + "jobs.dat");
    csv.Options.ClassColumn = "label";
    csv.Options.HoldoutEvery = 5;
    csv.HeldOutFile = dir + "jobs-test.dat";
    std::ostringstream csvOut;
    RunCsvJob(csv, csvOut);
    EXPECT_EQ(csvOut.str(),
              "rows read 30, dropped for a missing value 0\n"
              "training rows 24, held-out rows 6, inputs 2, outputs 2\n");

    TTrainJob train = TrainJob(dir + "jobs.dat", dir + "jobs.wts");
    train.MFIn = {2};
    train.Settings.Epochs = 200;
    train.Settings.LearningRate = 0.3;
    train.TestFile = dir + "jobs-test.dat";
    std::ostringstream out;
    const int code = RunTrainJob(train, out);
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
        std::ostringstream out;
        RunCsvJob(CsvJob(dir + name + ".csv", dir + name + ".dat"), out);
    };
    convert("fit-train", "x,y", "1");     // one input, one output
    convert("fit-test", "x,y,z", "1,2");  // two inputs
    TTrainJob job = TrainJob(dir + "fit-train.dat", dir + "fit-train.wts");
    job.TestFile = dir + "fit-test.dat";
    std::ostringstream out;
    EXPECT_TEXCEPTION(RunTrainJob(job, out), "Data set does not fit the network", "Bad Data",
                      "TFit");
    EXPECT_EQ(out.str(), "");  // not one epoch
    EXPECT_FALSE(std::ifstream(dir + "fit-train.wts").good());
    for (const char* name : {"fit-train.csv", "fit-train.dat", "fit-train.dat.scale",
                             "fit-test.csv", "fit-test.dat", "fit-test.dat.scale"})
        std::remove((dir + name).c_str());
}

TEST(RunJobs, MissingDataSetIsAClearError) {
    std::ostringstream out;
    EXPECT_TEXCEPTION(RunTrainJob(TrainJob("/nonexistent/none.dat", "x.wts"), out),
                      "Cannot read data set: /nonexistent/none.dat", "File Error", "RunTrainJob");
    EXPECT_EQ(LoadDataSetFile("/nonexistent/none.dat"), nullptr);
}

TEST(RunJobs, AWeightFileThatCannotBeWrittenIsNamed) {
    const std::string dir = ::testing::TempDir();
    {
        std::ofstream csv(dir + "unwritten.csv");
        csv << "x,y\n";
        for (int i = 0; i < 6; ++i)
            csv << i << ',' << i % 2 << '\n';
    }
    std::ostringstream out;
    RunCsvJob(CsvJob(dir + "unwritten.csv", dir + "unwritten.dat"), out);
    TTrainJob job = TrainJob(dir + "unwritten.dat", "/nonexistent/out.wts");
    job.Settings.Epochs = 1;
    EXPECT_TEXCEPTION(RunTrainJob(job, out), "Cannot write weight file: /nonexistent/out.wts",
                      "File Error", "RunTrainJob");
    for (const char* name : {"unwritten.csv", "unwritten.dat", "unwritten.dat.scale"})
        std::remove((dir + name).c_str());
}

}  // namespace
}  // namespace glean
