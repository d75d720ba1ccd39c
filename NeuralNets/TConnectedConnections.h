// The fully connected set: every arc from the source layer to the target layer exists and is
// trainable ("FullyConnected").
#pragma once

#include "NeuralNets/TArcMatrix.h"
#include "NeuralNets/TBasicNetwork.h"

namespace glean {

class TConnectedConnections : public TBasicConnections {
public:
    // Every weight 0; the sizes are those of the two layers, which must exist ("layer != NULL").
    TConnectedConnections(TBasicNetwork* network, int fromLayer, int toLayer);

    // n_from * n_to whatever the mask.
    int GetNumWeights(int mask) override;
    // Every weight, source-major (for each source neuron, each target neuron).
    int GetWeights(std::span<double> buffer, int mask) override;
    int SetWeights(std::span<const double> buffer, int mask) override;
    // Every weight, drawn in storage order (target-major).
    void Randomize(double low, double high) override;
    double& Weight(int from, int to) override;
    void GetInWeights(int toNode, std::span<double> weights) override;
    // Direct sums over the weight block.
    void Propagate(std::span<double> netInput) override;
    bool IsValid(int from, int to) override;  // true inside the set
    // Adding an arc or making it trainable changes nothing: all arcs exist and are trainable.
    void AddArc(int from, int to) override;
    void SetTrainable(int from, int to) override;
    // Every arc is visited whatever the mask, reported trainable.
    void ForAllInArcs(TIterateObj& v, int toNode, int mask) override;
    void ForAllOutArcs(TIterateObj& v, int fromNode, int mask) override;
    void ForAllArcs(TIterateObj& v, int mask) override;
    void ForAllArcs2(TIterateObj2& v, TBasicNetwork& second, int mask) override;
    void ForAllArcs3(TIterateObj3& v, TBasicNetwork& second, TBasicNetwork& third,
                     int mask) override;
    std::string GetConnectionsNType() const override;  // "FullyConnected"
    std::unique_ptr<TBasicConnections> Clone(TBasicNetwork* owner) override;
    void RemoveFromNode(int index) override;
    void RemoveToNode(int index) override;
    // A new column / row of random weights; absent arcs are impossible here ("attached").
    void InsertFromNode(int index, double low, double high, bool attached) override;
    void InsertToNode(int index, double low, double high, bool attached) override;

private:
    // Checks that the layers still have the sizes of the weight block.
    void CheckSizes() const;

    TArcMatrix<double> array_weights;
};

}  // namespace glean
