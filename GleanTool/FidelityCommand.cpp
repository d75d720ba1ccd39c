#include "GleanTool/FidelityCommand.h"

#include <sstream>

#include "GleanTool/ToolFiles.h"
#include "Ombra/RuleExtraction/TOmbraRule.h"
#include "RuleEngine/TFidelity.h"
#include "RuleEngine/TRuleFigures.h"

namespace glean {

namespace {

constexpr const char* kOptions[] = {"grid", "data", "conjunction", "outputs", "table"};

int GridPoints(const std::string& text) {
    return NumberOption<int>("--grid", text, "a whole number");
}

// The inputs of a data set's rows, whether its expected outputs name classes, and those outputs
// (none when it has none).
struct TDataSamples {
    std::vector<std::vector<double>> Inputs;
    bool Classes = false;
    std::vector<std::vector<double>> Expected;
};

TDataSamples DataSamples(const std::string& fileName, const TRuleBase& rules) {
    const std::unique_ptr<Data> data = ReadDataSet(fileName);
    return {TFidelity::Samples(*data, rules), TFidelity::OneHotClasses(*data),
            TFidelity::ComparedOutputs(*data, rules)};
}

// The command after its files are read: the samples chosen by the options, the report on out,
// the table when asked for.
int MeasureFidelity(TOmbra& network, const TFuzzyRuleSet& rules, const TToolArguments& arguments,
                    std::ostream& out) {
    const TRuleBase base(rules);
    const TRuleEvaluator evaluator(base, ConjunctionOption(arguments), OutputModeOption(arguments));
    TFidelity fidelity(network, evaluator, base);
    const TDataSamples samples =
        arguments.Has("grid")
            ? TDataSamples{TFidelity::Grid(base, GridPoints(arguments.Options.at("grid"))),
                           false,
                           {}}
            : DataSamples(arguments.Options.at("data"), base);
    std::ostringstream table;
    const TFidelityReport report =
        fidelity.Measure(samples.Inputs, arguments.Has("table") ? &table : nullptr, samples.Classes,
                         samples.Expected.empty() ? nullptr : &samples.Expected);
    if (arguments.Has("table")) WriteTextFile(arguments.Options.at("table"), table.str());
    fidelity.WriteReport(report, out);
    if (arguments.Has("data")) {
        // The rules' own figures, scored against the network as the rest of the report is.
        TFigureRows rows{samples.Inputs, {}, samples.Classes};
        rows.Reference = NetworkAnswers(network, samples.Inputs, base.Inputs(), base.Outputs());
        const TRuleFigures figures(base, evaluator);
        WriteFigures(base, figures.PerRule(rows), figures.Base(rows), rows.Classes, "the network",
                     out);
    }
    return kToolSuccess;
}

int RunFidelity(std::span<const std::string> words, std::ostream& out) {
    const TToolArguments arguments = ParseToolArguments(words, kOptions, 2);
    if (arguments.Has("grid") == arguments.Has("data")) {
        throw UsageError("give either --grid or --data");
    }
    if (arguments.Has("grid")) GridPoints(arguments.Options.at("grid"));  // before any reading
    if (const std::string* table = arguments.Value("table")) {
        const std::string* data = arguments.Value("data");
        const TToolFile inputs[] = {{"weight file", arguments.Positional[0]},
                                    {"rule file", arguments.Positional[1]},
                                    {"data set", data ? *data : ""}};
        RefuseInputAsOutput({"table", *table}, inputs);
    }
    const std::unique_ptr<TFuzzyRuleSet> rules = ReadRuleFile(arguments.Positional[1]);
    const std::unique_ptr<TBasicNetwork> network = ReadWeightFile(arguments.Positional[0]);
    return MeasureFidelity(RecallableNetwork(*network, arguments.Positional[0]), *rules, arguments,
                           out);
}

}  // namespace

const TToolCommand FidelityCommand = {
    "fidelity",
    "  fidelity WEIGHTS RULES (--grid N | --data DATASET) [--conjunction minimum|product]\n"
    "           [--outputs singletons|triangles] [--table FILE]\n"
    "      compares the rules with the network on N points per input or on a data set;\n"
    "      for a data set of one-hot classes, also how often both pick the same class; with\n"
    "      expected outputs, how both do against them; with a data set, also the figures of\n"
    "      every rule and of the whole rule base\n",
    "  --grid N                        N evenly spaced values per input (no default: give --grid\n"
    "                                  or --data)\n"
    "  --data DATASET                  the inputs of a data set file\n"
    "  --conjunction minimum|product   how \"and\" joins conditions (default: minimum)\n"
    "  --outputs singletons|triangles  output terms (default: singletons)\n"
    "  --table FILE                    also write every sample with both outputs, as CSV\n"
    "                                  (default: none)\n",
    RunFidelity};

}  // namespace glean
