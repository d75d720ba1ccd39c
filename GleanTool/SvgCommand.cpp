#include "GleanTool/SvgCommand.h"

#include <filesystem>
#include <set>

#include "Charts/TMembershipChart.h"
#include "Charts/TRuleMap.h"
#include "GleanTool/ToolFiles.h"
#include "Ombra/RuleExtraction/TOmbraRule.h"
#include "RuleEngine/TFidelity.h"
#include "RuleEngine/TRuleExporter.h"

namespace glean {

namespace {

constexpr const char* kOptions[] = {"weights", "data", "scale"};

struct TPicture {
    std::string FileName;
    std::string Svg;
};

// Per variable, the value of every sample: inputs from the data set, outputs as the network
// answers them, and what the chart captions say of them. Empty without --weights and --data.
struct TSampleValues {
    std::vector<std::vector<double>> Inputs, Outputs;
    std::string InputNote, OutputNote;
};

int VariablesOf(const TMFSetList* list) {
    return list ? list->VariablesRepresented : 0;
}

// The samples in the units of a scaling file.
void ScaleSamples(const TScaleRanges& ranges, TSampleValues& values) {
    auto map = [](std::vector<std::vector<double>>& samples, const std::vector<TValueRange>& of) {
        for (std::size_t v = 0; v < samples.size() && v < of.size(); ++v)
            for (double& value : samples[v])
                value = of[v].Original(value);
    };
    map(values.Inputs, ranges.Inputs);
    map(values.Outputs, ranges.Outputs);
}

TSampleValues ReadSamples(const TToolArguments& arguments, const TFuzzyRuleSet& rules) {
    TSampleValues values;
    if (!arguments.Has("weights")) return values;
    const int inputs = VariablesOf(rules.InputMFList.get());
    const int outputs = VariablesOf(rules.OutputMFList.get());
    const std::unique_ptr<TBasicNetwork> network = ReadWeightFile(arguments.Options.at("weights"));
    TOmbra& ombra = RecallableNetwork(*network, arguments.Options.at("weights"));
    const TOmbraStructure shape = ombra.GetStructure();
    if (shape.nInputs != inputs || shape.nOutputs != outputs) {
        throw ToolFailure("the network has " + std::to_string(shape.nInputs) + " inputs and " +
                          std::to_string(shape.nOutputs) + " outputs, the rules " +
                          std::to_string(inputs) + " and " + std::to_string(outputs));
    }
    const std::string& dataFile = arguments.Options.at("data");
    const auto samples = TFidelity::Samples(*ReadDataSet(dataFile), inputs);
    const std::string dataName = std::filesystem::path(dataFile).filename().string();
    values.InputNote = ", samples of " + dataName;
    values.OutputNote = ", network outputs on " + dataName;
    values.Inputs.resize(std::size_t(inputs));
    values.Outputs.resize(std::size_t(outputs));
    std::vector<double> answer(static_cast<std::size_t>(outputs));
    for (const std::vector<double>& sample : samples) {
        ombra.Recall(sample, answer);
        for (int v = 0; v < inputs; ++v)
            values.Inputs[v].push_back(sample[v]);
        for (int o = 0; o < outputs; ++o)
            values.Outputs[o].push_back(answer[o]);
    }
    return values;
}

// The charts of one MF set list; `kind` is "input" or "output". Empty slots get no chart.
void AddCharts(const TMFSetList* list, const std::string& kind,
               const std::vector<std::vector<double>>& samples, const std::string& note,
               const std::string& prefix, std::set<std::string>& taken,
               std::vector<TPicture>& pictures) {
    for (int v = 0; v < VariablesOf(list); ++v) {
        const TBasicMFSet* set = list->GetMFSet(v);
        if (!set) continue;
        const std::string number = std::to_string(v + 1);
        std::string stem = set->Name.empty() ? kind + number : TRuleExporter::EngineName(set->Name);
        if (!taken.insert(stem).second) {
            stem += "-" + kind + number;  // "-" never occurs in an engine name: no clash
            taken.insert(stem);
        }
        const std::string caption = (set->Name.empty() ? "" : set->Name + " ") + "(" + kind + " " +
                                    number + ", " + std::to_string(set->NumberOfMF) +
                                    (set->NumberOfMF == 1 ? " term)" : " terms)") + note;
        const std::span<const double> values =
            samples.empty() ? std::span<const double>() : samples[std::size_t(v)];
        pictures.push_back(
            {prefix + "-" + stem + ".svg", TMembershipChart(*set, caption, values).Svg()});
    }
}

int RunSvg(std::span<const std::string> words, std::ostream& out) {
    const TToolArguments arguments = ParseToolArguments(words, kOptions, 2);
    if (arguments.Has("weights") != arguments.Has("data")) {
        throw UsageError("give both --weights and --data, or neither");
    }
    const std::string& rulesFile = arguments.Positional[0];
    const std::string& prefix = arguments.Positional[1];
    const std::unique_ptr<TFuzzyRuleSet> rules = ReadRuleFile(rulesFile);
    TSampleValues samples = ReadSamples(arguments, *rules);
    if (const std::optional<TScaleRanges> ranges = ApplyScaleOption(arguments, *rules))
        ScaleSamples(*ranges, samples);
    std::set<std::string> taken = {"rules"};
    std::vector<TPicture> pictures;
    AddCharts(rules->InputMFList.get(), "input", samples.Inputs, samples.InputNote, prefix, taken,
              pictures);
    AddCharts(rules->OutputMFList.get(), "output", samples.Outputs, samples.OutputNote, prefix,
              taken, pictures);
    const int count = rules->RuleList ? rules->RuleList->numRules() : 0;
    const TRuleMap map(*rules, "Rules of " + std::filesystem::path(rulesFile).filename().string() +
                                   " (" + std::to_string(count) + ")");
    pictures.push_back({prefix + "-rules.svg", map.Svg()});
    const TToolFile inputs[] = {
        {"rule file", rulesFile},
        {"weight file", arguments.Has("weights") ? arguments.Options.at("weights") : ""},
        {"data set", arguments.Has("data") ? arguments.Options.at("data") : ""},
        {"scaling file", arguments.Has("scale") ? arguments.Options.at("scale") : ""}};
    for (const TPicture& picture : pictures)
        RefuseInputAsOutput({"chart", picture.FileName}, inputs);
    for (const TPicture& picture : pictures) {
        WriteTextFile(picture.FileName, picture.Svg);
        out << picture.FileName << '\n';
    }
    return kToolSuccess;
}

}  // namespace

const TToolCommand SvgCommand = {
    "svg",
    "  svg RULES PREFIX [--weights WEIGHTS --data DATASET] [--scale FILE]\n"
    "      draws the rule file as SVG: PREFIX-<variable>.svg per variable, PREFIX-rules.svg;\n"
    "      with a network and a data set, the samples' memberships on the charts\n",
    "  --weights WEIGHTS  the network whose outputs the output charts show (default: none)\n"
    "  --data DATASET     the samples to show, with --weights (default: none)\n"
    "  --scale FILE       axes in the units of this scaling file (default: the rule file's)\n",
    RunSvg};

}  // namespace glean
