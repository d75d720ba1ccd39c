#include "GleanTool/TrainCommand.h"

#include "Training/TrainingCommands.h"

namespace glean {

namespace {

int RunTrain(std::span<const std::string> words, std::ostream& out) {
    const TToolArguments arguments = ParseToolArguments(words, TrainOptionNames(), 2);
    TTrainJob job;
    try {
        job = TrainJobFromArguments(arguments.Positional, arguments.Options);
    } catch (const TrainingUsageError& e) {
        throw UsageError(e.what());
    }
    return RunTrainJob(job, out);
}

}  // namespace

const TToolCommand TrainCommand = {
    "train",
    "  train DATASET WEIGHTS --rules R [--mf-in N[,N...]] [--mf-out M[,M...]] [--epochs E]\n"
    "        [--rate L] [--momentum M] [--seed S] [--init LOW,HIGH]\n"
    "        [--centres none|input|output|both] [--centre-rate L] [--centre-gap G]\n"
    "        [--consequents any|positive]\n"
    "        [--penalty NONE|QUADPENALTY|LWF] [--penalty-params KEY=VALUE[,KEY=VALUE...]]\n"
    "        [--test DATASET]\n"
    "      trains a fuzzy network on the data set and writes its weight file\n",
    RunTrain};

}  // namespace glean
