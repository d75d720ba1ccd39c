// "explain RULES (--input V,V,... | --data DATASET --row N) [--scale FILE] [--conjunction C]
// [--outputs M] [--json]": why the rule base answers what it does for one sample (Explain):
// every condition's degree, every rule's strength, the consequences' activations, the outputs
// and the rule that decided each. The sample is given by its values, one per input, or as a row
// of a data set (counted from 1). With a scaling file (written by csv) the rules are put into
// the units of the data: --input values are in those units, a data set's row (scaled) is mapped
// into them, and the outputs come out in them. Text for people, or --json for programs.
#pragma once

#include "GleanTool/GleanTool.h"

namespace glean {

extern const TToolCommand ExplainCommand;

}  // namespace glean
