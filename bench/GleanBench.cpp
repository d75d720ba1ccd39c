// The speed of Glean on large generated networks: every stage of a run, the whole program as a
// process, and two floors (split at white space, convert with strtod / std::from_chars) measured
// in the same run on the same bytes. After the benchmarks a summary sets the figures against the
// targets: the whole run within 2x the from_chars floor, time per weight within 20 percent
// between sizes, extraction plus rule writing below a tenth of reading, and peak memory below
// the weight and flag arrays plus 32 MB.
//
// Times are CPU times, so that figures taken on a shared machine stay comparable: the stages run
// in this process, the whole run is the Glean program's own user plus system time (its wall time
// is shown beside it). On an idle machine the two agree. Unless told otherwise, every benchmark
// runs three times and the summary takes the least time of each: a slow spell of a shared
// machine then hits the ratios least.
//
// Own flags (the rest are Google Benchmark's):
//   --glean_rules=5000,28000   rule counts of the generated networks (40 inputs, 4 outputs, 7 MFs)
//   --glean_antecedents=0,4    kinds of rules: 0 every variable in every rule (the largest rule
//                              files), n rules of n conditions as training with a weight penalty
//                              leaves them, extracted with thresholds of 0.5
//   --glean_data=<folder>      where generated weight files are cached and rule files written
//   --glean_check              first checks that each generated file reads back and writes
//                              again to the same bytes; exit code 1 when not
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "FileHandler/NetworkFile.h"
#include "FileHandler/ParseTools.h"
#include "FileHandler/TAtomicFile.h"
#include "FileHandler/TRuleFile.h"
#include "Ombra/RuleExtraction/TOmbraRule.h"
#include "bench/NetworkGenerator.h"

extern char** environ;

namespace glean::bench {

namespace {

namespace fs = std::filesystem;

constexpr double MB = 1024.0 * 1024.0;

struct Options {
    std::vector<int> rules{5000, 28000};
    std::vector<int> antecedents{0, 4};
    fs::path data = GLEAN_BENCH_DATA;
    bool check = false;
};

// --- Floors: the least any reader must do with the file ---

bool IsSeparator(unsigned char ch) {
    return ch < 33 || ch > 126 || ch == ',';
}

// Streams the file in chunks, splits it at white space and commas, and hands every word to
// `convert`, which returns the number it read (or 0). Returns the sum, so nothing is optimised
// away.
template <class Convert>
double SplitAndConvert(const fs::path& file, Convert convert) {
    constexpr std::size_t Chunk = 1 << 20;
    std::vector<char> buffer(Chunk);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(file.c_str(), "rb"), std::fclose);
    if (!in) throw std::runtime_error("cannot open " + file.string());
    double sum = 0.0;
    std::size_t kept = 0;  // the start of a word cut by the chunk's end
    for (;;) {
        const std::size_t got = std::fread(buffer.data() + kept, 1, Chunk - kept, in.get());
        const std::size_t size = kept + got;
        const char* const end = buffer.data() + size;
        const char* word = buffer.data();
        const char* p = word;
        for (; p != end; ++p) {
            if (!IsSeparator(static_cast<unsigned char>(*p))) continue;
            if (p != word) sum += convert(word, p);
            word = p + 1;
        }
        if (got == 0) {
            if (word != end) sum += convert(word, end);
            return sum;
        }
        kept = static_cast<std::size_t>(end - word);
        std::memmove(buffer.data(), word, kept);
    }
}

double ConvertStrtod(const char* first, const char* last) {
    char text[FileTools::TokenBufferSize + 1];  // strtod needs the word terminated
    const std::size_t length = std::min<std::size_t>(last - first, FileTools::TokenBufferSize);
    std::memcpy(text, first, length);
    text[length] = '\0';
    return std::strtod(text, nullptr);
}

double ConvertFromChars(const char* first, const char* last) {
    double value = 0.0;
    std::from_chars(first, last, value);
    return value;
}

// --- The state shared by the stages of one network size ---

struct Size {
    OmbraShape shape;
    fs::path weightFile;
    std::int64_t fileBytes = 0;
    std::unique_ptr<TBasicNetwork> network;  // read once for the extraction benchmarks
    std::unique_ptr<TFuzzyRuleSet> ruleSet;  // extracted once for the writing benchmark
    fs::path ruleFile;                       // the one the Glean program writes
    long peakRssKb = 0;                      // of the Glean process

