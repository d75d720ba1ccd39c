#include "GleanTool/FitCommand.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Charts/THtmlReport.h"
#include "FileHandler/LabelFile.h"
#include "FileHandler/NetworkFile.h"
#include "GleanTool/ToolFiles.h"
#include "Ombra/Glean/Glean.h"
#include "RuleEngine/TRuleExporter.h"

namespace glean {

namespace {

constexpr const char* kOptions[] = {"target",         "test",         "task",      "max-rules",
                                    "max-conditions", "report-every", "delimiter", "skip-lines",
                                    "seed",           "budget"};
constexpr const char* kFlags[] = {"quiet", "no-header", "simplify"};

namespace fs = std::filesystem;

TFitTable ReadTable(const std::string& fileName, const TFitJob& job, const TFitTable* training,
                    std::ostream* progress) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw ToolFailure("cannot open " + fileName);
    try {
        const TCsvTable table = ReadCsvTable(in, job.Format);
        if (progress) {
            *progress << fileName << ": rows read "
                      << table.Rows.size() + std::size_t(table.Dropped)
                      << ", dropped for a missing value " << table.Dropped << '\n';
        }
        return MakeFitTable(table, job.Target, job.Classify, training);
    } catch (const TException& e) {
        throw ToolFailure(fileName + ": " + e.Message);
    }
}

std::string Figure(double value) {
    return FixedNumber(value, 4);
}

// The figures of one set of rows, each line "<prefix>_<name> <value>".
void WriteFigures(std::ostream& out, const std::string& prefix, const TModelFigures& figures,
                  bool classifying) {
    out << prefix << "_rows " << figures.Rows << '\n';
    if (classifying) {
        out << prefix << "_rules_accuracy " << Figure(figures.RuleScore) << '\n'
            << prefix << "_network_accuracy " << Figure(figures.NetworkScore) << '\n'
            << prefix << "_agreement " << Figure(figures.Agreement) << '\n';
    } else {
        out << prefix << "_rules_rmse " << Figure(figures.RuleRmse) << '\n'
            << prefix << "_rules_r2 " << Figure(figures.RuleScore) << '\n'
            << prefix << "_network_rmse " << Figure(figures.NetworkRmse) << '\n'
            << prefix << "_network_r2 " << Figure(figures.NetworkScore) << '\n'
            << prefix << "_difference_rms " << Figure(figures.Difference) << '\n';
    }
    out << prefix << "_no_rule " << Figure(figures.Rows ? double(figures.Silent) / figures.Rows : 0)
        << '\n';
}

// What simplifying did, each line "simplify_<name> <value>"; the figure is the one the budget
// holds, on the training rows.
void WriteSimplification(std::ostream& out, const TSimplifyResult& result, double budget,
                         bool classifying) {
    const std::string figure = classifying ? "accuracy" : "r2";
    out << "simplify_budget " << Figure(budget) << '\n'
        << "simplify_rules_dropped " << result.DroppedRules << '\n'
        << "simplify_conditions_dropped " << result.DroppedConditions << '\n'
        << "simplify_training_" << figure << "_before " << Figure(result.Start) << '\n'
        << "simplify_training_" << figure << "_after " << Figure(result.End) << '\n';
}

std::string Report(const TRuleModel& model, const TFitJob& job, const TFitTable& training,
                   const TFitTable* test, double seconds) {
    std::ostringstream out;
    out << "task " << (training.Classifying() ? "classification" : "regression") << '\n'
        << "target " << training.TargetName << '\n'
        << "inputs " << training.InputNames.size() << '\n';
    if (training.Classifying()) out << "classes " << training.ClassNames.size() << '\n';
    const TRuleList& rules = *model.Rules->RuleList;
    int most = 0, total = 0;
    for (int r = 0; r < rules.numRules(); ++r) {
        const int conditions = rules.GetRule(r).Antecedent->List().numSubExpressions();
        most = std::max(most, conditions);
        total += conditions;
    }
    out << "terms_per_input " << model.Shape.Terms << '\n'
        << "rules " << rules.numRules() << '\n'
        << "conditions_mean " << Figure(rules.numRules() ? double(total) / rules.numRules() : 0)
        << '\n'
        << "conditions_max " << most << '\n';
    if (model.Simplification) {
        WriteSimplification(out, *model.Simplification, *job.Settings.SimplifyBudget,
                            training.Classifying());
    }
    WriteFigures(out, "training", MeasureModel(model, training), training.Classifying());
    if (test) WriteFigures(out, "test", MeasureModel(model, *test), training.Classifying());
    out << "seconds " << Figure(seconds) << '\n';
    return out.str();
}

std::string ParameterText() {
    return "WeightFile = model.wts\n"
           "LabelFile = model.lbl\n"
           "ThresholdIn = 0\n"
           "ThresholdOut = 0\n"
           "RuleFile = model.rul\n";
}

// model.rul, written by the driver's own run on the files just written.
void ExtractRuleFile(const fs::path& dir) {
    GleanParameters parameters;
    parameters.WeightFile = (dir / "model.wts").string();
    parameters.LabelFile = (dir / "model.lbl").string();
    parameters.ThresholdIn = 0.0;
    parameters.ThresholdOut = 0.0;
    parameters.RuleFile = (dir / "model.rul").string();
    std::ostringstream out, err;
    if (RunExtraction(parameters, out, err) != 0) {
        // Glean ends its messages in a newline; ToolFailure adds the last one itself.
        std::string message = out.str() + err.str();
        while (!message.empty() && message.back() == '\n')
            message.pop_back();
        throw ToolFailure("extraction failed: " + message);
    }
}

// model.rul as written, in the units of the data.
std::unique_ptr<TFuzzyRuleSet> WrittenRules(const fs::path& dir, const TRuleModel& model) {
    std::unique_ptr<TFuzzyRuleSet> rules = ReadRuleFile((dir / "model.rul").string());
    ToOriginalUnits(*rules, model.InputRanges(), model.OutputRanges());
    return rules;
}

void WriteEngines(const fs::path& dir, const TFuzzyRuleSet& rules) {
    const TRuleBase base(rules);
    for (const char* name : {"model.fll", "model.fis", "model.fcl"}) {
        const std::string file = (dir / name).string();
        TExportOptions options;
        options.EngineName = "model";
        std::ostringstream text;
        TRuleExporter::ForFile(file)->Write(base, options, text);
        WriteTextFile(file, text.str());
    }
}

void WriteModel(const fs::path& dir, const TRuleModel& model) {
    FileTools tools;
    try {
        SaveNetworkFile(tools, (dir / "model.wts").string(), *model.Network);
    } catch (const FileTools::Error& e) {
        throw ToolFailure((dir / "model.wts").string() + ": " + e.Message());
    }
    std::ostringstream labels, scaling;
    SaveLabels(labels, *model.Labels);
    WriteTextFile((dir / "model.lbl").string(), labels.str());
    WriteScaling(scaling, model.Scaling);
    WriteTextFile((dir / "model.scale").string(), scaling.str());
    WriteTextFile((dir / "model.par").string(), ParameterText());
    ExtractRuleFile(dir);
}

// model.html: the written rules on the training rows, in the units of the data, against what the
// rows should answer and beside the network's outputs.
void WritePage(const fs::path& dir, const TFuzzyRuleSet& rules, const TRuleModel& model,
               const TFitTable& training, const std::string& trainFile) {
    TReportContent content;
    content.DataName = fs::path(trainFile).filename().string();
    content.Title = "Rules fitted to " + content.DataName;
    content.Units = "the units of the data (model.scale)";
    content.Inputs = training.Inputs;
    content.Expected = ExpectedOutputs(training);
    content.Network = NetworkOutputs(model, training.Inputs);
    content.Classes = training.Classifying();
    WriteTextFile((dir / "model.html").string(), HtmlReport(rules, content));
}

// The job, once none of the model files would replace the CSV files it reads.
int RunCheckedFitJob(const TFitJob& job, std::ostream& out) {
    const TToolFile inputs[] = {{"CSV file", job.TrainFile}, {"test CSV file", job.TestFile}};
    for (const char* name : {"model.wts", "model.lbl", "model.par", "model.rul", "model.scale",
                             "model.report", "model.fll", "model.fis", "model.fcl", "model.html"}) {
        RefuseInputAsOutput({"model file", (fs::path(job.OutDir) / name).string()}, inputs);
    }
    return RunFitJob(job, out);
}

}  // namespace

