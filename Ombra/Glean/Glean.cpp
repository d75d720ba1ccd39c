#include "Ombra/Glean/Glean.h"

#include <fstream>
#include <istream>
#include <ostream>

#include "KQmessage/TException.h"

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

int RunExtraction(const GleanParameters& /*parameters*/, std::ostream& /*out*/, std::ostream& err) {
    return Fail(err, "Glean: rule extraction is not available in this build");
}

}  // namespace glean
