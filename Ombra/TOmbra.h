// The six-layer fuzzy network ("Ombra"): inputs, conditions (each input fuzzified into its
// membership functions), rules, actions (one neuron per output MF) and defuzzified outputs.
//
//   layer 0  TSimpleLayer, no neurons     layer 3  TSimpleLayer, nRules, "sigmoid"
//   layer 1  TSimpleInputLayer, "linear"  layer 4  TSimpleLayer, nActions, "sigmoid"
//   layer 2  TConditionLayer              layer 5  TOmbraOutputLayer, nOutputs, "cog"
//
// Weight layers: 1 the condition MF centres (set 1->2), 2 the condition-to-rule weights (2->3),
// 3 the rule-to-action weights (3->4), 4 the output MF centres (4->5). A weight is named by
// (from, to) neuron indices of the two layers it joins.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "NeuralNets/TBasicNetwork.h"
#include "Ombra/TConditionLayer.h"
#include "Ombra/TOmbraOutputLayer.h"
#include "Ombra/TToConditionConnections.h"
#include "Ombra/TToOutputConnections.h"

namespace glean {

class Data;

// The weight layers, by what they hold (see above).
inline constexpr int kInputCentres = 1, kConditionWeights = 2, kActionWeights = 3,
                     kOutputCentres = 4;

// The shape of a fuzzy network.
struct TOmbraStructure {
    int nInputs = 0;
    int nConditions = 0;
    std::vector<int> mfPerInput;
    int nRules = 0;
    int nActions = 0;
    std::vector<int> mfPerOutput;
    int nOutputs = 0;
};

class TOmbra : public TConnectedNetwork {
public:
    // Six empty layer slots and empty sets, for a creator (the network file reader) that
    // installs the layers (InstallLayer), gives the condition and output layers their MF
    // structure (SetInputMF, SetOutputMF) and installs the sets (InstallConnections).
    TOmbra();
    // The whole network from the MF counts of every input and output (counts read, not kept).
    // Throws TException ("Must be >= 2 MF per input" / "Must be >= 2 MF per output",
    // "Bad Parameter", "TOmbra::TOmbra"), inputs first.
    TOmbra(int nInputs, std::span<const int> mfPerInput, int nRules,
           std::span<const int> mfPerOutput, int nOutputs);

    // Joins the pair with a condition set (1->2), an output set (4->5) or a pruneable set,
    // unless already joined.
    void Connect(int fromLayer, int toLayer) override;
    std::string GetNetworkType() const override;  // "Ombra"

    // Weight access. Every failure below is a TException of kind "Bad Parameter" and leaves
    // the network unchanged; an index that the table does not cover fails an internal check.
    // Weight (from, to) of weight layer `layer`: "Invalid weight layer" / "Invalid weight
    // number" (a layer 1 or 4 weight that does not exist).
    double GetWeightValue(int layer, int from, int to);
    void SetWeightValue(int layer, int from, int to, double value);
    // Every weight of the layer: layer 1 by condition neuron, 2 and 3 from-major, 4 by action.
    std::vector<double> GetWeightLayer(int layer);
    // Sets every weight of the layer in GetWeightLayer's order; `values` must hold them all
    // ("values.size()>=count").
    void SetWeightLayer(int layer, std::span<const double> values);
    // Freezes / unfreezes a weight: layer 1 condition neuron `node` (other unused), layers 2
    // and 3 the arc (node, other), layer 4 the arc of action neuron `node` (other unused).
    void FreezeWeight(int layer, int node, int other);
    void UnfreezeWeight(int layer, int node, int other);
    // Whether (from, to) exists: "Invalid node number" for an index outside its layer.
    bool WeightExists(int layer, int from, int to);
    // Value of neuron `node` of network layer `layer` (0 to 5, "Invalid node layer") from the
    // last forward pass.
    double GetActivationValue(int layer, int node);
    // The network's shape.
    TOmbraStructure GetStructure();
    // Centres evenly placed again, weights of layers 2 and 3 random in [minimum, maximum]
    // (check "Minimum <= Maximum").
    void InitialiseWeights(double minimum, double maximum);

    // Whole-data-set recall, rows read oldest first (the cursor of `data` is moved). A null
    // `data` throws ("Null data pointer", "Null Pointer Parameter", "TOmbra::<operation>"); a
    // data set with fewer input columns than the network's inputs (for RecallError, fewer output
    // columns than its outputs) throws ("Data set does not fit the network", "Bad Parameter",
    // "TOmbra::<operation>"). A failed call leaves `result` as it was.
    // The inputs and outputs of every row, in a new data set of the rows in use, without labels.
    void Recall(Data* data, std::unique_ptr<Data>& result);
    // The same without input columns.
    void RecallOutputOnly(Data* data, std::unique_ptr<Data>& result);
    // The root-mean-square error of the network against the data set's expected outputs (0.0
    // for a data set without rows).
    void RecallError(Data* data, double& error);
    using TConnectedNetwork::Recall;

    // A text naming the first way in which the installed layers and sets differ from the
    // fuzzy network's shape, or an empty text when they fit.
    std::string StructureProblem();
    // A text naming the first thing that could carry a recall of finite inputs outside the
    // values its layers are made for, where the defuzzify layer's check would stop the run: a
    // layer of another activation function than this shape's own, a weight or centre that is
    // not a finite number, neighbouring input centres too far apart to subtract, an output
    // centre outside [0, 1]. Empty when there is none. Requires an empty StructureProblem().
    std::string RecallProblem();

    // The layers and sets of the fixed shape, typed; a missing or different one fails a check.
    TConditionLayer& ConditionLayer();
    TOmbraOutputLayer& OutputLayer();
    TToConditionConnections& ConditionSet();
    TToOutputConnections& OutputSet();
    // The condition-to-rule (weight layer 2) or rule-to-action (3) set.
    TBasicConnections& MatrixSet(int weightLayer);

private:
    TBasicLayer& Layer(int layerNum);
    // The set holding weight layer `layer` (1 to 4).
    TBasicConnections& WeightSet(int layer);
    // Checks the weight layer number; throws "Invalid weight layer" for `operation`.
    static void RequireWeightLayer(int layer, const char* operation);
    // Throws "Invalid weight number" for `operation` when a layer 1 or 4 weight is missing.
    void RequireWeight(int layer, int from, int to, const char* operation);
    // Visits every (from, to) of a weight layer in GetWeightLayer's order.
    template <class Visit>
    void ForEachWeight(int layer, Visit visit);
    void SetFreeze(int layer, int node, int other, bool frozen);
};

}  // namespace glean
