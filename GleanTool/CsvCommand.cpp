#include "GleanTool/CsvCommand.h"

#include "Training/TrainingCommands.h"

namespace glean {

namespace {

int RunCsv(std::span<const std::string> words, std::ostream& out) {
    const TToolArguments arguments = ParseToolArguments(words, CsvOptionNames(), 2);
    TCsvJob job;
    try {
        job = CsvJobFromArguments(arguments.Positional, arguments.Options);
    } catch (const TrainingUsageError& e) {
        throw UsageError(e.what());
    }
    return RunCsvJob(job, out);
}

}  // namespace

const TToolCommand CsvCommand = {
    "csv",
    "  csv CSV DATASET [--names NAME,NAME...] [--class COLUMN] [--outputs K]\n"
    "      [--holdout-every N --holdout DATASET]\n"
    "      converts CSV into a data set file scaled into [0, 1] (scaling in DATASET.scale)\n",
    RunCsv};

}  // namespace glean
