#include "GleanTool/ReportCommand.h"

#include <filesystem>
#include <optional>

#include "Charts/THtmlReport.h"
#include "GleanTool/ToolFiles.h"
#include "Ombra/RuleExtraction/TOmbraRule.h"
#include "RuleEngine/TFidelity.h"

namespace glean {

namespace {

constexpr const char* kOptions[] = {"weights", "data", "scale", "conjunction", "outputs"};

std::string OptionOrNone(const TToolArguments& arguments, const char* name) {
    const std::string* value = arguments.Value(name);
    return value ? *value : std::string();
}

std::string FileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

int RunReport(std::span<const std::string> words, std::ostream& out) {
    const TToolArguments arguments = ParseToolArguments(words, kOptions, 2);
    if (arguments.Has("weights") && !arguments.Has("data")) {
        throw UsageError("give --data with --weights");
    }
    TReportContent content;
    content.Conjunction = ConjunctionOption(arguments);
    content.Mode = OutputModeOption(arguments);
    const std::string& rulesFile = arguments.Positional[0];
    const TToolFile inputs[] = {{"rule file", rulesFile},
                                {"weight file", OptionOrNone(arguments, "weights")},
                                {"data set", OptionOrNone(arguments, "data")},
                                {"scaling file", OptionOrNone(arguments, "scale")}};
    RefuseInputAsOutput({"report", arguments.Positional[1]}, inputs);
    const std::unique_ptr<TFuzzyRuleSet> rules = ReadRuleFile(rulesFile);
    const TRuleBase base(*rules);
    content.Title = "Rules of " + FileName(rulesFile);
    content.Units = "the units of " + FileName(rulesFile);
    if (const std::string* dataFile = arguments.Value("data")) {
        const std::unique_ptr<Data> data = ReadDataSet(*dataFile);
        content.DataName = FileName(*dataFile);
        content.Inputs = TFidelity::Samples(*data, base);
        if (data->Outputs() == base.Outputs()) {
            content.Expected = TFidelity::Expected(*data);
            content.Classes = TFidelity::OneHotClasses(*data);
        }
        if (const std::string* weights = arguments.Value("weights")) {
            const std::unique_ptr<TBasicNetwork> network = ReadWeightFile(*weights);
            content.Network = NetworkAnswers(RequireOmbra(*network), content.Inputs, base.Inputs(),
                                             base.Outputs());
        }
    }
    if (const std::optional<TScaleRanges> scaling = ApplyScaleOption(arguments, *rules)) {
        ToOriginal(content.Inputs, scaling->Inputs);
        ToOriginal(content.Expected, scaling->Outputs);
        ToOriginal(content.Network, scaling->Outputs);
        content.Units = "the units of the data (" + FileName(arguments.Options.at("scale")) + ")";
    }
    WriteTextFile(arguments.Positional[1], HtmlReport(*rules, content));
    out << arguments.Positional[1] << '\n';
    return kToolSuccess;
}

}  // namespace

const TToolCommand ReportCommand = {
    "report",
    "  report RULES OUT [--weights WEIGHTS] [--data DATASET] [--scale FILE]\n"
    "         [--conjunction minimum|product] [--outputs singletons|triangles]\n"
    "      one self-contained HTML page: the rules, their charts, their figures and, with\n"
    "      a data set, how they do on it (against a network too, with --weights)\n",
    "  --data DATASET                  the samples of the figures, charts and confusion matrix\n"
    "                                  (default: none; the figures of the rules alone)\n"
    "  --weights WEIGHTS               the network to compare with, on --data (default: none)\n"
    "  --scale FILE                    rules and samples in the units of this scaling file\n"
    "                                  (default: the rule file's units)\n"
    "  --conjunction minimum|product   how \"and\" joins conditions (default: minimum)\n"
    "  --outputs singletons|triangles  output terms (default: singletons)\n",
    RunReport};

}  // namespace glean
