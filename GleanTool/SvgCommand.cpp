#include "GleanTool/SvgCommand.h"

#include <filesystem>
#include <set>

#include "RuleEngine/TMembershipChart.h"
#include "RuleEngine/TRuleExporter.h"
#include "RuleEngine/TRuleMap.h"

namespace glean {

namespace {

struct TPicture {
    std::string FileName;
    std::string Svg;
};

// The charts of one MF set list; `kind` is "input" or "output". Empty slots get no chart.
void AddCharts(const TMFSetList* list, const std::string& kind, const std::string& prefix,
               std::set<std::string>& taken, std::vector<TPicture>& pictures) {
    for (int v = 0; list && v < list->VariablesRepresented; ++v) {
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
                                    (set->NumberOfMF == 1 ? " term)" : " terms)");
        pictures.push_back({prefix + "-" + stem + ".svg", TMembershipChart(*set, caption).Svg()});
    }
}

int RunSvg(std::span<const std::string> words, std::ostream& out) {
    const TToolArguments arguments = ParseToolArguments(words, {}, 2);
    const std::string& rulesFile = arguments.Positional[0];
    const std::string& prefix = arguments.Positional[1];
    const std::unique_ptr<TFuzzyRuleSet> rules = ReadRuleFile(rulesFile);
    std::set<std::string> taken = {"rules"};
    std::vector<TPicture> pictures;
    AddCharts(rules->InputMFList.get(), "input", prefix, taken, pictures);
    AddCharts(rules->OutputMFList.get(), "output", prefix, taken, pictures);
    const int count = rules->RuleList ? rules->RuleList->numRules() : 0;
    const TRuleMap map(*rules, "Rules of " + std::filesystem::path(rulesFile).filename().string() +
                                   " (" + std::to_string(count) + ")");
    pictures.push_back({prefix + "-rules.svg", map.Svg()});
    for (const TPicture& picture : pictures) {
        WriteTextFile(picture.FileName, picture.Svg);
        out << picture.FileName << '\n';
    }
    return kToolSuccess;
}

}  // namespace

const TToolCommand SvgCommand = {
    "svg",
    "  svg RULES PREFIX\n"
    "      draws the rule file as SVG: PREFIX-<variable>.svg per variable, PREFIX-rules.svg\n",
    RunSvg};

}  // namespace glean
