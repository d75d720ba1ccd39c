#include "NeuralNets/TDataRecall.h"

#include "DataObject/Data.h"
#include "KQmessage/Check.h"
#include "KQmessage/TException.h"
#include "NeuralNets/TBasicNetwork.h"
#include "NeuralNets/TErrorObj.h"

#include <utility>

namespace glean {

TDataRecall::TDataRecall(TBasicNetwork& network, Data& data, bool withExpected,
                         std::string operation)
    : network(network),
      data(data),
      operation(std::move(operation)),
      nInputs(Width(network, network.inLayer)),
      nOutputs(Width(network, network.outLayer)),
      withExpected(withExpected) {
    const std::vector<int> inputSelection = data.GetInputSelection();
    inputs.resize(Delivered(inputSelection, data.Inputs()));
    RequireFit(inputs.size(), nInputs);
    if (withExpected) {
        // An output selection applies only together with an input selection.
        const std::vector<int> outputSelection =
            inputSelection.empty() ? std::vector<int>() : data.GetOutputSelection();
        expected.resize(Delivered(outputSelection, data.Outputs()));
        RequireFit(expected.size(), nOutputs);
    }
    outputs.resize(nOutputs);
    data.SetCurrent(data.Last());
}

std::unique_ptr<Data> TDataRecall::Run(bool withInputs) {
    const int rows = data.DataRows();
    auto result = std::make_unique<Data>(rows, withInputs ? static_cast<int>(nInputs) : 0,
                                         static_cast<int>(nOutputs), false);
    const std::span<const double> networkInputs(inputs.data(), nInputs);
    for (int row = 0; row < rows; ++row) {
        Step();
        result->AppendRow(withInputs ? networkInputs : std::span<const double>(), outputs, nullptr);
    }
    return result;
}

double TDataRecall::Measure(TErrorObj& error) {
    for (int row = 0, rows = data.DataRows(); row < rows; ++row) {
        Step();
        error.Accumulate(std::span<const double>(expected.data(), nOutputs), outputs);
    }
    return error.GetError();
}

void TDataRecall::Step() {
    data.Next(inputs, withExpected ? std::span<double>(expected) : std::span<double>());
    network.Recall(std::span<const double>(inputs.data(), nInputs), outputs);
}

std::size_t TDataRecall::Width(const TBasicNetwork& network, int layerNum) {
    const TBasicLayer* layer = network.layers[layerNum];
    GLEAN_CHECK_TEXT(layer != nullptr, "layers[i] != NULL");
    return layer->values.size();
}

std::size_t TDataRecall::Delivered(const std::vector<int>& selection, int all) {
    return selection.empty() ? static_cast<std::size_t>(all) : selection.size();
}

void TDataRecall::RequireFit(std::size_t delivered, std::size_t needed) const {
    if (delivered < needed) {
        throw TException("Data set does not fit the network", "Bad Parameter", operation);
    }
}

}  // namespace glean
