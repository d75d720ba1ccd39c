#include "Ombra/TToConditionConnections.h"

#include "KQmessage/Check.h"
#include "Ombra/TConditionLayer.h"

namespace glean {

TToConditionConnections::TToConditionConnections(TBasicNetwork* network, int fromLayer, int toLayer)
    : TBasicConnections(network, fromLayer, toLayer) {
    auto* layer = dynamic_cast<TConditionLayer*>(&ToLayerObject());
    GLEAN_CHECK_TEXT(layer != nullptr, "condition layer");
    flags.assign(static_cast<std::size_t>(layer->numNeurons), FMaskAll);
}

double& TToConditionConnections::Weight(int, int to) {
    return Conditions().Condition(to).centre;
}

bool TToConditionConnections::IsValid(int from, int to) {
    const TConditionLayer& layer = Conditions();
    return to >= 0 && to < static_cast<int>(layer.inputOf.size()) &&
           layer.inputOf[static_cast<std::size_t>(to)] == from;
}

void TToConditionConnections::RemoveArc(int, int) {}

void TToConditionConnections::AddArc(int, int) {}

void TToConditionConnections::SetTrainable(int from, int to) {
    SetFlags(from, to, FMaskAll);
}

void TToConditionConnections::SetUntrainable(int from, int to) {
    SetFlags(from, to, FMaskExists);
}

void TToConditionConnections::ForAllInArcs(TIterateObj& v, int toNode, int mask) {
    Prepare(v);
    const TConditionLayer& layer = Conditions();
    GLEAN_CHECK_TEXT(toNode >= 0 && toNode < layer.numNeurons, "to>=0 && to<n_to");
    VisitArc(v, layer.inputOf[static_cast<std::size_t>(toNode)], toNode, mask);
}

void TToConditionConnections::ForAllOutArcs(TIterateObj& v, int fromNode, int mask) {
    Prepare(v);
    const TConditionLayer& layer = Conditions();
    for (int c = 0; c < layer.numNeurons; ++c) {
        if (layer.inputOf[static_cast<std::size_t>(c)] == fromNode) VisitArc(v, fromNode, c, mask);
    }
}

void TToConditionConnections::ForAllArcs(TIterateObj& v, int mask) {
    Prepare(v);
    const TConditionLayer& layer = Conditions();
    for (int c = 0; c < layer.numNeurons; ++c) {
        VisitArc(v, layer.inputOf[static_cast<std::size_t>(c)], c, mask);
    }
}

void TToConditionConnections::ForAllArcs2(TIterateObj2& v, TBasicNetwork& second, int mask) {
    Prepare(v, second);
    const TConditionLayer& layer = Conditions();
    for (int c = 0; c < layer.numNeurons; ++c) {
        VisitArc(v, layer.inputOf[static_cast<std::size_t>(c)], c, mask);
    }
}

void TToConditionConnections::ForAllArcs3(TIterateObj3& v, TBasicNetwork& second,
                                          TBasicNetwork& third, int mask) {
    Prepare(v, second, third);
    const TConditionLayer& layer = Conditions();
    for (int c = 0; c < layer.numNeurons; ++c) {
        VisitArc(v, layer.inputOf[static_cast<std::size_t>(c)], c, mask);
    }
}

std::string TToConditionConnections::GetConnectionsNType() const {
    return "ToConditionConnections";
}

std::uint8_t TToConditionConnections::GetFlags(int, int to) {
    return Flag(to);
}

void TToConditionConnections::SetFlags(int, int to, std::uint8_t val) {
    Flag(to) = val;
}

std::unique_ptr<TBasicConnections> TToConditionConnections::Clone(TBasicNetwork* owner) {
    return std::make_unique<TToConditionConnections>(owner, fromLayer, toLayer);
}

void TToConditionConnections::RemoveFromNode(int) {
    GLEAN_FAIL("false");
}

void TToConditionConnections::RemoveToNode(int) {
    GLEAN_FAIL("false");
}

TConditionLayer& TToConditionConnections::Conditions() const {
    auto* layer = dynamic_cast<TConditionLayer*>(&ToLayerObject());
    GLEAN_CHECK_TEXT(layer != nullptr, "condition layer");
    GLEAN_CHECK_TEXT(flags.size() == static_cast<std::size_t>(layer->numNeurons) &&
                         layer->inputOf.size() == flags.size() &&
                         layer->nInputs == FromLayerObject().numNeurons,
                     "sizes match the layers");
    return *layer;
}

std::uint8_t& TToConditionConnections::Flag(int to) {
    (void)Conditions();
    GLEAN_CHECK_TEXT(to >= 0 && to < static_cast<int>(flags.size()), "to>=0 && to<n_to");
    return flags[static_cast<std::size_t>(to)];
}

}  // namespace glean
