#include "GleanTool/TrainCommand.h"

#include <cstdint>

#include "GleanTool/ToolFiles.h"

namespace glean {

namespace {

constexpr const char* kOptions[] = {"rules",          "mf-in",       "mf-out",     "epochs",
                                    "rate",           "momentum",    "seed",       "init",
                                    "centres",        "centre-rate", "centre-gap", "penalty",
                                    "penalty-params", "test",        "consequents"};

std::vector<int> Counts(const std::string& option, const std::string& text) {
    std::vector<int> counts;
    for (const std::string& part : ListOption(text))
        counts.push_back(NumberOption<int>(option, part));
    return counts;
}

void ReadCentres(const std::string& text, TTrainingSettings& settings) {
    if (text != "none" && text != "input" && text != "output" && text != "both") {
        throw UsageError("--centres takes none, input, output or both, not \"" + text + "\"");
    }
    settings.TrainInputCentres = text == "input" || text == "both";
    settings.TrainOutputCentres = text == "output" || text == "both";
}

void ReadPenaltyParams(const std::string& text, TKQstructure& penalty) {
    for (const std::string& pair : ListOption(text)) {
        const auto equals = pair.find('=');
        if (equals == std::string::npos || equals == 0) {
            throw UsageError("--penalty-params takes KEY=VALUE pairs, not \"" + pair + "\"");
        }
        penalty.SetString(pair.substr(0, equals), pair.substr(equals + 1));
    }
}

// The job, once the weight file is none of the data sets and they hold nothing the loader
// would stop the run on.
int RunCheckedTrainJob(const TTrainJob& job, std::ostream& out) {
    const TToolFile inputs[] = {{"data set", job.DataFile}, {"test data set", job.TestFile}};
    RefuseInputAsOutput({"weight file", job.WeightsFile}, inputs);
    CheckDataSetFile(job.DataFile);
    if (!job.TestFile.empty()) CheckDataSetFile(job.TestFile);
    return RunTrainJob(job, out);
}

}  // namespace

TTrainJob ParseTrainJob(std::span<const std::string> words) {
    const TToolArguments arguments = ParseToolArguments(words, kOptions, 2);
    const std::string* rules = arguments.Value("rules");
    if (rules == nullptr) throw UsageError("--rules is required");
    TTrainJob job;
    job.Rules = NumberOption<int>("--rules", *rules);
    job.DataFile = arguments.Positional[0];
    job.WeightsFile = arguments.Positional[1];
    TTrainingSettings& s = job.Settings;
    if (const auto* v = arguments.Value("mf-in")) job.MFIn = Counts("--mf-in", *v);
    if (const auto* v = arguments.Value("mf-out")) job.MFOut = Counts("--mf-out", *v);
    if (const auto* v = arguments.Value("epochs")) s.Epochs = NumberOption<int>("--epochs", *v);
    if (const auto* v = arguments.Value("rate")) {
        s.LearningRate = NumberOption<double>("--rate", *v);
    }
    if (const auto* v = arguments.Value("momentum")) {
        s.Momentum = NumberOption<double>("--momentum", *v);
    }
    if (const auto* v = arguments.Value("seed")) s.Seed = NumberOption<std::uint64_t>("--seed", *v);
    if (const auto* v = arguments.Value("init")) {
        const std::vector<std::string> range = ListOption(*v);
        if (range.size() != 2) throw UsageError("--init takes LOW,HIGH");
        s.InitialMinimum = NumberOption<double>("--init", range[0]);
        s.InitialMaximum = NumberOption<double>("--init", range[1]);
    }
    if (const auto* v = arguments.Value("centres")) ReadCentres(*v, s);
    if (const auto* v = arguments.Value("centre-rate")) {
        s.CentreRate = NumberOption<double>("--centre-rate", *v);
    }
    if (const auto* v = arguments.Value("centre-gap")) {
        s.CentreGap = NumberOption<double>("--centre-gap", *v);
    }
    if (const auto* v = arguments.Value("penalty")) s.Penalty.Name = *v;
    if (const auto* v = arguments.Value("penalty-params")) ReadPenaltyParams(*v, s.Penalty);
    if (const auto* v = arguments.Value("test")) job.TestFile = *v;
    if (const auto* v = arguments.Value("consequents")) {
        if (*v != "any" && *v != "positive") {
            throw UsageError("--consequents takes any or positive, not \"" + *v + "\"");
        }
        s.NonNegativeConsequents = *v == "positive";
    }
    return job;
}

const TToolCommand TrainCommand = {
    "train",
    "  train DATASET WEIGHTS --rules R [--mf-in N[,N...]] [--mf-out M[,M...]] [--epochs E]\n"
    "        [--rate L] [--momentum M] [--seed S] [--init LOW,HIGH]\n"
    "        [--centres none|input|output|both] [--centre-rate L] [--centre-gap G]\n"
    "        [--consequents any|positive]\n"
    "        [--penalty NONE|QUADPENALTY|LWF] [--penalty-params KEY=VALUE[,KEY=VALUE...]]\n"
    "        [--test DATASET]\n"
    "      trains a fuzzy network on the data set and writes its weight file\n",
    "  --rules R                    rule neurons (required)\n"
    "  --mf-in N[,N...]             MFs per input, one for all or one each (default: 3)\n"
    "  --mf-out M[,M...]            MFs per output (default: 2)\n"
    "  --epochs E                   passes over the data (default: 1000)\n"
    "  --rate L                     step size (default: 0.1)\n"
    "  --momentum M                 momentum in [0, 1) (default: 0.9)\n"
    "  --seed S                     initial weights and sample order (default: 1)\n"
    "  --init LOW,HIGH              range of the initial weights (default: -1,1)\n"
    "  --centres none|input|output|both  MF centres trained (default: none)\n"
    "  --centre-rate L              step size of the centres (default: --rate)\n"
    "  --centre-gap G               least distance of trained centres (default: 0)\n"
    "  --consequents any|positive   sign of the rule-to-action weights (default: any)\n"
    "  --penalty NONE|QUADPENALTY|LWF  weight penalty (default: NONE)\n"
    "  --penalty-params K=V,...     the penalty's parameters (default: the library's)\n"
    "  --test DATASET               a data set to report the fit on (default: none)\n",
    RunParsedJob<ParseTrainJob, RunCheckedTrainJob>};

}  // namespace glean
