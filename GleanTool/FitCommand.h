// "fit TRAIN.csv OUTDIR --target COLUMN": from a CSV file to faithful rules in the names and units
// of the data, in one command. OUTDIR (made when missing) receives
//   model.wts    the network that carries the rules          model.scale  every column's range
//   model.lbl    variables named after the columns           model.par    Glean's parameters
//   model.rul    what "cd OUTDIR && Glean model.par" writes  model.report the figures
//   model.fll, model.fis, model.fcl   the rules in the units of the data
//   model.html   the report page of the rules (HtmlReport) on the training rows
// and the report goes to standard output as well: one "key value" line per figure, for the
// training rows and, with --test, the held-out rows.
//
// "--simplify [--budget B]" simplifies the rules on the training rows alone (see TRuleFit.h) and
// builds the network again for what is left, so every file above, model.rul from Glean's own
// run included, holds the simplified rules; the report says what was dropped and the figure the
// budget holds, before and after.
#pragma once

#include <iosfwd>
#include <optional>
#include <span>
#include <string>

#include "GleanTool/GleanTool.h"
#include "Training/CsvConverter.h"
#include "Training/TRuleFit.h"

namespace glean {

extern const TToolCommand FitCommand;

struct TFitJob {
    std::string TrainFile;
    std::string OutDir;
    std::string Target;            // column name, or number from 1
    std::string TestFile;          // empty: none
    std::optional<bool> Classify;  // unset: a target that is not all numbers names classes
    TCsvOptions Format;            // the format options only
    TFitSettings Settings;         // Progress is set by RunFitJob
    bool Quiet = false;            // no progress and no report on standard output
};

// The job the arguments describe. Throws UsageError.
TFitJob ParseFitJob(std::span<const std::string> words);
// Fits, writes the files and reports on out. Returns 0. Throws ToolFailure, TException and the
// other failures of the files it reads and writes.
int RunFitJob(const TFitJob& job, std::ostream& out);

}  // namespace glean
