// The fixed set from the action layer to the output layer: one arc out of every action neuron,
// to the output it belongs to; the arc's "weight" is the centre of that output MF.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "NeuralNets/TBasicNetwork.h"

namespace glean {

class TOmbraOutputLayer;

class TToOutputConnections : public TBasicConnections {
  public:
    // One centre (0.0) and one flag byte (FMaskAll) per neuron of layer fromLayer; layer toLayer
    // must be a defuzzify layer ("output layer").
    TToOutputConnections(TBasicNetwork* network, int fromLayer, int toLayer);

    // Centres of every output at 0, 1/(n-1), ..., 1; an MF count below 2 fails "NdxMF >= 2".
    void InitialiseCentres();
    // The centre of each action neuron, in action order.
    std::span<const double> Centres() const { return centres; }

    // The centre of action neuron `from`; `to` is not used.
    double& Weight(int from, int to) override;
    // Output `to` exists and action neuron `from` belongs to it.
    bool IsValid(int from, int to) override;
    // The arcs are fixed: adding and removing change nothing.
    void RemoveArc(int from, int to) override;
    void AddArc(int from, int to) override;
    // Flags FMaskAll / FMaskExists.
    void SetTrainable(int from, int to) override;
    void SetUntrainable(int from, int to) override;
    // The arcs from every action neuron of output toNode, in order.
    void ForAllInArcs(TIterateObj& v, int toNode, int mask) override;
    // The one out-arc of action neuron fromNode.
    void ForAllOutArcs(TIterateObj& v, int fromNode, int mask) override;
    // Every arc, in action-neuron order.
    void ForAllArcs(TIterateObj& v, int mask) override;
    void ForAllArcs2(TIterateObj2& v, TBasicNetwork& second, int mask) override;
    void ForAllArcs3(TIterateObj3& v, TBasicNetwork& second, TBasicNetwork& third,
                     int mask) override;
    std::string GetConnectionsNType() const override;  // "ToOutputConnections"
    // The flag byte of action neuron `from`; any value is stored.
    std::uint8_t GetFlags(int from, int to) override;
    void SetFlags(int from, int to, std::uint8_t val) override;
    // A new set for `owner` with a copy of the centres and every flag FMaskAll.
    std::unique_ptr<TBasicConnections> Clone(TBasicNetwork* owner) override;
    // Not supported ("false").
    void RemoveFromNode(int index) override;
    void RemoveToNode(int index) override;

  private:
    // The output layer, with a structure that fits this set and the action layer.
    TOmbraOutputLayer& Outputs() const;
    // Index of action neuron `from`, checked.
    std::size_t Action(int from) const;

    std::vector<double> centres;
    std::vector<std::uint8_t> flags;
};

}  // namespace glean
