// "train DATASET WEIGHTS --rules R ...": trains a fuzzy network on a data set and writes its
// weight file, ready for Glean. The options are those of Training/TrainingCommands.h.
#pragma once

#include "GleanTool/GleanTool.h"

namespace glean {

extern const TToolCommand TrainCommand;

}  // namespace glean
