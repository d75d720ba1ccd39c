// "report RULES OUT [--weights WEIGHTS] [--data DATASET] [--scale FILE] [--conjunction C]
// [--outputs M]": the rule base as one self-contained HTML page (HtmlReport). With a data set,
// the figures of every rule and coverage on its rows, scored against its expected outputs (or,
// without them, the network's); with a network too, the fidelity of the rules to it; for
// one-hot classes, a confusion matrix. With a scaling file (written by csv) the rules and the
// samples are shown in the units of the data. Prints the name of the file written.
#pragma once

#include "GleanTool/GleanTool.h"

namespace glean {

extern const TToolCommand ReportCommand;

}  // namespace glean
