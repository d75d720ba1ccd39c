#include "GleanTool/CsvCommand.h"

#include "GleanTool/ToolFiles.h"

namespace glean {

namespace {

constexpr const char* kOptions[] = {"class", "outputs",   "holdout-every", "holdout",
                                    "names", "delimiter", "skip-lines"};
constexpr const char* kFlags[] = {"no-header"};

// The job, once none of its outputs would replace the CSV file or an output written before it.
int RunCheckedCsvJob(const TCsvJob& job, std::ostream& out) {
    const TToolFile files[] = {{"CSV file", job.CsvFile},
                               {"data set", job.DataFile},
                               {"scaling file", job.DataFile + ".scale"},
                               {"held-out data set", job.HeldOutFile}};
    for (std::size_t output = 1; output < std::size(files); ++output) {
        if (!files[output].Name.empty()) {
            RefuseInputAsOutput(files[output], std::span(files).first(output));
        }
    }
    return RunCsvJob(job, out);
}

}  // namespace

TCsvJob ParseCsvJob(std::span<const std::string> words) {
    const TToolArguments arguments = ParseToolArguments(words, kOptions, 2, kFlags);
    TCsvJob job;
    job.CsvFile = arguments.Positional[0];
    job.DataFile = arguments.Positional[1];
    TCsvOptions& options = job.Options;
    if (const auto* v = arguments.Value("class")) options.ClassColumn = *v;
    if (const auto* v = arguments.Value("names")) options.Names = ListOption(*v);
    ReadCsvFormat(arguments, options);
    if (const auto* v = arguments.Value("outputs")) {
        options.Outputs = NumberOption<int>("--outputs", *v);
        if (options.Outputs < 1) throw UsageError("--outputs must be >= 1");
    }
    const std::string* every = arguments.Value("holdout-every");
    const std::string* heldOut = arguments.Value("holdout");
    if ((every == nullptr) != (heldOut == nullptr)) {
        throw UsageError("--holdout-every and --holdout go together");
    }
    if (every != nullptr) {
        options.HoldoutEvery = NumberOption<int>("--holdout-every", *every);
        if (options.HoldoutEvery < 2) throw UsageError("--holdout-every must be >= 2");
        job.HeldOutFile = *heldOut;
    }
    return job;
}

const TToolCommand CsvCommand = {
    "csv",
    "  csv CSV DATASET [--names NAME,NAME...] [--class COLUMN] [--outputs K]\n"
    "      [--holdout-every N --holdout DATASET] [--no-header] [--delimiter C] [--skip-lines N]\n"
    "      converts CSV into a data set file scaled into [0, 1] (scaling in DATASET.scale)\n",
    "  --names NAME,NAME...   column names instead of the header's (default: the header's)\n"
    "  --class COLUMN         the column of classes, by name or number from 1 (default: none)\n"
    "  --outputs K            without --class, the last K columns are outputs (default: 1)\n"
    "  --holdout-every N      rows N, 2N, ... go to the --holdout data set (default: none)\n"
    "  --holdout DATASET      the data set of the held-out rows\n"
    "  --no-header            the first line is a row; columns Column1, Column2, ...\n"
    "  --delimiter C          the field separator (default: ,)\n"
    "  --skip-lines N         lines skipped before the header (default: 0)\n",
    RunParsedJob<ParseCsvJob, RunCheckedCsvJob>};

}  // namespace glean
