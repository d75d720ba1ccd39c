// "fidelity WEIGHTS RULES (--grid N | --data DATASET)": runs the network and the rule base on the
// same samples and prints the fidelity report; "--table FILE" also writes every sample with both
// outputs, in the column layout of fuzzylite's "-of fld" output followed by the network's
// outputs. On a data set whose expected outputs are one-hot classes the report also counts the
// samples on which the rule base picks the network's class.
#pragma once

#include <iosfwd>
#include <memory>

#include "GleanTool/GleanTool.h"
#include "Ombra/TOmbra.h"

namespace glean {

extern const TToolCommand FidelityCommand;

// Reads a weight file. Throws ToolFailure when it cannot be read.
std::unique_ptr<TBasicNetwork> ReadWeightFile(const std::string& fileName);
// Reads a data set file. Throws ToolFailure when it cannot be read.
std::unique_ptr<Data> ReadDataSet(const std::string& fileName);

// The command after its files are read: the samples chosen by the options, the report on out,
// the table when asked for. Throws UsageError, ToolFailure and ExportError.
int MeasureFidelity(TOmbra& network, const TFuzzyRuleSet& rules, const TToolArguments& arguments,
                    std::ostream& out);

}  // namespace glean
