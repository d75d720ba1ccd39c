#include "GleanTool/ExportCommand.h"

#include <filesystem>
#include <sstream>

#include "GleanTool/ToolFiles.h"
#include "RuleEngine/TRuleExporter.h"

namespace glean {

namespace {

constexpr const char* kOptions[] = {"conjunction", "outputs", "scale"};

int RunExport(std::span<const std::string> words, std::ostream&) {
    const TToolArguments arguments = ParseToolArguments(words, kOptions, 2);
    const std::string& engineFile = arguments.Positional[1];
    const std::unique_ptr<TRuleExporter> exporter = TRuleExporter::ForFile(engineFile);
    if (!exporter) throw UsageError("the engine file must end in .fll, .fis or .fcl");
    TExportOptions options;
    options.Conjunction = ConjunctionOption(arguments);
    options.Mode = OutputModeOption(arguments);
    options.EngineName = std::filesystem::path(engineFile).stem().string();
    const std::string* scale = arguments.Value("scale");
    const TToolFile inputs[] = {{"rule file", arguments.Positional[0]},
                                {"scaling file", scale ? *scale : ""}};
    RefuseInputAsOutput({"engine file", engineFile}, inputs);
    const std::unique_ptr<TFuzzyRuleSet> rules = ReadRuleFile(arguments.Positional[0]);
    ApplyScaleOption(arguments, *rules);
    const TRuleBase base(*rules);
    std::ostringstream text;
    exporter->Write(base, options, text);
    WriteTextFile(engineFile, text.str());
    return kToolSuccess;
}

}  // namespace

const TToolCommand ExportCommand = {
    "export",
    "  export RULES ENGINE [--conjunction minimum|product] [--outputs singletons|triangles]\n"
    "         [--scale FILE]\n"
    "      writes the rule file as ENGINE.fll (fuzzylite), ENGINE.fis or ENGINE.fcl\n",
    "  --conjunction minimum|product   how \"and\" joins conditions (default: minimum)\n"
    "  --outputs singletons|triangles  the output terms as singletons, or triangles with a\n"
    "                                  centroid (default: singletons)\n"
    "  --scale FILE                    state the rules in the units of this scaling file, as\n"
    "                                  csv and fit write it (default: the rule file's units)\n",
    RunExport};

}  // namespace glean
