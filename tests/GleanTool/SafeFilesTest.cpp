// What the commands do with the files they are given rather than the work they do: an output
// that is an input refused, files a recall or training would stop on reported by name, and
// standard output that cannot be written reported as a failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <streambuf>

#include "GleanTool/GleanTool.h"
#include "tests/GleanTool/ToolRun.h"

namespace glean {
namespace {

namespace fs = std::filesystem;

using test::Tool;
using test::ToolRun;

std::string Example(const char* name) {
    return std::string(GLEAN_TEST_DATA) + "/../../examples/fan/" + name;
}

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SafeFiles : public test::ScratchFolderTest {
protected:
    SafeFiles() : ScratchFolderTest("glean-safe-") {}
    void SetUp() override {
        ScratchFolderTest::SetUp();
        for (const char* name : {"fan.wts", "fan.rul", "samples.dat"})
            fs::copy_file(Example(name), folder_ / name);
        std::ofstream(Scratch("d.csv")) << "x,y,z\n1,2,3\n4,5,6\n7,8,9\n";
    }
};

TEST_F(SafeFiles, AnOutputThatIsAnInputIsRefusedAndNothingWritten) {
    fs::create_symlink("fan.rul", folder_ / "link.fll");
    fs::create_hard_link(folder_ / "d.csv", folder_ / "hard.dat");
    fs::copy_file(folder_ / "fan.rul", folder_ / "x-rules.svg");
    fs::copy_file(folder_ / "d.csv", folder_ / "model.scale");
    const std::string s = Scratch("");  // the folder, with a trailing separator
    const struct {
        std::vector<std::string> Words;
        std::string Message;
    } cases[] = {
        {{"export", s + "fan.rul", s + "link.fll"},
         "engine file " + s + "link.fll is the rule file"},
        {{"fidelity", s + "fan.wts", s + "fan.rul", "--grid", "3", "--table", s + "./fan.wts"},
         "table " + s + "./fan.wts is the weight file"},
        {{"fidelity", s + "fan.wts", s + "fan.rul", "--data", s + "samples.dat", "--table",
          s + "samples.dat"},
         "table " + s + "samples.dat is the data set"},
        {{"svg", s + "x-rules.svg", s + "x"}, "chart " + s + "x-rules.svg is the rule file"},
        {{"csv", s + "d.csv", s + "d.csv"}, "data set " + s + "d.csv is the CSV file"},
        {{"csv", s + "d.csv", s + "hard.dat"}, "data set " + s + "hard.dat is the CSV file"},
        {{"csv", s + "d.csv", s + "d.dat", "--holdout-every", "2", "--holdout", s + "d.dat"},
         "held-out data set " + s + "d.dat is the data set"},
        {{"csv", s + "d.csv", s + "d.dat", "--holdout-every", "2", "--holdout", s + "d.dat.scale"},
         "held-out data set " + s + "d.dat.scale is the scaling file"},
        {{"train", s + "samples.dat", s + "sub/../samples.dat", "--rules", "2"},
         "weight file " + s + "sub/../samples.dat is the data set"},
        {{"train", s + "samples.dat", s + "fan.wts", "--rules", "2", "--test", s + "fan.wts"},
         "weight file " + s + "fan.wts is the test data set"},
        {{"fit", s + "model.scale", s, "--target", "z"},
         "model file " + s + "model.scale is the CSV file"},
        {{"export", s + "fan.rul", s + "x.fll", "--scale", s + "x.fll"},
         "engine file " + s + "x.fll is the scaling file"},
        {{"simplify", s + "fan.rul", s + "./fan.rul", "--data", s + "samples.dat"},
         "simplified rule file " + s + "./fan.rul is the rule file"},
        {{"report", s + "fan.rul", s + "samples.dat", "--data", s + "samples.dat"},
         "report " + s + "samples.dat is the data set"},
    };
    fs::create_directories(folder_ / "sub");
    const std::string csv = Read(Scratch("d.csv"));
    for (const auto& c : cases) {
        const ToolRun run = Tool(c.Words);
        EXPECT_EQ(run.Code, 1) << c.Message;
        EXPECT_EQ(run.Err, "GleanTool: " + c.Message + "\n");
        EXPECT_EQ(run.Out, "");
    }
    EXPECT_EQ(Read(Scratch("fan.wts")), Read(Example("fan.wts")));
    EXPECT_EQ(Read(Scratch("fan.rul")), Read(Example("fan.rul")));
    EXPECT_EQ(Read(Scratch("samples.dat")), Read(Example("samples.dat")));
    EXPECT_EQ(Read(Scratch("d.csv")), csv);
    EXPECT_TRUE(fs::is_symlink(folder_ / "link.fll"));
    // Nothing else was written: no data set, scaling file, table, chart or weight file.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"d.csv", "fan.rul", "fan.wts", "hard.dat", "link.fll",
                                        "model.scale", "samples.dat", "sub", "x-rules.svg"}));
}

