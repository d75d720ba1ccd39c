#include "Training/TrainingCommands.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ostream>

#include "FileHandler/Filer.h"
#include "FileHandler/NetworkFile.h"
#include "KQmessage/TException.h"

namespace glean {

namespace {
// Option names as the program's parser stores them, without the leading "--".
constexpr const char* kTrainOptions[] = {"rules",       "mf-in",       "mf-out",         "epochs",
                                         "rate",        "momentum",    "seed",           "init",
                                         "centres",     "penalty",     "penalty-params", "test",
                                         "consequents", "centre-rate", "centre-gap"};
constexpr const char* kCsvOptions[] = {"class", "outputs", "holdout-every", "holdout", "names"};

[[noreturn]] void Usage(const std::string& message) {
    throw TrainingUsageError(message);
}

void RequireArguments(std::span<const std::string> positional, std::size_t count,
                      const std::map<std::string, std::string>& options,
                      std::span<const char* const> allowed) {
    if (positional.size() != count) {
        Usage("expected " + std::to_string(count) + " file names, got " +
              std::to_string(positional.size()));
    }
    for (const auto& option : options) {
        const std::string& name = option.first;
        if (std::none_of(allowed.begin(), allowed.end(),
                         [&](const char* known) { return name == known; })) {
            Usage("unknown option --" + name);
        }
    }
}

template <class Number>
Number ParseNumber(const std::string& option, const std::string& text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) {
        Usage(option + " needs a number, not \"" + text + "\"");
    }
    if constexpr (std::is_floating_point_v<Number>) {
        if (!std::isfinite(value)) Usage(option + " needs a finite number");
    }
    return value;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

std::vector<int> ParseCounts(const std::string& option, const std::string& text) {
    std::vector<int> counts;
    for (const std::string& part : Split(text, ','))
        counts.push_back(ParseNumber<int>(option, part));
    return counts;
}

const std::string* Find(const std::map<std::string, std::string>& options, const char* name) {
    const auto found = options.find(name);
    return found == options.end() ? nullptr : &found->second;
}

void ReadCentres(const std::string& text, TTrainingSettings& settings) {
    if (text != "none" && text != "input" && text != "output" && text != "both") {
        Usage("--centres takes none, input, output or both, not \"" + text + "\"");
    }
    settings.TrainInputCentres = text == "input" || text == "both";
    settings.TrainOutputCentres = text == "output" || text == "both";
}

void ReadPenaltyParams(const std::string& text, TKQstructure& penalty) {
    for (const std::string& pair : Split(text, ',')) {
        const auto equals = pair.find('=');
        if (equals == std::string::npos || equals == 0) {
            Usage("--penalty-params takes KEY=VALUE pairs, not \"" + pair + "\"");
        }
        penalty.SetString(pair.substr(0, equals), pair.substr(equals + 1));
    }
}

TSamples LoadSamples(const std::string& fileName) {
    FileTools tools;
    std::unique_ptr<Data> data;
    if (LoadInputDataSet(tools, fileName, data) != SUCCESS || !data) {
        throw TException("Cannot read data set: " + fileName, "File Error", "RunTrainJob");
    }
    return ReadSamples(*data);
}

void ReportFit(std::ostream& out, const char* what, const TFit& fit) {
    out << what << ": error " << fit.Rms;
    if (fit.Accuracy >= 0.0) out << " accuracy " << fit.Accuracy;
    out << '\n';
}
}  // namespace

const char* const TrainUsage =
    "train DATASET WEIGHTS --rules R [--mf-in N[,N...]] [--mf-out M[,M...]] [--epochs E] "
    "[--rate L] [--momentum M] [--seed S] [--init LOW,HIGH] "
    "[--centres none|input|output|both] [--centre-rate L] [--centre-gap G] "
    "[--penalty NONE|QUADPENALTY|LWF] "
    "[--penalty-params KEY=VALUE[,KEY=VALUE...]] [--consequents any|positive] "
    "[--test DATASET]\n";
const char* const CsvUsage =
    "csv CSV DATASET [--names NAME,NAME...] [--class COLUMN] [--outputs K] "
    "[--holdout-every N --holdout DATASET]\n";

std::span<const char* const> TrainOptionNames() {
    return kTrainOptions;
}

std::span<const char* const> CsvOptionNames() {
    return kCsvOptions;
}

TTrainJob TrainJobFromArguments(std::span<const std::string> positional,
                                const std::map<std::string, std::string>& options) {
    RequireArguments(positional, 2, options, kTrainOptions);
    TTrainJob job;
    job.DataFile = positional[0];
    job.WeightsFile = positional[1];
    job.MFIn = {3};
    job.MFOut = {2};
    TTrainingSettings& s = job.Settings;
    const std::string* rules = Find(options, "rules");
    if (rules == nullptr) Usage("--rules is required");
    job.Rules = ParseNumber<int>("--rules", *rules);
    if (const auto* v = Find(options, "mf-in")) job.MFIn = ParseCounts("--mf-in", *v);
    if (const auto* v = Find(options, "mf-out")) job.MFOut = ParseCounts("--mf-out", *v);
    if (const auto* v = Find(options, "epochs")) s.Epochs = ParseNumber<int>("--epochs", *v);
    if (const auto* v = Find(options, "rate")) s.LearningRate = ParseNumber<double>("--rate", *v);
    if (const auto* v = Find(options, "momentum")) {
        s.Momentum = ParseNumber<double>("--momentum", *v);
    }
    if (const auto* v = Find(options, "seed")) s.Seed = ParseNumber<std::uint64_t>("--seed", *v);
    if (const auto* v = Find(options, "init")) {
        const std::vector<std::string> range = Split(*v, ',');
        if (range.size() != 2) Usage("--init takes LOW,HIGH");
        s.InitialMinimum = ParseNumber<double>("--init", range[0]);
        s.InitialMaximum = ParseNumber<double>("--init", range[1]);
    }
    if (const auto* v = Find(options, "centres")) ReadCentres(*v, s);
    if (const auto* v = Find(options, "centre-rate")) {
        s.CentreRate = ParseNumber<double>("--centre-rate", *v);
    }
    if (const auto* v = Find(options, "centre-gap")) {
        s.CentreGap = ParseNumber<double>("--centre-gap", *v);
    }
    if (const auto* v = Find(options, "penalty")) s.Penalty.Name = *v;
    if (const auto* v = Find(options, "penalty-params")) ReadPenaltyParams(*v, s.Penalty);
    if (const auto* v = Find(options, "test")) job.TestFile = *v;
    if (const auto* v = Find(options, "consequents")) {
        if (*v != "any" && *v != "positive") {
            Usage("--consequents takes any or positive, not \"" + *v + "\"");
        }
        s.NonNegativeConsequents = *v == "positive";
    }
    return job;
}

TCsvJob CsvJobFromArguments(std::span<const std::string> positional,
                            const std::map<std::string, std::string>& options) {
    RequireArguments(positional, 2, options, kCsvOptions);
    TCsvJob job;
    job.CsvFile = positional[0];
    job.DataFile = positional[1];
    if (const auto* v = Find(options, "class")) job.Options.ClassColumn = *v;
    if (const auto* v = Find(options, "names")) job.Options.Names = Split(*v, ',');
    if (const auto* v = Find(options, "outputs")) {
        job.Options.Outputs = ParseNumber<int>("--outputs", *v);
        if (job.Options.Outputs < 1) Usage("--outputs must be >= 1");
    }
    const std::string* every = Find(options, "holdout-every");
    const std::string* heldOut = Find(options, "holdout");
    if ((every == nullptr) != (heldOut == nullptr)) {
        Usage("--holdout-every and --holdout go together");
    }
    if (every != nullptr) {
        job.Options.HoldoutEvery = ParseNumber<int>("--holdout-every", *every);
        if (job.Options.HoldoutEvery < 2) Usage("--holdout-every must be >= 2");
        job.HeldOutFile = *heldOut;
    }
    return job;
}

std::vector<int> ExpandCounts(const std::vector<int>& counts, int variables) {
    if (counts.size() == 1) return std::vector<int>(static_cast<std::size_t>(variables), counts[0]);
    if (counts.size() != static_cast<std::size_t>(variables)) {
        throw TException("MF counts do not fit the data set", "Bad Parameter", "RunTrainJob");
    }
    return counts;
}

int RunTrainJob(const TTrainJob& job, std::ostream& out) {
    TOmbraTrainer trainer(job.Settings);
    const TSamples samples = LoadSamples(job.DataFile);
    TSamples test;
    if (!job.TestFile.empty()) {
        test = LoadSamples(job.TestFile);
        // Checked before training, so that a wrong file costs no training and writes nothing.
        if (test.Inputs != samples.Inputs || test.Outputs != samples.Outputs) {
            throw TException("Data set does not fit the network", "Bad Data", "TFit");
        }
    }
    TOmbraShape shape;
    shape.MFPerInput = ExpandCounts(job.MFIn, samples.Inputs);
    shape.Rules = job.Rules;
    shape.MFPerOutput = ExpandCounts(job.MFOut, samples.Outputs);
    std::unique_ptr<TOmbra> network = trainer.CreateNetwork(shape, samples);
    const TFit fit = trainer.Train(*network, samples, &out);
    FileTools tools;
    try {
        SaveNetworkFile(tools, job.WeightsFile, *network);
    } catch (const FileTools::Error&) {
        throw TException("Cannot write weight file: " + job.WeightsFile, "File Error",
                         "RunTrainJob");
    }
    ReportFit(out, "training", fit);
    if (!job.TestFile.empty()) ReportFit(out, "held-out", MeasureFit(*network, test));
    return 0;
}

int RunCsvJob(const TCsvJob& job, std::ostream& out) {
    const TConvertedData data =
        ConvertCsvFile(job.CsvFile, job.Options, job.DataFile, job.HeldOutFile);
    out << "training rows " << data.Training->DataRows() << ", held-out rows "
        << (data.HeldOut ? data.HeldOut->DataRows() : 0) << ", inputs " << data.Training->Inputs()
        << ", outputs " << data.Training->Outputs() << '\n';
    return 0;
}

}  // namespace glean
