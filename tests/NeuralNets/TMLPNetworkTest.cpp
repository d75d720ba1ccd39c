#include "NeuralNets/TMLPNetwork.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "DataObject/Data.h"
#include "NeuralNets/TErrorObj.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

using Row = std::vector<double>;
using Sizes = std::vector<int>;

// The joined (from, to) layer pairs, target-major.
std::vector<std::pair<int, int>> JoinedPairs(const TBasicNetwork& net) {
    std::vector<std::pair<int, int>> pairs;
    for (int to = 0; to < net.numLayers; ++to) {
        for (int from = 0; from < net.numLayers; ++from) {
            if (net.priv_conns_index[to][from]->IsConnected()) pairs.emplace_back(from, to);
        }
    }
    return pairs;
}

TEST(TMLPNetwork, LayerPlanWithBias) {
    TMLPNetwork net(3, Sizes{2, 3, 1}, true);
    EXPECT_EQ(net.GetNetworkType(), "MLP");
    EXPECT_TRUE(net.bias);
    ASSERT_EQ(net.numLayers, 4);
    EXPECT_EQ(net.inLayer, 1);
    EXPECT_EQ(net.outLayer, 3);
    const char* types[] = {"Simple", "Input", "Gain", "Gain"};
    const int sizes[] = {1, 2, 3, 1};
    const TActFunction functions[] = {&ActBias, &ActLinear, &ActSigmoid, &ActSigmoid};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(net.layers[i]->GetLayerType(), types[i]) << "layer " << i;
        EXPECT_EQ(net.layers[i]->numNeurons, sizes[i]) << "layer " << i;
        EXPECT_EQ(net.layers[i]->GetActivationFunction(), functions[i]) << "layer " << i;
    }
    for (int i = 2; i < 4; ++i) {
        auto& layer = dynamic_cast<TGainLayer&>(*net.layers[i]);
        for (const TGainNeuron& neuron : layer.nodes)
            EXPECT_EQ(neuron.gain, 1.0);
    }
    EXPECT_EQ(JoinedPairs(net), (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}, {0, 3}, {2, 3}}));
    for (auto [from, to] : JoinedPairs(net))
        EXPECT_EQ(net.priv_conns_index[to][from]->GetConnectionsNType(), "Pruneable");
    EXPECT_EQ(net.GetNumWeights(FMaskExists), 13);
    EXPECT_EQ(net.GetNumWeights(FMaskTrainable), 13);
    std::vector<double> weights(13, 1.0);
    net.GetWeights(weights, FMaskExists);
    EXPECT_EQ(weights, std::vector<double>(13, 0.0));
}

TEST(TMLPNetwork, LayerPlanWithoutBias) {
    TMLPNetwork net(3, Sizes{2, 3, 1}, false);
    EXPECT_FALSE(net.bias);
    EXPECT_EQ(net.layers[0]->numNeurons, 0);
    EXPECT_EQ(JoinedPairs(net), (std::vector<std::pair<int, int>>{{1, 2}, {2, 3}}));
    EXPECT_EQ(net.GetNumWeights(FMaskExists), 9);
}

TEST(TMLPNetwork, FreshNetworkOutputsOneHalfEverywhere) {
    for (bool bias : {true, false}) {
        TMLPNetwork net(4, Sizes{2, 3, 2, 2}, bias);
        Row out(2, -1.0);
        net.Recall(Row{5.0, -3.0}, out);
        EXPECT_EQ(out, (Row{0.5, 0.5}));
        for (int j = 2; j <= 4; ++j) {
            for (double value : net.layers[j]->values)
                EXPECT_EQ(value, 0.5) << "layer " << j;
        }
    }
}

TEST(TMLPNetwork, ConstructorChecksTheSizes) {
    EXPECT_CHECK_FIRES(TMLPNetwork(0, Sizes{}, true));
    EXPECT_CHECK_FIRES(TMLPNetwork(3, Sizes{2, 3}, true));
    TMLPNetwork empty(2, true);
    EXPECT_EQ(empty.numLayers, 3);
    EXPECT_EQ(empty.outLayer, 2);
    Data data(1, 1, 1, false);
    EXPECT_CHECK_FIRES(empty.Recall(&data));
}

// A (2, 3, 2) perceptron with bias and fixed non-zero weights, and four rows of data.
struct MLPWithData : ::testing::Test {
    MLPWithData() : net(3, Sizes{2, 3, 2}, true), data(4, 2, 2, false) {
        std::vector<double> weights(static_cast<std::size_t>(net.GetNumWeights(FMaskExists)));
        for (std::size_t i = 0; i < weights.size(); ++i)
            weights[i] = std::sin(0.7 * static_cast<double>(i) + 0.3);
        net.SetWeights(weights, FMaskExists);
        for (int k = 0; k < 4; ++k)
            data.AppendRow(Row{0.3 * k - 0.5, 1.0 - 0.4 * k}, Row{0.25 * k, 1.0 - 0.2 * k},
                           nullptr);
    }

