// The generic layered network: the frame, its layers and neurons, the connection-set interface
// with the empty set, the weight visitors, the arc iterators and the connected network.
//
// Numbering: layers 0 .. numLayers-1; the set joining layer `from` to layer `to` is
// priv_conns_index[to][from]; inside a set an arc is named (from node, to node). The network owns
// its layers, its sets and its registry; a layer owns its neurons. Every index that leaves its
// range is a failed internal check.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "NeuralNets/ActFunctions.h"

namespace glean {

class TBasicNetwork;
class TBasicLayer;
class TBasicConnections;
class TArcsIterator;

// ---------------------------------------------------------------------------------------------
// Arc flags and traversal masks
// ---------------------------------------------------------------------------------------------

inline constexpr int FMaskExists = 1;     // the arc exists
inline constexpr int FMaskTrainable = 2;  // training and randomisation may change its weight
inline constexpr int FMaskAll = 3;

// True when an arc with `flags` is selected by a traversal `mask`: FMaskExists selects every
// existing arc, any other mask only arcs that exist and are trainable.
bool SelectedByMask(std::uint8_t flags, int mask);

// A random weight low + (rand() mod 32767) / 32767 * (high - low); equal bounds give low and draw
// nothing.
double RandomWeight(double low, double high);

// ---------------------------------------------------------------------------------------------
// Neurons
// ---------------------------------------------------------------------------------------------

// A neuron: its place in its layer, its value slot and its activation function.
class TBasicNeuron {
public:
    TBasicNeuron() = default;
    virtual ~TBasicNeuron() = default;

    // Calls the activation function with `net`; a neuron without a function fails
    // "actFunction != NULL".
    virtual void Activate(double net);
    // Number of named parameters (0 here).
    virtual int GetNumParameters() const;
    // Copies the parameters into `out` (at least GetNumParameters() values).
    virtual void GetParameters(std::span<double> out) const;
    // Sets the parameters from `in` (at least GetNumParameters() values).
    virtual void SetParameters(std::span<const double> in);
    // Name of parameter i; a neuron without parameters fails "false".
    virtual std::string GetParameterName(int i) const;
    // Copies class-specific parameters from `source` (nothing here).
    virtual void CopyParameters(const TBasicNeuron& source);

    TActFunction GetActivationFunction() const { return actFunction; }
    // Gives this neuron its own function; the layer's common function is cleared.
    void SetActivationFunction(TActFunction f);
    // Points the neuron at `owner` and at its value slot `slot`, which is also its index: a
    // neuron's layerNum and index always name its current place.
    void Bind(TBasicLayer* owner, int slot);

    int layerNum = 0;              // the layer the neuron is in
    int index = 0;                 // its position in that layer
    double* value = nullptr;       // the neuron's slot in its layer's `values`
    TBasicLayer* layer = nullptr;  // owning layer
    TActFunction actFunction = ActError;
};

// A neuron with a gain, the multiplier of the net input used by the gain functions.
class TGainNeuron : public TBasicNeuron {
public:
    int GetNumParameters() const override;  // 1
    void GetParameters(std::span<double> out) const override;
    void SetParameters(std::span<const double> in) override;
    // "Gain" for i == 0; any other i fails "i==0".
    std::string GetParameterName(int i) const override;

    double gain = 1.0;
};

// ---------------------------------------------------------------------------------------------
// Layers
// ---------------------------------------------------------------------------------------------

// A row of neurons with one value slot each. Layers are owned by their network.
class TBasicLayer {
public:
    // `numNeurons` zeroed values, no common function, no dimensions; a negative count fails
    // "numNeurons>=0".
    TBasicLayer(TBasicNetwork* network, int layerNum, int numNeurons);
    virtual ~TBasicLayer() = default;
    TBasicLayer(const TBasicLayer&) = delete;
    TBasicLayer& operator=(const TBasicLayer&) = delete;

