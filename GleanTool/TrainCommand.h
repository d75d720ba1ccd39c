// "train DATASET WEIGHTS --rules R ...": trains a fuzzy network on a data set and writes its
// weight file, ready for Glean. The usage text lists the options; a single MF count applies to
// every input (output), and an option left out keeps the default of TTrainJob.
#pragma once

#include <span>
#include <string>

#include "GleanTool/GleanTool.h"
#include "Training/TrainingJobs.h"

namespace glean {

extern const TToolCommand TrainCommand;

// The job that the arguments after "train" describe. Throws UsageError for arguments the
// command cannot use (those of ParseToolArguments), a missing --rules, or a value that is not
// what its option takes.
TTrainJob ParseTrainJob(std::span<const std::string> arguments);

}  // namespace glean
