#include "GleanTool/FitCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>


#include "FileHandler/TRuleFile.h"
#include "GleanTool/ToolFiles.h"
#include "Ombra/Glean/Glean.h"
#include "RuleEngine/TRuleEvaluator.h"
#include "support/Fuzzylite.h"
#include "support/PageChecks.h"
#include "tests/GleanTool/ToolRun.h"

namespace glean {
namespace {

namespace fs = std::filesystem;
using test::Count;
using test::Tool;

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The value of the line "KEY VALUE" of a report.
double Figure(const std::string& report, const std::string& key) {
    std::istringstream lines(report);
    for (std::string name, value; lines >> name >> value;)
        if (name == key) return std::stod(value);
    ADD_FAILURE() << "no " << key << " in\n" << report;
    return std::nan("");
}

// Rows whose class is "hot" above 20 degrees and "cold" below, with a column of noise beside.
std::string WeatherCsv(int rows, int offset) {
    std::string text = "noise,temperature (C),label\n";
    for (int i = 0; i < rows; ++i) {
        const double temperature = std::fmod((i + offset) * 7.31, 40.0);
        const double noise = std::fmod((i + offset) * 3.77, 5.0);
        text += std::to_string(noise) + "," + std::to_string(temperature) + "," +
                (temperature > 20 ? "hot" : "cold") + "\n";
    }
    return text;
}

class FitCommand : public test::ScratchFolderTest {
protected:
    FitCommand() : ScratchFolderTest("glean-fit-") {}