    Row Forward(const Row& inputs) {
        Row out(2);
        net.Recall(inputs, out);
        return out;
    }

    TMLPNetwork net;
    Data data;
};

TEST_F(MLPWithData, DataSetRecallMatchesTheForwardPass) {
    data.SetCurrent(2);
    std::unique_ptr<Data> result = net.Recall(&data);
    std::unique_ptr<Data> outputs;
    net.RecallOutputOnly(&data, outputs);
    ASSERT_EQ(result->DataRows(), 4);
    ASSERT_EQ(outputs->DataRows(), 4);
    EXPECT_EQ(result->Inputs(), 2);
    EXPECT_EQ(outputs->Inputs(), 0);
    for (int k = 0; k < 4; ++k) {
        Row inputs(2), recalled(2), only(2);
        data.GetInputRow(k, inputs);
        result->GetOutputRow(k, recalled);
        outputs->GetOutputRow(k, only);
        const Row expected = Forward(inputs);
        EXPECT_EQ(result->GetInputDatum(k, 0), inputs[0]) << "row " << k;
        EXPECT_EQ(recalled, expected) << "row " << k;
        EXPECT_EQ(only, expected) << "row " << k;
    }
}

TEST_F(MLPWithData, RecallErrorAccumulatesIntoTheGivenObject) {
    double sum = 0.0;
    for (int k = 0; k < 4; ++k) {
        const Row out = Forward(Row{0.3 * k - 0.5, 1.0 - 0.4 * k});
        const double d0 = 0.25 * k - out[0];
        const double d1 = 1.0 - 0.2 * k - out[1];
        sum += d0 * d0 + d1 * d1;
    }
    TErrorRMSObj rms(2);
    EXPECT_NEAR(net.RecallError(&data, &rms), std::sqrt(sum / 2.0 / 4.0), 1e-12);
    EXPECT_EQ(rms.Count(), 4);
    // Not reset between calls: the same rows again give the same RMS over twice the patterns.
    EXPECT_NEAR(net.RecallError(&data, &rms), std::sqrt(sum / 2.0 / 4.0), 1e-12);
    EXPECT_EQ(rms.Count(), 8);
}

TEST_F(MLPWithData, PartlyFilledDataSetIsReadOnceRowByRow) {
    Data partial(6, 2, 2, false);
    partial.AppendRow(Row{0.1, 0.2}, Row{0.0, 1.0}, nullptr);
    partial.AppendRow(Row{0.3, 0.4}, Row{1.0, 0.0}, nullptr);
    std::unique_ptr<Data> result = net.Recall(&partial);
    EXPECT_EQ(result->DataRows(), 2);
    TErrorRMSObj rms(2);
    net.RecallError(&partial, &rms);
    EXPECT_EQ(rms.Count(), 2);
}

TEST_F(MLPWithData, RefusesMissingArgumentsAndNarrowDataSets) {
    TErrorRMSObj rms(2);
    EXPECT_CHECK_FIRES(net.Recall(nullptr));
    EXPECT_CHECK_FIRES(net.RecallError(nullptr, &rms));
    EXPECT_CHECK_FIRES(net.RecallError(&data, nullptr));
    std::unique_ptr<Data> out;
    EXPECT_TEXCEPTION(net.RecallOutputOnly(nullptr, out), "Null data pointer",
                      "Null Pointer Parameter", "TMLPNetwork::RecallOutputOnly");
    EXPECT_EQ(out, nullptr);

    Data narrowInputs(1, 1, 2, false);
    narrowInputs.AppendRow(Row{0.5}, Row{0.5, 0.5}, nullptr);
    EXPECT_TEXCEPTION(net.Recall(&narrowInputs), "Data set does not fit the network",
                      "Bad Parameter", "TMLPNetwork::Recall");
    EXPECT_TEXCEPTION(net.RecallOutputOnly(&narrowInputs, out), "Data set does not fit the network",
                      "Bad Parameter", "TMLPNetwork::RecallOutputOnly");
    Data narrowOutputs(1, 2, 1, false);
    narrowOutputs.AppendRow(Row{0.5, 0.5}, Row{0.5}, nullptr);
    EXPECT_TEXCEPTION(net.RecallError(&narrowOutputs, &rms), "Data set does not fit the network",
                      "Bad Parameter", "TMLPNetwork::RecallError");
    // An output selection narrower than the outputs (it applies with an input selection).
    data.SetSelection(std::vector<int>{0, 1}, std::vector<int>{1});
    EXPECT_TEXCEPTION(net.RecallError(&data, &rms), "Data set does not fit the network",
                      "Bad Parameter", "TMLPNetwork::RecallError");
    EXPECT_EQ(rms.Count(), 0);
}

}  // namespace
}  // namespace glean
