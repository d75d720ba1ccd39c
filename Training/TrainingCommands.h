// The "train" and "csv" commands, after the program has split their arguments into positional
// arguments and "--name value" options (stored by name without the "--"):
//
//   train DATASET WEIGHTS --rules R [--mf-in N[,N...]] [--mf-out M[,M...]] [--epochs E]
//         [--rate L] [--momentum M] [--seed S] [--init LOW,HIGH] [--centres none|input|output|both]
//         [--centre-rate L] [--centre-gap G]
//         [--penalty NONE|QUADPENALTY|LWF] [--penalty-params KEY=VALUE[,KEY=VALUE...]]
//         [--consequents any|positive] [--test DATASET]
//   csv CSV DATASET [--names NAME,NAME...] [--class COLUMN] [--outputs K]
//       [--holdout-every N --holdout DATASET]
//
// A single MF count applies to every input (output). Defaults: 3 MFs per input, 2 per output,
// and those of TTrainingSettings.
#pragma once

#include <iosfwd>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "Training/CsvConverter.h"
#include "Training/TOmbraTrainer.h"

namespace glean {

// Arguments a command cannot use; what() says which.
class TrainingUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The option names each command accepts, without the "--" (all take a value).
std::span<const char* const> TrainOptionNames();
std::span<const char* const> CsvOptionNames();
// One usage line per command, ending in a new line.
extern const char* const TrainUsage;
extern const char* const CsvUsage;

struct TTrainJob {
    std::string DataFile;
    std::string WeightsFile;
    std::string TestFile;    // empty: none
    std::vector<int> MFIn;   // one count for every input, or one count each
    std::vector<int> MFOut;  // likewise for the outputs
    int Rules = 0;
    TTrainingSettings Settings;
};

struct TCsvJob {
    std::string CsvFile;
    std::string DataFile;
    std::string HeldOutFile;  // with options.holdoutEvery > 0
    TCsvOptions Options;
};

// The job the arguments describe. Throws TrainingUsageError for a missing or extra positional
// argument, an unknown option, a missing --rules, or a value that is not what the option takes.
TTrainJob TrainJobFromArguments(std::span<const std::string> positional,
                                const std::map<std::string, std::string>& options);
TCsvJob CsvJobFromArguments(std::span<const std::string> positional,
                            const std::map<std::string, std::string>& options);

// Loads the data sets, trains, writes the network file and reports on out: the progress lines,
// then "training: error E accuracy A" and, with a test set, "held-out: ...". Returns 0. Throws
// TException for bad settings and data ("Cannot read data set: NAME", "File Error",
// "RunTrainJob" among them) and FileTools::Error for unreadable data set files.
int RunTrainJob(const TTrainJob& job, std::ostream& out);
// Converts and reports "training rows R, held-out rows H, inputs I, outputs O" on out. Returns 0.
int RunCsvJob(const TCsvJob& job, std::ostream& out);

// The MF counts for `variables` variables from one count or one per variable. Throws
// TException ("MF counts do not fit the data set", "Bad Parameter", "RunTrainJob").
std::vector<int> ExpandCounts(const std::vector<int>& counts, int variables);

}  // namespace glean