    std::string Write(const std::string& name, const std::string& text) {
        std::ofstream(folder_ / name, std::ios::binary) << text;
        return (folder_ / name).string();
    }
};

TEST_F(FitCommand, RecoversTheKnownRuleByName) {
    const std::string train = Write("train.csv", WeatherCsv(120, 0));
    const auto run =
        Tool({"fit", train, (folder_ / "model").string(), "--target", "label", "--quiet"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(run.Out, "");
    const std::string rules = Slurp(folder_ / "model" / "model.rul");
    EXPECT_NE(rules.find("<temperature_C is"), std::string::npos) << rules;
    EXPECT_NE(rules.find("<hot is Yes"), std::string::npos) << rules;
    EXPECT_NE(rules.find("<cold is Yes"), std::string::npos) << rules;
    const std::string report = Slurp(folder_ / "model" / "model.report");
    EXPECT_NE(report.find("task classification\n"), std::string::npos);
    EXPECT_NE(report.find("training_rules_accuracy 1.0000\n"), std::string::npos) << report;
    EXPECT_NE(report.find("training_no_rule 0.0000\n"), std::string::npos) << report;
}

// The held-out rows are only reported on: other held-out rows give the same model, byte for byte.
TEST_F(FitCommand, NeverLearnsFromTheHeldOutRows) {
    const std::string train = Write("train.csv", WeatherCsv(90, 0));
    std::string files[2];
    for (int variant = 0; variant < 2; ++variant) {
        const std::string test = Write("test.csv", WeatherCsv(30, 1000 + 17 * variant));
        const fs::path out = folder_ / ("model" + std::to_string(variant));
        const auto run =
            Tool({"fit", train, out.string(), "--target", "3", "--test", test, "--quiet"});
        ASSERT_EQ(run.Code, 0) << run.Err;
        files[variant] = Slurp(out / "model.wts") + Slurp(out / "model.rul");
    }
    EXPECT_EQ(files[0], files[1]);
}

// What fit writes is what the other commands read, simplified or not: Glean makes the same rule
// file from the parameter file (the network carries the rules written), export with the scaling
// makes the same engines, and the other commands take them.
TEST_F(FitCommand, FolderReadsBackInEveryCommand) {
    const std::string train = Write("train.csv", WeatherCsv(100, 0));
    // The same rows as a data set, scaled as fit scales them.
    const std::string rows = (folder_ / "train.dat").string();
    ASSERT_EQ(Tool({"csv", train, rows, "--class", "label"}).Code, 0);
    for (const bool simplify : {false, true}) {
        const fs::path out = folder_ / (simplify ? "simplified" : "model");
        std::vector<std::string> words = {"fit",      train,   out.string(),
                                          "--target", "label", "--quiet"};
        if (simplify) words.insert(words.end(), {"--simplify", "--budget", "1"});
        ASSERT_EQ(Tool(words).Code, 0);
        const std::string rules = Slurp(out / "model.rul");
        const fs::path here = fs::current_path();
        fs::current_path(out);
        fs::remove("model.rul");
        const char* argv[] = {"Glean", "model.par"};
        std::ostringstream glean;
        EXPECT_EQ(RunGlean(2, argv, glean, glean), 0) << glean.str();
        fs::current_path(here);
        EXPECT_EQ(Slurp(out / "model.rul"), rules) << simplify;
        for (const char* engine : {"model.fll", "model.fis", "model.fcl"}) {
            const fs::path again = folder_ / engine;
            const auto run = Tool({"export", (out / "model.rul").string(), again.string(),
                                   "--scale", (out / "model.scale").string()});
            ASSERT_EQ(run.Code, 0) << run.Err;
            EXPECT_EQ(Slurp(again), Slurp(out / engine)) << engine;
        }
        const std::string model = (out / "model.rul").string();
        const std::string scale = (out / "model.scale").string();
        for (const std::vector<std::string>& next : std::vector<std::vector<std::string>>{
                 {"fidelity", (out / "model.wts").string(), model, "--data", rows},
                 {"svg", model, (folder_ / "pic").string(), "--scale", scale},
                 {"explain", model, "--input", "1,30", "--scale", scale},
                 {"report", model, (folder_ / "page.html").string(), "--scale", scale},
                 {"simplify", model, (folder_ / "again.rul").string(), "--data", rows}}) {
            const auto run = Tool(next);
            EXPECT_EQ(run.Code, 0) << next[0] << ": " << run.Err;
        }
    }
}

// model.html shows the rules written, in the units of the data, on the training rows: a row per
// rule, a chart per variable, the fidelity to the network, and a confusion matrix whose count of
// right picks is the report's training accuracy; it names nothing outside itself.
TEST_F(FitCommand, WritesAPageOfTheRulesWritten) {
    const std::string train = Write("train.csv", WeatherCsv(120, 0));
    const std::string test = Write("test.csv", WeatherCsv(30, 500));
    const fs::path out = folder_ / "model";
    ASSERT_EQ(
        Tool({"fit", train, out.string(), "--target", "label", "--test", test, "--quiet"}).Code, 0);
    const std::string html = Slurp(out / "model.html");
    EXPECT_EQ(Count(html, "<tr id=\"rule-"), Count(Slurp(out / "model.rul"), "\nif "));
    EXPECT_EQ(Count(html, "<figure class=\"chart\""), 4u);  // noise, temperature, cold, hot
    EXPECT_NE(html.find("<section id=\"fidelity\""), std::string::npos);
    EXPECT_NE(html.find("120 samples of train.csv"), std::string::npos);
    const double accuracy = Figure(Slurp(out / "model.report"), "training_rules_accuracy");
    std::smatch picks;
    ASSERT_TRUE(std::regex_search(html, picks,
                                  std::regex("The rules pick the true class on (\\d+) of (\\d+)")));
    EXPECT_EQ(picks[2].str(), "120");
    EXPECT_EQ(std::stoi(picks[1].str()), int(std::lround(accuracy * 120)));
    // Terms in degrees, not in [0, 1]: the temperature's terms reach beyond 1.
    EXPECT_TRUE(std::regex_search(html, std::regex("right [1-9][0-9]\\.")));
    for (const std::string& reference : test::References(html))
        EXPECT_EQ(reference.rfind('#', 0), 0u) << reference;
}

// Simplifying costs at most the budget on the training rows, as the report measures the rules
// written; a budget of 0 keeps the rules' figure, a larger budget never leaves more rules.
TEST_F(FitCommand, SimplifyingCostsAtMostTheBudget) {
    const std::string train = Write("train.csv", WeatherCsv(120, 0));
    int runs = 0;
    auto fit = [&](std::vector<std::string> more) {
        const fs::path out = folder_ / ("m" + std::to_string(runs++));
        std::vector<std::string> words = {"fit",      train,   out.string(),
                                          "--target", "label", "--quiet"};
        words.insert(words.end(), more.begin(), more.end());
        const auto run = Tool(words);
        EXPECT_EQ(run.Code, 0) << run.Err;
        return Slurp(out / "model.report");
    };
    const std::string plain = fit({});
    const double start = Figure(plain, "training_rules_accuracy");
    double rules = Figure(plain, "rules");
    for (const char* budget : {"0", "0.05", "1"}) {
        const std::string report = fit({"--simplify", "--budget", budget});
        const double end = Figure(report, "training_rules_accuracy");
        EXPECT_GE(end, start - std::stod(budget) - 1e-9) << budget;
        EXPECT_EQ(Figure(report, "simplify_training_accuracy_before"), start) << budget;
        EXPECT_EQ(Figure(report, "simplify_training_accuracy_after"), end) << budget;
        if (std::string(budget) == "0") {
            EXPECT_EQ(end, start);
        }
        EXPECT_LE(Figure(report, "rules"), rules) << budget;
        rules = Figure(report, "rules");
    }
    EXPECT_EQ(rules, 1);  // a budget of 1 allows every rule but one to go
}

TEST_F(FitCommand, RegressionPredictsInTheTargetsUnits) {
    std::string text = "x,y\n";
    for (int i = 0; i < 60; ++i)
        text += std::to_string(i) + "," + std::to_string(1000 + 10 * i) + "\n";
    const auto run = Tool(
        {"fit", Write("line.csv", text), (folder_ / "m").string(), "--target", "y", "--quiet"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    const std::string report = Slurp(folder_ / "m" / "model.report");
    EXPECT_NE(report.find("task regression\n"), std::string::npos);
    std::istringstream lines(report);
    for (std::string key, value; lines >> key >> value;) {
        if (key == "training_rules_r2") {
            EXPECT_GT(std::stod(value), 0.95);
        }
    }
    // The output variable spans the target's range, not [0, 1].
    const std::string fll = Slurp(folder_ / "m" / "model.fll");
    EXPECT_NE(fll.find("range: 1000 1590"), std::string::npos) << fll;
    // The page has no classes to confuse; the fidelity to the network it has.
    const std::string html = Slurp(folder_ / "m" / "model.html");
    EXPECT_EQ(html.find("id=\"confusion\""), std::string::npos);
    EXPECT_NE(html.find("<section id=\"fidelity\""), std::string::npos);
}

TEST_F(FitCommand, RefusesWhatItCannotUse) {
    const std::string train = Write("train.csv", WeatherCsv(40, 0));
    EXPECT_EQ(Tool({"fit", train, (folder_ / "m").string()}).Code, 2);  // no --target
    EXPECT_EQ(
        Tool({"fit", train, (folder_ / "m").string(), "--target", "label", "--task", "clustering"})
            .Code,
        2);
    for (const char* budget : {"-0.01", "1.01"}) {
        EXPECT_EQ(Tool({"fit", train, (folder_ / "m").string(), "--target", "label", "--simplify",
                        "--budget", budget})
                      .Code,
                  2)
            << budget;
    }
    const auto alone =
        Tool({"fit", train, (folder_ / "m").string(), "--target", "label", "--budget", "0.1"});
    EXPECT_EQ(alone.Code, 2);
    EXPECT_EQ(alone.Err.rfind("GleanTool: --budget needs --simplify\n", 0), 0u) << alone.Err;
    const auto unknown = Tool({"fit", train, (folder_ / "m").string(), "--target", "colour"});
    EXPECT_EQ(unknown.Code, 1);
    EXPECT_NE(unknown.Err.find("No such column: colour"), std::string::npos) << unknown.Err;
    const std::string test = Write("test.csv", "noise,temperature (C),label\n1,25,warm\n");
    const auto unseen =
        Tool({"fit", train, (folder_ / "m").string(), "--target", "label", "--test", test});
    EXPECT_EQ(unseen.Code, 1);
    EXPECT_NE(unseen.Err.find("class warm is not among the training rows' classes"),
              std::string::npos)
        << unseen.Err;
    // A folder in the place of the rule file: Glean's message, one line.
    fs::create_directories(folder_ / "m" / "model.rul");
    const auto blocked = Tool({"fit", train, (folder_ / "m").string(), "--target", "label"});
    EXPECT_EQ(blocked.Code, 1);
    EXPECT_EQ(blocked.Err, "GleanTool: extraction failed: Unable to open file " +
                               (folder_ / "m" / "model.rul").string() + "\n");
}

// fuzzylite, running the FLL export on the held-out Iris rows in their own units, answers what
// the rule engine (the evaluator fidelity uses) answers.
TEST_F(FitCommand, FuzzyliteRunsTheExportAsTheRuleEngine) {
    ASSERT_TRUE(fs::exists(GLEAN_FUZZYLITE)) << "fuzzylite is not installed";
    const fs::path iris = fs::path(GLEAN_EXAMPLES) / "iris";
    const fs::path out = folder_ / "iris";
    ASSERT_EQ(Tool({"fit", (iris / "iris-train.csv").string(), out.string(), "--target", "species",
                    "--quiet"})
                  .Code,
              0);
    std::ifstream csv(iris / "iris-test.csv");
    std::string line;
    std::getline(csv, line);
    std::vector<std::vector<double>> rows;
    std::ofstream fld(folder_ / "inputs.fld");
    while (std::getline(csv, line)) {
        std::replace(line.begin(), line.end(), ',', ' ');
        std::istringstream fields(line);
        std::vector<double> row(4);
        for (double& value : row)
            fields >> value;
        rows.push_back(row);
        fld << row[0] << ' ' << row[1] << ' ' << row[2] << ' ' << row[3] << '\n';
    }
    fld.close();
    const auto engine = test::RunFuzzylite(out / "model.fll", "fll", folder_ / "inputs.fld");
    ASSERT_EQ(engine.size(), rows.size());
    // The same rows through the rule file, stated in the data's units as export states them.
    const std::unique_ptr<TFuzzyRuleSet> rules = [&] {
        std::ifstream in(out / "model.rul");
        FileTools tools;
        return TRuleFile::LoadRules(tools, in);
    }();
    const TScaleRanges ranges = ReadScaleFile((out / "model.scale").string());
    ToOriginalUnits(*rules, ranges.Inputs, ranges.Outputs);
    const TRuleBase base(*rules);
    const TRuleEvaluator evaluator(base, TConjunction::Minimum, TOutputMode::Singletons);
    std::vector<double> outputs(3);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        evaluator.Evaluate(rows[i], outputs);
        ASSERT_EQ(engine[i].size(), 3u);
        for (std::size_t o = 0; o < 3; ++o)
            EXPECT_NEAR(engine[i][o], outputs[o], 1e-6) << "row " << i;
    }
}

}  // namespace
}  // namespace glean