    // Applies the activation functions to `net` (one value per neuron), writing the values.
    virtual void ActivateAll(std::span<const double> net);
    // Neuron i; an index outside the layer fails "i>=0 && i<numNeurons".
    virtual TBasicNeuron* GetNeuron(int i) = 0;
    // The forward step: net input from the lower layers' sets (or the input vector at the
    // input position), then the activation functions.
    virtual void Propagate(std::span<const double> input);
    // The network file's LayerType word.
    virtual std::string GetLayerType() const = 0;
    // A deep copy for `owner` with the same number, neurons, functions and dimensions.
    virtual std::unique_ptr<TBasicLayer> Clone(TBasicNetwork* owner) const = 0;
    // Removes neuron `index`; the layer's numNeurons and values shrink with it.
    virtual void DeleteNeuron(int index) = 0;
    // Inserts a neuron at `index`; the layer's numNeurons and values grow with it. Not
    // available here ("false").
    virtual void InsertNeuron(int index);

    // Sets the common function and every neuron's function.
    void SetActivationFunction(TActFunction f);
    // The common function; when unset, the neurons' shared function (then stored), null when
    // they differ, and "null" for a layer without neurons.
    TActFunction GetActivationFunction();
    // The optional integer list attached to the layer.
    const std::vector<int>& GetDimensions() const { return dimensions; }
    void SetDimensions(std::span<const int> parameters);

    TBasicNetwork* network;              // owning network
    TActFunction actFunction = nullptr;  // common function, or null when the neurons differ
    int numNeurons;
    int layerNum;                // index in the network
    std::vector<double> values;  // net inputs during Propagate, activations after it
    std::vector<int> dimensions;

protected:
    // Gives this layer fresh zeroed values and the dimensions and common function of `source`.
    void CopyBaseState(const TBasicLayer& source);
    // Copies the input vector into values (checking its length).
    void TakeInput(std::span<const double> input);
    // Adds the contributions of the sets from every lower layer into values.
    void GatherLowerLayers();
};

// A layer whose neurons are kept in one array of neuron class N.
template <class N>
class TNeuronLayer : public TBasicLayer {
public:
    TBasicNeuron* GetNeuron(int i) override;
    void DeleteNeuron(int index) override;
    void InsertNeuron(int index) override;

    std::vector<N> nodes;

protected:
    // Neurons with the "error" function, bound to their value slots.
    TNeuronLayer(TBasicNetwork* network, int layerNum, int numNeurons);
    // Copies the base state and every neuron of `source` (Clone).
    void CopyLayer(const TNeuronLayer& source);
    // Points every neuron at this layer and its own value slot.
    void BindNeurons();
};

// A layer of plain neurons ("Simple").
class TSimpleLayer : public TNeuronLayer<TBasicNeuron> {
public:
    TSimpleLayer(TBasicNetwork* network, int layerNum, int numNeurons);
    std::string GetLayerType() const override;
    std::unique_ptr<TBasicLayer> Clone(TBasicNetwork* owner) const override;
    // The layer code (1 for plain layers).
    virtual int GetLayerCode() const;
};

// The input layer ("Input"): copies the input vector at the input position, nothing else.
class TSimpleInputLayer : public TSimpleLayer {
public:
    // A simple layer with the "linear" function.
    TSimpleInputLayer(TBasicNetwork* network, int layerNum, int numNeurons);
    void Propagate(std::span<const double> input) override;
    std::string GetLayerType() const override;
    std::unique_ptr<TBasicLayer> Clone(TBasicNetwork* owner) const override;
};

// A layer of gain neurons ("Gain").
class TGainLayer : public TNeuronLayer<TGainNeuron> {
public:
    TGainLayer(TBasicNetwork* network, int layerNum, int numNeurons, double gain);
    std::string GetLayerType() const override;
    std::unique_ptr<TBasicLayer> Clone(TBasicNetwork* owner) const override;
    // Sets every neuron's gain.
    void SetGain(double g);
};

// ---------------------------------------------------------------------------------------------
// Weight visitors
// ---------------------------------------------------------------------------------------------

// Handed to a traversal; the set fills in where the walk stands and calls Visit() per arc.
class TIterateObj {
public:
    virtual ~TIterateObj() = default;
    virtual void Visit() {}

