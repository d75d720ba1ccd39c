#include "Ombra/TConditionLayer.h"

#include <numeric>

#include "KQmessage/Check.h"

namespace glean {

double TConditionNeuron::MembershipDegree(double x) const {
    const double c = centre;
    if (leftNeighbour == nullptr && x <= c) return 1.0;
    if (rightNeighbour == nullptr && x >= c) return 1.0;
    if (rightNeighbour != nullptr && x >= c && x < rightNeighbour->centre) {
        return 1.0 - (x - c) / (rightNeighbour->centre - c);
    }
    if (leftNeighbour != nullptr && x <= c && x > leftNeighbour->centre) {
        return 1.0 - (c - x) / (c - leftNeighbour->centre);
    }
    return 0.0;
}

TConditionLayer::TConditionLayer(TBasicNetwork* network, int layerIndex, int nNeurons)
    : TBasicLayer(network, layerIndex, nNeurons), neurons(static_cast<std::size_t>(nNeurons)) {
    for (int i = 0; i < nNeurons; ++i)
        BindNeuron(i);
}

void TConditionLayer::SetInputMF(int inputs, std::span<const int> counts) {
    GLEAN_CHECK_TEXT(inputs >= 0 && counts.size() == static_cast<std::size_t>(inputs),
                     "mfPerInput.size()==nInputs");
    for (int count : counts)
        GLEAN_CHECK_TEXT(count >= 2, "NdxMF >= 2");
    GLEAN_CHECK_TEXT(std::accumulate(counts.begin(), counts.end(), 0L) == numNeurons,
                     "sum of MF counts == numNeurons");
    nInputs = inputs;
    mfPerInput.assign(counts.begin(), counts.end());
    inputOf.clear();
    for (int input = 0; input < nInputs; ++input) {
        inputOf.insert(inputOf.end(),
                       static_cast<std::size_t>(mfPerInput[static_cast<std::size_t>(input)]),
                       input);
    }
    for (int i = 0; i < numNeurons; ++i) {
        BindNeuron(i);
        TConditionNeuron& neuron = Condition(i);
        const bool first = i == 0 || inputOf[static_cast<std::size_t>(i - 1)] !=
                                         inputOf[static_cast<std::size_t>(i)];
        const bool last = i == numNeurons - 1 || inputOf[static_cast<std::size_t>(i + 1)] !=
                                                     inputOf[static_cast<std::size_t>(i)];
        neuron.leftNeighbour = first ? nullptr : &Condition(i - 1);
        neuron.rightNeighbour = last ? nullptr : &Condition(i + 1);
    }
    InitialiseCentres();
}

void TConditionLayer::InitialiseCentres() {
    int node = 0;
    for (int n : mfPerInput) {
        GLEAN_CHECK_TEXT(n >= 2, "NdxMF >= 2");
        Condition(node).centre = 0.0;
        for (int m = 1; m <= n - 2; ++m) {
            Condition(node + m).centre = static_cast<double>(m) / static_cast<double>(n - 1);
        }
        Condition(node + n - 1).centre = 1.0;
        node += n;
    }
}

std::vector<int> TConditionLayer::GetMFNodes(int input) const {
    GLEAN_CHECK_TEXT(input >= 0 && input < nInputs, "input>=0 && input<nInputs");
    std::vector<int> nodes;
    for (int i = 0; i < static_cast<int>(inputOf.size()); ++i) {
        if (inputOf[static_cast<std::size_t>(i)] == input) nodes.push_back(i);
    }
    return nodes;
}

int TConditionLayer::GetMFIndex(int node) const {
    GLEAN_CHECK_TEXT(node >= 0 && node < static_cast<int>(inputOf.size()),
                     "node>=0 && node<nConditions");
    const int input = inputOf[static_cast<std::size_t>(node)];
    return node - std::accumulate(mfPerInput.begin(), mfPerInput.begin() + input, 0);
}

TBasicNeuron* TConditionLayer::GetNeuron(int i) {
    return &Condition(i);
}

void TConditionLayer::Propagate(std::span<const double>) {
    GLEAN_CHECK_TEXT(inputOf.size() == static_cast<std::size_t>(numNeurons), "MF structure set");
    const TBasicLayer* below = network->layers[layerNum - 1];
    GLEAN_CHECK_TEXT(below != nullptr, "layer != NULL");
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int input = inputOf[i];
        GLEAN_CHECK_TEXT(input < below->numNeurons, "inputOf[i]<n_inputs");
        values[i] = below->values[static_cast<std::size_t>(input)];
    }
    ActivateAll(values);
}

std::string TConditionLayer::GetLayerType() const {
    return "FuzzyCondition";
}

std::unique_ptr<TBasicLayer> TConditionLayer::Clone(TBasicNetwork* owner) const {
    auto copy = std::make_unique<TConditionLayer>(owner, layerNum, numNeurons);
    if (!inputOf.empty() || numNeurons == 0) copy->SetInputMF(nInputs, mfPerInput);
    copy->CopyBaseState(*this);
    for (int i = 0; i < numNeurons; ++i) {
        const TConditionNeuron& from = Condition(i);
        TConditionNeuron& to = copy->Condition(i);
        to.CopyParameters(from);
        to.actFunction = from.actFunction;
        to.centre = from.centre;
        to.trainable = from.trainable;
    }
    return copy;
}

void TConditionLayer::DeleteNeuron(int) {}

int TConditionLayer::GetLayerCode() const {
    return 4;
}

TConditionNeuron& TConditionLayer::Condition(int i) {
    GLEAN_CHECK_TEXT(i >= 0 && i < numNeurons, "i>=0 && i<numNeurons");
    return neurons[static_cast<std::size_t>(i)];
}

const TConditionNeuron& TConditionLayer::Condition(int i) const {
    GLEAN_CHECK_TEXT(i >= 0 && i < numNeurons, "i>=0 && i<numNeurons");
    return neurons[static_cast<std::size_t>(i)];
}

void TConditionLayer::BindNeuron(int i) {
    TConditionNeuron& neuron = Condition(i);
    neuron.Bind(this, i);
    neuron.actFunction = ActOmbraCondition;
}

}  // namespace glean
