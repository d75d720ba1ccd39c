#include "NeuralNets/TPrunedConnections.h"

#include <algorithm>

#include "KQmessage/Check.h"

namespace glean {

TPrunedConnections::TPrunedConnections(TBasicNetwork* network, int fromLayer, int toLayer,
                                       bool attached)
    : TBasicConnections(network, fromLayer, toLayer),
      array_weights(FromLayerObject().numNeurons, ToLayerObject().numNeurons, 0.0),
      array_masks(FromLayerObject().numNeurons, ToLayerObject().numNeurons,
                  attached ? FMaskAll : 0) {}

void TPrunedConnections::Randomize(double low, double high) {
    const std::span<double> weights = array_weights.Cells();
    const std::span<const std::uint8_t> masks = array_masks.Cells();
    for (std::size_t k = 0; k < weights.size(); ++k) {
        if ((masks[k] & FMaskTrainable) != 0) weights[k] = RandomWeight(low, high);
    }
}

void TPrunedConnections::GetInWeights(int toNode, std::span<double> weights) {
    CheckSizes();
    array_weights.CopyRow(toNode, weights);
}

void TPrunedConnections::Propagate(std::span<double> netInput) {
    CheckSizes();
    const int nFrom = array_weights.NumFrom();
    const int nTo = array_weights.NumTo();
    GLEAN_CHECK_TEXT(netInput.size() >= static_cast<std::size_t>(nTo), "netInput.size()>=n_to");
    const double* source = FromLayerObject().values.data();
    for (int t = 0; t < nTo; ++t) {
        const double* row = array_weights.Row(t);
        const std::uint8_t* flags = array_masks.Row(t);
        double sum = 0.0;
        for (int f = 0; f < nFrom; ++f) {
            if ((flags[f] & FMaskExists) != 0) sum += row[f] * source[f];
        }
        netInput[static_cast<std::size_t>(t)] += sum;
    }
}

bool TPrunedConnections::IsTrainable(int from, int to) {
    return (array_masks.At(from, to) & FMaskTrainable) != 0;
}

void TPrunedConnections::RemoveArc(int from, int to) {
    array_masks.At(from, to) = 0;
    array_weights.At(from, to) = 0.0;
}

void TPrunedConnections::RemoveAllArcs() {
    CheckSizes();
    array_masks.Fill(0);
    array_weights.Fill(0.0);
}

void TPrunedConnections::ForAllInArcs(TIterateObj& v, int toNode, int mask) {
    Prepare(v);
    CheckSizes();
    array_weights.ForEachInArc(toNode, [&](int f, int t) { VisitArc(v, f, t, mask); });
}

void TPrunedConnections::ForAllOutArcs(TIterateObj& v, int fromNode, int mask) {
    Prepare(v);
    CheckSizes();
    array_weights.ForEachOutArc(fromNode, [&](int f, int t) { VisitArc(v, f, t, mask); });
}

void TPrunedConnections::ForAllArcs(TIterateObj& v, int mask) {
    Prepare(v);
    CheckSizes();
    array_weights.ForEachArc([&](int f, int t) { VisitArc(v, f, t, mask); });
}

void TPrunedConnections::ForAllArcs2(TIterateObj2& v, TBasicNetwork& second, int mask) {
    Prepare(v, second);
    CheckSizes();
    array_weights.ForEachArc([&](int f, int t) { VisitArc(v, f, t, mask); });
}

void TPrunedConnections::ForAllArcs3(TIterateObj3& v, TBasicNetwork& second, TBasicNetwork& third,
                                     int mask) {
    Prepare(v, second, third);
    CheckSizes();
    array_weights.ForEachArc([&](int f, int t) { VisitArc(v, f, t, mask); });
}

std::string TPrunedConnections::GetConnectionsNType() const {
    return "Pruneable";
}

std::uint8_t TPrunedConnections::GetFlags(int from, int to) {
    return array_masks.At(from, to);
}

void TPrunedConnections::SetFlags(int from, int to, std::uint8_t val) {
    array_masks.At(from, to) = val;
}

std::unique_ptr<TBasicConnections> TPrunedConnections::Clone(TBasicNetwork* owner) {
    auto x = std::make_unique<TPrunedConnections>(owner, fromLayer, toLayer);
    GLEAN_CHECK_TEXT(x->array_weights.NumFrom() == array_weights.NumFrom() &&
                         x->array_weights.NumTo() == array_weights.NumTo(),
                     "sizes match the layers");
    x->array_weights = array_weights;
    x->array_masks = array_masks;
    return x;
}

void TPrunedConnections::RemoveFromNode(int index) {
    array_weights.RemoveFrom(index);
    array_masks.RemoveFrom(index);
    CheckSizes();
}

void TPrunedConnections::RemoveToNode(int index) {
    array_weights.RemoveTo(index);
    array_masks.RemoveTo(index);
    CheckSizes();
}

void TPrunedConnections::InsertFromNode(int index, double low, double high, bool attached) {
    array_weights.InsertFrom(index, [&](int) { return attached ? RandomWeight(low, high) : 0.0; });
    array_masks.InsertFrom(index,
                           [&](int) { return static_cast<std::uint8_t>(attached ? FMaskAll : 0); });
    CheckSizes();
}

void TPrunedConnections::InsertToNode(int index, double low, double high, bool attached) {
    array_weights.InsertTo(index, [&](int) { return attached ? RandomWeight(low, high) : 0.0; });
    array_masks.InsertTo(index,
                         [&](int) { return static_cast<std::uint8_t>(attached ? FMaskAll : 0); });
    CheckSizes();
}

void TPrunedConnections::CheckSizes() const {
    GLEAN_CHECK_TEXT(FromLayerObject().numNeurons == array_weights.NumFrom() &&
                         ToLayerObject().numNeurons == array_weights.NumTo(),
                     "sizes match the layers");
}

}  // namespace glean