    int fromLayer = 0;
    int toLayer = 0;
    int fromNode = 0;
    int toNode = 0;
    TBasicConnections* connections = nullptr;  // the set being walked
    double* weight = nullptr;                  // the current arc's weight
    std::uint8_t trainable = 0;                // 1 when the current arc is trainable
    TBasicLayer* fromLayerObject = nullptr;
    TBasicLayer* toLayerObject = nullptr;
    std::span<double> fromValues;
    std::span<double> toValues;
};

// Sums source value times weight (the net input contribution of the visited arcs).
class TIterateObjAggregate : public TIterateObj {
public:
    void Visit() override;
    double sum = 0.0;
};

// Counts the visited arcs.
class TIterateObjGetNumWeights : public TIterateObj {
public:
    void Visit() override;
    int count = 0;
};

// Copies the visited weights into `out`, in order; overrunning it fails "count<out.size()".
class TIterateObjGetWeights : public TIterateObj {
public:
    explicit TIterateObjGetWeights(std::span<double> out) : out(out) {}
    void Visit() override;
    int count = 0;
    std::span<double> out;
};

// Writes the visited weights from `in`, in order; overrunning it fails "count<in.size()".
class TIterateObjSetWeights : public TIterateObj {
public:
    explicit TIterateObjSetWeights(std::span<const double> in) : in(in) {}
    void Visit() override;
    int count = 0;
    std::span<const double> in;
};

// Gives every visited weight a random value between low and high (RandomWeight).
class TIterateObjRandomize : public TIterateObj {
public:
    TIterateObjRandomize(double low, double high) : low(low), high(high) {}
    void Visit() override;
    double low;
    double high;
};

// Appends the flags of every visited arc to `buffer`.
class TIterateObjGetFlags : public TIterateObj {
public:
    void Visit() override;
    std::vector<std::uint8_t> buffer;
};

// Sets the flags of every visited arc from `data`, in order; overrunning it fails
// "position<data.size()".
class TIterateObjSetFlags : public TIterateObj {
public:
    explicit TIterateObjSetFlags(std::span<const std::uint8_t> data) : data(data) {}
    void Visit() override;
    int position = 0;
    std::span<const std::uint8_t> data;
};

// Makes every visited arc untrainable.
class TIterateObjAllUntrainable : public TIterateObj {
public:
    void Visit() override;
};

// Counts the visited arcs (the out-arcs of a neuron that PruneNodes examines).
class TIterateObjPruneNode : public TIterateObj {
public:
    void Visit() override;
    int count = 0;
};

// Base of algorithms that walk the same set of two networks of equal shape in step.
class TIterateObj2 {
public:
    // Binds the set (fromLayer -> toLayer) of both networks; the two must be of one type
    // ("conn1 -> GetConnectionsNType() == conn2 -> GetConnectionsNType()").
    TIterateObj2(TBasicNetwork& first, TBasicNetwork& second, int fromLayer, int toLayer);
    virtual ~TIterateObj2() = default;
    virtual void Visit() {}

    int fromLayer;
    int toLayer;
    int fromNode = 0;
    int toNode = 0;
    TBasicConnections* connections = nullptr;
    TBasicConnections* connections2 = nullptr;
    double* weight = nullptr;
    double* weight2 = nullptr;
    std::uint8_t trainable = 0;
    TBasicLayer* fromLayerObject = nullptr;
    TBasicLayer* toLayerObject = nullptr;
    TBasicLayer* fromLayerObject2 = nullptr;
    TBasicLayer* toLayerObject2 = nullptr;
    std::span<double> fromValues;
    std::span<double> toValues;
    std::span<double> fromValues2;
    std::span<double> toValues2;
};

// As TIterateObj2, with a third network.
class TIterateObj3 {
public:
    TIterateObj3(TBasicNetwork& first, TBasicNetwork& second, TBasicNetwork& third, int fromLayer,
                 int toLayer);
    virtual ~TIterateObj3() = default;
    virtual void Visit() {}

