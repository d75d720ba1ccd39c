#include "GleanTool/SimplifyCommand.h"

#include <sstream>

#include "FileHandler/TRuleFile.h"
#include "GleanTool/ToolFiles.h"
#include "Ombra/RuleExtraction/TOmbraRule.h"
#include "RuleEngine/TFidelity.h"
#include "RuleEngine/TSimplifier.h"

namespace glean {

namespace {

constexpr const char* kOptions[] = {"data", "budget", "merge", "weights", "conjunction", "outputs"};

double Share(const TToolArguments& arguments, const char* name, double standard) {
    const std::string* text = arguments.Value(name);
    return text ? ShareOption(std::string("--") + name, *text) : standard;
}

int RunSimplify(std::span<const std::string> words, std::ostream& out) {
    const TToolArguments arguments = ParseToolArguments(words, kOptions, 2);
    if (!arguments.Has("data")) throw UsageError("simplify needs --data");
    TSimplifySettings settings;
    settings.Budget = Share(arguments, "budget", settings.Budget);
    settings.MergeLimit = Share(arguments, "merge", settings.MergeLimit);
    settings.Conjunction = ConjunctionOption(arguments);
    settings.Mode = OutputModeOption(arguments);
    settings.Log = &out;
    const std::string& rulesFile = arguments.Positional[0];
    const std::string& dataFile = arguments.Options.at("data");
    const std::string* weightsFile = arguments.Value("weights");
    const TToolFile inputs[] = {{"rule file", rulesFile},
                                {"data set", dataFile},
                                {"weight file", weightsFile ? *weightsFile : ""}};
    RefuseInputAsOutput({"simplified rule file", arguments.Positional[1]}, inputs);
    const std::unique_ptr<TFuzzyRuleSet> rules = ReadRuleFile(rulesFile);
    const TRuleBase base(*rules);
    const std::unique_ptr<Data> data = ReadDataSet(dataFile);
    TFigureRows rows{TFidelity::Samples(*data, base), {}, TFidelity::OneHotClasses(*data)};
    std::string against = "the expected outputs";
    if (weightsFile) {
        const std::unique_ptr<TBasicNetwork> network = ReadWeightFile(*weightsFile);
        rows.Reference =
            NetworkAnswers(RequireOmbra(*network), rows.Inputs, base.Inputs(), base.Outputs());
        against = "the network";
    } else if (data->Outputs() != base.Outputs()) {
        throw ToolFailure(
            dataFile + " has " + std::to_string(data->Outputs()) + " expected outputs, the rules " +
            std::to_string(base.Outputs()) +
            (data->Outputs() == 0 ? ": give --weights to simplify against a network" : ""));
    } else {
        rows.Reference = TFidelity::Expected(*data);
    }
    const int before = rules->RuleList->numRules();
    out << "Simplifying " << before << " rules on " << rows.Inputs.size() << " samples of "
        << dataFile << " against " << against << ", budget " << FixedNumber(settings.Budget, 6)
        << '\n';
    const TSimplifyResult result = Simplify(*rules, rows, settings);
    out << result.Figure << ' ' << FixedNumber(result.Start, 6) << " -> "
        << FixedNumber(result.End, 6) << "; " << result.MergedTerms << " terms merged, "
        << result.DroppedConditions << " conditions and " << result.DroppedRules
        << " rules dropped; rules " << before << " -> " << rules->RuleList->numRules() << '\n';
    std::ostringstream text;
    FileTools tools;
    TRuleFile::SaveRules(tools, text, *rules);
    WriteTextFile(arguments.Positional[1], text.str());
    return kToolSuccess;
}

}  // namespace

const TToolCommand SimplifyCommand = {
    "simplify",
    "  simplify RULES OUT --data DATASET [--budget B] [--merge J] [--weights WEIGHTS]\n"
    "           [--conjunction minimum|product] [--outputs singletons|triangles]\n"
    "      merges alike terms and drops conditions and rules while the rules' accuracy\n"
    "      (or R^2) on the data set falls by at most B (0.01); writes the rules to OUT\n",
    "  --data DATASET                  the samples the figure is measured on (required)\n"
    "  --budget B                      how far, from 0 to 1, the figure may fall (default: 0.01)\n"
    "  --merge J                       terms of one input more alike than J (Jaccard, 0 to 1)\n"
    "                                  are merged (default: 0.5)\n"
    "  --weights WEIGHTS               measure against this network's outputs instead of the\n"
    "                                  expected outputs (default: the expected outputs)\n"
    "  --conjunction minimum|product   how \"and\" joins conditions (default: minimum)\n"
    "  --outputs singletons|triangles  output terms (default: singletons)\n",
    RunSimplify};

}  // namespace glean
