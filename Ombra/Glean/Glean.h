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
#include <optional>
#include <stdexcept>
#include <string>

#include "NeuralNets/TBasicNetwork.h"
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
// the rule file, which replaces an earlier one only once complete (FileHandler/TAtomicFile.h).
// Every failure is reported (block text syntax errors on out, everything else on err) and gives
// exit code 1; success prints nothing and gives 0.
int RunExtraction(const GleanParameters& parameters, std::ostream& out, std::ostream& err);

// The whole job on streams, for tests and fuzzing: the network read from `weights`, the labels
// from `labels` (null: none), the thresholds from `parameters`, the rule file written to `rules`.
// Throws what the run reports: FileTools::Error, TException, TKQstructure::Error.
void ExtractRuleFile(std::istream& weights, std::istream* labels, const GleanParameters& parameters,
                     std::ostream& rules);

}  // namespace glean
