// "svg RULES PREFIX [--weights WEIGHTS --data DATASET]": pictures of a rule file as SVG 1.1 files.
// One membership chart per variable, PREFIX-<variable>.svg (inputs, then outputs), and the rule
// map, PREFIX-rules.svg. With a weight file and a data set, the charts also show the samples: the
// data set's inputs, and the network's outputs for them, with their memberships. A variable's
// name goes into its file name with every character but letters, digits and "_" made "_"; a name
// already taken (or "rules") gets "-input<N>" or "-output<N>" added. The names of the files
// written are printed, one a line. Nothing is written when the rule file cannot be read.
#pragma once

#include "GleanTool/GleanTool.h"

namespace glean {

extern const TToolCommand SvgCommand;

}  // namespace glean
