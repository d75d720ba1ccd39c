// Synthetic trained fuzzy networks for the benchmarks: built with the library itself (TOmbra,
// SetWeightLayer, FreezeWeight) and saved with the network file writer, so that the files have
// exactly the writer's layout (matrices with trainable marks for the rule weights, weight lists
// for the MF centres).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "Ombra/TOmbra.h"

namespace glean::bench {

// The size of a generated network; every input has mfPerInput MFs, every output mfPerOutput.
struct OmbraShape {
    int inputs = 40;
    int mfPerInput = 7;
    int rules = 5000;
    int outputs = 4;
    int mfPerOutput = 7;
    // 0: every rule weight drawn from [0, 1), so that every variable enters every rule, the
    // largest rules there can be. n > 0: rules as training with a weight penalty leaves them,
    // n strong conditions and one strong consequent per output among weak weights.
    int antecedents = 0;
};

// Weights of the condition-to-rule and rule-to-action matrices, the bulk of a weight file.
std::int64_t MatrixWeightCount(const OmbraShape& shape);
// Bytes of the network's own weight and flag arrays for those matrices (one double and one flag
// byte per arc): the memory any reader must hold.
std::int64_t WeightArrayBytes(const OmbraShape& shape);

// A network of `shape` with pseudo-random weights drawn from `seed` (the same seed gives the
// same network on every machine): MF centres evenly spaced on [0, 1], about one rule weight in
// sixteen frozen. Rule weights: with no antecedents given, in [0, 1); otherwise in [-0.3, 0.3)
// except, for each rule, one MF of `antecedents` distinct inputs and one MF of each output with
// weights in [2, 6), which thresholds of 0.5 extract. Throws TException for MF counts below 2
// and std::invalid_argument for more antecedents than inputs.
std::unique_ptr<TOmbra> BuildOmbraNetwork(const OmbraShape& shape, std::uint64_t seed = 1);

// The file name a generated network of `shape` is cached under.
std::string WeightFileName(const OmbraShape& shape);

// The weight file of `shape` in `folder`, generated (and the folder created) only when it is not
// there yet. Written under a temporary name and renamed, so an interrupted run leaves no partial
// file behind. Throws FileTools::Error when the file cannot be written.
std::filesystem::path EnsureWeightFile(const std::filesystem::path& folder,
                                       const OmbraShape& shape);

}  // namespace glean::bench