    int fromLayer;
    int toLayer;
    int fromNode = 0;
    int toNode = 0;
    TBasicConnections* connections = nullptr;
    TBasicConnections* connections2 = nullptr;
    TBasicConnections* connections3 = nullptr;
    double* weight = nullptr;
    double* weight2 = nullptr;
    double* weight3 = nullptr;
    std::uint8_t trainable = 0;
    TBasicLayer* fromLayerObject = nullptr;
    TBasicLayer* toLayerObject = nullptr;
    TBasicLayer* fromLayerObject2 = nullptr;
    TBasicLayer* toLayerObject2 = nullptr;
    TBasicLayer* fromLayerObject3 = nullptr;
    TBasicLayer* toLayerObject3 = nullptr;
    std::span<double> fromValues;
    std::span<double> toValues;
    std::span<double> fromValues2;
    std::span<double> toValues2;
    std::span<double> fromValues3;
    std::span<double> toValues3;
};

// ---------------------------------------------------------------------------------------------
// Connection sets
// ---------------------------------------------------------------------------------------------

// The arcs from layer fromLayer to layer toLayer of a network: a weight and flags per arc.
// Sets are owned by their network and destroyed by it.
class TBasicConnections {
public:
    TBasicConnections(TBasicNetwork* network, int fromLayer, int toLayer);
    virtual ~TBasicConnections() = default;
    TBasicConnections(const TBasicConnections&) = delete;
    TBasicConnections& operator=(const TBasicConnections&) = delete;

    // True for every set except the empty one.
    virtual bool IsConnected() const;
    // Number of arcs selected by `mask`.
    virtual int GetNumWeights(int mask);
    // Copies the selected weights into `buffer` in the set's order; returns their number.
    virtual int GetWeights(std::span<double> buffer, int mask);
    // Writes the selected weights from `buffer` in the same order; returns their number.
    virtual int SetWeights(std::span<const double> buffer, int mask);
    // Gives every existing trainable arc a random weight (RandomWeight).
    virtual void Randomize(double low, double high);
    // The weight of arc (from, to); an index outside the set fails its range check.
    virtual double& Weight(int from, int to) = 0;
    // Weight(from, toNode) for every source neuron, in order, into `weights` (whose size must be
    // the number of source neurons); sets with their own storage copy them at once.
    virtual void GetInWeights(int toNode, std::span<double> weights);
    // Adds the set's contribution to the target layer's net input (one value per target).
    virtual void Propagate(std::span<double> netInput);
    virtual bool IsValid(int from, int to) = 0;
    virtual bool IsTrainable(int from, int to);
    // Arc editing; not available here ("false").
    virtual void RemoveArc(int from, int to);
    virtual void AddArc(int from, int to);
    // RemoveArc on every (from, to) of the two layers; sets with their own storage do it at once.
    virtual void RemoveAllArcs();
    virtual void SetTrainable(int from, int to);
    virtual void SetUntrainable(int from, int to);
    // Traversals: fill the visitor's fields and call Visit() for every arc selected by `mask`.
    virtual void ForAllInArcs(TIterateObj& v, int toNode, int mask) = 0;
    virtual void ForAllOutArcs(TIterateObj& v, int fromNode, int mask) = 0;
    virtual void ForAllArcs(TIterateObj& v, int mask) = 0;
    // As ForAllArcs, handing over the same arc's weight in the other networks' sets.
    virtual void ForAllArcs2(TIterateObj2& v, TBasicNetwork& second, int mask) = 0;
    virtual void ForAllArcs3(TIterateObj3& v, TBasicNetwork& second, TBasicNetwork& third,
                             int mask) = 0;
    // The network file's ConnectionType word.
    virtual std::string GetConnectionsNType() const = 0;
    // Flags of an arc (FMaskAll here: a set without flags).
    virtual std::uint8_t GetFlags(int from, int to);
    // Stores flags; here only checks "(val==FMaskAll) || (val==FMaskExists)".
    virtual void SetFlags(int from, int to, std::uint8_t val);
    // A deep copy of weights and flags for `owner`, same layer pair.
    virtual std::unique_ptr<TBasicConnections> Clone(TBasicNetwork* owner) = 0;
    // Structure updates, called right after the network changed a layer's neuron count.
    virtual void RemoveFromNode(int index) = 0;
    virtual void RemoveToNode(int index) = 0;
    virtual void InsertFromNode(int index, double low, double high, bool attached);
    virtual void InsertToNode(int index, double low, double high, bool attached);

