#include "NeuralNets/TConnectedConnections.h"

#include "KQmessage/Check.h"

namespace glean {

TConnectedConnections::TConnectedConnections(TBasicNetwork* network, int fromLayer, int toLayer)
    : TBasicConnections(network, fromLayer, toLayer),
      array_weights(FromLayerObject().numNeurons, ToLayerObject().numNeurons, 0.0) {}

int TConnectedConnections::GetNumWeights(int) {
    return array_weights.NumFrom() * array_weights.NumTo();
}

int TConnectedConnections::GetWeights(std::span<double> buffer, int) {
    const int count = GetNumWeights(FMaskAll);
    GLEAN_CHECK_TEXT(buffer.size() >= static_cast<std::size_t>(count), "buffer.size()>=count");
    std::size_t k = 0;
    for (int f = 0; f < array_weights.NumFrom(); ++f) {
        for (int t = 0; t < array_weights.NumTo(); ++t)
            buffer[k++] = array_weights.At(f, t);
    }
    return count;
}

int TConnectedConnections::SetWeights(std::span<const double> buffer, int) {
    const int count = GetNumWeights(FMaskAll);
    GLEAN_CHECK_TEXT(buffer.size() >= static_cast<std::size_t>(count), "buffer.size()>=count");
    std::size_t k = 0;
    for (int f = 0; f < array_weights.NumFrom(); ++f) {
        for (int t = 0; t < array_weights.NumTo(); ++t)
            array_weights.At(f, t) = buffer[k++];
    }
    return count;
}

void TConnectedConnections::Randomize(double low, double high) {
    for (double& w : array_weights.Cells())
        w = RandomWeight(low, high);
}

double& TConnectedConnections::Weight(int from, int to) {
    return array_weights.At(from, to);
}

void TConnectedConnections::GetInWeights(int toNode, std::span<double> weights) {
    CheckSizes();
    array_weights.CopyRow(toNode, weights);
}

void TConnectedConnections::Propagate(std::span<double> netInput) {
    CheckSizes();
    const int nFrom = array_weights.NumFrom();
    const int nTo = array_weights.NumTo();
    GLEAN_CHECK_TEXT(netInput.size() >= static_cast<std::size_t>(nTo), "netInput.size()>=n_to");
    const double* source = FromLayerObject().values.data();
    for (int t = 0; t < nTo; ++t) {
        const double* row = array_weights.Row(t);
        double sum = 0.0;
        for (int f = 0; f < nFrom; ++f)
            sum += row[f] * source[f];
        netInput[static_cast<std::size_t>(t)] += sum;
    }
}

bool TConnectedConnections::IsValid(int from, int to) {
    (void)array_weights.At(from, to);
    return true;
}

void TConnectedConnections::AddArc(int from, int to) {
    (void)array_weights.At(from, to);
}

void TConnectedConnections::SetTrainable(int from, int to) {
    (void)array_weights.At(from, to);
}

void TConnectedConnections::ForAllInArcs(TIterateObj& v, int toNode, int mask) {
    Prepare(v);
    CheckSizes();
    array_weights.ForEachInArc(toNode, [&](int f, int t) { VisitArc(v, f, t, mask); });
}

void TConnectedConnections::ForAllOutArcs(TIterateObj& v, int fromNode, int mask) {
    Prepare(v);
    CheckSizes();
    array_weights.ForEachOutArc(fromNode, [&](int f, int t) { VisitArc(v, f, t, mask); });
}

void TConnectedConnections::ForAllArcs(TIterateObj& v, int mask) {
    Prepare(v);
    CheckSizes();
    array_weights.ForEachArc([&](int f, int t) { VisitArc(v, f, t, mask); });
}

void TConnectedConnections::ForAllArcs2(TIterateObj2& v, TBasicNetwork& second, int mask) {
    Prepare(v, second);
    CheckSizes();
    array_weights.ForEachArc([&](int f, int t) { VisitArc(v, f, t, mask); });
}

void TConnectedConnections::ForAllArcs3(TIterateObj3& v, TBasicNetwork& second,
                                        TBasicNetwork& third, int mask) {
    Prepare(v, second, third);
    CheckSizes();
    array_weights.ForEachArc([&](int f, int t) { VisitArc(v, f, t, mask); });
}

std::string TConnectedConnections::GetConnectionsNType() const {
    return "FullyConnected";
}

std::unique_ptr<TBasicConnections> TConnectedConnections::Clone(TBasicNetwork* owner) {
    auto x = std::make_unique<TConnectedConnections>(owner, fromLayer, toLayer);
    GLEAN_CHECK_TEXT(x->array_weights.NumFrom() == array_weights.NumFrom() &&
                         x->array_weights.NumTo() == array_weights.NumTo(),
                     "sizes match the layers");
    x->array_weights = array_weights;
    return x;
}

void TConnectedConnections::RemoveFromNode(int index) {
    array_weights.RemoveFrom(index);
    CheckSizes();
}

void TConnectedConnections::RemoveToNode(int index) {
    array_weights.RemoveTo(index);
    CheckSizes();
}

void TConnectedConnections::InsertFromNode(int index, double low, double high, bool attached) {
    GLEAN_CHECK_TEXT(attached, "attached");
    array_weights.InsertFrom(index, [&](int) { return RandomWeight(low, high); });
    CheckSizes();
}

void TConnectedConnections::InsertToNode(int index, double low, double high, bool attached) {
    GLEAN_CHECK_TEXT(attached, "attached");
    array_weights.InsertTo(index, [&](int) { return RandomWeight(low, high); });
    CheckSizes();
}

void TConnectedConnections::CheckSizes() const {
    GLEAN_CHECK_TEXT(FromLayerObject().numNeurons == array_weights.NumFrom() &&
                         ToLayerObject().numNeurons == array_weights.NumTo(),
                     "sizes match the layers");
}

}  // namespace glean
