// What the GleanTool commands share beside the program: the readers of their input files, the
// writer of their output files, the text of a TException, and the readers of option values.
// Every failure is a ToolFailure (exit code 1) or a UsageError (exit code 2).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "DataObject/Data.h"
#include "GleanTool/GleanTool.h"
#include "KQmessage/TException.h"
#include "NeuralNets/TBasicNetwork.h"
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
// Reads the first data set of a data set file. Throws ToolFailure ("cannot read the data set
// NAME"); the reader's FileTools::Error for a file that breaks the syntax passes.
std::unique_ptr<Data> ReadDataSet(const std::string& fileName);
// The ranges of a scaling file ("csv" and "fit" write them): its input columns, and its output
// and class columns. Throws ToolFailure ("cannot open NAME", or the reader's message after
// "NAME: ").
struct TScaleRanges {
    std::vector<TValueRange> Inputs, Outputs;
};
TScaleRanges ReadScaleFile(const std::string& fileName);
// With "--scale FILE", states `rules` in the units of that scaling file (ToOriginalUnits);
// without it, leaves them. Throws ToolFailure for a file that cannot be read or does not fit.
void ApplyScaleOption(const TToolArguments& arguments, TFuzzyRuleSet& rules);

// Writes text to a file, replacing it. Throws ToolFailure ("cannot write NAME").
void WriteTextFile(const std::string& fileName, const std::string& text);

// The whole of `text` as a number of the type asked for (int, std::uint64_t or double). Throws
// UsageError "<option> needs <what>, not "<text>"" for anything else, and "<option> needs a
// finite number" for an infinite or undefined double.
template <class Number>
Number NumberOption(const std::string& option, const std::string& text,
                    const char* what = "a number");
// The parts of a comma-separated option value, empty ones kept ("" is one empty part).
std::vector<std::string> ListOption(const std::string& text);
// The CSV format options "--no-header", "--delimiter C" (one character, or "tab") and
// "--skip-lines N" into `options`. Throws UsageError for a delimiter of another length and a
// negative count.
void ReadCsvFormat(const TToolArguments& arguments, TCsvOptions& options);

}  // namespace glean