    // The flags of every existing arc, in ForAllArcs order.
    std::vector<std::uint8_t> GetAllFlags();
    // Sets the flags of every existing arc from `flags`, in ForAllArcs order.
    void SetAllFlags(std::span<const std::uint8_t> flags);
    // Makes every existing arc untrainable.
    void SetAllUntrainable();

    TBasicNetwork* network;
    int fromLayer;
    int toLayer;

protected:
    // The source and target layers; a missing layer fails "layer != NULL".
    TBasicLayer& FromLayerObject() const;
    TBasicLayer& ToLayerObject() const;
    // Fills the visitor's common fields for a walk of this set.
    void Prepare(TIterateObj& v);
    void Prepare(TIterateObj2& v, TBasicNetwork& second);
    void Prepare(TIterateObj3& v, TBasicNetwork& second, TBasicNetwork& third);
    // Hands arc (from, to) to the visitor when `mask` selects it.
    void VisitArc(TIterateObj& v, int from, int to, int mask);
    void VisitArc(TIterateObj2& v, int from, int to, int mask);
    void VisitArc(TIterateObj3& v, int from, int to, int mask);
};

// The set of two layers that are not joined: no arcs.
class TEmptyConnections : public TBasicConnections {
public:
    using TBasicConnections::TBasicConnections;

    bool IsConnected() const override;  // false
    int GetNumWeights(int mask) override;
    int GetWeights(std::span<double> buffer, int mask) override;
    int SetWeights(std::span<const double> buffer, int mask) override;
    void Randomize(double low, double high) override;
    double& Weight(int from, int to) override;  // fails "false"
    void Propagate(std::span<double> netInput) override;
    bool IsValid(int from, int to) override;      // false
    bool IsTrainable(int from, int to) override;  // false
    void ForAllInArcs(TIterateObj& v, int toNode, int mask) override;
    void ForAllOutArcs(TIterateObj& v, int fromNode, int mask) override;
    void ForAllArcs(TIterateObj& v, int mask) override;
    void ForAllArcs2(TIterateObj2& v, TBasicNetwork& second, int mask) override;
    void ForAllArcs3(TIterateObj3& v, TBasicNetwork& second, TBasicNetwork& third,
                     int mask) override;
    std::string GetConnectionsNType() const override;  // "Empty"
    std::unique_ptr<TBasicConnections> Clone(TBasicNetwork* owner) override;
    void RemoveFromNode(int index) override;
    void RemoveToNode(int index) override;
    void InsertFromNode(int index, double low, double high, bool attached) override;
    void InsertToNode(int index, double low, double high, bool attached) override;
};

// ---------------------------------------------------------------------------------------------
// The network's tables
// ---------------------------------------------------------------------------------------------

// The layer slots of a network; an index outside fails "layerNum>=0" / "layerNum<numLayers".
class TLayerTable {
public:
    TBasicLayer* operator[](int layerNum) const;
    int Size() const { return static_cast<int>(slots.size()); }

private:
    friend class TBasicNetwork;
    // Stores `layer` in slot layerNum and hands back the previous occupant.
    std::unique_ptr<TBasicLayer> Replace(int layerNum, std::unique_ptr<TBasicLayer> layer);
    std::vector<std::unique_ptr<TBasicLayer>> slots;
};

// The square matrix of sets, row-major by target layer: table[to][from].
class TConnectionTable {
public:
    class Row {
    public:
        // The set from `fromLayer`; an index outside fails "fromLayer>=0" / "fromLayer<numLayers".
        TBasicConnections* operator[](int fromLayer) const;

    private:
        friend class TConnectionTable;
        Row(const TConnectionTable* table, int toLayer) : table(table), toLayer(toLayer) {}
        const TConnectionTable* table;
        int toLayer;
    };

