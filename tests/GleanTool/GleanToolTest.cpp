#include "GleanTool/GleanTool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <unistd.h>

#include "tests/GleanTool/ToolRun.h"

namespace glean {
namespace {

namespace fs = std::filesystem;

using test::Tool;
using test::ToolRun;

std::string Data(const char* name) {
    return std::string(GLEAN_TEST_DATA) + "/GleanTool/" + name;
}

std::string Example(const char* name) {
    return std::string(GLEAN_TEST_DATA) + "/../../examples/fan/" + name;
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
        {{"prune"}, "unknown command \"prune\""},
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
        {{"svg", Data("fan.rul")}, "expected 2 file names, got 1"},
        {{"svg", Data("fan.rul"), "p", "--weights", "w"},
         "give both --weights and --data, or neither"},
        {{"svg", Data("fan.rul"), "p", "--data", "d"},
         "give both --weights and --data, or neither"},
        {{"svg", Data("fan.rul"), "p", "--outputs", "triangles"}, "unknown option \"--outputs\""},
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
    EXPECT_NE(run.Out.find("  svg RULES PREFIX"), std::string::npos);
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
        {{"svg", Scratch("none.rul"), Scratch("fan")}, "cannot open " + Scratch("none.rul")},
        {{"svg", Data("fan.rul"), Scratch("no/such/fan")},
         "cannot write " + Scratch("no/such/fan") + "-Temperature.svg"},
        {{"svg", Data("fan.rul"), Scratch("fan"), "--weights", Example("fan.wts"), "--data",
          Scratch("none.dat")},
         "cannot read the data set " + Scratch("none.dat")},
        {{"svg", Data("fan.rul"), Scratch("fan"), "--weights", Scratch("none.wts"), "--data",
          Example("samples.dat")},
         Scratch("none.wts") + ": Error on File Open"},
        {{"svg", Data("fan.rul"), Scratch("fan"), "--weights",
          std::string(GLEAN_TEST_DATA) + "/../e2e/data/tiny.wts", "--data", Example("samples.dat")},
         "the network has 1 inputs and 1 outputs, the rules 2 and 1"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Tool(c.Words);
        EXPECT_EQ(run.Code, 1) << c.Message;
        EXPECT_EQ(run.Err, "GleanTool: " + c.Message + "\n");
    }
    EXPECT_FALSE(fs::exists(engine));
    EXPECT_FALSE(fs::exists(Scratch("fan-rules.svg")));
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

// The smallest grid, two points per input, is the corners; one point fails with exit code 1.
TEST_F(GleanToolRun, FidelityOnTheSmallestGrid) {
    const ToolRun corners =
        Tool({"fidelity", Example("fan.wts"), Example("fan.rul"), "--grid", "2"});
    EXPECT_EQ(corners.Code, 0) << corners.Err;
    EXPECT_EQ(corners.Out.rfind("Fidelity of the rules to the network (singletons, minimum), 4 "
                                "samples\n",
                                0),
              0u)
        << corners.Out;
    const ToolRun one = Tool({"fidelity", Example("fan.wts"), Example("fan.rul"), "--grid", "1"});
    EXPECT_EQ(one.Code, 1);
    EXPECT_EQ(one.Err, "GleanTool: a grid needs at least 2 points per input\n");
}

TEST_F(GleanToolRun, SvgDrawsEveryVariableAndTheRulesAndNamesTheFiles) {
    const ToolRun run = Tool({"svg", Data("fan.rul"), Scratch("fan")});
    EXPECT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    std::string expected;
    for (const char* name : {"Temperature", "Humidity", "FanSpeed", "rules"}) {
        const std::string file = Scratch("fan") + "-" + name + ".svg";
        expected += file + "\n";
        std::ifstream in(file);
        std::string first;
        std::getline(in, first);
        EXPECT_EQ(first, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>") << file;
    }
    EXPECT_EQ(run.Out, expected);
}

TEST_F(GleanToolRun, SvgFileNamesStayUniqueAndSafe) {
    // Names clash with each other and with the rule map, or hold characters unfit for files.
    std::ifstream in(Data("fan.rul"));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::pair<std::string, std::string> renames[] = {
        {"Temperature", "rules"}, {"Humidity", "a&b'c"}, {"FanSpeed", "a&b'c"}};
    for (const auto& [from, to] : renames) {
        for (std::size_t at = text.find(from); at != std::string::npos;
             at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    }
    std::ofstream(Scratch("clash.rul")) << text;
    const ToolRun run = Tool({"svg", Scratch("clash.rul"), Scratch("p")});
    EXPECT_EQ(run.Code, 0) << run.Err;
    const std::string p = Scratch("p");
    EXPECT_EQ(run.Out, p + "-rules-input1.svg\n" + p + "-a_b_c.svg\n" + p + "-a_b_c-output1.svg\n" +
                           p + "-rules.svg\n");
    std::ifstream chart(p + "-a_b_c.svg");
    std::string svg((std::istreambuf_iterator<char>(chart)), std::istreambuf_iterator<char>());
    EXPECT_NE(svg.find("<title>a&amp;b&apos;c (input 2, 3 terms)</title>"), std::string::npos);
}

}  // namespace
}  // namespace glean