TFitJob ParseFitJob(std::span<const std::string> words) {
    const TToolArguments arguments = ParseToolArguments(words, kOptions, 2, kFlags);
    TFitJob job;
    job.TrainFile = arguments.Positional[0];
    job.OutDir = arguments.Positional[1];
    const std::string* target = arguments.Value("target");
    if (!target) throw UsageError("--target is required");
    job.Target = *target;
    if (const auto* v = arguments.Value("test")) job.TestFile = *v;
    if (const auto* v = arguments.Value("task")) {
        if (*v != "classification" && *v != "regression") {
            throw UsageError("--task takes classification or regression, not \"" + *v + "\"");
        }
        job.Classify = *v == "classification";
    }
    TFitSettings& settings = job.Settings;
    if (const auto* v = arguments.Value("max-rules")) {
        settings.MaxRules = NumberOption<int>("--max-rules", *v, "a whole number");
        if (settings.MaxRules < 1) throw UsageError("--max-rules must be >= 1");
    }
    if (const auto* v = arguments.Value("max-conditions")) {
        settings.MaxConditions = NumberOption<int>("--max-conditions", *v, "a whole number");
        if (settings.MaxConditions < 1) throw UsageError("--max-conditions must be >= 1");
    }
    if (const auto* v = arguments.Value("report-every")) {
        settings.ReportEvery = NumberOption<int>("--report-every", *v, "a whole number");
        if (settings.ReportEvery < 1) throw UsageError("--report-every must be >= 1");
    }
    if (const auto* v = arguments.Value("seed")) {
        settings.Seed = NumberOption<std::uint64_t>("--seed", *v, "a whole number");
    }
    if (arguments.Has("simplify")) {
        const std::string* budget = arguments.Value("budget");
        settings.SimplifyBudget =
            budget ? ShareOption("--budget", *budget) : TSimplifySettings{}.Budget;
    } else if (arguments.Has("budget")) {
        throw UsageError("--budget needs --simplify");
    }
    job.Quiet = arguments.Has("quiet");
    ReadCsvFormat(arguments, job.Format);
    return job;
}

