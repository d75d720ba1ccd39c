// The jobs behind the training commands, on values already parsed: train a fuzzy network on a
// data set file and write its weight file; convert a CSV file into data set files.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "DataObject/Data.h"
#include "Training/CsvConverter.h"
#include "Training/TOmbraTrainer.h"

namespace glean {

struct TTrainJob {
    std::string DataFile;
    std::string WeightsFile;
    std::string TestFile;          // a data set to report the fit on; empty: none
    std::vector<int> MFIn = {3};   // one count for every input, or one count each
    std::vector<int> MFOut = {2};  // likewise for the outputs
    int Rules = 0;
    TTrainingSettings Settings;
};

struct TCsvJob {
    std::string CsvFile;
    std::string DataFile;
    std::string HeldOutFile;  // with Options.HoldoutEvery > 0
    TCsvOptions Options;
};

// The first data set of a data set file; null when the file cannot be opened, holds no inputs
// and expected outputs, too many values or a second data set. Throws FileTools::Error for a
// file that breaks the syntax.
std::unique_ptr<Data> LoadDataSetFile(const std::string& fileName);
// The samples of a data set file. Throws TException ("Cannot read data set: NAME", "File Error",
// "RunTrainJob") where LoadDataSetFile gives none, and those of ReadSamples.
TSamples LoadSamples(const std::string& fileName);

// Loads the data sets, trains, writes the network file and reports on out: the progress lines,
// then "training: error E accuracy A" and, with a test set, "held-out: ...". Returns 0. Throws
// TException for bad settings and data (those of LoadSamples among them) and FileTools::Error
// for data set files that break the syntax.
int RunTrainJob(const TTrainJob& job, std::ostream& out);
// Converts and reports "training rows R, held-out rows H, inputs I, outputs O" on out. Returns 0.
int RunCsvJob(const TCsvJob& job, std::ostream& out);

// The MF counts for `variables` variables from one count or one per variable. Throws
// TException ("MF counts do not fit the data set", "Bad Parameter", "RunTrainJob").
std::vector<int> ExpandCounts(const std::vector<int>& counts, int variables);

}  // namespace glean