    // The row of target layer `toLayer`; an index outside fails "toLayer>=0" /
    // "toLayer<numLayers".
    Row operator[](int toLayer) const;
    int Size() const { return size; }

private:
    friend class TBasicNetwork;
    std::unique_ptr<TBasicConnections>& Cell(int toLayer, int fromLayer);
    int size = 0;
    std::vector<std::unique_ptr<TBasicConnections>> cells;
};

// ---------------------------------------------------------------------------------------------
// The network frame
// ---------------------------------------------------------------------------------------------

class TBasicNetwork {
public:
    // No layers; the creator calls Init before anything else.
    TBasicNetwork();
    // Init(n).
    explicit TBasicNetwork(int n);
    // Clones of every layer and set, bound to the copy, and a fresh registry.
    TBasicNetwork(const TBasicNetwork& x);
    TBasicNetwork& operator=(const TBasicNetwork& x);
    virtual ~TBasicNetwork();

    // n empty layer slots, every cell an empty set, inLayer 1, outLayer n-1, a registry with the
    // default functions; n must be at least 1 ("n>0").
    void Init(int n);

    // Whole-network weights, from-layer major, then to-layer, then each set's own order.
    virtual int GetNumWeights(int mask);
    virtual int GetWeights(std::span<double> buffer, int mask);
    virtual int SetWeights(std::span<const double> buffer, int mask);
    virtual void Randomize(double low, double high);
    // Joins two layers with a pruneable set (all arcs, weight 0) unless already joined.
    virtual void Connect(int fromLayer, int toLayer);
    // Replaces the set of the pair by an empty one.
    virtual void Disconnect(int fromLayer, int toLayer);
    // The forward pass: every layer in index order, then the output layer's values. `input`
    // must cover the input layer and `output` the output layer.
    virtual void Recall(std::span<const double> input, std::span<double> output);
    // The network file's NetworkType: "Basic".
    virtual std::string GetNetworkType() const;
    // An all-layers in-arc iterator; not available here ("false").
    virtual std::unique_ptr<TArcsIterator> NewInAllArcsIterator();

    // Total number of neurons.
    int GetNumNeurons() const;
    // Neuron by network-wide index; checks "index>=0" and "index<GetNumNeurons()".
    TBasicNeuron* GetNeuron(int index) const;
    // Inserts a neuron at `node` of a hidden layer; every set touching the layer grows.
    void InsertNode(int LayerNum, int node, double low, double high, bool attached);
    // Removes neuron `node` of a hidden layer; every set touching the layer shrinks.
    void RemoveNode(int LayerNum, int node);
    // Removes every hidden neuron below the output layer without outgoing arcs; returns how many.
    int PruneNodes();
    // Inserts `layer` at position LayerNum (0..numLayers); later layers, inLayer and outLayer
    // move up.
    void InsertLayer(int LayerNum, std::unique_ptr<TBasicLayer> layer);
    // Removes a hidden layer with its sets; later layers, inLayer and outLayer move down.
    void RemoveLayer(int LayerNum);
    // Calls ForAllInArcs / ForAllOutArcs of every set entering / leaving the layer.
    void ForAllInArcsOfNode(TIterateObj& visitor, int toLayer, int node, int mask);
    void ForAllOutArcsOfNode(TIterateObj& visitor, int fromLayer, int node, int mask);

    // Installs `layer` in slot layerNum, destroying any previous layer there. The layer must
    // belong to this network and carry that number ("layer->network == this",
    // "layer->layerNum == layerNum").
    void InstallLayer(int layerNum, std::unique_ptr<TBasicLayer> layer);
    // Installs `set` in the cell of its layer pair, destroying the previous set there. The set
    // must belong to this network ("set->network == this"). Returns the installed set.
    TBasicConnections* InstallConnections(std::unique_ptr<TBasicConnections> set);

    int numLayers = 0;
    TLayerTable layers;
    int inLayer = 1;
    int outLayer = 0;
    TConnectionTable priv_conns_index;
    std::unique_ptr<TFnRegistry> functions;

private:
    void CopyFrom(const TBasicNetwork& x);
    void CheckHiddenLayer(int LayerNum) const;
    // Gives every cell its column and row as layer pair and every layer its slot number.
    void Renumber();
};

// ---------------------------------------------------------------------------------------------
// Arc iterators
// ---------------------------------------------------------------------------------------------

// Pull-style walk over the arcs of a network, arc by arc from a target neuron.
class TArcsIterator {
public:
    explicit TArcsIterator(TBasicNetwork& network) : network(&network) {}
    virtual ~TArcsIterator() = default;

