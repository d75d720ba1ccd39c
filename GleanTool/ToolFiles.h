// What the GleanTool commands share beside the program: the readers of their input files, the
// writer of their output files, the text of a TException, and the readers of option values.
// Every failure is a ToolFailure (exit code 1) or a UsageError (exit code 2).
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "DataObject/Data.h"
#include "GleanTool/GleanTool.h"
#include "KQmessage/TException.h"
#include "NeuralNets/TBasicNetwork.h"
#include "Ombra/TOmbra.h"
#include "RuleEngine/TOriginalUnits.h"
#include "RuleObject/RuleObject.h"
#include "Training/CsvConverter.h"

namespace glean {

// "<message> (<kind>; <operation>)", the way every command reports a TException.
std::string ExceptionText(const TException& error);

// Reads a rule file. Throws ToolFailure ("cannot open NAME", or the reader's message after
// "NAME: ").
std::unique_ptr<TFuzzyRuleSet> ReadRuleFile(const std::string& fileName);
// Reads a weight file. Throws ToolFailure (the reader's message after "NAME: ").
std::unique_ptr<TBasicNetwork> ReadWeightFile(const std::string& fileName);
// The fuzzy network of the weight file `fileName`, checked for a recall. Throws the TException
// of RequireOmbra for a network of another kind, ToolFailure "NAME: <problem>" for what
// TOmbra::RecallProblem names.
TOmbra& RecallableNetwork(TBasicNetwork& network, const std::string& fileName);
// Reads the first data set of a data set file. Throws ToolFailure ("cannot read the data set
// NAME", and those of CheckDataSetFile); the reader's FileTools::Error for a file that breaks
// the syntax passes.
std::unique_ptr<Data> ReadDataSet(const std::string& fileName);
// Checks the header of a data set file for what the loaders would stop the run on instead of
// reporting it. Throws ToolFailure "NAME: no [Rows = ...] in the header" and "NAME: outputs as
// label lists, which GleanTool does not read"; what it cannot open or read as a header is left
// to the loader.
void CheckDataSetFile(const std::string& fileName);
// The ranges of a scaling file ("csv" and "fit" write them): its input columns, and its output
// and class columns. Throws ToolFailure ("cannot open NAME", or the reader's message after
// "NAME: ").
struct TScaleRanges {
    std::vector<TValueRange> Inputs, Outputs;
};
TScaleRanges ReadScaleFile(const std::string& fileName);
// With "--scale FILE", states `rules` in the units of that scaling file (ToOriginalUnits) and
// returns its ranges; without it, leaves them and returns nothing. Throws ToolFailure for a file
// that cannot be read or does not fit.
std::optional<TScaleRanges> ApplyScaleOption(const TToolArguments& arguments, TFuzzyRuleSet& rules);
// Every value of every row mapped from [0, 1] into its range (TValueRange::Original). Requires
// rows of at least ranges.size() values.
void ToOriginal(std::vector<std::vector<double>>& rows, const std::vector<TValueRange>& ranges);

// The network's outputs on every sample. Throws ToolFailure when its numbers of inputs and
// outputs differ from the given ones.
std::vector<std::vector<double>> NetworkAnswers(TOmbra& network,
                                                const std::vector<std::vector<double>>& samples,
                                                int inputs, int outputs);

// Writes text to a file, replacing it whole (FileHandler/TAtomicFile.h). Throws ToolFailure
// ("cannot write NAME"); an earlier file then stays as it was.
void WriteTextFile(const std::string& fileName, const std::string& text);

// A file a command reads or writes, and what it is to the command ("weight file", "table").
struct TToolFile {
    std::string Role;
    std::string Name;  // empty: no such file in this run
};
// Refuses an output that would replace one of the inputs (TAtomicFile::Replaces: the same
// path, or the same file through another path or link). Throws ToolFailure "<output role>
// <output name> is the <input role>".
void RefuseInputAsOutput(const TToolFile& output, std::span<const TToolFile> inputs);

// The whole of `text` as a number of the type asked for (int, std::uint64_t or double). Throws
// UsageError "<option> needs <what>, not "<text>"" for anything else, and "<option> needs a
// finite number" for an infinite or undefined double.
template <class Number>
Number NumberOption(const std::string& option, const std::string& text,
                    const char* what = "a number");
// A share, from 0 to 1. Throws UsageError as NumberOption does and "OPTION needs a number from 0
// to 1".
double ShareOption(const std::string& option, const std::string& text);
// The parts of a comma-separated option value, empty ones kept ("" is one empty part).
std::vector<std::string> ListOption(const std::string& text);
// The CSV format options "--no-header", "--delimiter C" (one character, or "tab") and
// "--skip-lines N" into `options`. Throws UsageError for a delimiter of another length and a
// negative count.
void ReadCsvFormat(const TToolArguments& arguments, TCsvOptions& options);

}  // namespace glean
