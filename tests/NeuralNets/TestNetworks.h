// Small networks for the network core tests.
#pragma once

#include <memory>
#include <vector>

#include "NeuralNets/TBasicNetwork.h"

namespace glean::test {

// A basic network with one layer per size: an input layer at slot 1, simple layers with the
// "linear" function elsewhere.
inline std::unique_ptr<TBasicNetwork> MakeNetwork(const std::vector<int>& sizes) {
    auto net = std::make_unique<TBasicNetwork>(static_cast<int>(sizes.size()));
    for (int i = 0; i < net->numLayers; ++i) {
        const int size = sizes[static_cast<std::size_t>(i)];
        if (i == net->inLayer) {
            net->InstallLayer(i, std::make_unique<TSimpleInputLayer>(net.get(), i, size));
        } else {
            auto layer = std::make_unique<TSimpleLayer>(net.get(), i, size);
            layer->SetActivationFunction(ActLinear);
            net->InstallLayer(i, std::move(layer));
        }
    }
    return net;
}

// Gives every arc of `set` (target-major) the weight base + 10*from + to.
inline void NumberWeights(TBasicConnections& set, int nFrom, int nTo, double base) {
    for (int t = 0; t < nTo; ++t) {
        for (int f = 0; f < nFrom; ++f)
            set.Weight(f, t) = base + 10.0 * f + t;
    }
}

// Records the (from, to, trainable, weight) of every visited arc.
struct RecordingVisitor : TIterateObj {
    struct Arc {
        int from;
        int to;
        int trainable;
        double weight;
        bool operator==(const Arc&) const = default;
    };
    void Visit() override { arcs.push_back({fromNode, toNode, trainable, *weight}); }
    std::vector<Arc> arcs;
};
using Arcs = std::vector<RecordingVisitor::Arc>;

}  // namespace glean::test