    TBasicNetwork& Network() {
        if (!network) {
            FileTools tools;
            network = LoadNetworkFile(tools, weightFile.string());
        }
        return *network;
    }
    TFuzzyRuleSet& RuleSet() {
        if (!ruleSet) ExtractRules(RequireOmbra(Network()), ruleSet, Thresholds(), nullptr);
        return *ruleSet;
    }
    // The extraction thresholds of the run: none where every weight counts, 0.5 where rules are
    // short.
    bool HasThresholds() const { return shape.antecedents > 0; }
    std::unique_ptr<TKQstructure> Thresholds() const {
        if (!HasThresholds()) return nullptr;
        auto params = std::make_unique<TKQstructure>("Params");
        params->SetReal("ThresholdIn", 0.5);
        params->SetReal("ThresholdOut", 0.5);
        return params;
    }
};

void SetThroughput(benchmark::State& state, const Size& size) {
    const auto iterations = static_cast<std::int64_t>(state.iterations());
    state.SetBytesProcessed(size.fileBytes * iterations);
    state.counters["weights_per_s"] =
        benchmark::Counter(static_cast<double>(MatrixWeightCount(size.shape) * iterations),
                           benchmark::Counter::kIsRate);
}

template <class Convert>
void Floor(benchmark::State& state, Size& size, Convert convert) {
    for (auto _ : state)
        benchmark::DoNotOptimize(SplitAndConvert(size.weightFile, convert));
    SetThroughput(state, size);
}

void Read(benchmark::State& state, Size& size) {
    for (auto _ : state) {
        FileTools tools;
        benchmark::DoNotOptimize(LoadNetworkFile(tools, size.weightFile.string()));
    }
    SetThroughput(state, size);
}

// Extraction as the Glean program runs it: each rule dropped as soon as it is made (there it is
// written), so that the figure is not that of holding hundreds of thousands of atoms.
void Extract(benchmark::State& state, Size& size) {
    TOmbra& network = RequireOmbra(size.Network());
    for (auto _ : state) {
        std::unique_ptr<TFuzzyRuleSet> ruleSet;
        const TExtractionThresholds thresholds =
            BeginExtraction(network, ruleSet, size.Thresholds(), nullptr);
        int rules = 0;
        ForEachRule(network, thresholds, [&rules](TRule&) { ++rules; });
        benchmark::DoNotOptimize(rules);
    }
}

// Writes a new file each time: deleting the last one is not the writer's work.
void SaveRules(benchmark::State& state, Size& size, const fs::path& ruleFile) {
    const TFuzzyRuleSet& ruleSet = size.RuleSet();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(ruleFile);
        state.ResumeTiming();
        FileTools tools;
        std::ofstream out(ruleFile, std::ios::out | std::ios::trunc);
        TRuleFile::SaveRules(tools, out, ruleSet);
    }
}

// Runs the Glean program on `parameterFile`; false when it could not run or failed. Adds its
// resource use to `usage`.
bool RunProgram(const fs::path& parameterFile, rusage& usage) {
    const std::string program = GLEAN_PROGRAM;
    const std::string argument = parameterFile.string();
    char* const argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()),
                          nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    if (wait4(child, &status, 0, &usage) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) * 1e-6;
}

// Each run writes a new rule file, as the first run in a folder does: deleting the last one is
// this process's work, not the child's.
void Process(benchmark::State& state, Size& size, const fs::path& parameterFile) {
    double wall = 0.0;
    for (auto _ : state) {
        fs::remove(size.ruleFile);
        rusage usage{};
        const auto start = std::chrono::steady_clock::now();
        if (!RunProgram(parameterFile, usage)) {
            state.SkipWithError("the Glean program failed");
            return;
        }
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(Seconds(usage.ru_utime) + Seconds(usage.ru_stime));
    }
    SetThroughput(state, size);
    state.counters["peak_RSS_MB"] = static_cast<double>(size.peakRssKb) / 1024.0;
    state.counters["wall_ms"] = wall * 1e3 / static_cast<double>(state.iterations());
}

// --- Registration and the summary ---

// Records the time per iteration of every benchmark, by name, for the summary: the CPU time,
// or the manual time where a benchmark gives one (the process's CPU time); of repetitions, the
// least.
class Recorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
                const bool manual = run.run_name.time_type == "manual_time";
                const double time =
                    (manual ? run.real_accumulated_time : run.cpu_accumulated_time) /
                    static_cast<double>(run.iterations);
                const auto [entry, added] = seconds.try_emplace(run.run_name.function_name, time);
                if (!added) entry->second = std::min(entry->second, time);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};

// "<rules>" or "<rules>-a<antecedents>".
std::string Tag(const Size& size) {
    const int antecedents = size.shape.antecedents;
    return std::to_string(size.shape.rules) +
           (antecedents > 0 ? "-a" + std::to_string(antecedents) : "");
}