int RunFitJob(const TFitJob& job, std::ostream& out) {
    const auto start = std::chrono::steady_clock::now();
    std::ostream* progress = job.Quiet ? nullptr : &out;
    const TFitTable training = ReadTable(job.TrainFile, job, nullptr, progress);
    std::optional<TFitTable> test;
    if (!job.TestFile.empty()) test = ReadTable(job.TestFile, job, &training, progress);
    const fs::path dir(job.OutDir);
    std::error_code error;
    fs::create_directories(dir, error);
    if (error || !fs::is_directory(dir)) throw ToolFailure("cannot make the folder " + job.OutDir);
    TFitSettings settings = job.Settings;
    settings.Progress = progress;
    const TRuleModel model = FitRuleModel(training, settings);
    WriteModel(dir, model);
    const std::unique_ptr<TFuzzyRuleSet> rules = WrittenRules(dir, model);
    WriteEngines(dir, *rules);
    WritePage(dir, *rules, model, training, job.TrainFile);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string report = Report(model, job, training, test ? &*test : nullptr, seconds);
    WriteTextFile((dir / "model.report").string(), report);
    if (!job.Quiet) out << report;
    return kToolSuccess;
}

const TToolCommand FitCommand = {
    "fit",
    "  fit TRAIN.csv OUTDIR --target COLUMN [--test TEST.csv] [--task classification|regression]\n"
    "      [--max-rules N] [--max-conditions N] [--seed S] [--report-every N] [--quiet]\n"
    "      [--no-header] [--delimiter C] [--skip-lines N] [--simplify [--budget B]]\n"
    "      fits a fuzzy network whose rules are the model and writes OUTDIR/model.*: the\n"
    "      network, labels, Glean parameters, rules, scaling, FLL/FIS/FCL in the data's units\n"
    "      and the HTML report\n",
    "  --target COLUMN          the column to predict, by name or number from 1 (required)\n"
    "  --test TEST.csv          held-out rows to report on; never used for fitting (default: "
    "none)\n"
    "  --task classification|regression  (default: classification when some target is not a\n"
    "                           number, else regression)\n"
    "  --max-rules N            at most N rules (default: 10)\n"
    "  --max-conditions N       at most N conditions per rule; rules of one or two conditions\n"
    "                           are tried (default: 4)\n"
    "  --seed S                 the jitter of the rows the network learns the rules on (default: "
    "1)\n"
    "  --report-every N         a progress line every N network training steps (default: 25)\n"
    "  --quiet                  no progress and no report on standard output\n"
    "  --no-header              the first line is a row; columns Column1, Column2, ...\n"
    "  --delimiter C            the field separator (default: ,)\n"
    "  --skip-lines N           lines skipped before the header (default: 0)\n"
    "  --simplify               drop conditions and rules while the rules' accuracy (or R^2) on\n"
    "                           the training rows falls by at most --budget, then carry the\n"
    "                           rules left in the network (default: off)\n"
    "  --budget B               with --simplify, from 0 to 1 (default: 0.01)\n",
    RunParsedJob<ParseFitJob, RunCheckedFitJob>};

}  // namespace glean
