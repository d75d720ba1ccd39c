#include "GleanTool/ExplainCommand.h"

#include <optional>

#include "GleanTool/ToolFiles.h"
#include "RuleEngine/TExplanation.h"
#include "RuleEngine/TFidelity.h"

namespace glean {

namespace {

constexpr const char* kOptions[] = {"input", "data", "row", "scale", "conjunction", "outputs"};
constexpr const char* kFlags[] = {"json"};

// The sample the options name, in the units of the rules as the command runs them.
std::vector<double> Sample(const TToolArguments& arguments, const TRuleBase& rules,
                           const TScaleRanges* scaling) {
    if (const std::string* values = arguments.Value("input")) {
        std::vector<double> sample;
        for (const std::string& value : ListOption(*values))
            sample.push_back(NumberOption<double>("--input", value));
        if (sample.size() != std::size_t(rules.Inputs())) {
            throw ToolFailure("--input gives " + std::to_string(sample.size()) +
                              " values, the rules have " + std::to_string(rules.Inputs()) +
                              " inputs");
        }
        return sample;
    }
    const std::string& fileName = arguments.Options.at("data");
    const int row = NumberOption<int>("--row", arguments.Options.at("row"), "a whole number");
    std::vector<std::vector<double>> samples = TFidelity::Samples(*ReadDataSet(fileName), rules);
    if (row < 1 || std::size_t(row) > samples.size()) {
        throw ToolFailure(fileName + " has " + std::to_string(samples.size()) +
                          " rows, not a row " + std::to_string(row));
    }
    if (scaling) ToOriginal(samples, scaling->Inputs);
    return samples[std::size_t(row - 1)];
}

int RunExplain(std::span<const std::string> words, std::ostream& out) {
    const TToolArguments arguments = ParseToolArguments(words, kOptions, 1, kFlags);
    if (arguments.Has("input") == arguments.Has("data") ||
        arguments.Has("data") != arguments.Has("row")) {
        throw UsageError("give either --input, or --data with --row");
    }
    if (arguments.Has("row"))
        NumberOption<int>("--row", arguments.Options.at("row"), "a whole number");
    const TConjunction conjunction = ConjunctionOption(arguments);
    const TOutputMode mode = OutputModeOption(arguments);
    const std::unique_ptr<TFuzzyRuleSet> rules = ReadRuleFile(arguments.Positional[0]);
    const std::optional<TScaleRanges> scaling = ApplyScaleOption(arguments, *rules);
    const TRuleBase base(*rules);
    const TRuleEvaluator evaluator(base, conjunction, mode);
    const std::vector<double> sample = Sample(arguments, base, scaling ? &*scaling : nullptr);
    const TExplanation explanation = Explain(evaluator, base, sample);
    if (arguments.Has("json")) {
        WriteExplanationJson(explanation, evaluator, base, out);
    } else {
        WriteExplanation(explanation, evaluator, base, out);
    }
    return kToolSuccess;
}

}  // namespace

const TToolCommand ExplainCommand = {
    "explain",
    "  explain RULES (--input V,V,... | --data DATASET --row N) [--scale FILE]\n"
    "          [--conjunction minimum|product] [--outputs singletons|triangles] [--json]\n"
    "      why the rules answer what they do for one sample: every condition's degree,\n"
    "      every rule's strength, the outputs and the rule that decided each\n",
    "  --input V,V,...                 the sample, one value per input (no default: give --input\n"
    "                                  or --data with --row)\n"
    "  --data DATASET --row N          the sample is row N, from 1, of a data set file\n"
    "  --scale FILE                    the rules, --input and the outputs in the units of this\n"
    "                                  scaling file (default: the rule file's units)\n"
    "  --conjunction minimum|product   how \"and\" joins conditions (default: minimum)\n"
    "  --outputs singletons|triangles  output terms (default: singletons)\n"
    "  --json                          one JSON object instead of text (default: text)\n",
    RunExplain};

}  // namespace glean
