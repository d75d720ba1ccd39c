#include "bench/NetworkGenerator.h"

#include <algorithm>
#include <numeric>
#include <random>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "FileHandler/NetworkFile.h"
#include "FileHandler/ParseTools.h"

namespace glean::bench {

namespace {

// Bumped whenever the generated contents change, so that stale cached files are not reused.
constexpr int kGeneratorVersion = 1;

// k / (count - 1) for every MF of every variable.
std::vector<double> EvenCentres(int variables, int mfPerVariable) {
    std::vector<double> centres;
    centres.reserve(static_cast<std::size_t>(variables) * static_cast<std::size_t>(mfPerVariable));
    for (int v = 0; v < variables; ++v) {
        for (int k = 0; k < mfPerVariable; ++k)
            centres.push_back(static_cast<double>(k) / (mfPerVariable - 1));
    }
    return centres;
}

// Freezes about one in sixteen weights of rule weight layer `layer`.
void FreezeSome(TOmbra& network, int layer, int from, int to, std::mt19937_64& random) {
    for (int s = 0; s < from; ++s) {
        for (int t = 0; t < to; ++t) {
            if ((random() & 15U) == 0) network.FreezeWeight(layer, s, t);
        }
    }
}

// `count` weights (from-major) drawn uniformly from [low, high).
std::vector<double> UniformWeights(std::int64_t count, double low, double high,
                                   std::mt19937_64& random) {
    std::uniform_real_distribution<double> weight(low, high);
    std::vector<double> values(static_cast<std::size_t>(count));
    for (double& value : values)
        value = weight(random);
    return values;
}

// Makes the weights of `picks` sources of target `to` strong; a target's sources are `stride`
// apart in the from-major layout of `values`.
void Strengthen(std::vector<double>& values, const std::vector<std::int64_t>& picks, int to,
                int stride, std::mt19937_64& random) {
    std::uniform_real_distribution<double> strong(2.0, 6.0);
    for (const std::int64_t from : picks)
        values[static_cast<std::size_t>(from * stride + to)] = strong(random);
}

// Condition-to-rule and rule-to-action weights of rules with `shape.antecedents` conditions.
void FillTrainedLike(TOmbra& network, const OmbraShape& shape, std::mt19937_64& random) {
    const int conditions = shape.inputs * shape.mfPerInput;
    const int actions = shape.outputs * shape.mfPerOutput;
    std::vector<double> in =
        UniformWeights(std::int64_t{conditions} * shape.rules, -0.3, 0.3, random);
    std::vector<double> out =
        UniformWeights(std::int64_t{shape.rules} * actions, -0.3, 0.3, random);
    std::vector<int> inputs(static_cast<std::size_t>(shape.inputs));
    std::iota(inputs.begin(), inputs.end(), 0);
    for (int r = 0; r < shape.rules; ++r) {
        std::shuffle(inputs.begin(), inputs.end(), random);
        std::vector<std::int64_t> picks;
        for (int k = 0; k < shape.antecedents; ++k) {
            const int mf = static_cast<int>(random() % static_cast<unsigned>(shape.mfPerInput));
            picks.push_back(std::int64_t{inputs[static_cast<std::size_t>(k)]} * shape.mfPerInput +
                            mf);
        }
        Strengthen(in, picks, r, shape.rules, random);
        std::vector<std::int64_t> consequents;
        for (int o = 0; o < shape.outputs; ++o) {
            const int mf = static_cast<int>(random() % static_cast<unsigned>(shape.mfPerOutput));
            consequents.push_back(std::int64_t{o} * shape.mfPerOutput + mf);
        }
        // In the rule-to-action layer a rule is the source: its weights lie side by side.
        for (const std::int64_t action : consequents)
            Strengthen(out, {std::int64_t{r}}, static_cast<int>(action), actions, random);
    }
    network.SetWeightLayer(kConditionWeights, in);
    network.SetWeightLayer(kActionWeights, out);
}

}  // namespace

std::int64_t MatrixWeightCount(const OmbraShape& shape) {
    const std::int64_t conditions = std::int64_t{shape.inputs} * shape.mfPerInput;
    const std::int64_t actions = std::int64_t{shape.outputs} * shape.mfPerOutput;
    return conditions * shape.rules + std::int64_t{shape.rules} * actions;
}

std::int64_t WeightArrayBytes(const OmbraShape& shape) {
    return MatrixWeightCount(shape) * static_cast<std::int64_t>(sizeof(double) + 1);
}

std::unique_ptr<TOmbra> BuildOmbraNetwork(const OmbraShape& shape, std::uint64_t seed) {
    const std::vector<int> mfPerInput(static_cast<std::size_t>(shape.inputs), shape.mfPerInput);
    const std::vector<int> mfPerOutput(static_cast<std::size_t>(shape.outputs), shape.mfPerOutput);
    auto network =
        std::make_unique<TOmbra>(shape.inputs, mfPerInput, shape.rules, mfPerOutput, shape.outputs);
    std::mt19937_64 random(seed);
    network->SetWeightLayer(kInputCentres, EvenCentres(shape.inputs, shape.mfPerInput));
    const int conditions = shape.inputs * shape.mfPerInput;
    const int actions = shape.outputs * shape.mfPerOutput;
    if (shape.antecedents > shape.inputs) {
        throw std::invalid_argument("more antecedents than inputs");
    }
    if (shape.antecedents > 0) {
        FillTrainedLike(*network, shape, random);
        FreezeSome(*network, kConditionWeights, conditions, shape.rules, random);
        FreezeSome(*network, kActionWeights, shape.rules, actions, random);
    } else {
        network->SetWeightLayer(
            kConditionWeights,
            UniformWeights(std::int64_t{conditions} * shape.rules, 0.0, 1.0, random));
        FreezeSome(*network, kConditionWeights, conditions, shape.rules, random);
        network->SetWeightLayer(
            kActionWeights, UniformWeights(std::int64_t{shape.rules} * actions, 0.0, 1.0, random));
        FreezeSome(*network, kActionWeights, shape.rules, actions, random);
    }
    network->SetWeightLayer(kOutputCentres, EvenCentres(shape.outputs, shape.mfPerOutput));
    return network;
}

std::string WeightFileName(const OmbraShape& shape) {
    return "ombra-v" + std::to_string(kGeneratorVersion) + "-i" + std::to_string(shape.inputs) +
           "x" + std::to_string(shape.mfPerInput) + "-r" + std::to_string(shape.rules) + "-o" +
           std::to_string(shape.outputs) + "x" + std::to_string(shape.mfPerOutput) +
           (shape.antecedents > 0 ? "-a" + std::to_string(shape.antecedents) : "") + ".wts";
}

std::filesystem::path EnsureWeightFile(const std::filesystem::path& folder,
                                       const OmbraShape& shape) {
    const std::filesystem::path file = folder / WeightFileName(shape);
    if (std::filesystem::exists(file)) return file;
    std::filesystem::create_directories(folder);
    std::filesystem::path partial = file;
    partial += ".partial";
    FileTools tools;
    const std::unique_ptr<TOmbra> network = BuildOmbraNetwork(shape);
    SaveNetworkFile(tools, partial.string(), *network);
    std::filesystem::rename(partial, file);
    return file;
}

}  // namespace glean::bench
