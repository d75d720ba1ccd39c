// "csv CSV DATASET ...": converts a CSV file into the data set file format, scaled into [0, 1],
// with the scaling beside it. The usage text lists the options; an option left out keeps the
// default of TCsvOptions.
#pragma once

#include <span>
#include <string>

#include "GleanTool/GleanTool.h"
#include "Training/TrainingJobs.h"

namespace glean {

extern const TToolCommand CsvCommand;

// The job that the arguments after "csv" describe. Throws UsageError for arguments the command
// cannot use (those of ParseToolArguments), half a hold-out, or a value that is not what its
// option takes.
TCsvJob ParseCsvJob(std::span<const std::string> arguments);

}  // namespace glean
