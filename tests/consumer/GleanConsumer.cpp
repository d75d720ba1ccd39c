// Uses an installed Glean through its public headers only, the way another program would build
// on its libraries: reads a parameter file, loads the network and the labels it names, extracts
// the rules with the thresholds it gives and writes the rule file to standard output. Checks that
// the rule file reads back to the same text. Any failure exits 1.
//
// Usage: GleanConsumer parameter.file    (file names in it are relative to its folder)
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "FileHandler/LabelFile.h"
#include "FileHandler/NetworkFile.h"
#include "FileHandler/ParseTools.h"
#include "FileHandler/TRuleFile.h"
#include "KQmessage/TException.h"
#include "KQmessage/TKQstructure.h"
#include "Ombra/Glean/Glean.h"
#include "Ombra/RuleExtraction/TOmbraRule.h"
#include "Ombra/TOmbraLabel.h"

namespace {

namespace fs = std::filesystem;

// The thresholds the parameters name, as the rule extraction takes them; null when none is.
std::unique_ptr<glean::TKQstructure> ExtractionParameters(const glean::GleanParameters& given) {
    if (!given.ThresholdIn && !given.ThresholdOut) return nullptr;
    auto params = std::make_unique<glean::TKQstructure>("Params");
    if (given.ThresholdIn) params->SetReal("ThresholdIn", *given.ThresholdIn);
    if (given.ThresholdOut) params->SetReal("ThresholdOut", *given.ThresholdOut);
    return params;
}

std::string RuleFileText(const glean::TFuzzyRuleSet& rules) {
    glean::FileTools tools;
    std::ostringstream text;
    glean::TRuleFile::SaveRules(tools, text, rules);
    return text.str();
}

int Fail(const std::string& message) {
    std::cerr << "GleanConsumer: " << message << '\n';
    return 1;
}

int Run(const fs::path& parameterFile) {
    std::ifstream in(parameterFile);
    if (!in) return Fail("cannot open " + parameterFile.string());
    glean::GleanParameters parameters;
    glean::ReadParameters(in, parameters);
    const fs::path folder = parameterFile.parent_path();

    glean::FileTools tools;
    const auto network = glean::LoadNetworkFile(tools, (folder / parameters.WeightFile).string());
    std::unique_ptr<glean::TOmbraLabel> labels;
    if (parameters.LabelFile) {
        std::ifstream labelFile(folder / *parameters.LabelFile);
        if (!labelFile) return Fail("cannot open " + *parameters.LabelFile);
        labels = glean::LoadLabels(labelFile);
    }
    std::unique_ptr<glean::TFuzzyRuleSet> rules;
    glean::ExtractRules(glean::RequireOmbra(*network), rules, ExtractionParameters(parameters),
                        labels.get());
    const std::string text = RuleFileText(*rules);
    std::cout << text;

    std::istringstream saved(text);
    if (RuleFileText(*glean::TRuleFile::LoadRules(tools, saved)) != text) {
        return Fail("the rule file read back differs from the one written");
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) return Fail("usage: GleanConsumer parameter.file");
    try {
        return Run(argv[1]);
    } catch (const glean::FileTools::Error& error) {
        return Fail(error.what());
    } catch (const glean::TException& error) {
        return Fail(error.Message + " (" + error.Kind + ", " + error.Operation + ")");
    } catch (const glean::ParameterFileError& error) {
        return Fail(error.what());
    }
}