    virtual int GetFromLayer() const { return fromLayer; }
    virtual int GetToLayer() const { return toLayer; }
    virtual int GetFromNode() const { return fromNode; }
    virtual int GetToNode() const { return toNode; }
    virtual TBasicNeuron* GetToNeuron() const { return toNeuron; }
    virtual TBasicNeuron* GetFromNeuron() const { return fromNeuron; }
    // Address of the current arc's weight (null when standing on no arc).
    virtual double* GetWeight() const { return weight; }
    // HasArc().
    virtual bool More() const;
    // True while the iterator stands on an arc.
    virtual bool HasArc() const = 0;
    // Steps forward / backward; false when there is no further / earlier arc.
    virtual bool Next() = 0;
    virtual bool Previous() = 0;

protected:
    // Moves to source node `node` of the current set, updating neuron and weight address.
    void StandOn(int node);

    TBasicNetwork* network;
    int toLayer = -1;
    int toNode = -1;
    TBasicNeuron* toNeuron = nullptr;
    int fromLayer = -1;
    int fromNode = -1;
    int lastNode = -1;
    TBasicNeuron* fromNeuron = nullptr;
    double* weight = nullptr;
    TBasicConnections* current = nullptr;  // null when the iterator stands on no arc
};

// In-arcs of a target neuron across all source layers.
class TInAllArcsIterator : public TArcsIterator {
public:
    using TArcsIterator::TArcsIterator;
    virtual void Start(int toLayer, int toNode);
};

// In-arcs of a target neuron from one source layer.
class TInLayerArcsIterator : public TArcsIterator {
public:
    using TArcsIterator::TArcsIterator;
    virtual void Start(int toLayer, int toNode, int fromLayer);
};

// All-layers in-arc iterator over the matrix sets of a network: visits every position of every
// connected, non-empty source layer.
class TConnInAllArcsIterator : public TInAllArcsIterator {
public:
    using TInAllArcsIterator::TInAllArcsIterator;
    void Start(int toLayer, int toNode) override;
    // Starts at the neuron's recorded layer and index.
    void Start(const TBasicNeuron& neuron);
    bool HasArc() const override;
    bool Next() override;
    bool Previous() override;

private:
    // Positions on the first (forward) or last (backward) node of the next usable source layer
    // in direction `step`; false when there is none.
    bool EnterLayer(int step);
};

// Single-source-layer in-arc iterator.
class TConnInLayerArcsIterator : public TInLayerArcsIterator {
public:
    using TInLayerArcsIterator::TInLayerArcsIterator;
    void Start(int toLayer, int toNode, int fromLayer) override;
    // Starts at the neuron's recorded layer and index, source layer 0.
    void Start(const TBasicNeuron& neuron);
    bool HasArc() const override;
    bool Next() override;
    bool Previous() override;

    std::span<double> fromValues;  // the source layer's values
};

// ---------------------------------------------------------------------------------------------
// The connected network
// ---------------------------------------------------------------------------------------------

// A network whose layers are joined by fully connected sets ("Connected").
class TConnectedNetwork : public TBasicNetwork {
public:
    // No arrays; the creator calls Init.
    TConnectedNetwork() = default;
    // Init(n) only; the creator installs the layers.
    explicit TConnectedNetwork(int n);
    // Init(n); an input layer of sizes[inLayer] at slot 1, simple layers elsewhere; nothing
    // joined. `sizes` holds n counts ("sizes.size()==n").
    TConnectedNetwork(int n, std::span<const int> sizes);

    // Joins two layers with a fully connected set (all weights 0) unless already joined.
    void Connect(int fromLayer, int toLayer) override;
    std::string GetNetworkType() const override;  // "Connected"
    // A new TConnInAllArcsIterator for this network.
    std::unique_ptr<TArcsIterator> NewInAllArcsIterator() override;
};

}  // namespace glean
