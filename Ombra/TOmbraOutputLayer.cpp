#include "Ombra/TOmbraOutputLayer.h"

#include <iostream>
#include <numeric>

#include "KQmessage/Check.h"
#include "Ombra/TToOutputConnections.h"

namespace glean {

TOmbraOutputLayer::TOmbraOutputLayer(TBasicNetwork* network, int layerIndex, int nOutputs)
    : TSimpleLayer(network, layerIndex, nOutputs) {}

void TOmbraOutputLayer::SetOutputMF(int actions, std::span<const int> counts) {
    GLEAN_CHECK_TEXT(counts.size() == static_cast<std::size_t>(numNeurons),
                     "mfPerOutput.size()==numNeurons");
    for (int count : counts)
        GLEAN_CHECK_TEXT(count >= 0, "mfPerOutput[o]>=0");
    GLEAN_CHECK_TEXT(std::accumulate(counts.begin(), counts.end(), 0L) == actions,
                     "sum of MF counts == nActions");
    nActions = actions;
    mfPerOutput.assign(counts.begin(), counts.end());
    outputOf.clear();
    for (int o = 0; o < numNeurons; ++o) {
        outputOf.insert(outputOf.end(),
                        static_cast<std::size_t>(mfPerOutput[static_cast<std::size_t>(o)]), o);
    }
}

int TOmbraOutputLayer::GetMFIndex(int action) const {
    GLEAN_CHECK_TEXT(action >= 0 && action < nActions, "action>=0 && action<nActions");
    const int output = outputOf[static_cast<std::size_t>(action)];
    return action - std::accumulate(mfPerOutput.begin(), mfPerOutput.begin() + output, 0);
}

void TOmbraOutputLayer::Propagate(std::span<const double>) {
    const TBasicLayer* actions = network->layers[layerNum - 1];
    GLEAN_CHECK_TEXT(actions != nullptr, "layer != NULL");
    auto* set =
        dynamic_cast<TToOutputConnections*>(network->priv_conns_index[layerNum][layerNum - 1]);
    GLEAN_CHECK_TEXT(set != nullptr, "ToOutputConnections set");
    const std::span<const double> centres = set->Centres();
    GLEAN_CHECK_TEXT(actions->numNeurons == nActions && centres.size() == outputOf.size(),
                     "sizes match the layers");
    std::vector<double> numerator(values.size(), 0.0);
    std::vector<double> denominator(values.size(), 0.0);
    for (std::size_t a = 0; a < outputOf.size(); ++a) {
        const auto o = static_cast<std::size_t>(outputOf[a]);
        const double alpha = actions->values[a];
        numerator[o] += alpha * centres[a];
        denominator[o] += alpha;
    }
    for (std::size_t o = 0; o < values.size(); ++o) {
        const double ActActivation =
            numerator[o] != 0.0 && denominator[o] != 0.0 ? numerator[o] / denominator[o] : 0.0;
        if (!(ActActivation >= 0 && ActActivation <= 1)) {
            // The value goes to standard output before the check stops the run: callers read it.
            std::cout << ActActivation << std::endl;
            GLEAN_FAIL("(ActActivation >= 0) && (ActActivation <= 1)");
        }
        values[o] = ActActivation;
    }
}

std::string TOmbraOutputLayer::GetLayerType() const {
    return "Defuzzify";
}

std::unique_ptr<TBasicLayer> TOmbraOutputLayer::Clone(TBasicNetwork* owner) const {
    auto copy = std::make_unique<TOmbraOutputLayer>(owner, layerNum, numNeurons);
    if (mfPerOutput.size() == static_cast<std::size_t>(numNeurons)) {
        copy->SetOutputMF(nActions, mfPerOutput);
    }
    copy->CopyLayer(*this);
    return copy;
}

int TOmbraOutputLayer::GetLayerCode() const {
    return 5;
}

}  // namespace glean