TEST_F(SafeFiles, FilesThatWouldStopARecallOrTrainingAreReportedByName) {
    // Output centres of 10, 20 and 30: Glean extracts rules from them, a recall cannot run.
    std::string weights = Read(Scratch("fan.wts"));
    const std::pair<const char*, const char*> centres[] = {
        {"                0.08 T", "                  10 T"},
        {"                 0.5 T", "                  20 T"},
        {"                0.93 T", "                  30 T"}};
    for (const auto& [from, to] : centres)
        weights.replace(weights.rfind(from), std::string(from).size(), to);
    std::ofstream(Scratch("far.wts")) << weights;
    std::ofstream(Scratch("norows.dat")) << "[DataSet]\n[Inputs = 2]\n[Data]\n0.1 0.2\n[~Data]\n"
                                            "[~DataSet]\n";
    std::ofstream(Scratch("labels.dat"))
        << "[DataSet]\n[Rows = 1]\n[Inputs = 2]\n[ExpectedOutputs = Labels]\n[Data]\n0.1 0.2 x\n"
           "[~Data]\n[~DataSet]\n";
    const std::string s = Scratch("");
    const struct {
        std::vector<std::string> Words;
        std::string Message;
    } cases[] = {
        {{"fidelity", s + "far.wts", s + "fan.rul", "--grid", "3"},
         s + "far.wts: output centre 0 is 10, outside [0, 1]"},
        {{"svg", s + "fan.rul", s + "p", "--weights", s + "far.wts", "--data", s + "samples.dat"},
         s + "far.wts: output centre 0 is 10, outside [0, 1]"},
        {{"fidelity", s + "fan.wts", s + "fan.rul", "--data", s + "norows.dat"},
         s + "norows.dat: no [Rows = ...] in the header"},
        {{"svg", s + "fan.rul", s + "p", "--weights", s + "fan.wts", "--data", s + "labels.dat"},
         s + "labels.dat: outputs as label lists, which GleanTool does not read"},
        {{"train", s + "norows.dat", s + "n.wts", "--rules", "2"},
         s + "norows.dat: no [Rows = ...] in the header"},
        {{"train", s + "samples.dat", s + "n.wts", "--rules", "2", "--test", s + "labels.dat"},
         s + "labels.dat: outputs as label lists, which GleanTool does not read"},
        {{"train", s + "samples.dat", s + "n.wts", "--rules", "2", "--init", "-1e308,1e308"},
         "Initial weight range is too wide (Bad Parameter; TOmbraTrainer::TOmbraTrainer)"},
    };
    for (const auto& c : cases) {
        const ToolRun run = Tool(c.Words);
        EXPECT_EQ(run.Code, 1) << c.Message;
        EXPECT_EQ(run.Err, "GleanTool: " + c.Message + "\n");
        EXPECT_EQ(run.Out, "");
    }
    EXPECT_FALSE(fs::exists(Scratch("n.wts")));
    EXPECT_FALSE(fs::exists(Scratch("p-rules.svg")));
}

// A stream buffer that refuses every character, as a full disk under a redirection does.
class FullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type) override { return traits_type::eof(); }
};

TEST_F(SafeFiles, StandardOutputThatCannotBeWrittenIsAFailure) {
    const std::string s = Scratch("");
    const std::vector<std::string> runs[] = {
        {"--help"},
        {"fidelity", s + "fan.wts", s + "fan.rul", "--grid", "5"},
        {"svg", s + "fan.rul", s + "p"},
        {"csv", s + "d.csv", s + "d.dat"},
        {"export", s + "fan.rul", s + "fan.fll"},  // prints nothing: a success
    };
    for (const auto& words : runs) {
        std::vector<const char*> argv{"GleanTool"};
        for (const std::string& word : words)
            argv.push_back(word.c_str());
        FullBuffer full;
        std::ostream out(&full);
        std::ostringstream err;
        const int code = RunGleanTool(int(argv.size()), argv.data(), out, err);
        const bool prints = words[0] != "export";
        EXPECT_EQ(code, prints ? 1 : 0) << words[0];
        EXPECT_EQ(err.str(), prints ? "GleanTool: cannot write standard output\n" : "") << words[0];
    }
    // A usage mistake whose message is lost ends as a failure, not as a usage mistake.
    const char* argv[] = {"GleanTool"};
    FullBuffer full;
    std::ostringstream out;
    std::ostream err(&full);
    EXPECT_EQ(RunGleanTool(1, argv, out, err), 1);
}

}  // namespace
}  // namespace glean
