// The output layer of the fuzzy network: one neuron per output variable, each the centre of
// gravity of its output's action activations over the output MF centres.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "NeuralNets/TBasicNetwork.h"

namespace glean {

class TOmbraOutputLayer : public TSimpleLayer {
  public:
    // nOutputs plain neurons and no MF structure yet.
    TOmbraOutputLayer(TBasicNetwork* network, int layerIndex, int nOutputs);

    // Gives the layer its MF structure: one count per output neuron ("mfPerOutput.size()==
    // numNeurons"), none negative ("mfPerOutput[o]>=0"), adding up to nActions ("sum of MF
    // counts == nActions"). A failed check leaves the layer unchanged.
    void SetOutputMF(int nActions, std::span<const int> mfPerOutput);
    // Position of action neuron `action` among the MFs of its own output.
    int GetMFIndex(int action) const;

    // Defuzzifies the action layer below with the centres of the set joining it to this layer.
    // An output outside [0, 1] is printed on standard output and fails
    // "(ActActivation >= 0) && (ActActivation <= 1)".
    void Propagate(std::span<const double> input) override;
    std::string GetLayerType() const override;  // "Defuzzify"
    // Same structure, neurons and functions, for `owner`.
    std::unique_ptr<TBasicLayer> Clone(TBasicNetwork* owner) const override;
    int GetLayerCode() const override;  // 5

    int nActions = 0;
    std::vector<int> mfPerOutput;  // the MF count of each output
    std::vector<int> outputOf;     // the output of each action neuron
};

}  // namespace glean
