#include "Ombra/Glean/Glean.h"

#include <fstream>
#include <istream>
#include <ostream>

#include "FileHandler/LabelFile.h"
#include "FileHandler/NetworkFile.h"
#include "FileHandler/ParseTools.h"
#include "FileHandler/TRuleFile.h"
#include "KQmessage/Check.h"
#include "KQmessage/KQtextForm.h"
#include "KQmessage/TException.h"
#include "KQmessage/TKQstructure.h"
#include "Ombra/RuleExtraction/TOmbraRule.h"

namespace glean {

namespace {
// Reads the separator and the file name after a file key; false when the file ends first.
bool ReadFileName(std::istream& in, std::string& name) {
    char separator = 0;
    std::string word;
    if (!(in >> separator >> word)) return false;
    name = std::move(word);
    return true;
}

// Reads the separator and the number after a threshold key.
double ReadThreshold(std::istream& in, const char* key) {
    char separator = 0;
    double value = 0.0;
    if (!(in >> separator >> value)) {
        throw ParameterFileError(std::string(key) + " is not a number");
    }
    return value;
}

int Fail(std::ostream& err, const std::string& message) {
    err << message << std::endl;
    return 1;
}
}  // namespace

void ReadParameters(std::istream& in, GleanParameters& parameters) {
    std::string key;
    while (in >> key) {
        if (strcasecmp(key, "WeightFile") == 0) {
            ReadFileName(in, parameters.WeightFile);
        } else if (strcasecmp(key, "LabelFile") == 0) {
            if (ReadFileName(in, parameters.LabelFile)) parameters.LabelFileGiven = true;
        } else if (strcasecmp(key, "ThresholdIn") == 0) {
            parameters.ThresholdIn = ReadThreshold(in, "ThresholdIn");
            parameters.ThresholdInGiven = true;
        } else if (strcasecmp(key, "ThresholdOut") == 0) {
            parameters.ThresholdOut = ReadThreshold(in, "ThresholdOut");
            parameters.ThresholdOutGiven = true;
        } else if (strcasecmp(key, "RuleFile") == 0) {
            ReadFileName(in, parameters.RuleFile);
        }
    }
}

int RunGlean(int argc, const char* const argv[], std::ostream& out, std::ostream& err) {
    if (argc != 2) return Fail(err, "Usage: Glean parameter.file");
    GleanParameters parameters;
    {
        std::ifstream file(argv[1]);
        if (!file) return Fail(err, std::string("Unable too open file ") + argv[1]);
        try {
            ReadParameters(file, parameters);
        } catch (const ParameterFileError& error) {
            return Fail(err, error.what());
        }
    }
    if (parameters.WeightFile.empty()) return Fail(err, "WeightFile not specified");
    if (parameters.RuleFile.empty()) return Fail(err, "RuleFile not specified");
    return RunExtraction(parameters, out, err);
}

int RunExtraction(const GleanParameters& parameters, std::ostream& out, std::ostream& err) {
    FileTools networkTools;
    FileTools ruleTools;
    try {
        const std::unique_ptr<TBasicNetwork> network =
            LoadNetworkFile(networkTools, parameters.WeightFile);
        GLEAN_CHECK_TEXT(network != nullptr, "PtrFunSource != 0");
        std::unique_ptr<TOmbraLabel> labels;
        if (parameters.LabelFileGiven) {
            std::ifstream labelFile(parameters.LabelFile);
            if (!labelFile) return Fail(err, "Unable to open label file " + parameters.LabelFile);
            labels = LoadLabels(labelFile);
            GLEAN_CHECK_TEXT(labels != nullptr, "PtrLblNames != 0");
        }
        const std::unique_ptr<TFuzzyRuleSet> ruleSet =
            ExtractRuleSet(*network, labels.get(), parameters);
        // Opened only now, so that a failed extraction leaves an earlier rule file alone.
        std::ofstream ruleFile(parameters.RuleFile, std::ios::out | std::ios::trunc);
        if (!ruleFile) return Fail(err, "Unable to open file " + parameters.RuleFile);
        TRuleFile::SaveRules(ruleTools, ruleFile, *ruleSet);
        ruleFile.close();
        if (!ruleFile) return Fail(err, "Unable to write file " + parameters.RuleFile);
        return 0;
    } catch (const FileTools::Error& error) {
        out << error.Message() << std::endl;
    } catch (const TException& error) {
        err << error.Message << '\n' << error.Kind << '\n' << error.Operation << std::endl;
    } catch (const TKQstructure::Error& error) {
        PrintLine(error.Node(), err);
    } catch (const std::exception& error) {
        err << "Glean: " << error.what() << std::endl;
    }
    return 1;
}

std::unique_ptr<TFuzzyRuleSet> ExtractRuleSet(TBasicNetwork& network, const TOmbraLabel* labels,
                                              const GleanParameters& parameters) {
    TOmbra& ombra = RequireOmbra(network);
    std::unique_ptr<TKQstructure> params;
    if (parameters.ThresholdInGiven || parameters.ThresholdOutGiven) {
        params = std::make_unique<TKQstructure>("Params");
        if (parameters.ThresholdInGiven) params->SetReal("ThresholdIn", parameters.ThresholdIn);
        if (parameters.ThresholdOutGiven) params->SetReal("ThresholdOut", parameters.ThresholdOut);
    }
    std::unique_ptr<TFuzzyRuleSet> ruleSet;
    ExtractRules(ombra, ruleSet, std::move(params), labels);
    GLEAN_CHECK_TEXT(ruleSet != nullptr, "PtrFrsGenerated != 0");
    return ruleSet;
}

void ExtractRuleFile(std::istream& weights, std::istream* labels, const GleanParameters& parameters,
                     std::ostream& rules) {
    FileTools networkTools;
    const std::unique_ptr<TBasicNetwork> network = ReadNetwork(networkTools, weights);
    std::unique_ptr<TOmbraLabel> names;
    if (labels != nullptr) names = LoadLabels(*labels);
    const std::unique_ptr<TFuzzyRuleSet> ruleSet =
        ExtractRuleSet(*network, names.get(), parameters);
    FileTools ruleTools;
    TRuleFile::SaveRules(ruleTools, rules, *ruleSet);
}

}  // namespace glean
