#include "NeuralNets/TBasicNetwork.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "KQmessage/Check.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TPrunedConnections.h"

namespace glean {

bool SelectedByMask(std::uint8_t flags, int mask) {
    const int required = mask == FMaskExists ? FMaskExists : FMaskAll;
    return (flags & required) == required;
}

double RandomWeight(double low, double high) {
    if (low == high) return low;
    return low + static_cast<double>(std::rand() % 32767) / 32767.0 * (high - low);
}

// ---------------------------------------------------------------------------------------------
// Neurons
// ---------------------------------------------------------------------------------------------

void TBasicNeuron::Activate(double net) {
    GLEAN_CHECK_TEXT(actFunction != nullptr, "actFunction != NULL");
    actFunction(this, net);
}

int TBasicNeuron::GetNumParameters() const {
    return 0;
}

void TBasicNeuron::GetParameters(std::span<double>) const {}

void TBasicNeuron::SetParameters(std::span<const double>) {}

std::string TBasicNeuron::GetParameterName(int) const {
    GLEAN_FAIL("false");
}

void TBasicNeuron::CopyParameters(const TBasicNeuron&) {}

void TBasicNeuron::SetActivationFunction(TActFunction f) {
    actFunction = f;
    if (layer != nullptr) layer->actFunction = nullptr;
}

void TBasicNeuron::Bind(TBasicLayer* owner, int slot) {
    layer = owner;
    layerNum = owner->layerNum;
    index = slot;
    value = &owner->values[static_cast<std::size_t>(slot)];
}

int TGainNeuron::GetNumParameters() const {
    return 1;
}

void TGainNeuron::GetParameters(std::span<double> out) const {
    GLEAN_CHECK_TEXT(!out.empty(), "out.size()>=GetNumParameters()");
    out[0] = gain;
}

void TGainNeuron::SetParameters(std::span<const double> in) {
    GLEAN_CHECK_TEXT(!in.empty(), "in.size()>=GetNumParameters()");
    gain = in[0];
}

std::string TGainNeuron::GetParameterName(int i) const {
    GLEAN_CHECK_TEXT(i == 0, "i==0");
    return "Gain";
}

// ---------------------------------------------------------------------------------------------
// Layers
// ---------------------------------------------------------------------------------------------

TBasicLayer::TBasicLayer(TBasicNetwork* network, int layerNum, int numNeurons)
    : network(network), numNeurons(numNeurons), layerNum(layerNum) {
    GLEAN_CHECK_TEXT(numNeurons >= 0, "numNeurons>=0");
    values.assign(static_cast<std::size_t>(numNeurons), 0.0);
}

void TBasicLayer::ActivateAll(std::span<const double> net) {
    GLEAN_CHECK_TEXT(net.size() >= static_cast<std::size_t>(numNeurons), "net.size()>=numNeurons");
    for (int i = 0; i < numNeurons; ++i) {
        TBasicNeuron* neuron = GetNeuron(i);
        const double x = net[static_cast<std::size_t>(i)];
        if (actFunction != nullptr) {
            actFunction(neuron, x);
        } else {
            neuron->Activate(x);
        }
    }
}

void TBasicLayer::Propagate(std::span<const double> input) {
    if (layerNum == network->inLayer) {
        std::cerr << "!Warning: changed input layer (TSimpleLayer)" << std::endl;
        TakeInput(input);
    } else {
        std::fill(values.begin(), values.end(), 0.0);
    }
    GatherLowerLayers();
    ActivateAll(values);
}

void TBasicLayer::InsertNeuron(int) {
    GLEAN_FAIL("false");
}

void TBasicLayer::SetActivationFunction(TActFunction f) {
    for (int i = 0; i < numNeurons; ++i)
        GetNeuron(i)->actFunction = f;
    actFunction = f;
}

TActFunction TBasicLayer::GetActivationFunction() {
    if (actFunction != nullptr) return actFunction;
    if (numNeurons == 0) {
        actFunction = ActNull;
        return actFunction;
    }
    const TActFunction shared = GetNeuron(0)->actFunction;
    for (int i = 1; i < numNeurons; ++i) {
        if (GetNeuron(i)->actFunction != shared) return nullptr;
    }
    actFunction = shared;
    return actFunction;
}

void TBasicLayer::SetDimensions(std::span<const int> parameters) {
    dimensions.assign(parameters.begin(), parameters.end());
}

void TBasicLayer::CopyBaseState(const TBasicLayer& source) {
    values.assign(static_cast<std::size_t>(numNeurons), 0.0);
    dimensions = source.dimensions;
    actFunction = source.actFunction;
}

void TBasicLayer::TakeInput(std::span<const double> input) {
    GLEAN_CHECK_TEXT(input.size() >= values.size(), "input.size()>=numNeurons");
    std::copy_n(input.begin(), values.size(), values.begin());
}

void TBasicLayer::GatherLowerLayers() {
    for (int i = 0; i < layerNum; ++i)
        network->priv_conns_index[layerNum][i]->Propagate(values);
}

template <class N>
TNeuronLayer<N>::TNeuronLayer(TBasicNetwork* network, int layerNum, int numNeurons)
    : TBasicLayer(network, layerNum, numNeurons) {
    nodes.resize(static_cast<std::size_t>(numNeurons));
    BindNeurons();
}

template <class N>
TBasicNeuron* TNeuronLayer<N>::GetNeuron(int i) {
    GLEAN_CHECK_TEXT(i >= 0 && i < numNeurons, "i>=0 && i<numNeurons");
    return &nodes[static_cast<std::size_t>(i)];
}

template <class N>
void TNeuronLayer<N>::DeleteNeuron(int index) {
    GLEAN_CHECK_TEXT(index >= 0 && index < numNeurons, "index>=0 && index<numNeurons");
    // Erasing copies every later neuron one place down with its function and parameters.
    nodes.erase(nodes.begin() + index);
    values.erase(values.begin() + index);
    --numNeurons;
    BindNeurons();
}

template <class N>
void TNeuronLayer<N>::InsertNeuron(int index) {
    GLEAN_CHECK_TEXT(index >= 0 && index <= numNeurons, "index>=0 && index<=numNeurons");
    N fresh;
    fresh.actFunction = actFunction != nullptr ? actFunction : ActError;
    if constexpr (std::is_same_v<N, TGainNeuron>) {
        if (!nodes.empty()) fresh.gain = nodes.front().gain;
    }
    nodes.insert(nodes.begin() + index, fresh);
    values.insert(values.begin() + index, 0.0);
    ++numNeurons;
    BindNeurons();
}

template <class N>
void TNeuronLayer<N>::CopyLayer(const TNeuronLayer& source) {
    CopyBaseState(source);
    nodes = source.nodes;
    for (std::size_t i = 0; i < nodes.size(); ++i)
        nodes[i].CopyParameters(source.nodes[i]);
    BindNeurons();
}

template <class N>
void TNeuronLayer<N>::BindNeurons() {
    for (int i = 0; i < numNeurons; ++i)
        nodes[static_cast<std::size_t>(i)].Bind(this, i);
}

template class TNeuronLayer<TBasicNeuron>;
template class TNeuronLayer<TGainNeuron>;

TSimpleLayer::TSimpleLayer(TBasicNetwork* network, int layerNum, int numNeurons)
    : TNeuronLayer(network, layerNum, numNeurons) {}

std::string TSimpleLayer::GetLayerType() const {
    return "Simple";
}

std::unique_ptr<TBasicLayer> TSimpleLayer::Clone(TBasicNetwork* owner) const {
    auto copy = std::make_unique<TSimpleLayer>(owner, layerNum, numNeurons);
    copy->CopyLayer(*this);
    return copy;
}

int TSimpleLayer::GetLayerCode() const {
    return 1;
}

TSimpleInputLayer::TSimpleInputLayer(TBasicNetwork* network, int layerNum, int numNeurons)
    : TSimpleLayer(network, layerNum, numNeurons) {
    SetActivationFunction(ActLinear);
}

void TSimpleInputLayer::Propagate(std::span<const double> input) {
    if (layerNum == network->inLayer) {
        TakeInput(input);
    } else {
        std::cerr << "!Warning: changed input layer (TSimpleInputLayer)" << std::endl;
        std::fill(values.begin(), values.end(), 0.0);
    }
}

std::string TSimpleInputLayer::GetLayerType() const {
    return "Input";
}

std::unique_ptr<TBasicLayer> TSimpleInputLayer::Clone(TBasicNetwork* owner) const {
    auto copy = std::make_unique<TSimpleInputLayer>(owner, layerNum, numNeurons);
    copy->CopyLayer(*this);
    return copy;
}

TGainLayer::TGainLayer(TBasicNetwork* network, int layerNum, int numNeurons, double gain)
    : TNeuronLayer(network, layerNum, numNeurons) {
    SetGain(gain);
}

std::string TGainLayer::GetLayerType() const {
    return "Gain";
}

std::unique_ptr<TBasicLayer> TGainLayer::Clone(TBasicNetwork* owner) const {
    auto copy = std::make_unique<TGainLayer>(owner, layerNum, numNeurons, 1.0);
    copy->CopyLayer(*this);
    return copy;
}

void TGainLayer::SetGain(double g) {
    for (TGainNeuron& neuron : nodes)
        neuron.gain = g;
}

// ---------------------------------------------------------------------------------------------
// Weight visitors
// ---------------------------------------------------------------------------------------------

void TIterateObjAggregate::Visit() {
    GLEAN_CHECK_TEXT(static_cast<std::size_t>(fromNode) < fromValues.size(), "fromNode<n_from");
    sum += fromValues[static_cast<std::size_t>(fromNode)] * *weight;
}

void TIterateObjGetNumWeights::Visit() {
    ++count;
}

void TIterateObjGetWeights::Visit() {
    GLEAN_CHECK_TEXT(static_cast<std::size_t>(count) < out.size(), "count<out.size()");
    out[static_cast<std::size_t>(count++)] = *weight;
}

void TIterateObjSetWeights::Visit() {
    GLEAN_CHECK_TEXT(static_cast<std::size_t>(count) < in.size(), "count<in.size()");
    *weight = in[static_cast<std::size_t>(count++)];
}

void TIterateObjRandomize::Visit() {
    *weight = RandomWeight(low, high);
}

void TIterateObjGetFlags::Visit() {
    buffer.push_back(connections->GetFlags(fromNode, toNode));
}

void TIterateObjSetFlags::Visit() {
    GLEAN_CHECK_TEXT(static_cast<std::size_t>(position) < data.size(), "position<data.size()");
    connections->SetFlags(fromNode, toNode, data[static_cast<std::size_t>(position++)]);
}

void TIterateObjAllUntrainable::Visit() {
    connections->SetUntrainable(fromNode, toNode);
}

void TIterateObjPruneNode::Visit() {
    ++count;
}

namespace {
// The set (fromLayer -> toLayer) of `net` and its two layers' objects and values.
struct BoundSet {
    BoundSet(TBasicNetwork& net, int fromLayer, int toLayer)
        : set(net.priv_conns_index[toLayer][fromLayer]),
          from(net.layers[fromLayer]),
          to(net.layers[toLayer]) {
        GLEAN_CHECK_TEXT(from != nullptr && to != nullptr, "layer != NULL");
    }
    TBasicConnections* set;
    TBasicLayer* from;
    TBasicLayer* to;
};
}  // namespace

TIterateObj2::TIterateObj2(TBasicNetwork& first, TBasicNetwork& second, int fromLayer, int toLayer)
    : fromLayer(fromLayer), toLayer(toLayer) {
    const BoundSet one(first, fromLayer, toLayer);
    const BoundSet two(second, fromLayer, toLayer);
    GLEAN_CHECK_TEXT(one.set->GetConnectionsNType() == two.set->GetConnectionsNType(),
                     "conn1 -> GetConnectionsNType() == conn2 -> GetConnectionsNType()");
    connections = one.set;
    connections2 = two.set;
    fromLayerObject = one.from;
    toLayerObject = one.to;
    fromLayerObject2 = two.from;
    toLayerObject2 = two.to;
    fromValues = one.from->values;
    toValues = one.to->values;
    fromValues2 = two.from->values;
    toValues2 = two.to->values;
}

TIterateObj3::TIterateObj3(TBasicNetwork& first, TBasicNetwork& second, TBasicNetwork& third,
                           int fromLayer, int toLayer)
    : fromLayer(fromLayer), toLayer(toLayer) {
    const BoundSet one(first, fromLayer, toLayer);
    const BoundSet two(second, fromLayer, toLayer);
    const BoundSet three(third, fromLayer, toLayer);
    GLEAN_CHECK_TEXT(one.set->GetConnectionsNType() == two.set->GetConnectionsNType(),
                     "conn1 -> GetConnectionsNType() == conn2 -> GetConnectionsNType()");
    GLEAN_CHECK_TEXT(one.set->GetConnectionsNType() == three.set->GetConnectionsNType(),
                     "conn1 -> GetConnectionsNType() == conn3 -> GetConnectionsNType()");
    connections = one.set;
    connections2 = two.set;
    connections3 = three.set;
    fromLayerObject = one.from;
    toLayerObject = one.to;
    fromLayerObject2 = two.from;
    toLayerObject2 = two.to;
    fromLayerObject3 = three.from;
    toLayerObject3 = three.to;
    fromValues = one.from->values;
    toValues = one.to->values;
    fromValues2 = two.from->values;
    toValues2 = two.to->values;
    fromValues3 = three.from->values;
    toValues3 = three.to->values;
}

// ---------------------------------------------------------------------------------------------
// Connection sets
// ---------------------------------------------------------------------------------------------

TBasicConnections::TBasicConnections(TBasicNetwork* network, int fromLayer, int toLayer)
    : network(network), fromLayer(fromLayer), toLayer(toLayer) {
    GLEAN_CHECK_TEXT(network != nullptr, "network != NULL");
}

bool TBasicConnections::IsConnected() const {
    return true;
}

int TBasicConnections::GetNumWeights(int mask) {
    TIterateObjGetNumWeights counter;
    ForAllArcs(counter, mask);
    return counter.count;
}

int TBasicConnections::GetWeights(std::span<double> buffer, int mask) {
    TIterateObjGetWeights reader(buffer);
    ForAllArcs(reader, mask);
    return reader.count;
}

int TBasicConnections::SetWeights(std::span<const double> buffer, int mask) {
    TIterateObjSetWeights writer(buffer);
    ForAllArcs(writer, mask);
    return writer.count;
}

void TBasicConnections::Randomize(double low, double high) {
    TIterateObjRandomize randomizer(low, high);
    ForAllArcs(randomizer, 0);
}

void TBasicConnections::Propagate(std::span<double> netInput) {
    const int nTo = ToLayerObject().numNeurons;
    GLEAN_CHECK_TEXT(netInput.size() >= static_cast<std::size_t>(nTo), "netInput.size()>=n_to");
    for (int t = 0; t < nTo; ++t) {
        TIterateObjAggregate aggregate;
        ForAllInArcs(aggregate, t, FMaskExists);
        netInput[static_cast<std::size_t>(t)] += aggregate.sum;
    }
}

bool TBasicConnections::IsTrainable(int from, int to) {
    return IsValid(from, to);
}

void TBasicConnections::RemoveArc(int, int) {
    GLEAN_FAIL("false");
}

void TBasicConnections::GetInWeights(int toNode, std::span<double> weights) {
    GLEAN_CHECK_TEXT(weights.size() == static_cast<std::size_t>(FromLayerObject().numNeurons),
                     "weights.size()==n_from");
    for (std::size_t from = 0; from < weights.size(); ++from)
        weights[from] = Weight(static_cast<int>(from), toNode);
}

void TBasicConnections::RemoveAllArcs() {
    const int nFrom = FromLayerObject().numNeurons;
    const int nTo = ToLayerObject().numNeurons;
    for (int from = 0; from < nFrom; ++from) {
        for (int to = 0; to < nTo; ++to)
            RemoveArc(from, to);
    }
}

void TBasicConnections::AddArc(int, int) {
    GLEAN_FAIL("false");
}

void TBasicConnections::SetTrainable(int, int) {
    GLEAN_FAIL("false");
}

void TBasicConnections::SetUntrainable(int, int) {
    GLEAN_FAIL("false");
}

std::uint8_t TBasicConnections::GetFlags(int, int) {
    return FMaskAll;
}

void TBasicConnections::SetFlags(int, int, std::uint8_t val) {
    GLEAN_CHECK_TEXT((val == FMaskAll) || (val == FMaskExists),
                     "(val==FMaskAll) || (val==FMaskExists)");
}

void TBasicConnections::InsertFromNode(int, double, double, bool) {
    GLEAN_FAIL("false");
}

void TBasicConnections::InsertToNode(int, double, double, bool) {
    GLEAN_FAIL("false");
}

std::vector<std::uint8_t> TBasicConnections::GetAllFlags() {
    TIterateObjGetFlags reader;
    ForAllArcs(reader, FMaskExists);
    return std::move(reader.buffer);
}

void TBasicConnections::SetAllFlags(std::span<const std::uint8_t> flags) {
    TIterateObjSetFlags writer(flags);
    ForAllArcs(writer, FMaskExists);
}

void TBasicConnections::SetAllUntrainable() {
    TIterateObjAllUntrainable freezer;
    ForAllArcs(freezer, FMaskExists);
}

TBasicLayer& TBasicConnections::FromLayerObject() const {
    TBasicLayer* layer = network->layers[fromLayer];
    GLEAN_CHECK_TEXT(layer != nullptr, "layer != NULL");
    return *layer;
}

TBasicLayer& TBasicConnections::ToLayerObject() const {
    TBasicLayer* layer = network->layers[toLayer];
    GLEAN_CHECK_TEXT(layer != nullptr, "layer != NULL");
    return *layer;
}

void TBasicConnections::Prepare(TIterateObj& v) {
    v.fromLayer = fromLayer;
    v.toLayer = toLayer;
    v.connections = this;
    v.fromLayerObject = &FromLayerObject();
    v.toLayerObject = &ToLayerObject();
    v.fromValues = v.fromLayerObject->values;
    v.toValues = v.toLayerObject->values;
}

void TBasicConnections::Prepare(TIterateObj2& v, TBasicNetwork& second) {
    v = TIterateObj2(*network, second, fromLayer, toLayer);
    // The walk reads this set even before it is installed in the matrix.
    v.connections = this;
}

void TBasicConnections::Prepare(TIterateObj3& v, TBasicNetwork& second, TBasicNetwork& third) {
    v = TIterateObj3(*network, second, third, fromLayer, toLayer);
    v.connections = this;
}

void TBasicConnections::VisitArc(TIterateObj& v, int from, int to, int mask) {
    const std::uint8_t flags = GetFlags(from, to);
    if (!SelectedByMask(flags, mask)) return;
    v.fromNode = from;
    v.toNode = to;
    v.weight = &Weight(from, to);
    v.trainable = (flags & FMaskTrainable) != 0 ? 1 : 0;
    v.Visit();
}

void TBasicConnections::VisitArc(TIterateObj2& v, int from, int to, int mask) {
    const std::uint8_t flags = GetFlags(from, to);
    if (!SelectedByMask(flags, mask)) return;
    v.fromNode = from;
    v.toNode = to;
    v.weight = &Weight(from, to);
    v.weight2 = &v.connections2->Weight(from, to);
    v.trainable = (flags & FMaskTrainable) != 0 ? 1 : 0;
    v.Visit();
}

void TBasicConnections::VisitArc(TIterateObj3& v, int from, int to, int mask) {
    const std::uint8_t flags = GetFlags(from, to);
    if (!SelectedByMask(flags, mask)) return;
    v.fromNode = from;
    v.toNode = to;
    v.weight = &Weight(from, to);
    v.weight2 = &v.connections2->Weight(from, to);
    v.weight3 = &v.connections3->Weight(from, to);
    v.trainable = (flags & FMaskTrainable) != 0 ? 1 : 0;
    v.Visit();
}

bool TEmptyConnections::IsConnected() const {
    return false;
}
int TEmptyConnections::GetNumWeights(int) {
    return 0;
}
int TEmptyConnections::GetWeights(std::span<double>, int) {
    return 0;
}
int TEmptyConnections::SetWeights(std::span<const double>, int) {
    return 0;
}
void TEmptyConnections::Randomize(double, double) {}
double& TEmptyConnections::Weight(int, int) {
    GLEAN_FAIL("false");
}
void TEmptyConnections::Propagate(std::span<double>) {}
bool TEmptyConnections::IsValid(int, int) {
    return false;
}
bool TEmptyConnections::IsTrainable(int, int) {
    return false;
}
void TEmptyConnections::ForAllInArcs(TIterateObj&, int, int) {}
void TEmptyConnections::ForAllOutArcs(TIterateObj&, int, int) {}
void TEmptyConnections::ForAllArcs(TIterateObj&, int) {}
void TEmptyConnections::ForAllArcs2(TIterateObj2&, TBasicNetwork&, int) {}
void TEmptyConnections::ForAllArcs3(TIterateObj3&, TBasicNetwork&, TBasicNetwork&, int) {}
std::string TEmptyConnections::GetConnectionsNType() const {
    return "Empty";
}

std::unique_ptr<TBasicConnections> TEmptyConnections::Clone(TBasicNetwork* owner) {
    return std::make_unique<TEmptyConnections>(owner, fromLayer, toLayer);
}

void TEmptyConnections::RemoveFromNode(int) {}
void TEmptyConnections::RemoveToNode(int) {}
void TEmptyConnections::InsertFromNode(int, double, double, bool) {}
void TEmptyConnections::InsertToNode(int, double, double, bool) {}

// ---------------------------------------------------------------------------------------------
// The network's tables
// ---------------------------------------------------------------------------------------------

TBasicLayer* TLayerTable::operator[](int layerNum) const {
    GLEAN_CHECK_TEXT(layerNum >= 0, "layerNum>=0");
    GLEAN_CHECK_TEXT(layerNum < Size(), "layerNum<numLayers");
    return slots[static_cast<std::size_t>(layerNum)].get();
}

std::unique_ptr<TBasicLayer> TLayerTable::Replace(int layerNum,
                                                  std::unique_ptr<TBasicLayer> layer) {
    (void)(*this)[layerNum];
    std::swap(slots[static_cast<std::size_t>(layerNum)], layer);
    return layer;
}

TBasicConnections* TConnectionTable::Row::operator[](int fromLayer) const {
    GLEAN_CHECK_TEXT(fromLayer >= 0, "fromLayer>=0");
    GLEAN_CHECK_TEXT(fromLayer < table->size, "fromLayer<numLayers");
    return table->cells[static_cast<std::size_t>(toLayer * table->size + fromLayer)].get();
}

TConnectionTable::Row TConnectionTable::operator[](int toLayer) const {
    GLEAN_CHECK_TEXT(toLayer >= 0, "toLayer>=0");
    GLEAN_CHECK_TEXT(toLayer < size, "toLayer<numLayers");
    return Row(this, toLayer);
}

std::unique_ptr<TBasicConnections>& TConnectionTable::Cell(int toLayer, int fromLayer) {
    (void)(*this)[toLayer][fromLayer];
    return cells[static_cast<std::size_t>(toLayer * size + fromLayer)];
}

// ---------------------------------------------------------------------------------------------
// The network frame
// ---------------------------------------------------------------------------------------------

TBasicNetwork::TBasicNetwork() = default;

TBasicNetwork::TBasicNetwork(int n) {
    Init(n);
}

TBasicNetwork::TBasicNetwork(const TBasicNetwork& x) {
    CopyFrom(x);
}

TBasicNetwork& TBasicNetwork::operator=(const TBasicNetwork& x) {
    if (this != &x) CopyFrom(x);
    return *this;
}

TBasicNetwork::~TBasicNetwork() = default;

void TBasicNetwork::Init(int n) {
    GLEAN_CHECK_TEXT(n > 0, "n>0");
    numLayers = n;
    inLayer = 1;
    outLayer = n - 1;
    layers.slots.clear();
    layers.slots.resize(static_cast<std::size_t>(n));
    priv_conns_index.size = n;
    priv_conns_index.cells.clear();
    priv_conns_index.cells.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    for (int to = 0; to < n; ++to) {
        for (int from = 0; from < n; ++from) {
            priv_conns_index.Cell(to, from) = std::make_unique<TEmptyConnections>(this, from, to);
        }
    }
    functions = std::make_unique<TFnRegistry>();
    functions->RegisterDefaults();
}

void TBasicNetwork::CopyFrom(const TBasicNetwork& x) {
    // Built aside first, so that a failed check leaves this network as it was.
    std::vector<std::unique_ptr<TBasicLayer>> newLayers;
    for (int i = 0; i < x.numLayers; ++i) {
        const TBasicLayer* layer = x.layers[i];
        GLEAN_CHECK_TEXT(layer != nullptr, "x.layers[i] != NULL");
        newLayers.push_back(layer->Clone(this));
    }
    // The sets read their layers through this network while they are cloned.
    std::swap(layers.slots, newLayers);
    numLayers = x.numLayers;
    inLayer = x.inLayer;
    outLayer = x.outLayer;
    std::vector<std::unique_ptr<TBasicConnections>> newCells;
    for (const auto& cell : x.priv_conns_index.cells) {
        GLEAN_CHECK_TEXT(cell != nullptr, "x.priv_conns[i] != NULL");
        newCells.push_back(cell->Clone(this));
    }
    priv_conns_index.size = x.priv_conns_index.size;
    std::swap(priv_conns_index.cells, newCells);
    functions = std::make_unique<TFnRegistry>();
    functions->RegisterDefaults();
}

int TBasicNetwork::GetNumWeights(int mask) {
    int total = 0;
    for (const auto& cell : priv_conns_index.cells)
        total += cell->GetNumWeights(mask);
    return total;
}

int TBasicNetwork::GetWeights(std::span<double> buffer, int mask) {
    int total = 0;
    for (int from = 0; from < numLayers; ++from) {
        for (int to = 0; to < numLayers; ++to) {
            total += priv_conns_index[to][from]->GetWeights(
                buffer.subspan(static_cast<std::size_t>(total)), mask);
        }
    }
    return total;
}

int TBasicNetwork::SetWeights(std::span<const double> buffer, int mask) {
    int total = 0;
    for (int from = 0; from < numLayers; ++from) {
        for (int to = 0; to < numLayers; ++to) {
            total += priv_conns_index[to][from]->SetWeights(
                buffer.subspan(static_cast<std::size_t>(total)), mask);
        }
    }
    return total;
}

void TBasicNetwork::Randomize(double low, double high) {
    for (int from = 0; from < numLayers; ++from) {
        for (int to = 0; to < numLayers; ++to)
            priv_conns_index[to][from]->Randomize(low, high);
    }
}

void TBasicNetwork::Connect(int fromLayer, int toLayer) {
    if (priv_conns_index[toLayer][fromLayer]->IsConnected()) return;
    InstallConnections(std::make_unique<TPrunedConnections>(this, fromLayer, toLayer));
}

void TBasicNetwork::Disconnect(int fromLayer, int toLayer) {
    GLEAN_CHECK_TEXT(priv_conns_index[toLayer][fromLayer] != nullptr,
                     "priv_conns_index[toLayer][fromLayer] != NULL");
    InstallConnections(std::make_unique<TEmptyConnections>(this, fromLayer, toLayer));
}

void TBasicNetwork::Recall(std::span<const double> input, std::span<double> output) {
    for (int i = 0; i < numLayers; ++i)
        GLEAN_CHECK_TEXT(layers[i] != nullptr, "layers[i] != NULL");
    TBasicLayer* out = layers[outLayer];
    GLEAN_CHECK_TEXT(input.size() >= layers[inLayer]->values.size(), "input.size()>=n_inputs");
    GLEAN_CHECK_TEXT(output.size() >= out->values.size(), "output.size()>=n_outputs");
    for (int i = 0; i < numLayers; ++i)
        layers[i]->Propagate(input);
    std::copy(out->values.begin(), out->values.end(), output.begin());
}

std::string TBasicNetwork::GetNetworkType() const {
    return "Basic";
}

std::unique_ptr<TArcsIterator> TBasicNetwork::NewInAllArcsIterator() {
    GLEAN_FAIL("false");
}

int TBasicNetwork::GetNumNeurons() const {
    int total = 0;
    for (int i = 0; i < numLayers; ++i) {
        const TBasicLayer* layer = layers[i];
        GLEAN_CHECK_TEXT(layer != nullptr, "layers[i] != NULL");
        total += layer->numNeurons;
    }
    return total;
}

TBasicNeuron* TBasicNetwork::GetNeuron(int index) const {
    GLEAN_CHECK_TEXT(index >= 0, "index>=0");
    GLEAN_CHECK_TEXT(index < GetNumNeurons(), "index<GetNumNeurons()");
    for (int i = 0; i < numLayers; ++i) {
        TBasicLayer* layer = layers[i];
        if (index < layer->numNeurons) return layer->GetNeuron(index);
        index -= layer->numNeurons;
    }
    GLEAN_FAIL("index<GetNumNeurons()");
}

void TBasicNetwork::CheckHiddenLayer(int LayerNum) const {
    GLEAN_CHECK_TEXT(LayerNum >= 0, "LayerNum>=0");
    GLEAN_CHECK_TEXT(LayerNum < numLayers, "LayerNum<numLayers");
    GLEAN_CHECK_TEXT(LayerNum != inLayer, "LayerNum!=inLayer");
    GLEAN_CHECK_TEXT(LayerNum != outLayer, "LayerNum!=outLayer");
    GLEAN_CHECK_TEXT(layers[LayerNum] != nullptr, "layers[i] != NULL");
}

void TBasicNetwork::InsertNode(int LayerNum, int node, double low, double high, bool attached) {
    CheckHiddenLayer(LayerNum);
    TBasicLayer* layer = layers[LayerNum];
    GLEAN_CHECK_TEXT(node >= 0, "node>=0");
    GLEAN_CHECK_TEXT(node <= layer->numNeurons, "node<=GetNumNeurons()");
    layer->InsertNeuron(node);
    for (int i = 0; i < numLayers; ++i) {
        priv_conns_index[i][LayerNum]->InsertFromNode(node, low, high, attached);
        priv_conns_index[LayerNum][i]->InsertToNode(node, low, high, attached);
    }
}

void TBasicNetwork::RemoveNode(int LayerNum, int node) {
    CheckHiddenLayer(LayerNum);
    TBasicLayer* layer = layers[LayerNum];
    GLEAN_CHECK_TEXT(node >= 0, "node>=0");
    GLEAN_CHECK_TEXT(node < layer->numNeurons, "node<GetNumNeurons()");
    layer->DeleteNeuron(node);
    for (int i = 0; i < numLayers; ++i) {
        priv_conns_index[i][LayerNum]->RemoveFromNode(node);
        priv_conns_index[LayerNum][i]->RemoveToNode(node);
    }
}

int TBasicNetwork::PruneNodes() {
    TIterateObjPruneNode counter;
    int removed = 0;
    for (int layer = outLayer - 1; layer >= 0; --layer) {
        if (layer == inLayer || layer == outLayer) continue;
        for (int neuron = layers[layer]->numNeurons - 1; neuron >= 0; --neuron) {
            counter.count = 0;
            ForAllOutArcsOfNode(counter, layer, neuron, FMaskExists);
            if (counter.count == 0) {
                RemoveNode(layer, neuron);
                ++removed;
            }
        }
    }
    return removed;
}

void TBasicNetwork::InsertLayer(int LayerNum, std::unique_ptr<TBasicLayer> layer) {
    GLEAN_CHECK_TEXT(LayerNum >= 0, "LayerNum>=0");
    GLEAN_CHECK_TEXT(LayerNum <= numLayers, "LayerNum<=numLayers");
    GLEAN_CHECK_TEXT(layer != nullptr, "layer != NULL");
    GLEAN_CHECK_TEXT(layer->network == this, "layer->network == this");
    const int n = numLayers + 1;
    auto shifted = [LayerNum](int i) { return i + (i >= LayerNum ? 1 : 0); };
    std::vector<std::unique_ptr<TBasicConnections>> cells(static_cast<std::size_t>(n) *
                                                          static_cast<std::size_t>(n));
    for (int to = 0; to < numLayers; ++to) {
        for (int from = 0; from < numLayers; ++from) {
            cells[static_cast<std::size_t>(shifted(to) * n + shifted(from))] =
                std::move(priv_conns_index.Cell(to, from));
        }
    }
    for (int i = 0; i < n; ++i) {
        cells[static_cast<std::size_t>(i * n + LayerNum)] =
            std::make_unique<TEmptyConnections>(this, LayerNum, i);
        if (i != LayerNum) {
            cells[static_cast<std::size_t>(LayerNum * n + i)] =
                std::make_unique<TEmptyConnections>(this, i, LayerNum);
        }
    }
    priv_conns_index.cells.swap(cells);
    priv_conns_index.size = n;
    layers.slots.insert(layers.slots.begin() + LayerNum, std::move(layer));
    numLayers = n;
    if (inLayer >= LayerNum) ++inLayer;
    if (outLayer >= LayerNum) ++outLayer;
    Renumber();
}

void TBasicNetwork::RemoveLayer(int LayerNum) {
    CheckHiddenLayer(LayerNum);
    const int n = numLayers - 1;
    std::vector<std::unique_ptr<TBasicConnections>> cells;
    cells.reserve(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    for (int to = 0; to < numLayers; ++to) {
        for (int from = 0; from < numLayers; ++from) {
            if (to != LayerNum && from != LayerNum) {
                cells.push_back(std::move(priv_conns_index.Cell(to, from)));
            }
        }
    }
    // The sets touching the layer go with the old matrix.
    priv_conns_index.cells.swap(cells);
    priv_conns_index.size = n;
    layers.slots.erase(layers.slots.begin() + LayerNum);
    numLayers = n;
    if (inLayer > LayerNum) --inLayer;
    if (outLayer > LayerNum) --outLayer;
    Renumber();
}

void TBasicNetwork::Renumber() {
    for (int to = 0; to < numLayers; ++to) {
        for (int from = 0; from < numLayers; ++from) {
            TBasicConnections* set = priv_conns_index[to][from];
            set->fromLayer = from;
            set->toLayer = to;
        }
    }
    for (int i = 0; i < numLayers; ++i) {
        TBasicLayer* layer = layers[i];
        if (layer == nullptr) continue;
        layer->layerNum = i;
        for (int k = 0; k < layer->numNeurons; ++k)
            layer->GetNeuron(k)->layerNum = i;
    }
}

void TBasicNetwork::ForAllInArcsOfNode(TIterateObj& visitor, int toLayer, int node, int mask) {
    for (int i = 0; i < numLayers; ++i)
        priv_conns_index[toLayer][i]->ForAllInArcs(visitor, node, mask);
}

void TBasicNetwork::ForAllOutArcsOfNode(TIterateObj& visitor, int fromLayer, int node, int mask) {
    for (int i = 0; i < numLayers; ++i) {
        priv_conns_index[i][fromLayer]->ForAllOutArcs(visitor, node, mask);
    }
}

void TBasicNetwork::InstallLayer(int layerNum, std::unique_ptr<TBasicLayer> layer) {
    GLEAN_CHECK_TEXT(layer != nullptr, "layer != NULL");
    GLEAN_CHECK_TEXT(layer->network == this, "layer->network == this");
    GLEAN_CHECK_TEXT(layer->layerNum == layerNum, "layer->layerNum == layerNum");
    layers.Replace(layerNum, std::move(layer));
}

TBasicConnections* TBasicNetwork::InstallConnections(std::unique_ptr<TBasicConnections> set) {
    GLEAN_CHECK_TEXT(set != nullptr, "set != NULL");
    GLEAN_CHECK_TEXT(set->network == this, "set->network == this");
    std::unique_ptr<TBasicConnections>& cell = priv_conns_index.Cell(set->toLayer, set->fromLayer);
    cell = std::move(set);
    return cell.get();
}

// ---------------------------------------------------------------------------------------------
// Arc iterators
// ---------------------------------------------------------------------------------------------

bool TArcsIterator::More() const {
    return HasArc();
}

void TArcsIterator::StandOn(int node) {
    fromNode = node;
    fromNeuron = network->layers[fromLayer]->GetNeuron(node);
    weight = &current->Weight(node, toNode);
}

void TInAllArcsIterator::Start(int, int) {}

void TInLayerArcsIterator::Start(int, int, int) {}

void TConnInAllArcsIterator::Start(int toLayerNum, int toNodeNum) {
    toLayer = toLayerNum;
    toNode = toNodeNum;
    toNeuron = network->layers[toLayer]->GetNeuron(toNode);
    fromLayer = -1;
    fromNode = -1;
    lastNode = -1;
    fromNeuron = nullptr;
    weight = nullptr;
    current = nullptr;
}

void TConnInAllArcsIterator::Start(const TBasicNeuron& neuron) {
    Start(neuron.layerNum, neuron.index);
}

bool TConnInAllArcsIterator::HasArc() const {
    return current != nullptr;
}

bool TConnInAllArcsIterator::Next() {
    if (current != nullptr && fromNode < lastNode) {
        StandOn(fromNode + 1);
        return true;
    }
    return EnterLayer(+1);
}

bool TConnInAllArcsIterator::Previous() {
    if (current != nullptr && fromNode > 0) {
        StandOn(fromNode - 1);
        return true;
    }
    return EnterLayer(-1);
}

bool TConnInAllArcsIterator::EnterLayer(int step) {
    for (int l = fromLayer + step; l >= 0 && l < network->numLayers; l += step) {
        TBasicConnections* set = network->priv_conns_index[toLayer][l];
        const TBasicLayer* source = network->layers[l];
        if (set->IsConnected() && source != nullptr && source->numNeurons > 0) {
            fromLayer = l;
            lastNode = source->numNeurons - 1;
            current = set;
            StandOn(step > 0 ? 0 : lastNode);
            return true;
        }
    }
    // Off either end: a step the other way re-enters from that end.
    fromLayer = step > 0 ? network->numLayers : -1;
    current = nullptr;
    weight = nullptr;
    fromNeuron = nullptr;
    return false;
}

void TConnInLayerArcsIterator::Start(int toLayerNum, int toNodeNum, int fromLayerNum) {
    toLayer = toLayerNum;
    toNode = toNodeNum;
    toNeuron = network->layers[toLayer]->GetNeuron(toNode);
    fromLayer = fromLayerNum;
    TBasicLayer* source = network->layers[fromLayer];
    GLEAN_CHECK_TEXT(source != nullptr, "layer != NULL");
    fromValues = source->values;
    current = network->priv_conns_index[toLayer][fromLayer];
    lastNode = source->numNeurons - 1;
    fromNode = -1;
    fromNeuron = nullptr;
    weight = nullptr;
}

void TConnInLayerArcsIterator::Start(const TBasicNeuron& neuron) {
    Start(neuron.layerNum, neuron.index, 0);
}

bool TConnInLayerArcsIterator::HasArc() const {
    return current != nullptr;
}

bool TConnInLayerArcsIterator::Next() {
    if (current == nullptr || fromNode >= lastNode) return false;
    StandOn(fromNode + 1);
    return true;
}

bool TConnInLayerArcsIterator::Previous() {
    if (current == nullptr || fromNode < 1) return false;
    StandOn(fromNode - 1);
    return true;
}

// ---------------------------------------------------------------------------------------------
// The connected network
// ---------------------------------------------------------------------------------------------

TConnectedNetwork::TConnectedNetwork(int n) : TBasicNetwork(n) {}

TConnectedNetwork::TConnectedNetwork(int n, std::span<const int> sizes) : TBasicNetwork(n) {
    GLEAN_CHECK_TEXT(sizes.size() == static_cast<std::size_t>(n), "sizes.size()==n");
    for (int i = 0; i < n; ++i) {
        const int size = sizes[static_cast<std::size_t>(i)];
        if (i == inLayer) {
            InstallLayer(i, std::make_unique<TSimpleInputLayer>(this, i, size));
        } else {
            InstallLayer(i, std::make_unique<TSimpleLayer>(this, i, size));
        }
    }
}

void TConnectedNetwork::Connect(int fromLayer, int toLayer) {
    if (priv_conns_index[toLayer][fromLayer]->IsConnected()) return;
    InstallConnections(std::make_unique<TConnectedConnections>(this, fromLayer, toLayer));
}

std::string TConnectedNetwork::GetNetworkType() const {
    return "Connected";
}

std::unique_ptr<TArcsIterator> TConnectedNetwork::NewInAllArcsIterator() {
    return std::make_unique<TConnInAllArcsIterator>(*this);
}

}  // namespace glean