std::string Name(std::string_view stage, const Size& size) {
    return std::string(stage) + "/" + Tag(size);
}

// The parameter file of the whole run on `size`'s file, written into `folder`; sets the rule
// file it names.
fs::path WriteParameterFile(Size& size, const fs::path& folder) {
    const std::string tag = Tag(size);
    const fs::path parameterFile = folder / ("glean-" + tag + ".par");
    size.ruleFile = folder / ("glean-" + tag + ".rul");
    TAtomicFile::Write(parameterFile, [&size](std::ostream& parameters) {
        parameters << "WeightFile = " << size.weightFile.string()
                   << "\nRuleFile = " << size.ruleFile.string() << '\n';
        if (size.HasThresholds()) parameters << "ThresholdIn = 0.5\nThresholdOut = 0.5\n";
    });
    return parameterFile;
}

// Runs the program once, before any benchmark, for its peak memory: a spawned child's peak
// counts the peak this process has reached when it starts the child, which is small only now.
bool MeasurePeakMemory(Size& size, const fs::path& parameterFile) {
    rusage usage{};
    if (!RunProgram(parameterFile, usage)) return false;
    size.peakRssKb = usage.ru_maxrss;
    return true;
}

// The whole run as a process, with `parameterFile`.
void RegisterProcess(Size& size, const fs::path& parameterFile) {
    benchmark::RegisterBenchmark(
        Name("Glean_process", size).c_str(),
        [&size, parameterFile](benchmark::State& s) { Process(s, size, parameterFile); })
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
}

// The floors and the stages inside this process, on `size`'s file.
void RegisterStages(Size& size, const fs::path& folder) {
    const fs::path ruleFile = folder / ("rules-" + Tag(size) + ".rul");
    const auto add = [&size](std::string_view stage, auto body) {
        benchmark::RegisterBenchmark(Name(stage, size).c_str(), body)
            ->Unit(benchmark::kMillisecond);
    };
    // The floor the whole run is set against first, right after it.
    add("Floor_from_chars", [&size](benchmark::State& s) { Floor(s, size, ConvertFromChars); });
    add("Read", [&size](benchmark::State& s) { Read(s, size); });
    add("ExtractRules", [&size](benchmark::State& s) { Extract(s, size); });
    add("SaveRules", [&size, ruleFile](benchmark::State& s) { SaveRules(s, size, ruleFile); });
    add("Floor_strtod", [&size](benchmark::State& s) { Floor(s, size, ConvertStrtod); });
}

long OwnPeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

const char* Verdict(bool met) {
    return met ? "met" : "MISSED";
}

// "5000 rules of every variable" or "5000 rules of 4 conditions".
std::string Label(const Size& size) {
    const int antecedents = size.shape.antecedents;
    return std::to_string(size.shape.rules) + " rules of " +
           (antecedents > 0 ? std::to_string(antecedents) + " conditions" : "every variable");
}

void PrintSummary(const std::vector<Size>& sizes, const std::map<std::string, double>& seconds,
                  long launcherPeakKb) {
    const auto time = [&seconds](std::string_view stage, const Size& size) {
        const auto found = seconds.find(Name(stage, size));
        return found == seconds.end() ? 0.0 : found->second;
    };
    std::printf("\nSummary (CPU time per run)\n");
    std::map<int, std::pair<double, double>> perWeightRange;  // per kind of rules: least, most
    for (const Size& size : sizes) {
        const double bytes = static_cast<double>(size.fileBytes);
        const double weights = static_cast<double>(MatrixWeightCount(size.shape));
        const double glean = time("Glean_process", size);
        const double floor = time("Floor_from_chars", size);
        const double read = time("Read", size);
        const double rest = time("ExtractRules", size) + time("SaveRules", size);
        const double budgetMb = static_cast<double>(WeightArrayBytes(size.shape)) / MB + 32.0;
        const double rssMb = static_cast<double>(size.peakRssKb) / 1024.0;
        const double perWeight = glean / weights * 1e9;
        if (glean == 0.0 || floor == 0.0 || read == 0.0 || rest == 0.0) {
            std::printf("%s: not every stage ran\n", Label(size).c_str());
            continue;
        }
        std::printf("%s: %.1f MB, %.0f weights\n", Label(size).c_str(), bytes / MB, weights);
        std::printf(
            "  floors: strtod %.0f MB/s, from_chars %.0f MB/s; reader %.0f MB/s; "
            "Glean %.0f MB/s, %.1f ns per weight\n",
            bytes / MB / time("Floor_strtod", size), bytes / MB / floor, bytes / MB / read,
            bytes / MB / glean, perWeight);
        std::printf("  Glean / from_chars floor = %.2f (target <= 2: %s)\n", glean / floor,
                    Verdict(glean <= 2 * floor));
        std::printf("  (ExtractRules + SaveRules) / Read = %.3f (target < 0.1: %s)\n", rest / read,
                    Verdict(rest < 0.1 * read));
        std::printf("  peak RSS %.1f MB, arrays + 32 MB = %.1f MB (%s)\n", rssMb, budgetMb,
                    Verdict(rssMb <= budgetMb));
        if (size.peakRssKb <= launcherPeakKb) {
            std::printf(
                "  (not measured: a child's peak includes this process's own peak when "
                "it starts, %.1f MB after generating the files; run again)\n",
                static_cast<double>(launcherPeakKb) / 1024.0);
        }
        auto [range, first] =
            perWeightRange.try_emplace(size.shape.antecedents, perWeight, perWeight);
        range->second.first = std::min(range->second.first, perWeight);
        range->second.second = std::max(range->second.second, perWeight);
    }
    for (const auto& [antecedents, range] : perWeightRange) {
        const auto [fewest, most] = range;
        if (fewest == most) continue;  // one size of this kind
        std::printf("Time per weight, largest over smallest size (%s): %.2f (target <= 1.2: %s)\n",
                    antecedents > 0 ? "short rules" : "every variable", most / fewest,
                    Verdict(most <= 1.2 * fewest));
    }
}

