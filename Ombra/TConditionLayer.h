// The condition layer of the fuzzy network: one neuron per membership function (MF) of every
// input, each answering the degree to which its input's current value belongs to its MF.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "NeuralNets/TBasicNetwork.h"

namespace glean {

// A condition neuron: the centre of its MF and the neighbouring MFs of the same input, whose
// centres are the feet of its triangle.
class TConditionNeuron : public TBasicNeuron, public TMembershipNeuron {
  public:
    TConditionNeuron() = default;
    // The neighbour links point into one layer's array; a copy would point into the wrong one.
    TConditionNeuron(const TConditionNeuron&) = delete;
    TConditionNeuron& operator=(const TConditionNeuron&) = delete;

    // The "Ombra-condition" membership: shoulders at the first and last MF, triangles between
    // the neighbouring centres, 0 elsewhere; equal neighbouring centres never divide.
    double MembershipDegree(double x) const override;

    double centre = 0.0;
    TConditionNeuron* leftNeighbour = nullptr;   // previous MF of the same input, if any
    TConditionNeuron* rightNeighbour = nullptr;  // next MF of the same input, if any
    std::uint8_t trainable = 1;                  // the centre's freeze state
};

class TConditionLayer : public TBasicLayer {
  public:
    // nNeurons condition neurons with the "Ombra-condition" function and no MF structure yet.
    TConditionLayer(TBasicNetwork* network, int layerIndex, int nNeurons);

    // Gives the layer its MF structure (nInputs counts, each at least 2, "NdxMF >= 2", adding up
    // to the layer's size, "sum of MF counts == numNeurons") and places the centres evenly. A
    // failed check leaves the layer unchanged.
    void SetInputMF(int nInputs, std::span<const int> mfPerInput);
    // Centres of every input at 0, 1/(n-1), ..., 1.
    void InitialiseCentres();
    // The condition neurons of `input`, in increasing order (their number is the MF count).
    std::vector<int> GetMFNodes(int input) const;
    // Position of condition neuron `node` among the MFs of its own input.
    int GetMFIndex(int node) const;

    TBasicNeuron* GetNeuron(int i) override;
    // Fuzzifies: neuron i's net input is the value of input inputOf[i] of the layer below.
    void Propagate(std::span<const double> input) override;
    std::string GetLayerType() const override;  // "FuzzyCondition"
    // Same structure (SetInputMF), centres, freeze states and functions, for `owner`.
    std::unique_ptr<TBasicLayer> Clone(TBasicNetwork* owner) const override;
    // The shape follows the MF structure: removing does nothing, inserting fails "false".
    void DeleteNeuron(int index) override;
    // The layer code (4).
    virtual int GetLayerCode() const;

    // Condition neuron i, typed.
    TConditionNeuron& Condition(int i);
    const TConditionNeuron& Condition(int i) const;

    std::vector<TConditionNeuron> neurons;  // input by input, in MF order
    std::vector<int> inputOf;               // the input of each condition neuron
    std::vector<int> mfPerInput;            // the MF count of each input
    int nInputs = 0;

  private:
    // Points neuron i at this layer, its value slot and the membership function.
    void BindNeuron(int i);
};

}  // namespace glean
