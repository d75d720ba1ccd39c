// "simplify RULES OUT --data DATASET [--budget B] [--merge J] [--weights WEIGHTS]
// [--conjunction C] [--outputs M]": a smaller rule base (Simplify) written as a rule file.
// The figure it keeps within the budget (default 0.01) is the rules' own accuracy, for a data
// set of one-hot classes, or R^2, measured against the data set's expected outputs, or with
// --weights against the network's outputs on the data set's inputs; no other data set is read.
// Every step is printed with the figure before and after, then the figure at the start and the
// end. Nothing is written when the rules cannot be simplified on the data.
#pragma once

#include "GleanTool/GleanTool.h"

namespace glean {

extern const TToolCommand SimplifyCommand;

}  // namespace glean
