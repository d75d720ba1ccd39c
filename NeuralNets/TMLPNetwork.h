// The multilayer perceptron ("MLP"), built from L layer sizes s[0..L-1] on the network frame:
//
//   layer 0     TSimpleLayer, 1 neuron "bias" with a bias, else no neurons
//   layer 1     TSimpleInputLayer, s[0] neurons, "linear"          (inLayer)
//   layers 2..L TGainLayer, s[1]..s[L-1] neurons, gain 1.0, "sigmoid" (outLayer = L)
//
// Each layer j >= 2 is joined to layer j-1 and, with a bias, to layer 0 by pruneable sets with
// every arc present and trainable and every weight 0; the caller randomises the weights.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "NeuralNets/TBasicNetwork.h"

namespace glean {

class Data;
class TErrorObj;

class TMLPNetwork : public TBasicNetwork {
public:
    // The layer plan above from L sizes ("L>=1", "sizes.size()==L").
    TMLPNetwork(int L, std::span<const int> sizes, bool bias);
    // L + 1 empty layer slots for a creator that installs the layers.
    TMLPNetwork(int L, bool bias);

    std::string GetNetworkType() const override;  // "MLP"

    // Whole-data-set recall, rows read oldest first (the cursor of `in` is moved). A data set
    // with fewer input columns than the network's inputs (for RecallError, fewer output columns
    // than its outputs) throws ("Data set does not fit the network", "Bad Parameter",
    // "TMLPNetwork::<operation>").
    // The inputs and outputs of every row in a new data set of the rows in use; a null `in`
    // fails the check "in != nil".
    std::unique_ptr<Data> Recall(Data* in);
    // The outputs only of every row, stored in `out`; a null `in` throws ("Null data pointer",
    // "Null Pointer Parameter", "TMLPNetwork::RecallOutputOnly") and leaves `out` as it was.
    void RecallOutputOnly(Data* in, std::unique_ptr<Data>& out);
    // Accumulates every row's (expected outputs, network outputs) into `err`, without resetting
    // it first, and returns its error; null arguments fail "in != nil" / "err != nil".
    double RecallError(Data* in, TErrorObj* err);
    using TBasicNetwork::Recall;

    bool bias;
};

}  // namespace glean