// Reads `size`'s file and writes the network again: the bytes must be the file's own.
bool CheckRoundTrip(const Size& size) {
    FileTools tools;
    const std::unique_ptr<TBasicNetwork> network = LoadNetworkFile(tools, size.weightFile.string());
    std::ostringstream written;
    WriteNetwork(tools, written, *network);
    std::ifstream in(size.weightFile, std::ios::binary);
    std::ostringstream original;
    original << in.rdbuf();
    return written.str() == original.str();
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--glean_rules=")) {
            options.rules.clear();
            std::istringstream list(std::string(arg.substr(14)));
            for (std::string item; std::getline(list, item, ',');)
                options.rules.push_back(std::stoi(item));
        } else if (arg.starts_with("--glean_antecedents=")) {
            options.antecedents.clear();
            std::istringstream list(std::string(arg.substr(20)));
            for (std::string item; std::getline(list, item, ',');)
                options.antecedents.push_back(std::stoi(item));
        } else if (arg.starts_with("--glean_data=")) {
            options.data = std::string(arg.substr(13));
        } else if (arg == "--glean_check") {
            options.check = true;
        } else {
            std::cerr << "unknown argument " << arg << '\n';
            return false;
        }
    }
    return !options.rules.empty() && !options.antecedents.empty();
}

}  // namespace

int Main(int argc, char** argv) {
    // A default that comes first, so that the same flag given on the command line wins.
    std::string repetitions = "--benchmark_repetitions=3";
    std::vector<char*> arguments{argv[0], repetitions.data()};
    arguments.insert(arguments.end(), argv + 1, argv + argc);
    argc = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    argv = arguments.data();
    benchmark::Initialize(&argc, argv);
    Options options;
    if (!ParseOptions(argc, argv, options)) return 1;

    // Sizes are referred to by the registered benchmarks: the vector never grows after this.
    std::vector<Size> sizes(options.antecedents.size() * options.rules.size());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        Size& size = sizes[i];
        size.shape.antecedents = options.antecedents[i / options.rules.size()];
        size.shape.rules = options.rules[i % options.rules.size()];
        size.weightFile = EnsureWeightFile(options.data, size.shape);
        size.fileBytes = static_cast<std::int64_t>(fs::file_size(size.weightFile));
        if (options.check && !CheckRoundTrip(size)) {
            std::cerr << size.weightFile << " does not read back to the same network\n";
            return 1;
        }
    }
    const long launcherPeakKb = OwnPeakRssKb();
    for (Size& size : sizes) {
        const fs::path parameterFile = WriteParameterFile(size, options.data);
        if (!MeasurePeakMemory(size, parameterFile)) {
            std::cerr << "the Glean program failed on " << size.weightFile << '\n';
            return 1;
        }
        // The whole run beside the stages and floors of the same file, so that the ratios are
        // of figures taken within seconds of each other.
        RegisterProcess(size, parameterFile);
        RegisterStages(size, options.data);
    }
    sync();  // the rule files just written go to disk now, not while the benchmarks run
    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();
    PrintSummary(sizes, recorder.seconds, launcherPeakKb);
    return 0;
}

}  // namespace glean::bench

int main(int argc, char** argv) {
    try {
        return glean::bench::Main(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
}
