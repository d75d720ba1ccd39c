// GleanTool: runs extracted rules where users work. Subcommands:
//
//   GleanTool export RULES ENGINE [--conjunction C] [--outputs M]
//   GleanTool fidelity WEIGHTS RULES (--grid N | --data DATASET) [--conjunction C] [--outputs M]
//             [--table FILE]
//   GleanTool svg RULES PREFIX [--weights WEIGHTS --data DATASET]
//   GleanTool csv CSV DATASET [options]
//   GleanTool train DATASET WEIGHTS --rules R [options]
//   GleanTool explain RULES (--input V,... | --data DATASET --row N) [--scale FILE] [--json]
//   GleanTool simplify RULES OUT --data DATASET [--budget B] [--merge J] [--weights WEIGHTS]
//   GleanTool report RULES OUT [--weights WEIGHTS] [--data DATASET] [--scale FILE]
//
// Each subcommand is one unit holding one TToolCommand; the table in GleanTool.cpp lists them,
// so a new subcommand is one unit and one entry; what several of them share (file readers,
// message formats, option values) is in ToolFiles.h. "GleanTool COMMAND --help" prints the
// command's usage and options with their defaults; "GleanTool --version" the version.
// Exit codes: 0 success, 1 failure, 2 usage.
// Every message goes to standard error as "GleanTool: <text>". Every file is written whole
// (FileHandler/TAtomicFile.h), and never over a file the command reads.
#pragma once

#include <map>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "RuleEngine/TRuleEvaluator.h"

namespace glean {

inline constexpr int kToolSuccess = 0;
inline constexpr int kToolFailure = 1;
inline constexpr int kToolUsage = 2;

// Arguments a subcommand cannot use: the message, then the usage text, exit code 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A run that cannot go on (a file that cannot be read or written): exit code 1.
class ToolFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TToolCommand {
    const char* Name;
    const char* Usage;    // the command's usage lines, each ending in a new line
    const char* Options;  // one line per option with its default, for "COMMAND --help"
    // Runs with the arguments after the command's name; returns the exit code. May throw
    // UsageError, ToolFailure, ExportError, TException and FileTools::Error.
    int (*Run)(std::span<const std::string> arguments, std::ostream& out);
};

// A command's Run made of a parser of its arguments into a job and the runner of that job.
template <auto Parse, auto RunJob>
int RunParsedJob(std::span<const std::string> arguments, std::ostream& out) {
    return RunJob(Parse(arguments), out);
}

// "Usage: GleanTool COMMAND ..." with every command's usage lines.
std::string ToolUsage();
// "GleanTool <version>".
std::string ToolVersion();

// The whole program; returns the exit code. Memory running out is "out of memory", exit code 1,
// and so is a command whose standard output cannot be written ("cannot write standard output");
// a standard error that cannot be written makes any run exit with 1.
int RunGleanTool(int argc, const char* const argv[], std::ostream& out, std::ostream& err);

// Positional arguments, "--name value" options and "--name" flags (stored with an empty value).
// Throws UsageError for an option in neither `allowed` nor `flags`, an option without its value,
// one given twice, or a count of positional arguments other than `positional`.
struct TToolArguments {
    std::vector<std::string> Positional;
    std::map<std::string, std::string> Options;

    bool Has(const std::string& name) const { return Options.count(name) > 0; }
    // The value of option `name`, or null when it was not given.
    const std::string* Value(const std::string& name) const {
        const auto found = Options.find(name);
        return found == Options.end() ? nullptr : &found->second;
    }
};
TToolArguments ParseToolArguments(std::span<const std::string> arguments,
                                  std::span<const char* const> allowed, std::size_t positional,
                                  std::span<const char* const> flags = {});

// The conjunction and output mode of "--conjunction" and "--outputs" (defaults when absent).
// Throws UsageError for unknown names.
TConjunction ConjunctionOption(const TToolArguments& arguments);
TOutputMode OutputModeOption(const TToolArguments& arguments);

}  // namespace glean
