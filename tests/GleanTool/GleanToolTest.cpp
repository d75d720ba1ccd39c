#include "GleanTool/GleanTool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

namespace glean {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int Code;
    std::string Out, Err;
};

ToolRun Tool(std::vector<std::string> words) {
    words.insert(words.begin(), "GleanTool");
    std::vector<const char*> argv;
    for (const std::string& word : words)
        argv.push_back(word.c_str());
    std::ostringstream out, err;
    const int code = RunGleanTool(int(argv.size()), argv.data(), out, err);
    return {code, out.str(), err.str()};
}

std::string Data(const char* name) {
    return std::string(GLEAN_TEST_DATA) + "/GleanTool/" + name;
}

class GleanToolRun : public testing::Test {
protected:
    void SetUp() override {
        // One folder per test and process: test programs may run side by side.
        const auto* test = testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() /
                  ("glean-tool-" + std::string(test->name()) + "-" + std::to_string(getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string Scratch(const char* name) const { return (folder_ / name).string(); }

    fs::path folder_;
};

TEST_F(GleanToolRun, UsageMistakesExitWithTwoAndTheUsage) {
    const struct {
        std::vector<std::string> Words;
        std::string Message;
    } cases[] = {
        {{}, "no command given"},
        {{"train"}, "unknown command \"train\""},
        {{"export", Data("fan.rul")}, "expected 2 file names, got 1"},
        {{"export", Data("fan.rul"), "x.txt"}, "the engine file must end in .fll, .fis or .fcl"},
        {{"export", Data("fan.rul"), "x.fll", "--speed", "1"}, "unknown option \"--speed\""},
        {{"export", Data("fan.rul"), "x.fll", "--outputs"}, "option \"--outputs\" needs a value"},
        {{"export", "a", "b.fll", "--outputs", "triangles", "--outputs", "singletons"},
         "option \"--outputs\" given twice"},
        {{"export", Data("fan.rul"), "x.fll", "--conjunction", "max"},
         "unknown conjunction \"max\" (minimum or product)"},
        {{"fidelity", "w", "r"}, "give either --grid or --data"},
        {{"fidelity", "w", "r", "--grid", "3", "--data", "d"}, "give either --grid or --data"},
        {{"fidelity", "w", "r", "--grid", "3x"}, "--grid needs a whole number, not \"3x\""},
    };
    for (const auto& c : cases) {
        const ToolRun run = Tool(c.Words);
        EXPECT_EQ(run.Code, 2) << c.Message;
        EXPECT_EQ(run.Err, "GleanTool: " + c.Message + "\n" + ToolUsage());
        EXPECT_EQ(run.Out, "");
    }
}

TEST_F(GleanToolRun, HelpGoesToStandardOutput) {
    const ToolRun run = Tool({"--help"});
    EXPECT_EQ(run.Code, 0);
    EXPECT_EQ(run.Out, ToolUsage());
    EXPECT_NE(run.Out.find("  export RULES ENGINE"), std::string::npos);
    EXPECT_NE(run.Out.find("  fidelity WEIGHTS RULES"), std::string::npos);
}

TEST_F(GleanToolRun, FailuresExitWithOneAndWriteNothing) {
    const std::string engine = Scratch("x.fis");
    const struct {
        std::vector<std::string> Words;
        std::string Message;
    } cases[] = {
        {{"export", Scratch("none.rul"), engine}, "cannot open " + Scratch("none.rul")},
        {{"export", Data("compound.rul"), engine}, "rule 5: FIS cannot mix \"and\" with \"or\""},
        {{"export", Data("fan.rul"), Scratch("no/such/folder/x.fll")},
         "cannot write " + Scratch("no/such/folder/x.fll")},
        {{"fidelity", Scratch("none.wts"), Data("fan.rul"), "--grid", "3"},
         Scratch("none.wts") + ": Error on File Open"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Tool(c.Words);
        EXPECT_EQ(run.Code, 1) << c.Message;
        EXPECT_EQ(run.Err, "GleanTool: " + c.Message + "\n");
    }
    EXPECT_FALSE(fs::exists(engine));
}

TEST_F(GleanToolRun, ARuleFileTheReaderRefusesNamesFileAndReason) {
    const std::string broken = Scratch("broken.rul");
    std::ofstream(broken) << "[FuzzyRules]\n[RuleType = Glean]\n[Nonsense]\n";
    const ToolRun run = Tool({"export", broken, Scratch("x.fll")});
    EXPECT_EQ(run.Code, 1);
    EXPECT_EQ(run.Err.rfind("GleanTool: " + broken + ": ", 0), 0u) << run.Err;
}

TEST_F(GleanToolRun, ExportWritesTheFormatOfTheExtension) {
    for (const char* name : {"fan.fll", "fan.FIS", "fan.fcl"}) {
        const ToolRun run =
            Tool({"export", Data("fan.rul"), Scratch(name), "--outputs", "triangles"});
        EXPECT_EQ(run.Code, 0) << run.Err;
        EXPECT_EQ(run.Out + run.Err, "");
        std::ifstream in(Scratch(name));
        std::string first;
        std::getline(in, first);
        const std::string expected =
            name == std::string("fan.FIS")
                ? "[System]"
                : std::string(name == std::string("fan.fll") ? "#" : "//") +
                      " Rules exported by GleanTool (triangles, minimum)";
        EXPECT_EQ(first, expected) << name;
    }
}

}  // namespace
}  // namespace glean
