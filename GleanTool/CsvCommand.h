// "csv CSV DATASET ...": converts a CSV file into the data set file format, scaled into [0, 1],
// with the scaling beside it. The options are those of Training/TrainingCommands.h.
#pragma once

#include "GleanTool/GleanTool.h"

namespace glean {

extern const TToolCommand CsvCommand;

}  // namespace glean
