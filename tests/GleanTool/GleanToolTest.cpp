#include "GleanTool/GleanTool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tests/GleanTool/ToolRun.h"

namespace glean {
namespace {

namespace fs = std::filesystem;

using test::Tool;
using test::ToolRun;

std::string Data(const char* name) {
    return std::string(GLEAN_TEST_DATA) + "/GleanTool/" + name;
}

std::string Iris(const char* name) {
    return std::string(GLEAN_TEST_DATA) + "/../../examples/iris/" + name;
}

std::string Example(const char* name) {
    return std::string(GLEAN_TEST_DATA) + "/../../examples/fan/" + name;
}

class GleanToolRun : public test::ScratchFolderTest {
protected:
    GleanToolRun() : ScratchFolderTest("glean-tool-") {}
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
        {{"explain", Data("fan.rul")}, "give either --input, or --data with --row"},
        {{"explain", Data("fan.rul"), "--input", "1,2", "--data", "d", "--row", "1"},
         "give either --input, or --data with --row"},
        {{"explain", Data("fan.rul"), "--data", "d"}, "give either --input, or --data with --row"},
        {{"explain", Data("fan.rul"), "--input", "0.5,x"}, "--input needs a number, not \"x\""},
        {{"explain", Data("fan.rul"), "--data", "d", "--row", "1.5"},
         "--row needs a whole number, not \"1.5\""},
        {{"explain", Data("fan.rul"), "--input", "1,1", "--json", "--json"},
         "option \"--json\" given twice"},
        {{"simplify", Data("fan.rul"), "out.rul"}, "simplify needs --data"},
        {{"simplify", Data("fan.rul"), "out.rul", "--data", "d", "--budget", "1.01"},
         "--budget needs a number from 0 to 1"},
        {{"simplify", Data("fan.rul"), "out.rul", "--data", "d", "--merge", "-0.5"},
         "--merge needs a number from 0 to 1"},
        {{"report", Data("fan.rul"), "r.html", "--weights", "w"}, "give --data with --weights"},
        {{"report", Data("fan.rul")}, "expected 2 file names, got 1"},
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

TEST_F(GleanToolRun, ExplainSimplifyAndReportFailuresNameTheirCause) {
    const std::string rules = Example("fan.rul"), samples = Example("samples.dat");
    const struct {
        std::vector<std::string> Words;
        std::string Message;
    } cases[] = {
        {{"explain", rules, "--input", "0.5"}, "--input gives 1 values, the rules have 2 inputs"},
        {{"explain", rules, "--data", samples, "--row", "41"},
         samples + " has 40 rows, not a row 41"},
        {{"explain", rules, "--data", samples, "--row", "0"},
         samples + " has 40 rows, not a row 0"},
        {{"explain", rules, "--input", "0,0", "--scale", Scratch("none.scale")},
         "cannot open " + Scratch("none.scale")},
        {{"explain", rules, "--input", "0,0", "--scale", Iris("iris.dat.scale")},
         Iris("iris.dat.scale") + ": the scaling has 4 inputs, the rules 2"},
        {{"simplify", rules, Scratch("out.rul"), "--data", samples},
         samples + " has 0 expected outputs, the rules 1: give --weights to simplify against "
                   "a network"},
        {{"report", rules, Scratch("no/such/r.html")}, "cannot write " + Scratch("no/such/r.html")},
    };
    for (const auto& c : cases) {
        const ToolRun run = Tool(c.Words);
        EXPECT_EQ(run.Code, 1) << c.Message;
        EXPECT_EQ(run.Err, "GleanTool: " + c.Message + "\n");
    }
    EXPECT_FALSE(fs::exists(Scratch("out.rul")));
}

// A row of a data set, mapped into the units of the data, explains as those values do.
TEST_F(GleanToolRun, ExplainInTheUnitsOfTheData) {
    const std::vector<std::string> scale = {"--scale", Iris("iris.dat.scale")};
    auto words = [&](std::vector<std::string> sample) {
        std::vector<std::string> all = {"explain", Iris("iris.rul")};
        all.insert(all.end(), sample.begin(), sample.end());
        all.insert(all.end(), scale.begin(), scale.end());
        return all;
    };
    // Row 3 of iris-test.dat is 4.4, 2.9, 1.4, 0.2 in centimetres.
    const ToolRun row = Tool(words({"--data", Iris("iris-test.dat"), "--row", "3"}));
    const ToolRun values = Tool(words({"--input", "4.4,2.9,1.4,0.2"}));
    EXPECT_EQ(row.Code, 0) << row.Err;
    EXPECT_EQ(row.Out, values.Out);
    EXPECT_EQ(row.Out.rfind("Explanation of the rules (singletons, minimum) for SepalLength = "
                            "4.4, SepalWidth = 2.9, PetalLength = 1.4, PetalWidth = 0.2\nrule 2 "
                            "fires 1: ",
                            0),
              0u)
        << row.Out;
    EXPECT_NE(row.Out.find("Setosa = 1, decided by rule 2 (Yes)\n"), std::string::npos);
    const ToolRun json = Tool(words({"--input", "4.4,2.9,1.4,0.2", "--json"}));
    EXPECT_NE(json.Out.find("{\"name\": \"Setosa\", \"value\": 1, \"decidedBy\": 2"),
              std::string::npos)
        << json.Out;
}

// What simplify writes, every other command reads.
TEST_F(GleanToolRun, SimplifiedRulesGoEverywhere) {
    const std::string simpler = Scratch("simpler.rul");
    const ToolRun run = Tool(
        {"simplify", Iris("iris.rul"), simpler, "--data", Iris("iris.dat"), "--budget", "0.05"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out.rfind("Simplifying 4 rules on 100 samples of " + Iris("iris.dat") +
                                " against the expected outputs, budget 0.050000\n",
                            0),
              0u)
        << run.Out;
    EXPECT_NE(run.Out.find("accuracy 0.960000 -> "), std::string::npos);
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"export", simpler, Scratch("simpler.fll")},
             {"fidelity", Iris("iris.wts"), simpler, "--data", Iris("iris-test.dat")},
             {"svg", simpler, Scratch("simpler")},
             {"explain", simpler, "--data", Iris("iris-test.dat"), "--row", "1"},
             {"report", simpler, Scratch("simpler.html"), "--data", Iris("iris-test.dat")},
             {"simplify", simpler, Scratch("again.rul"), "--data", Iris("iris.dat")}}) {
        const ToolRun next = Tool(words);
        EXPECT_EQ(next.Code, 0) << words[0] << ": " << next.Err;
    }
}

TEST_F(GleanToolRun, ReportWritesOnePageAndNamesIt) {
    const std::string page = Scratch("iris.html");
    const ToolRun run = Tool({"report", Iris("iris.rul"), page, "--weights", Iris("iris.wts"),
                              "--data", Iris("iris-test.dat"), "--scale", Iris("iris.dat.scale")});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, page + "\n");
    std::ifstream in(page);
    const std::string html((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* part :
         {"<tr id=\"rule-4\">", "id=\"fidelity\"", "id=\"confusion\"",
          "values in the units of the data (iris.dat.scale)", "centre 5.57273"}) {
        EXPECT_NE(html.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(html.find("<tr id=\"rule-5\">"), std::string::npos);
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
