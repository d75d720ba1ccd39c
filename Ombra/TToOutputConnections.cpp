#include "Ombra/TToOutputConnections.h"

#include "KQmessage/Check.h"
#include "Ombra/TOmbraOutputLayer.h"

namespace glean {

TToOutputConnections::TToOutputConnections(TBasicNetwork* network, int fromLayer, int toLayer)
    : TBasicConnections(network, fromLayer, toLayer) {
    GLEAN_CHECK_TEXT(dynamic_cast<TOmbraOutputLayer*>(&ToLayerObject()) != nullptr, "output layer");
    const auto nActions = static_cast<std::size_t>(FromLayerObject().numNeurons);
    centres.assign(nActions, 0.0);
    flags.assign(nActions, FMaskAll);
}

void TToOutputConnections::InitialiseCentres() {
    const TOmbraOutputLayer& layer = Outputs();
    int action = 0;
    for (int n : layer.mfPerOutput) {
        GLEAN_CHECK_TEXT(n >= 2, "NdxMF >= 2");
        Weight(action, 0) = 0.0;
        for (int m = 1; m <= n - 2; ++m) {
            Weight(action + m, 0) = static_cast<double>(m) / static_cast<double>(n - 1);
        }
        Weight(action + n - 1, 0) = 1.0;
        action += n;
    }
}

double& TToOutputConnections::Weight(int from, int) {
    return centres[Action(from)];
}

bool TToOutputConnections::IsValid(int from, int to) {
    const TOmbraOutputLayer& layer = Outputs();
    return from >= 0 && from < static_cast<int>(layer.outputOf.size()) && to >= 0 &&
           to < layer.numNeurons && layer.outputOf[static_cast<std::size_t>(from)] == to;
}

void TToOutputConnections::RemoveArc(int, int) {}

void TToOutputConnections::AddArc(int, int) {}

void TToOutputConnections::SetTrainable(int from, int to) {
    SetFlags(from, to, FMaskAll);
}

void TToOutputConnections::SetUntrainable(int from, int to) {
    SetFlags(from, to, FMaskExists);
}

void TToOutputConnections::ForAllInArcs(TIterateObj& v, int toNode, int mask) {
    Prepare(v);
    const TOmbraOutputLayer& layer = Outputs();
    GLEAN_CHECK_TEXT(toNode >= 0 && toNode < layer.numNeurons, "to>=0 && to<n_to");
    for (int a = 0; a < layer.nActions; ++a) {
        if (layer.outputOf[static_cast<std::size_t>(a)] == toNode) VisitArc(v, a, toNode, mask);
    }
}

void TToOutputConnections::ForAllOutArcs(TIterateObj& v, int fromNode, int mask) {
    Prepare(v);
    const TOmbraOutputLayer& layer = Outputs();
    VisitArc(v, fromNode, layer.outputOf[Action(fromNode)], mask);
}

void TToOutputConnections::ForAllArcs(TIterateObj& v, int mask) {
    Prepare(v);
    const TOmbraOutputLayer& layer = Outputs();
    for (int a = 0; a < layer.nActions; ++a) {
        VisitArc(v, a, layer.outputOf[static_cast<std::size_t>(a)], mask);
    }
}

void TToOutputConnections::ForAllArcs2(TIterateObj2& v, TBasicNetwork& second, int mask) {
    Prepare(v, second);
    const TOmbraOutputLayer& layer = Outputs();
    for (int a = 0; a < layer.nActions; ++a) {
        VisitArc(v, a, layer.outputOf[static_cast<std::size_t>(a)], mask);
    }
}

void TToOutputConnections::ForAllArcs3(TIterateObj3& v, TBasicNetwork& second, TBasicNetwork& third,
                                       int mask) {
    Prepare(v, second, third);
    const TOmbraOutputLayer& layer = Outputs();
    for (int a = 0; a < layer.nActions; ++a) {
        VisitArc(v, a, layer.outputOf[static_cast<std::size_t>(a)], mask);
    }
}

std::string TToOutputConnections::GetConnectionsNType() const {
    return "ToOutputConnections";
}

std::uint8_t TToOutputConnections::GetFlags(int from, int) {
    return flags[Action(from)];
}

void TToOutputConnections::SetFlags(int from, int, std::uint8_t val) {
    flags[Action(from)] = val;
}

std::unique_ptr<TBasicConnections> TToOutputConnections::Clone(TBasicNetwork* owner) {
    auto x = std::make_unique<TToOutputConnections>(owner, fromLayer, toLayer);
    GLEAN_CHECK_TEXT(x->centres.size() == centres.size(), "sizes match the layers");
    x->centres = centres;
    return x;
}

void TToOutputConnections::RemoveFromNode(int) {
    GLEAN_FAIL("false");
}

void TToOutputConnections::RemoveToNode(int) {
    GLEAN_FAIL("false");
}

TOmbraOutputLayer& TToOutputConnections::Outputs() const {
    auto* layer = dynamic_cast<TOmbraOutputLayer*>(&ToLayerObject());
    GLEAN_CHECK_TEXT(layer != nullptr, "output layer");
    GLEAN_CHECK_TEXT(centres.size() == static_cast<std::size_t>(FromLayerObject().numNeurons) &&
                         layer->outputOf.size() == centres.size(),
                     "sizes match the layers");
    return *layer;
}

std::size_t TToOutputConnections::Action(int from) const {
    (void)Outputs();
    GLEAN_CHECK_TEXT(from >= 0 && from < static_cast<int>(centres.size()),
                     "from>=0 && from<n_from");
    return static_cast<std::size_t>(from);
}

}  // namespace glean
