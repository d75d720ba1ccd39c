#include "Ombra/TOmbra.h"

#include <charconv>
#include <cmath>

#include "DataObject/Data.h"
#include "KQmessage/Check.h"
#include "KQmessage/TException.h"
#include "KQmessage/TKQstructure.h"
#include "NeuralNets/TDataRecall.h"
#include "NeuralNets/TErrorObj.h"
#include "NeuralNets/TPrunedConnections.h"

namespace glean {

namespace {
// Adds up MF counts, refusing any count below 2 with `message`.
int SumOfCounts(std::span<const int> counts, const char* message) {
    int sum = 0;
    for (int count : counts) {
        if (count < 2) throw TException(message, "Bad Parameter", "TOmbra::TOmbra");
        sum += count;
    }
    return sum;
}

std::string OperationText(const char* operation) {
    return std::string("TOmbra::") + operation;
}

// The data set of a whole-data-set operation; throws for a null one.
Data& RequireData(Data* data, const char* operation) {
    if (data == nullptr) {
        throw TException("Null data pointer", "Null Pointer Parameter", OperationText(operation));
    }
    return *data;
}
}  // namespace

TOmbra::TOmbra() {
    Init(6);
}

TOmbra::TOmbra(int nInputs, std::span<const int> mfPerInput, int nRules,
               std::span<const int> mfPerOutput, int nOutputs)
    : TOmbra() {
    GLEAN_CHECK_TEXT(nInputs >= 0 && mfPerInput.size() == static_cast<std::size_t>(nInputs),
                     "mfPerInput.size()==nInputs");
    GLEAN_CHECK_TEXT(nOutputs >= 0 && mfPerOutput.size() == static_cast<std::size_t>(nOutputs),
                     "mfPerOutput.size()==nOutputs");
    for (int i = 0; i < numLayers; ++i)
        InstallLayer(i, std::make_unique<TSimpleLayer>(this, i, 0));
    const int nConditions = SumOfCounts(mfPerInput, "Must be >= 2 MF per input");
    const int nActions = SumOfCounts(mfPerOutput, "Must be >= 2 MF per output");

    InstallLayer(0, std::make_unique<TSimpleLayer>(this, 0, 0));
    InstallLayer(1, std::make_unique<TSimpleInputLayer>(this, 1, nInputs));
    auto conditions = std::make_unique<TConditionLayer>(this, 2, nConditions);
    conditions->SetInputMF(nInputs, mfPerInput);
    InstallLayer(2, std::move(conditions));
    InstallLayer(3, std::make_unique<TSimpleLayer>(this, 3, nRules));
    InstallLayer(4, std::make_unique<TSimpleLayer>(this, 4, nActions));
    auto outputs = std::make_unique<TOmbraOutputLayer>(this, 5, nOutputs);
    outputs->SetOutputMF(nActions, mfPerOutput);
    InstallLayer(5, std::move(outputs));

    layers[1]->SetActivationFunction(functions->Lookup("linear"));
    layers[2]->SetActivationFunction(functions->Lookup("Ombra-condition"));
    layers[3]->SetActivationFunction(functions->Lookup("sigmoid"));
    layers[4]->SetActivationFunction(functions->Lookup("sigmoid"));
    layers[5]->SetActivationFunction(functions->Lookup("cog"));
    Connect(1, 2);
    Connect(2, 3);
    Connect(3, 4);
    Connect(4, 5);
    // A new network defuzzifies over evenly placed output MFs, like its input MFs.
    OutputSet().InitialiseCentres();
}

void TOmbra::Connect(int fromLayer, int toLayer) {
    if (priv_conns_index[toLayer][fromLayer]->IsConnected()) return;
    if (fromLayer == 1 && toLayer == 2) {
        InstallConnections(std::make_unique<TToConditionConnections>(this, fromLayer, toLayer));
    } else if (fromLayer == 4 && toLayer == 5) {
        InstallConnections(std::make_unique<TToOutputConnections>(this, fromLayer, toLayer));
    } else {
        InstallConnections(std::make_unique<TPrunedConnections>(this, fromLayer, toLayer));
    }
}

std::string TOmbra::GetNetworkType() const {
    return "Ombra";
}

void TOmbra::Recall(Data* data, std::unique_ptr<Data>& result) {
    Data& source = RequireData(data, "Recall");
    result = TDataRecall(*this, source, false, OperationText("Recall")).Run(true);
}

void TOmbra::RecallOutputOnly(Data* data, std::unique_ptr<Data>& result) {
    Data& source = RequireData(data, "RecallOutputOnly");
    result = TDataRecall(*this, source, false, OperationText("RecallOutputOnly")).Run(false);
}

void TOmbra::RecallError(Data* data, double& error) {
    Data& source = RequireData(data, "RecallError");
    TErrorRMSObj rms(layers[outLayer]->numNeurons);
    error = TDataRecall(*this, source, true, OperationText("RecallError")).Measure(rms);
}

double TOmbra::GetWeightValue(int layer, int from, int to) {
    RequireWeightLayer(layer, "GetWeightValue");
    RequireWeight(layer, from, to, "GetWeightValue");
    return WeightSet(layer).Weight(from, to);
}

void TOmbra::SetWeightValue(int layer, int from, int to, double value) {
    RequireWeightLayer(layer, "SetWeightValue");
    RequireWeight(layer, from, to, "SetWeightValue");
    WeightSet(layer).Weight(from, to) = value;
}

std::vector<double> TOmbra::GetWeightLayer(int layer) {
    RequireWeightLayer(layer, "GetWeightLayer");
    std::vector<double> values;
    ForEachWeight(layer,
                  [&](int from, int to) { values.push_back(GetWeightValue(layer, from, to)); });
    return values;
}

void TOmbra::SetWeightLayer(int layer, std::span<const double> values) {
    RequireWeightLayer(layer, "SetWeightLayer");
    std::size_t count = 0;
    ForEachWeight(layer, [&](int, int) { ++count; });
    GLEAN_CHECK_TEXT(values.size() >= count, "values.size()>=count");
    std::size_t k = 0;
    ForEachWeight(layer, [&](int from, int to) { SetWeightValue(layer, from, to, values[k++]); });
}

void TOmbra::FreezeWeight(int layer, int node, int other) {
    RequireWeightLayer(layer, "FreezeWeight");
    SetFreeze(layer, node, other, true);
}

void TOmbra::UnfreezeWeight(int layer, int node, int other) {
    RequireWeightLayer(layer, "UnfreezeWeight");
    SetFreeze(layer, node, other, false);
}

bool TOmbra::WeightExists(int layer, int from, int to) {
    RequireWeightLayer(layer, "WeightExists");
    // Weight layer n joins network layers n and n + 1.
    if (from < 0 || from >= Layer(layer).numNeurons || to < 0 ||
        to >= Layer(layer + 1).numNeurons) {
        throw TException("Invalid node number", "Bad Parameter", "TOmbra::WeightExists");
    }
    return WeightSet(layer).IsValid(from, to);
}

double TOmbra::GetActivationValue(int layer, int node) {
    if (layer < 0 || layer > 5) {
        throw TException("Invalid node layer", "Bad Parameter", "TOmbra::GetActivationValue");
    }
    const TBasicLayer& source = Layer(layer);
    GLEAN_CHECK_TEXT(node >= 0 && node < source.numNeurons, "node>=0 && node<numNeurons");
    return source.values[static_cast<std::size_t>(node)];
}

TOmbraStructure TOmbra::GetStructure() {
    TOmbraStructure shape;
    shape.nInputs = Layer(1).numNeurons;
    shape.nConditions = Layer(2).numNeurons;
    shape.mfPerInput = ConditionLayer().mfPerInput;
    shape.nRules = Layer(3).numNeurons;
    shape.nActions = Layer(4).numNeurons;
    shape.mfPerOutput = OutputLayer().mfPerOutput;
    shape.nOutputs = Layer(5).numNeurons;
    return shape;
}

void TOmbra::InitialiseWeights(double minimum, double maximum) {
    GLEAN_CHECK_TEXT(minimum <= maximum, "Minimum <= Maximum");
    ConditionLayer().InitialiseCentres();
    MatrixSet(kConditionWeights).Randomize(minimum, maximum);
    MatrixSet(kActionWeights).Randomize(minimum, maximum);
    OutputSet().InitialiseCentres();
}

std::string TOmbra::StructureProblem() {
    if (numLayers != 6) return "a fuzzy network has 6 layers";
    for (int i = 0; i < numLayers; ++i) {
        if (layers[i] == nullptr) return "layer " + std::to_string(i) + " is missing";
    }
    auto* conditions = dynamic_cast<TConditionLayer*>(layers[2]);
    if (conditions == nullptr) return "layer 2 is not a condition layer";
    if (conditions->inputOf.size() != static_cast<std::size_t>(conditions->numNeurons)) {
        return "the condition layer has no membership structure";
    }
    if (conditions->nInputs != layers[1]->numNeurons) {
        return "the condition layer's inputs differ from the input layer";
    }
    auto* outputs = dynamic_cast<TOmbraOutputLayer*>(layers[5]);
    if (outputs == nullptr) return "layer 5 is not a defuzzify layer";
    if (outputs->mfPerOutput.size() != static_cast<std::size_t>(outputs->numNeurons)) {
        return "the output layer has no membership structure";
    }
    if (outputs->nActions != layers[4]->numNeurons) {
        return "the output layer's actions differ from the action layer";
    }
    if (dynamic_cast<TToConditionConnections*>(priv_conns_index[2][1]) == nullptr) {
        return "layers 1 and 2 are not joined by condition connections";
    }
    auto* outputSet = dynamic_cast<TToOutputConnections*>(priv_conns_index[5][4]);
    if (outputSet == nullptr) return "layers 4 and 5 are not joined by output connections";
    if (outputSet->Centres().size() != static_cast<std::size_t>(outputs->nActions)) {
        return "the output connections differ from the action layer";
    }
    if (!priv_conns_index[3][2]->IsConnected() || !priv_conns_index[4][3]->IsConnected()) {
        return "the rule layer is not joined to its neighbours";
    }
    return "";
}

std::string TOmbra::RecallProblem() {
    // The functions the constructor gives the layers. With them every value stays finite: the
    // memberships and the sigmoids in [0, 1], so the action values are never negative and the
    // defuzzified outputs lie between the output centres.
    const char* const ownFunctions[] = {nullptr, "linear", "Ombra-condition", "sigmoid", "sigmoid"};
    for (int layer = 1; layer <= 4; ++layer) {
        const TActFunction own = functions->Lookup(ownFunctions[layer]);
        for (int n = 0; n < layers[layer]->numNeurons; ++n) {
            const TActFunction used = layers[layer]->GetNeuron(n)->GetActivationFunction();
            if (used != own) {
                return "layer " + std::to_string(layer) + " uses the activation function " +
                       (used == nullptr ? std::string("none") : functions->NameOf(used)) +
                       ", not " + ownFunctions[layer];
            }
        }
    }
    const TConditionLayer& conditions = ConditionLayer();
    for (int c = 0; c < conditions.numNeurons; ++c) {
        if (!std::isfinite(conditions.Condition(c).centre)) {
            return "input centre " + std::to_string(c) + " is not a finite number";
        }
    }
    // A membership divides by the distance of neighbouring centres, which must be a number.
    for (int c = 0; c < conditions.numNeurons; ++c) {
        const TConditionNeuron& neuron = conditions.Condition(c);
        if (neuron.rightNeighbour != nullptr &&
            !std::isfinite(neuron.rightNeighbour->centre - neuron.centre)) {
            return "input centres " + std::to_string(c) + " and " + std::to_string(c + 1) +
                   " lie too far apart";
        }
    }
    for (int weightLayer : {2, 3}) {
        for (double weight : GetWeightLayer(weightLayer)) {
            if (!std::isfinite(weight)) {
                return std::string(weightLayer == 2 ? "a condition-to-rule" : "a rule-to-action") +
                       " weight is not a finite number";
            }
        }
    }
    const std::span<const double> centres = OutputSet().Centres();
    for (std::size_t a = 0; a < centres.size(); ++a) {
        if (!(centres[a] >= 0.0 && centres[a] <= 1.0)) {
            char value[32];
            const auto written = std::to_chars(value, value + sizeof value, centres[a]);
            return "output centre " + std::to_string(a) + " is " + std::string(value, written.ptr) +
                   ", outside [0, 1]";
        }
    }
    return "";
}

TConditionLayer& TOmbra::ConditionLayer() {
    auto* layer = dynamic_cast<TConditionLayer*>(&Layer(2));
    GLEAN_CHECK_TEXT(layer != nullptr, "condition layer");
    return *layer;
}

TOmbraOutputLayer& TOmbra::OutputLayer() {
    auto* layer = dynamic_cast<TOmbraOutputLayer*>(&Layer(5));
    GLEAN_CHECK_TEXT(layer != nullptr, "output layer");
    return *layer;
}

TToConditionConnections& TOmbra::ConditionSet() {
    auto* set = dynamic_cast<TToConditionConnections*>(priv_conns_index[2][1]);
    GLEAN_CHECK_TEXT(set != nullptr, "ToConditionConnections set");
    return *set;
}

TToOutputConnections& TOmbra::OutputSet() {
    auto* set = dynamic_cast<TToOutputConnections*>(priv_conns_index[5][4]);
    GLEAN_CHECK_TEXT(set != nullptr, "ToOutputConnections set");
    return *set;
}

TBasicConnections& TOmbra::MatrixSet(int weightLayer) {
    GLEAN_CHECK_TEXT(weightLayer == kConditionWeights || weightLayer == kActionWeights,
                     "weightLayer==2 || weightLayer==3");
    TBasicConnections* set = priv_conns_index[weightLayer + 1][weightLayer];
    GLEAN_CHECK_TEXT(set->IsConnected(), "weight layer connected");
    return *set;
}

TBasicLayer& TOmbra::Layer(int layerNum) {
    TBasicLayer* layer = layers[layerNum];
    GLEAN_CHECK_TEXT(layer != nullptr, "layers[i] != NULL");
    return *layer;
}

TBasicConnections& TOmbra::WeightSet(int layer) {
    if (layer == kInputCentres) return ConditionSet();
    if (layer == kOutputCentres) return OutputSet();
    return MatrixSet(layer);
}

void TOmbra::RequireWeightLayer(int layer, const char* operation) {
    if (layer < kInputCentres || layer > kOutputCentres) {
        throw TException("Invalid weight layer", "Bad Parameter", OperationText(operation));
    }
}

void TOmbra::RequireWeight(int layer, int from, int to, const char* operation) {
    if ((layer == kInputCentres || layer == kOutputCentres) &&
        !WeightSet(layer).IsValid(from, to)) {
        throw TException("Invalid weight number", "Bad Parameter", OperationText(operation));
    }
}

template <class Visit>
void TOmbra::ForEachWeight(int layer, Visit visit) {
    if (layer == kInputCentres) {
        (void)ConditionSet();
        const std::vector<int>& inputOf = ConditionLayer().inputOf;
        for (std::size_t c = 0; c < inputOf.size(); ++c)
            visit(inputOf[c], static_cast<int>(c));
    } else if (layer == kOutputCentres) {
        (void)OutputSet();
        const std::vector<int>& outputOf = OutputLayer().outputOf;
        for (std::size_t a = 0; a < outputOf.size(); ++a)
            visit(static_cast<int>(a), outputOf[a]);
    } else {
        const int nFrom = Layer(layer).numNeurons;
        const int nTo = Layer(layer + 1).numNeurons;
        for (int from = 0; from < nFrom; ++from) {
            for (int to = 0; to < nTo; ++to)
                visit(from, to);
        }
    }
}

void TOmbra::SetFreeze(int layer, int node, int other, bool frozen) {
    int from = node;
    int to = other;
    if (layer == kInputCentres) {
        // The neuron's own flag, and the arc's flag too, so that randomisation and the
        // trainable counts leave a frozen centre alone like any other frozen weight.
        TConditionNeuron& neuron = ConditionLayer().Condition(node);
        neuron.trainable = frozen ? 0 : 1;
        from = ConditionLayer().inputOf[static_cast<std::size_t>(node)];
        to = node;
    }
    TBasicConnections& set = WeightSet(layer);
    if (frozen) {
        set.SetUntrainable(from, to);
    } else {
        set.SetTrainable(from, to);
    }
}

}  // namespace glean
