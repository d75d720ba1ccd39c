#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "GleanTool/GleanTool.h"
#include "tests/GleanTool/ToolRun.h"

namespace glean {
namespace {

namespace fs = std::filesystem;

using test::Tool;
using test::ToolRun;

// The csv and train commands through the program's dispatch: usage mistakes give 2 and the
// usage, failures 1, and a CSV file becomes a weight file the other commands read.
class TrainCommandRun : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("glean-train-" + std::to_string(getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string Scratch(const char* name) const { return (folder / name).string(); }

    fs::path folder;
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
    EXPECT_EQ(csv.Out, "training rows 18, held-out rows 6, inputs 2, outputs 2\n");

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
