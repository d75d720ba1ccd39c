#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FileHandler/NetworkFile.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TPrunedConnections.h"
#include "Ombra/TOmbra.h"
#include "support/TestSupport.h"
#include "tests/FileHandler/NetworkText.h"

namespace glean {
namespace {

std::vector<double> Parameters(const TBasicNeuron& neuron) {
    std::vector<double> values(static_cast<std::size_t>(neuron.GetNumParameters()));
    neuron.GetParameters(values);
    return values;
}

void ExpectSameLayer(TBasicLayer& a, TBasicLayer& b) {
    EXPECT_EQ(a.GetLayerType(), b.GetLayerType());
    ASSERT_EQ(a.numNeurons, b.numNeurons);
    EXPECT_EQ(a.GetActivationFunction(), b.GetActivationFunction());
    for (int i = 0; i < a.numNeurons; ++i) {
        EXPECT_EQ(a.GetNeuron(i)->GetActivationFunction(), b.GetNeuron(i)->GetActivationFunction());
        EXPECT_EQ(Parameters(*a.GetNeuron(i)), Parameters(*b.GetNeuron(i)));
    }
    if (auto* conditions = dynamic_cast<TConditionLayer*>(&a)) {
        EXPECT_EQ(conditions->mfPerInput, dynamic_cast<TConditionLayer&>(b).mfPerInput);
    }
    if (auto* outputs = dynamic_cast<TOmbraOutputLayer*>(&a)) {
        EXPECT_EQ(outputs->mfPerOutput, dynamic_cast<TOmbraOutputLayer&>(b).mfPerOutput);
    }
}

void ExpectSameSet(TBasicConnections& a, TBasicConnections& b, int nFrom, int nTo) {
    ASSERT_EQ(a.GetConnectionsNType(), b.GetConnectionsNType());
    if (!a.IsConnected()) return;
    for (int s = 0; s < nFrom; ++s) {
        for (int t = 0; t < nTo; ++t) {
            ASSERT_EQ(a.IsValid(s, t), b.IsValid(s, t)) << s << "->" << t;
            if (!a.IsValid(s, t)) continue;
            EXPECT_EQ(a.IsTrainable(s, t), b.IsTrainable(s, t)) << s << "->" << t;
            // 15 significant digits in a matrix, 15 decimals in a weight list.
            const double w = a.Weight(s, t);
            EXPECT_NEAR(w, b.Weight(s, t), 1e-14 * std::max(1.0, std::fabs(w))) << s << "->" << t;
        }
    }
}

// Writes `network`, reads it back, compares, and writes the copy again.
void ExpectRoundTrip(TBasicNetwork& network) {
    const std::string text = test::NetworkText(network);
    auto copy = test::NetworkOf(text);
    EXPECT_EQ(copy->GetNetworkType(), network.GetNetworkType());
    ASSERT_EQ(copy->numLayers, network.numLayers);
    EXPECT_EQ(copy->inLayer, network.inLayer);
    EXPECT_EQ(copy->outLayer, network.outLayer);
    for (int i = 0; i < network.numLayers; ++i)
        ExpectSameLayer(*network.layers[i], *copy->layers[i]);
    for (int to = 0; to < network.numLayers; ++to) {
        for (int from = 0; from < network.numLayers; ++from) {
            ExpectSameSet(*network.priv_conns_index[to][from], *copy->priv_conns_index[to][from],
                          network.layers[from]->numNeurons, network.layers[to]->numNeurons);
        }
    }
    EXPECT_EQ(test::NetworkText(*copy), text);
}

// A basic network: a bias neuron, three inputs, a gain layer whose neurons have their own
// functions and gains, and an empty layer; a dense pruneable set with removed and frozen arcs
// (matrix) and a sparse one (weight list).
std::unique_ptr<TBasicNetwork> BasicNetwork() {
    auto network = std::make_unique<TBasicNetwork>(4);
    TBasicNetwork* n = network.get();
    network->InstallLayer(0, std::make_unique<TSimpleLayer>(n, 0, 1));
    network->layers[0]->SetActivationFunction(ActBias);
    network->InstallLayer(1, std::make_unique<TSimpleInputLayer>(n, 1, 3));
    auto gain = std::make_unique<TGainLayer>(n, 2, 2, 1.0);
    gain->nodes[0].gain = 0.123456789012345;
    gain->nodes[0].SetActivationFunction(ActTanhGain);
    gain->nodes[1].gain = -2.5;
    gain->nodes[1].SetActivationFunction(ActLinearGain);
    network->InstallLayer(2, std::move(gain));
    network->InstallLayer(3, std::make_unique<TSimpleLayer>(n, 3, 0));
    network->layers[3]->SetActivationFunction(ActSigmoid);
    network->outLayer = 2;

    network->Connect(1, 2);
    TBasicConnections& dense = *network->priv_conns_index[2][1];
    for (int s = 0; s < 3; ++s) {
        for (int t = 0; t < 2; ++t)
            dense.Weight(s, t) = 0.1 * (s + 1) - 0.37 * t + 1e-9 * s;
    }
    dense.RemoveArc(2, 1);
    dense.SetUntrainable(0, 1);
    network->Connect(0, 2);
    TBasicConnections& sparse = *network->priv_conns_index[2][0];
    sparse.Weight(0, 0) = 1234.567890123456;
    sparse.SetUntrainable(0, 0);
    sparse.RemoveArc(0, 1);
    network->Connect(1, 3);  // to a layer without neurons: a set without arcs
    return network;
}

// A connected network: two inputs, a gain layer of two neurons with the common gain 1.0.
std::unique_ptr<TConnectedNetwork> ConnectedNetwork() {
    const std::vector<int> sizes{0, 2, 2};
    auto network = std::make_unique<TConnectedNetwork>(3, sizes);
    TBasicNetwork* n = network.get();
    network->InstallLayer(2, std::make_unique<TGainLayer>(n, 2, 2, 1.0));
    network->layers[2]->SetActivationFunction(ActSigmoidGain);
    network->layers[0]->SetActivationFunction(ActNull);
    network->Connect(1, 2);
    TBasicConnections& set = *network->priv_conns_index[2][1];
    set.Weight(0, 0) = 0.5;
    set.Weight(0, 1) = -1e-7;
    set.Weight(1, 0) = 3.141592653589793;
    set.Weight(1, 1) = 123456.789;
    return network;
}

// A small Ombra network (inputs of 3 and 2 MFs, 4 rules, one output of 3 MFs) whose weights are
// drawn after srand(seed).
std::unique_ptr<TOmbra> SmallOmbra(unsigned seed) {
    const std::vector<int> mfIn{3, 2};
    const std::vector<int> mfOut{3};
    auto network = std::make_unique<TOmbra>(2, mfIn, 4, mfOut, 1);
    std::srand(seed);
    network->InitialiseWeights(-1.0, 1.0);
    return network;
}

TEST(NetworkFileRoundTrip, BasicNetworkWithAllItsParts) {
    auto network = BasicNetwork();
    ExpectRoundTrip(*network);
}

TEST(NetworkFileRoundTrip, ConnectedNetwork) {
    auto network = ConnectedNetwork();
    ExpectRoundTrip(*network);
}

TEST(NetworkFileRoundTrip, OmbraWithFrozenAndRemovedArcs) {
    const auto owned = SmallOmbra(7);
    TOmbra& network = *owned;
    network.SetWeightValue(1, 0, 1, 0.3);
    network.ConditionSet().SetUntrainable(1, 4);
    network.MatrixSet(2).RemoveArc(0, 3);
    network.MatrixSet(2).SetUntrainable(1, 1);
    network.OutputSet().SetUntrainable(2, 0);
    // Rule-to-action weights mostly removed: written as a weight list.
    for (int r = 0; r < 4; ++r) {
        for (int a = 0; a < 3; ++a) {
            if (r != a) network.MatrixSet(3).RemoveArc(r, a);
        }
    }
    network.MatrixSet(3).SetUntrainable(1, 1);
    const std::string text = test::NetworkText(network);
    EXPECT_NE(text.find("[WeightList]\n[From=0 To=0 Weight="), std::string::npos);
    ExpectRoundTrip(network);
}

TEST(NetworkFileRoundTrip, AnyStreamBufferingReadsTheSame) {
    // Matrix tokens are taken straight from the stream's buffer while whole words lie there and
    // through the item reader otherwise: every way of cutting the text must read the same.
    const auto owned = SmallOmbra(11);
    TOmbra& network = *owned;
    network.MatrixSet(2).RemoveArc(1, 2);
    network.MatrixSet(3).SetUntrainable(0, 1);
    const std::string text = test::NetworkText(network);
    ASSERT_NE(text.find("[Matrix Weights TrainableInfo ]"), std::string::npos);
    for (std::size_t window : {0, 1, 2, 5, 17, 64, 4096}) {
        test::WindowBuffer buffer(text, window);
        std::istream in(&buffer);
        FileTools tools;
        const auto read = ReadNetwork(tools, in);
        EXPECT_EQ(test::NetworkText(*read), text) << "window " << window;
    }
}

TEST(NetworkFileRoundTrip, OmbraWithFuzzySetsAsWeightLists) {
    // Three inputs and three outputs of two MFs each: the fuzzy sets hold fewer than 35 percent
    // of their full matrices.
    const std::vector<int> two{2, 2, 2};
    TOmbra network(3, two, 2, two, 3);
    network.InitialiseWeights(0.0, 0.0);
    network.ConditionSet().SetUntrainable(1, 2);
    network.OutputSet().SetUntrainable(5, 2);
    network.SetWeightValue(4, 3, 1, 0.625);
    const std::string text = test::NetworkText(network);
    EXPECT_NE(text.find("[ConnectionType = ToConditionConnections]\n[Attributes Pruneable "
                        "Freezable ]\n[WeightList]\n"),
              std::string::npos);
    EXPECT_NE(text.find("[From=1 To=2 Weight=0.000000000000000 UnTrainable ]"), std::string::npos);
    EXPECT_NE(text.find("[ConnectionType = ToOutputConnections]\n[Attributes Pruneable "
                        "Freezable ]\n[WeightList]\n"),
              std::string::npos);
    ExpectRoundTrip(network);
}

TEST(NetworkFileWriter, LayerWithoutNeuronsHasNoNeuronsBlock) {
    auto network = BasicNetwork();
    EXPECT_NE(test::NetworkText(*network).find(
                  "\n[Layer = 3]\n[LayerType = Simple]\n[NumberOfNeurons = 0]\n"
                  "[All ActivationFunction=sigmoid ]\n[~Layer]\n"),
              std::string::npos);
}

TEST(NetworkFileWriter, PerNeuronFunctionsAndGainsGoToTheNeuronsBlock) {
    auto network = BasicNetwork();
    EXPECT_NE(test::NetworkText(*network).find("[NumberOfNeurons = 2]\n[Neurons]\n"
                                               "[Neuron=0 ActivationFunction=tanh-gain "
                                               "Gain=0.123456789012345 ]\n"
                                               "[Neuron=1 ActivationFunction=linear-gain "
                                               "Gain=-2.500000000000000 ]\n[~Neurons]\n[~Layer]\n"),
              std::string::npos);
}

TEST(NetworkFileWriter, CommonGainIsOneLayerLine) {
    auto network = ConnectedNetwork();
    const std::string text = test::NetworkText(*network);
    EXPECT_NE(text.find("[All ActivationFunction=sigmoid-gain ]\n[All Gain=1.000000000000000 ]\n"
                        "[~Layer]\n"),
              std::string::npos);
    EXPECT_EQ(text.find("[Neurons]"), std::string::npos);

    // One differing gain sends every gain to the neurons, none to the layer.
    dynamic_cast<TGainLayer&>(*network->layers[2]).nodes[1].gain = 2.0;
    const std::string changed = test::NetworkText(*network);
    EXPECT_EQ(changed.find("[All Gain="), std::string::npos);
    EXPECT_NE(changed.find("[Neurons]\n[Neuron=0 Gain=1.000000000000000 ]\n"
                           "[Neuron=1 Gain=2.000000000000000 ]\n[~Neurons]\n"),
              std::string::npos);
}

TEST(NetworkFileWriter, FullyConnectedSetIsAMatrixWithoutMarks) {
    auto network = ConnectedNetwork();
    EXPECT_NE(test::NetworkText(*network).find(
                  "[ConnectionType = FullyConnected]\n[Attributes UnPrunable UnFreezable ]\n"
                  "[Matrix Weights ]\n"
                  "/* To->            0                    1  From */\n"
                  "                 0.5               -1e-07  /* 0 */\n"
                  "    3.14159265358979           123456.789  /* 1 */\n"
                  "[~Matrix]\n"),
              std::string::npos);
}

TEST(NetworkFileWriter, PruneableMatricesCarryMarks) {
    auto network = BasicNetwork();
    const std::string text = test::NetworkText(*network);
    // Five of six arcs: a matrix with marks.
    EXPECT_NE(text.find("[LayerFrom = 1]\n[LayerTo = 2]\n[ConnectionType = Pruneable]\n"
                        "[Attributes Pruneable Freezable ]\n[Matrix Weights TrainableInfo ]\n"
                        "/* To->              0                      1  From */\n"
                        "                 0.1 T                -0.27 F  /* 0 */\n"),
              std::string::npos);
    EXPECT_NE(text.find("         0.300000002 T                    - -  /* 2 */\n"),
              std::string::npos);
    // One arc of two is not below 35 percent: still a matrix.
    EXPECT_NE(text.find("[Matrix Weights TrainableInfo ]\n"
                        "/* To->              0                      1  From */\n"
                        "    1234.56789012346 F                    - -  /* 0 */\n"),
              std::string::npos);
}

TEST(NetworkFileWriter, SparseSetIsAWeightListWithMarks) {
    TBasicNetwork network(2);
    network.InstallLayer(0, std::make_unique<TSimpleInputLayer>(&network, 0, 3));
    network.InstallLayer(1, std::make_unique<TSimpleLayer>(&network, 1, 2));
    network.layers[1]->SetActivationFunction(ActSigmoid);
    network.inLayer = 0;
    network.Connect(0, 1);
    TBasicConnections& set = *network.priv_conns_index[1][0];
    for (int s = 0; s < 3; ++s) {
        for (int t = 0; t < 2; ++t)
            set.RemoveArc(s, t);
    }
    set.AddArc(2, 0);
    set.Weight(2, 0) = -1.0;
    set.SetUntrainable(2, 0);
    set.AddArc(0, 1);
    set.Weight(0, 1) = 0.5;
    // Two arcs of six is below 35 percent; the entries come target-major.
    EXPECT_NE(
        test::NetworkText(network).find("[WeightList]\n"
                                        "[From=2 To=0 Weight=-1.000000000000000 UnTrainable ]\n"
                                        "[From=0 To=1 Weight=0.500000000000000 Trainable ]\n"
                                        "[~WeightList]\n"),
        std::string::npos);
    ExpectRoundTrip(network);
}

TEST(NetworkFileWriter, WeightListOnlyBelowThirtyFivePercent) {
    // A 4 x 5 set: 7 arcs are exactly 35 percent (a matrix), 6 are below (a weight list).
    TBasicNetwork network(2);
    network.InstallLayer(0, std::make_unique<TSimpleInputLayer>(&network, 0, 4));
    network.InstallLayer(1, std::make_unique<TSimpleLayer>(&network, 1, 5));
    network.layers[1]->SetActivationFunction(ActSigmoid);
    network.inLayer = 0;
    network.Connect(0, 1);
    TBasicConnections& set = *network.priv_conns_index[1][0];
    for (int arc = 7; arc < 20; ++arc)
        set.RemoveArc(arc / 5, arc % 5);
    EXPECT_NE(test::NetworkText(network).find("[Matrix Weights TrainableInfo ]"),
              std::string::npos);
    set.RemoveArc(1, 1);
    EXPECT_NE(test::NetworkText(network).find("[WeightList]"), std::string::npos);
    ExpectRoundTrip(network);
}

TEST(NetworkFileWriter, BiasLayers) {
    auto network = BasicNetwork();
    EXPECT_NE(test::NetworkText(*network).find(
                  "[NumberOfOutputs = 2]\n[BiasLayer = 0]\n[~NetworkInformation]"),
              std::string::npos);
    network->InstallLayer(0, std::make_unique<TSimpleLayer>(network.get(), 0, 2));
    network->layers[0]->SetActivationFunction(ActBias);
    network->Disconnect(0, 2);
    FileTools tools;
    std::ostringstream out;
    EXPECT_THROW_TEXT(WriteNetwork(tools, out, *network), FileTools::Error,
                      "Illegal number of bias nodes");
}

TEST(NetworkFileWriter, SaveNetworkFileReportsFailures) {
    auto network = ConnectedNetwork();
    FileTools tools;
    const std::string path = testing::TempDir() + "netfile-save.wts";
    SaveNetworkFile(tools, path, *network, std::make_unique<TKQstructure>());
    std::ifstream in(path, std::ios::binary);
    std::stringstream saved;
    saved << in.rdbuf();
    EXPECT_EQ(saved.str(), test::NetworkText(*network));

    // A network the writer refuses half way leaves the earlier file whole.
    auto biased = BasicNetwork();
    biased->InstallLayer(0, std::make_unique<TSimpleLayer>(biased.get(), 0, 2));
    biased->layers[0]->SetActivationFunction(ActBias);
    biased->Disconnect(0, 2);
    EXPECT_THROW_TEXT(SaveNetworkFile(tools, path, *biased), FileTools::Error,
                      "Illegal number of bias nodes");
    std::ifstream again(path, std::ios::binary);
    std::stringstream kept;
    kept << again.rdbuf();
    EXPECT_EQ(kept.str(), saved.str());
    std::filesystem::remove(path);

    EXPECT_THROW_TEXT(SaveNetworkFile(tools, testing::TempDir() + "no-dir/x.wts", *network),
                      FileTools::Error, "Error on File Open");
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_THROW_TEXT(SaveNetworkFile(tools, "/dev/full", *network), FileTools::Error,
                          "Error on File Write");
    }
}

}  // namespace
}  // namespace glean
