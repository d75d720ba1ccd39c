#include "Ombra/Glean/Glean.h"

#include <fstream>
#include <istream>
#include <locale>
#include <optional>
#include <ostream>
#include <sstream>
#include <utility>

#include "FileHandler/LabelFile.h"
#include "FileHandler/NetworkFile.h"
#include "FileHandler/ParseTools.h"
#include "FileHandler/TAtomicFile.h"
#include "FileHandler/TRuleFile.h"
#include "KQmessage/Check.h"
#include "KQmessage/KQtextForm.h"
#include "KQmessage/TException.h"
#include "KQmessage/TKQstructure.h"
#include "Ombra/RuleExtraction/TOmbraRule.h"

namespace glean {

namespace {
// Reads the next word, as stream extraction would but at most as long as the words of every
// other reader: an endless one (a parameter file of /dev/zero) must not take all memory. False
// when the file ends first.
bool ReadWord(std::istream& in, std::string& word) {
    word.clear();
    if (!(in >> std::ws)) return false;
    const auto& classes = std::use_facet<std::ctype<char>>(in.getloc());
    for (int ch = in.peek(); ch != std::char_traits<char>::eof(); ch = in.peek()) {
        if (classes.is(std::ctype_base::space, static_cast<char>(ch))) break;
        if (word.size() == FileTools::TokenBufferSize) {
            static_assert(FileTools::TokenBufferSize == 1024, "the message names the limit");
            throw ParameterFileError("Word longer than 1024 characters");
        }
        word.push_back(static_cast<char>(in.get()));
    }
    return !word.empty();
}

// Reads the separator and the file name after a file key; false when the file ends first.
bool ReadFileName(std::istream& in, std::string& name) {
    char separator = 0;
    std::string word;
    if (!(in >> separator) || !ReadWord(in, word)) return false;
    name = std::move(word);
    return true;
}

// Reads the separator and the number after a threshold key. The number is a whole word that
// stream extraction reads completely: "0,5" is no number, not 0 followed by a stray ",5".
double ReadThreshold(std::istream& in, const char* key) {
    char separator = 0;
    std::string word;
    double value = 0.0;
    if (in >> separator && ReadWord(in, word)) {
        std::istringstream number(word);
        number.imbue(in.getloc());
        if (number >> value && number.eof()) return value;
    }
    throw ParameterFileError(std::string(key) + " is not a number");
}

int Fail(std::ostream& err, const std::string& message) {
    err << message << std::endl;
    return 1;
}

// The extraction parameters a parameter file gives: null when it names no threshold.
std::unique_ptr<TKQstructure> ThresholdParams(const GleanParameters& parameters) {
    if (!parameters.ThresholdIn && !parameters.ThresholdOut) return nullptr;
    auto params = std::make_unique<TKQstructure>("Params");
    if (parameters.ThresholdIn) params->SetReal("ThresholdIn", *parameters.ThresholdIn);
    if (parameters.ThresholdOut) params->SetReal("ThresholdOut", *parameters.ThresholdOut);
    return params;
}

std::unique_ptr<TOmbraLabel> LabelsOf(const GleanParameters& parameters) {
    if (!parameters.LabelFile) return nullptr;
    std::ifstream labelFile(*parameters.LabelFile);
    if (!labelFile) throw FileAccessError("Unable to open label file " + *parameters.LabelFile);
    std::unique_ptr<TOmbraLabel> labels = LoadLabels(labelFile);
    GLEAN_CHECK_TEXT(labels != nullptr, "PtrLblNames != 0");
    return labels;
}

std::unique_ptr<TBasicNetwork> NetworkOf(const GleanParameters& parameters) {
    FileTools networkTools;
    std::unique_ptr<TBasicNetwork> network = LoadNetworkFile(networkTools, parameters.WeightFile);
    GLEAN_CHECK_TEXT(network != nullptr, "PtrFunSource != 0");
    return network;
}
}  // namespace

void ReadParameters(std::istream& in, GleanParameters& parameters) {
    std::string key;
    while (ReadWord(in, key)) {
        if (SameText(key, "WeightFile")) {
            ReadFileName(in, parameters.WeightFile);
        } else if (SameText(key, "LabelFile")) {
            std::string name;
            if (ReadFileName(in, name)) parameters.LabelFile = std::move(name);
        } else if (SameText(key, "ThresholdIn")) {
            parameters.ThresholdIn = ReadThreshold(in, "ThresholdIn");
        } else if (SameText(key, "ThresholdOut")) {
            parameters.ThresholdOut = ReadThreshold(in, "ThresholdOut");
        } else if (SameText(key, "RuleFile")) {
            ReadFileName(in, parameters.RuleFile);
        }
    }
}

int RunGlean(int argc, const char* const argv[], std::ostream& out, std::ostream& err) {
    if (argc != 2) return Fail(err, "Usage: Glean parameter.file");
    GleanParameters parameters;
    {
        std::ifstream file(argv[1]);
        // "too" is this message's spelling: scripts and callers match it byte for byte.
        if (!file) return Fail(err, std::string("Unable too open file ") + argv[1]);
        try {
            ReadParameters(file, parameters);
        } catch (const ParameterFileError& error) {
            return Fail(err, error.what());
        }
    }
    if (parameters.WeightFile.empty()) return Fail(err, "WeightFile not specified");
    if (parameters.RuleFile.empty()) return Fail(err, "RuleFile not specified");
    if (const std::string clash = RuleFileClash(parameters, argv[1]); !clash.empty()) {
        return Fail(err, clash);
    }
    return RunExtraction(parameters, out, err);
}

std::string RuleFileClash(const GleanParameters& parameters, const std::string& parameterFile) {
    const std::pair<const std::string*, const char*> inputs[] = {
        {&parameters.WeightFile, "weight file"},
        {parameters.LabelFile ? &*parameters.LabelFile : nullptr, "label file"},
        {&parameterFile, "parameter file"}};
    for (const auto& [name, role] : inputs) {
        if (name != nullptr && TAtomicFile::Replaces(parameters.RuleFile, *name)) {
            return "RuleFile " + parameters.RuleFile + " is the " + role;
        }
    }
    return {};
}

int RunExtraction(const GleanParameters& parameters, std::ostream& out, std::ostream& err) {
    try {
        TGleanRules(parameters).Save(parameters.RuleFile);
        return 0;
    } catch (const FileAccessError& error) {
        return Fail(err, error.what());
    } catch (const FileTools::Error& error) {
        // Unlike the other failures, on standard output: scripts and callers look for it there.
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

void ExtractRuleFile(std::istream& weights, std::istream* labels, const GleanParameters& parameters,
                     std::ostream& rules) {
    FileTools networkTools;
    std::unique_ptr<TBasicNetwork> network = ReadNetwork(networkTools, weights);
    TGleanRules(std::move(network), labels != nullptr ? LoadLabels(*labels) : nullptr, parameters)
        .Write(rules);
}

TGleanRules::TGleanRules(const GleanParameters& parameters) : network_(NetworkOf(parameters)) {
    Begin(LabelsOf(parameters).get(), parameters);
}

TGleanRules::TGleanRules(std::unique_ptr<TBasicNetwork> network,
                         std::unique_ptr<TOmbraLabel> labels, const GleanParameters& parameters)
    : network_(std::move(network)) {
    Begin(labels.get(), parameters);
}

void TGleanRules::Begin(const TOmbraLabel* labels, const GleanParameters& parameters) {
    ombra_ = &RequireOmbra(*network_);
    thresholds_ = BeginExtraction(*ombra_, variables_, ThresholdParams(parameters), labels);
    set_ = variables_.get();
}

TGleanRules::TGleanRules(std::shared_ptr<const TFuzzyRuleSet> rules) : rules_(std::move(rules)) {
    GLEAN_CHECK(rules_ != nullptr && rules_->InputMFList && rules_->RuleList &&
                rules_->OutputMFList);
    set_ = rules_.get();
}

TGleanRules::~TGleanRules() = default;

std::unique_ptr<TGleanRules> TGleanRules::FromRuleFile(const std::string& fileName) {
    std::ifstream in(fileName);
    if (!in) throw FileAccessError("Unable to open rule file " + fileName);
    FileTools tools;
    return std::make_unique<TGleanRules>(TRuleFile::LoadRules(tools, in));
}

const TMFSetList& TGleanRules::Inputs() const {
    return *set_->InputMFList;
}

const TMFSetList& TGleanRules::Outputs() const {
    return *set_->OutputMFList;
}

const TFuzzyRuleSet& TGleanRules::Rules() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!rules_) {
        variables_->RuleList =
            BuildRuleList(*ombra_, thresholds_.thresholdIn, thresholds_.thresholdOut);
        rules_ = std::move(variables_);
        ombra_ = nullptr;
        network_.reset();
    }
    return *rules_;
}

void TGleanRules::Write(std::ostream& out) {
    const std::lock_guard<std::mutex> lock(mutex_);
    FileTools ruleTools;
    if (rules_) {
        TRuleFile::SaveRules(ruleTools, out, *rules_);
        return;
    }
    // Each rule is written as soon as it is extracted, so that a network of many thousand rules
    // never has its whole rule set in memory.
    TRuleFileWriter writer(ruleTools, out, *variables_);
    ForEachRule(*ombra_, thresholds_, [&writer](const TRule& rule) { writer.Write(rule); });
    writer.Finish();
}

void TGleanRules::Save(const std::string& fileName) {
    // The rules go to a temporary file that replaces the rule file once complete: a failure or
    // a kill on the way leaves an earlier rule file as it was.
    std::optional<TAtomicFile> file;
    try {
        file.emplace(fileName);
    } catch (const TAtomicFile::Error&) {
        throw FileAccessError("Unable to open file " + fileName);
    }
    Write(file->Stream());
    try {
        file->Commit();
    } catch (const TAtomicFile::Error&) {
        throw FileAccessError("Unable to write file " + fileName);
    }
}

}  // namespace glean
