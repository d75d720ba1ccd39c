// The Glean driver: the command line, the parameter file and its checks, then the run: load the
// network and the labels, extract the rules, write the rule file.
//
// Parameter file: whitespace-separated words, read as keys one by one.
//
//   file          = { entry | other-word }
//   entry         = file-key sep word | threshold-key sep number
//   file-key      = "WeightFile" | "LabelFile" | "RuleFile"     (any letter case)
//   threshold-key = "ThresholdIn" | "ThresholdOut"             (any letter case)
//   sep           = one non-blank character, read and discarded unchecked ("=" by convention)
//   number        = a word that stream extraction reads whole as a floating-point number
//
// A word that is no key is skipped on its own; a later entry overwrites an earlier one. The
// separator is a single character, so "WeightFile =net.wts" works but "WeightFile=net.wts" is one
// unknown word. A word is at most 1024 characters, as in the files the run reads.
#pragma once

#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>

#include "NeuralNets/TBasicNetwork.h"
#include "Ombra/RuleExtraction/TOmbraRule.h"
#include "Ombra/TOmbraLabel.h"
#include "RuleObject/RuleObject.h"

namespace glean {

// What the parameter file asks of one run.
struct GleanParameters {
    std::string WeightFile;  // the trained network; empty when not named
    std::optional<std::string> LabelFile;
    std::optional<double> ThresholdIn;
    std::optional<double> ThresholdOut;
    std::string RuleFile;  // the rule file to write; empty when not named
};

// A parameter file the driver cannot use; what() is the message for standard error.
class ParameterFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file the run cannot open or write; what() is the message for standard error.
class FileAccessError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The rules of a network as the program writes them, or those of a rule file. Read off a network,
// the rules are extracted only when first asked for: until then Write streams them a rule at a
// time, as the program does, so that the whole set is never held; once they are held, the network
// is released. One object may serve several threads at once.
class TGleanRules {
public:
    // Loads the weight file and the label file that `parameters` name (not RuleFile) and checks
    // them against each other, so that afterwards only writing can fail. Throws
    // FileTools::OpenError ("Error on File Open") for a weight file that cannot be opened,
    // FileAccessError ("Unable to open label file <name>"), and what ExtractRuleFile throws.
    explicit TGleanRules(const GleanParameters& parameters);
    // The same on a network and labels (null: default names) that are read already.
    TGleanRules(std::unique_ptr<TBasicNetwork> network, std::unique_ptr<TOmbraLabel> labels,
                const GleanParameters& parameters);
    // A whole rule set, which must hold its three parts.
    explicit TGleanRules(std::shared_ptr<const TFuzzyRuleSet> rules);
    ~TGleanRules();
    TGleanRules(const TGleanRules&) = delete;
    TGleanRules& operator=(const TGleanRules&) = delete;

    // Reads the rule file `fileName`. Throws FileAccessError ("Unable to open rule file <name>")
    // and what TRuleFile::LoadRules throws.
    static std::unique_ptr<TGleanRules> FromRuleFile(const std::string& fileName);

    // The variables, known from the start.
    const TMFSetList& Inputs() const;
    const TMFSetList& Outputs() const;
    // The whole rule set, extracted on the first call.
    const TFuzzyRuleSet& Rules();
    // Writes the rule file to `out`; the stream's state tells whether that worked.
    void Write(std::ostream& out);
    // Writes the rule file `fileName`, replacing an earlier one only once complete
    // (FileHandler/TAtomicFile.h). Throws FileAccessError ("Unable to open file <name>", "Unable
    // to write file <name>"); an earlier file then stays as it was.
    void Save(const std::string& fileName);

private:
    // Checks the network and makes the variables, named from `labels` (null: default names).
    void Begin(const TOmbraLabel* labels, const GleanParameters& parameters);

    std::mutex mutex_;
    std::unique_ptr<TBasicNetwork> network_;  // until the rules are held
    TOmbra* ombra_ = nullptr;                 // inside network_
    TExtractionThresholds thresholds_;
    std::unique_ptr<TFuzzyRuleSet> variables_;    // while network_ lives: the MF lists
    std::shared_ptr<const TFuzzyRuleSet> rules_;  // once the rules are held
    const TFuzzyRuleSet* set_ = nullptr;          // either of them: its MF lists never change
};

// Reads a parameter file to its end into parameters. A file key at the very end of the file,
// without its value, changes nothing. Throws ParameterFileError ("<key> is not a number") when a
// threshold key is not followed by a separator and a number, and ("Word longer than 1024
// characters") for a longer word.
void ReadParameters(std::istream& in, GleanParameters& parameters);

// The whole program: checks the command line (one argument, the parameter file), reads the
// parameter file, checks that the weight and rule files are named and that the rule file is
// none of the files read, then runs the extraction. Messages go to err; returns the process exit
// code (0 success, 1 failure).
int RunGlean(int argc, const char* const argv[], std::ostream& out, std::ostream& err);

// The message refusing a rule file that would replace a file the run reads: "RuleFile <name> is
// the weight file" (the label file, the parameter file), by path or by device and inode
// (TAtomicFile::Replaces). Empty when it replaces none of them.
std::string RuleFileClash(const GleanParameters& parameters, const std::string& parameterFile);

// The run on checked parameters: loads the network and the labels, extracts the rules and writes
// the rule file (TGleanRules::Save), which replaces an earlier one only once complete
// (FileHandler/TAtomicFile.h). Every failure is reported (block text syntax errors on out,
// everything else on err) and gives exit code 1; success prints nothing and gives 0.
int RunExtraction(const GleanParameters& parameters, std::ostream& out, std::ostream& err);

// The whole job on streams, for tests and fuzzing: the network read from `weights`, the labels
// from `labels` (null: none), the thresholds from `parameters`, the rule file written to `rules`.
// Throws what the run reports: FileTools::Error, TException, TKQstructure::Error.
void ExtractRuleFile(std::istream& weights, std::istream* labels, const GleanParameters& parameters,
                     std::ostream& rules);

}  // namespace glean
