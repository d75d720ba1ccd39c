// The pruneable set: arcs individually present or absent, trainable or frozen ("Pruneable").
// The operations on one arc are inline: loading a large network is a loop over them.
#pragma once

#include <cstdint>

#include "NeuralNets/TArcMatrix.h"
#include "NeuralNets/TBasicNetwork.h"

namespace glean {

class TPrunedConnections final : public TBasicConnections {
public:
    // Every arc present and trainable (FMaskAll) when attached, else no arc; weights 0. The two
    // layers must exist.
    TPrunedConnections(TBasicNetwork* network, int fromLayer, int toLayer, bool attached = true);

    // Every arc whose flags contain FMaskTrainable.
    void Randomize(double low, double high) override;
    double& Weight(int from, int to) override { return array_weights.At(from, to); }
    void GetInWeights(int toNode, std::span<double> weights) override;
    // Direct sums over the existing arcs.
    void Propagate(std::span<double> netInput) override;
    // Flags contain FMaskExists.
    bool IsValid(int from, int to) override {
        return (array_masks.At(from, to) & FMaskExists) != 0;
    }
    bool IsTrainable(int from, int to) override;  // flags contain FMaskTrainable
    // Flags 0 and weight 0.
    void RemoveArc(int from, int to) override;
    void RemoveAllArcs() override;
    // A missing arc gets flags FMaskAll and weight 0; an existing arc is left alone.
    void AddArc(int from, int to) override {
        std::uint8_t& flags = array_masks.At(from, to);
        if ((flags & FMaskExists) != 0) return;
        flags = FMaskAll;
        array_weights.At(from, to) = 0.0;
    }
    // Adds FMaskTrainable to an existing arc.
    void SetTrainable(int from, int to) override {
        std::uint8_t& flags = array_masks.At(from, to);
        if ((flags & FMaskExists) != 0) flags |= FMaskTrainable;
    }
    // Removes FMaskTrainable, whether or not the arc exists.
    void SetUntrainable(int from, int to) override {
        array_masks.At(from, to) &= static_cast<std::uint8_t>(~FMaskTrainable);
    }
    // Arcs whose flags hold every bit the mask selects; trainable is their FMaskTrainable bit.
    void ForAllInArcs(TIterateObj& v, int toNode, int mask) override;
    void ForAllOutArcs(TIterateObj& v, int fromNode, int mask) override;
    void ForAllArcs(TIterateObj& v, int mask) override;
    void ForAllArcs2(TIterateObj2& v, TBasicNetwork& second, int mask) override;
    void ForAllArcs3(TIterateObj3& v, TBasicNetwork& second, TBasicNetwork& third,
                     int mask) override;
    std::string GetConnectionsNType() const override;  // "Pruneable"
    std::uint8_t GetFlags(int from, int to) override;
    // Stores any value.
    void SetFlags(int from, int to, std::uint8_t val) override;
    std::unique_ptr<TBasicConnections> Clone(TBasicNetwork* owner) override;
    void RemoveFromNode(int index) override;
    void RemoveToNode(int index) override;
    // A new column / row: random weights and FMaskAll when attached, else absent arcs.
    void InsertFromNode(int index, double low, double high, bool attached) override;
    void InsertToNode(int index, double low, double high, bool attached) override;

private:
    void CheckSizes() const;

    TArcMatrix<double> array_weights;
    TArcMatrix<std::uint8_t> array_masks;
};

}  // namespace glean
