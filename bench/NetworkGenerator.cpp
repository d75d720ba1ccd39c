#include "bench/NetworkGenerator.h"

#include <random>
#include <system_error>
#include <vector>

#include "FileHandler/NetworkFile.h"
#include "FileHandler/ParseTools.h"

namespace glean::bench {

namespace {

// Bumped whenever the generated contents change, so that stale cached files are not reused.
constexpr int GeneratorVersion = 1;

// Weight layers of TOmbra: 1 input MF centres, 2 condition-to-rule, 3 rule-to-action, 4 output
// MF centres.
constexpr int CentreLayerIn = 1;
constexpr int RuleLayerIn = 2;
constexpr int RuleLayerOut = 3;
constexpr int CentreLayerOut = 4;

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

// Fills rule weight layer `layer` (from x to arcs, from-major) and freezes about one in sixteen.
void FillRuleLayer(TOmbra& network, int layer, int from, int to, std::mt19937_64& random) {
    std::uniform_real_distribution<double> weight(0.0, 1.0);
    std::vector<double> values(static_cast<std::size_t>(from) * static_cast<std::size_t>(to));
    for (double& value : values)
        value = weight(random);
    network.SetWeightLayer(layer, values);
    for (int s = 0; s < from; ++s) {
        for (int t = 0; t < to; ++t) {
            if ((random() & 15U) == 0) network.FreezeWeight(layer, s, t);
        }
    }
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
    network->SetWeightLayer(CentreLayerIn, EvenCentres(shape.inputs, shape.mfPerInput));
    FillRuleLayer(*network, RuleLayerIn, shape.inputs * shape.mfPerInput, shape.rules, random);
    FillRuleLayer(*network, RuleLayerOut, shape.rules, shape.outputs * shape.mfPerOutput, random);
    network->SetWeightLayer(CentreLayerOut, EvenCentres(shape.outputs, shape.mfPerOutput));
    return network;
}

std::string WeightFileName(const OmbraShape& shape) {
    return "ombra-v" + std::to_string(GeneratorVersion) + "-i" + std::to_string(shape.inputs) +
           "x" + std::to_string(shape.mfPerInput) + "-r" + std::to_string(shape.rules) + "-o" +
           std::to_string(shape.outputs) + "x" + std::to_string(shape.mfPerOutput) + ".wts";
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
