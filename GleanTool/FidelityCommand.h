// "fidelity WEIGHTS RULES (--grid N | --data DATASET)": runs the network and the rule base on the
// same samples and prints the fidelity report; "--table FILE" also writes every sample with both
// outputs, in the column layout of fuzzylite's "-of fld" output followed by the network's
// outputs. On a data set whose expected outputs are one-hot classes the report also counts the
// samples on which the rule base picks the network's class. With a data set the report ends with
// the figures of every rule and of the whole base (TRuleFigures), the network's outputs taken
// for what the rules should answer.
#pragma once

#include "GleanTool/GleanTool.h"

namespace glean {

extern const TToolCommand FidelityCommand;

}  // namespace glean
