// The fixed set from the input layer to the condition layer: one arc into every condition
// neuron, from the input it fuzzifies; the arc's "weight" is the neuron's MF centre.
#pragma once

#include <cstdint>
#include <vector>

#include "NeuralNets/TBasicNetwork.h"

namespace glean {

class TConditionLayer;

class TToConditionConnections : public TBasicConnections {
  public:
    // Flags FMaskAll for every condition neuron of layer toLayer, which must be a condition
    // layer ("condition layer").
    TToConditionConnections(TBasicNetwork* network, int fromLayer, int toLayer);

    // The centre of condition neuron `to`; `from` is not used.
    double& Weight(int from, int to) override;
    // Condition neuron `to` exists and belongs to input `from`.
    bool IsValid(int from, int to) override;
    // The arcs are fixed: adding and removing change nothing.
    void RemoveArc(int from, int to) override;
    void AddArc(int from, int to) override;
    // Flags FMaskAll / FMaskExists.
    void SetTrainable(int from, int to) override;
    void SetUntrainable(int from, int to) override;
    // The one in-arc of condition neuron toNode.
    void ForAllInArcs(TIterateObj& v, int toNode, int mask) override;
    // The arcs to every condition neuron of input fromNode, in order.
    void ForAllOutArcs(TIterateObj& v, int fromNode, int mask) override;
    // Every arc, in condition-neuron order.
    void ForAllArcs(TIterateObj& v, int mask) override;
    void ForAllArcs2(TIterateObj2& v, TBasicNetwork& second, int mask) override;
    void ForAllArcs3(TIterateObj3& v, TBasicNetwork& second, TBasicNetwork& third,
                     int mask) override;
    std::string GetConnectionsNType() const override;  // "ToConditionConnections"
    // The flag byte of condition neuron `to`; any value is stored.
    std::uint8_t GetFlags(int from, int to) override;
    void SetFlags(int from, int to, std::uint8_t val) override;
    // A new set for `owner` with every flag FMaskAll; the centres travel with the layer.
    std::unique_ptr<TBasicConnections> Clone(TBasicNetwork* owner) override;
    // Not supported ("false").
    void RemoveFromNode(int index) override;
    void RemoveToNode(int index) override;

  private:
    // The condition layer, with a structure that fits this set and the input layer.
    TConditionLayer& Conditions() const;
    std::uint8_t& Flag(int to);

    std::vector<std::uint8_t> flags;
};

}  // namespace glean
