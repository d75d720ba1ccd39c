#include "FileHandler/NetworkFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TPrunedConnections.h"
#include "Ombra/TOmbra.h"
#include "support/TestSupport.h"
#include "tests/FileHandler/NetworkText.h"

namespace glean {
namespace {

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string DataFile(const std::string& name) {
    return std::string(GLEAN_TEST_DATA) + "/FileHandler/" + name;
}

// A two-layer network of `type`: two inputs (layer 0) and layer 1 as `layer1` describes (by
// default one gain neuron); `connections` follows the layers.
const char* const GainOutput =
    "[LayerType = Gain] [NumberOfNeurons = 1] [All ActivationFunction=sigmoid-gain ]\n";

std::string TwoLayerFile(const std::string& type, const std::string& connections,
                         const std::string& layer1 = std::string(GainOutput) + "[All Gain=1.0]") {
    return "[NeuralNetwork] [NetworkType = " + type +
           "]\n"
           "[NetworkInformation] [NumberOfLayers = 2] [InputLayer = 0] [OutputLayer = 1]\n"
           "[~NetworkInformation]\n"
           "[Layer = 0] [LayerType = Input] [NumberOfNeurons = 2]\n"
           "[All ActivationFunction=linear ] [~Layer]\n"
           "[Layer = 1] " +
           layer1 + "[~Layer]\n" + connections + "[~NeuralNetwork]\n";
}

// A one-layer basic network whose layer 0 is described by `body`.
std::string OneLayerFile(const std::string& body) {
    return "[NeuralNetwork] [NetworkType = Basic] [NetworkInformation] [NumberOfLayers = 1] "
           "[InputLayer = 0] [~NetworkInformation] [Layer = 0] " +
           body + "[~Layer] [~NeuralNetwork]";
}

// The worked example of the file format, line by line.
const char* const WorkedExample =
    "[FormatVersion = 1.0]\n[NeuralNetwork]\n[NetworkType = Connected]\n[NetworkInformation]\n"
    "[NumberOfLayers = 2]\n[InputLayer = 0]\n[OutputLayer = 1]\n[NumberOfInputs = 2]\n"
    "[NumberOfOutputs = 1]\n[~NetworkInformation]\n[Layer = 0]\n[LayerType = Input]\n"
    "[NumberOfNeurons = 2]\n[All ActivationFunction=linear ]\n[~Layer]\n[Layer = 1]\n"
    "[LayerType = Gain]\n[NumberOfNeurons = 1]\n[All ActivationFunction=sigmoid-gain ]\n"
    "[All Gain=1.000000000000000 ]\n[~Layer]\n[ConnectionLayer]\n[LayerFrom = 0]\n"
    "[LayerTo = 1]\n[ConnectionType = FullyConnected]\n[Attributes UnPrunable UnFreezable ]\n"
    "[Matrix Weights ]\n/* To->  0  From */\n0.5 /* 0 */\n-0.25 /* 1 */\n[~Matrix]\n"
    "[~ConnectionLayer]\n[~NeuralNetwork]\n";

TEST(NetworkFileReader, WorkedExampleBuildsTheConnectedNetwork) {
    auto network = test::NetworkOf(WorkedExample);
    ASSERT_NE(dynamic_cast<TConnectedNetwork*>(network.get()), nullptr);
    EXPECT_EQ(network->GetNetworkType(), "Connected");
    EXPECT_EQ(network->numLayers, 2);
    EXPECT_EQ(network->inLayer, 0);
    EXPECT_EQ(network->outLayer, 1);
    ASSERT_NE(dynamic_cast<TSimpleInputLayer*>(network->layers[0]), nullptr);
    EXPECT_EQ(network->layers[0]->numNeurons, 2);
    EXPECT_EQ(network->layers[0]->GetActivationFunction(), ActLinear);
    auto* gain = dynamic_cast<TGainLayer*>(network->layers[1]);
    ASSERT_NE(gain, nullptr);
    EXPECT_EQ(gain->GetActivationFunction(), ActSigmoidGain);
    EXPECT_EQ(gain->nodes[0].gain, 1.0);
    auto* set = dynamic_cast<TConnectedConnections*>(network->priv_conns_index[1][0]);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->Weight(0, 0), 0.5);
    EXPECT_EQ(set->Weight(1, 0), -0.25);
    EXPECT_EQ(network->GetNumWeights(FMaskExists), 2);
}

TEST(NetworkFileReader, HeaderDefaultsAndCaseOfTheNetworkType) {
    // No InputLayer / OutputLayer in a six-layer file: 1 and 5. The type in mixed case.
    auto network = test::NetworkOf(FileText(DataFile("ombra-mixed.wts")));
    EXPECT_EQ(network->inLayer, 1);
    EXPECT_EQ(network->outLayer, 5);
    EXPECT_EQ(network->GetNetworkType(), "Ombra");
}

TEST(NetworkFileReader, OmbraWithMatrixWeightListCommentsAndMixedCase) {
    auto loaded = test::NetworkOf(FileText(DataFile("ombra-mixed.wts")));
    auto* ombra = dynamic_cast<TOmbra*>(loaded.get());
    ASSERT_NE(ombra, nullptr);
    const TOmbraStructure shape = ombra->GetStructure();
    EXPECT_EQ(shape.nInputs, 2);
    EXPECT_EQ(shape.mfPerInput, (std::vector<int>{3, 2}));
    EXPECT_EQ(shape.nConditions, 5);
    EXPECT_EQ(shape.nRules, 2);
    EXPECT_EQ(shape.mfPerOutput, (std::vector<int>{2}));
    EXPECT_EQ(shape.nOutputs, 1);
    EXPECT_EQ(ombra->GetWeightLayer(1), (std::vector<double>{0.0, 0.4, 1.0, 0.1, 0.9}));
    // Weight layer 2 came as a matrix with a removed arc and a frozen one.
    EXPECT_EQ(ombra->GetWeightLayer(2),
              (std::vector<double>{0.5, -0.5, 0.25, 0.0, 1.5, 2.5, 0.125, 3.0, -1.0, 7.0}));
    TBasicConnections& rules = ombra->MatrixSet(2);
    EXPECT_FALSE(rules.IsValid(1, 1));
    EXPECT_FALSE(rules.IsTrainable(2, 0));
    EXPECT_TRUE(rules.IsTrainable(2, 1));
    // Weight layer 3 came as a weight list: unlisted arcs do not exist; no mark means trainable.
    EXPECT_EQ(ombra->GetWeightLayer(3), (std::vector<double>{0.75, 0.0, 0.0, -0.75}));
    TBasicConnections& actions = ombra->MatrixSet(3);
    EXPECT_TRUE(actions.IsValid(0, 0));
    EXPECT_FALSE(actions.IsValid(0, 1));
    EXPECT_TRUE(actions.IsTrainable(0, 0));
    EXPECT_FALSE(actions.IsTrainable(1, 1));
    EXPECT_EQ(ombra->GetWeightLayer(4), (std::vector<double>{0.2, 0.8}));
    EXPECT_EQ(ombra->layers[3]->GetActivationFunction(), ActSigmoid);
    EXPECT_EQ(ombra->layers[2]->GetActivationFunction(), ActOmbraCondition);
}

TEST(NetworkFileReader, HandMadeOmbraFileLoadsAndWritesBackByteForByte) {
    const std::string text = FileText(DataFile("fan.wts"));
    auto network = test::NetworkOf(text);
    auto* ombra = dynamic_cast<TOmbra*>(network.get());
    ASSERT_NE(ombra, nullptr);
    const TOmbraStructure shape = ombra->GetStructure();
    EXPECT_EQ(shape.mfPerInput, (std::vector<int>{3, 3}));
    EXPECT_EQ(shape.nRules, 10);
    EXPECT_EQ(shape.mfPerOutput, (std::vector<int>{3}));
    EXPECT_EQ(ombra->GetWeightLayer(1), (std::vector<double>{0, 0.47, 1, 0, 0.55, 1}));
    EXPECT_EQ(ombra->GetWeightValue(2, 4, 7), 0.944344);
    EXPECT_EQ(ombra->GetWeightValue(3, 9, 2), 0.86986);
    EXPECT_EQ(ombra->GetWeightLayer(4), (std::vector<double>{0.08, 0.5, 0.93}));
    EXPECT_EQ(test::NetworkText(*network), text);
}

TEST(NetworkFileReader, LoadNetworkFileOpensByName) {
    FileTools tools;
    auto network = LoadNetworkFile(tools, DataFile("fan.wts"), std::make_unique<TKQstructure>());
    EXPECT_EQ(network->GetNetworkType(), "Ombra");
    EXPECT_THROW_TEXT(LoadNetworkFile(tools, DataFile("no-such-file.wts")), FileTools::OpenError,
                      "Error on File Open");
    try {
        LoadNetworkFile(tools, DataFile("malformed/layer-slot-empty.wts"));
        ADD_FAILURE() << "loaded";
    } catch (const FileTools::Error& e) {
        EXPECT_EQ(e.Message(), "Layer not defined");
        EXPECT_FALSE(e.HasStream());  // the file it was read from is closed
        EXPECT_EQ(dynamic_cast<const FileTools::OpenError*>(&e), nullptr);  // opened, then refused
    }
}

// --- Messages of the format ---

struct MessageCase {
    const char* what;
    std::string text;
    const char* message;
};

class NetworkFileMessages : public testing::TestWithParam<MessageCase> {};

TEST_P(NetworkFileMessages, FileEndsWithItsMessage) {
    EXPECT_THROW_TEXT(test::NetworkOf(GetParam().text), FileTools::Error, GetParam().message);
}

const std::string Matrix01 =
    "[ConnectionLayer] [LayerFrom = 0] [LayerTo = 1] [ConnectionType = Pruneable]\n"
    "[Matrix Weights] 1 2 [~Matrix] [~ConnectionLayer]\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, NetworkFileMessages,
    testing::Values(
        MessageCase{"no number of layers",
                    "[NeuralNetwork] [NetworkType = Basic] [NetworkInformation] "
                    "[InputLayer = 0] [~NetworkInformation] [~NeuralNetwork]",
                    "Must specify number of layers"},
        MessageCase{
            "open layer statement",
            TwoLayerFile("Basic", "",
                         "[LayerType = Simple] [NumberOfNeurons = 1] [~Layer] [Layer = 1 2]"),
            "Too complicated statement"},
        MessageCase{"unknown type", TwoLayerFile("Perceptron", ""), "Unknown network type"},
        MessageCase{"header value parsed before its key",
                    "[NeuralNetwork] [NetworkType = Basic] [NetworkInformation] "
                    "[Colour = red] [~NetworkInformation]",
                    "integer-expected"},
        MessageCase{"unknown header key",
                    "[NeuralNetwork] [NetworkType = Basic] [NetworkInformation] "
                    "[Colour = 3] [~NetworkInformation]",
                    "Unknown keyword"},
        MessageCase{"open header statement",
                    "[NeuralNetwork] [NetworkType = Basic] [NetworkInformation] "
                    "[NumberOfLayers = 2 extra] [~NetworkInformation]",
                    "Too complicated statement"},
        MessageCase{"neuron left out",
                    OneLayerFile("[LayerType = Gain] [NumberOfNeurons = 2] "
                                 "[All ActivationFunction=linear-gain] "
                                 "[Neurons] [Neuron=1 Gain=2] [~Neurons]"),
                    "Neuron not defined"},
        MessageCase{"neuron twice",
                    TwoLayerFile("Basic", "",
                                 std::string(GainOutput) +
                                     "[Neurons] [Neuron=0 Gain=2] [Neuron=0] [~Neurons]"),
                    "repeated neuron"},
        MessageCase{"gain layer without gain", TwoLayerFile("Basic", "", GainOutput),
                    "Incomplete Layer information"},
        MessageCase{"neuron without function in a layer without one",
                    "[NeuralNetwork] [NetworkType = Basic] [NetworkInformation] "
                    "[NumberOfLayers = 1] [InputLayer = 0] [~NetworkInformation]"
                    "[Layer = 0] [LayerType = Simple] [NumberOfNeurons = 1] "
                    "[Neurons] [Neuron=0] [~Neurons] [~Layer] [~NeuralNetwork]",
                    "No activation function defined"},
        MessageCase{"neuron item without equals",
                    TwoLayerFile("Basic", "",
                                 std::string(GainOutput) + "[Neurons] [Neuron=0 Gain] [~Neurons]"),
                    "Equals clause expected in neuron parameter"},
        MessageCase{"closed ALL", TwoLayerFile("Basic", "", std::string(GainOutput) + "[All]"),
                    "[ALL] is incomplete statment"},
        MessageCase{"ALL without statement",
                    TwoLayerFile("Basic", "", std::string(GainOutput) + "[All Gain]"),
                    "Required syntax is [ALL <keyword>=<val>]"},
        MessageCase{"open ALL statement",
                    TwoLayerFile("Basic", "", std::string(GainOutput) + "[All Gain=1 Gain=2]"),
                    "Too complicated statement"},
        MessageCase{"condition layer without its array",
                    "[NeuralNetwork] [NetworkType = Basic] [NetworkInformation] "
                    "[NumberOfLayers = 1] [InputLayer = 0] [~NetworkInformation]"
                    "[Layer = 0] [LayerType = FuzzyCondition] [NumberOfNeurons = 2] [~Layer]",
                    "membership array missing in condition layer"},
        MessageCase{"output layer without its array",
                    "[NeuralNetwork] [NetworkType = Basic] [NetworkInformation] "
                    "[NumberOfLayers = 1] [InputLayer = 0] [~NetworkInformation]"
                    "[Layer = 0] [LayerType = Defuzzify] [NumberOfNeurons = 1] [~Layer]",
                    "membership array missing in output layer"},
        MessageCase{"unknown layer type",
                    "[NeuralNetwork] [NetworkType = Basic] [NetworkInformation] "
                    "[NumberOfLayers = 1] [InputLayer = 0] [~NetworkInformation]"
                    "[Layer = 0] [LayerType = Round] [NumberOfNeurons = 1]",
                    "Unknown layer type"},
        MessageCase{"input size differs from header",
                    "[NeuralNetwork] [NetworkType = Basic] [NetworkInformation] "
                    "[NumberOfLayers = 2] [InputLayer = 0] [NumberOfInputs = 3] "
                    "[~NetworkInformation] [Layer = 0] [LayerType = Input] "
                    "[NumberOfNeurons = 2]",
                    "wrong number inputs in header"},
        MessageCase{"output size differs from header",
                    "[NeuralNetwork] [NetworkType = Basic] [NetworkInformation] "
                    "[NumberOfLayers = 2] [InputLayer = 0] [NumberOfOutputs = 3] "
                    "[~NetworkInformation] [Layer = 1] [LayerType = Simple] "
                    "[NumberOfNeurons = 2]",
                    "wrong number outputs in header"},
        MessageCase{"second set for one pair", TwoLayerFile("Basic", Matrix01 + Matrix01),
                    "Connections already defined"},
        MessageCase{"empty connection block",
                    TwoLayerFile("Basic", "[ConnectionLayer] [~ConnectionLayer]\n"),
                    "Insufficient information to construct layer"},
        MessageCase{"unknown set class",
                    TwoLayerFile("Basic",
                                 "[ConnectionLayer] [LayerFrom = 0] [LayerTo = 1] "
                                 "[ConnectionType = Sparse] [~ConnectionLayer]\n"),
                    "Insufficient information to construct layer"},
        MessageCase{"unknown connection key",
                    TwoLayerFile("Basic", "[ConnectionLayer] [Colour = 1] [~ConnectionLayer]\n"),
                    "Unknown keyword in connections"},
        MessageCase{"matrix attribute unknown",
                    TwoLayerFile("Basic",
                                 "[ConnectionLayer] [LayerFrom = 0] [LayerTo = 1] "
                                 "[ConnectionType = Pruneable] [Matrix Colours] [~Matrix]"),
                    "Unknown matrix attribute"},
        MessageCase{"matrix attribute not a word",
                    TwoLayerFile("Basic",
                                 "[ConnectionLayer] [LayerFrom = 0] [LayerTo = 1] "
                                 "[ConnectionType = Pruneable] [Matrix Weights=1] [~Matrix]"),
                    "Keyword expected in matrix parameter"},
        MessageCase{"matrix cut short",
                    TwoLayerFile("Basic",
                                 "[ConnectionLayer] [LayerFrom = 0] [LayerTo = 1] "
                                 "[ConnectionType = Pruneable] [Matrix Weights] 1 [~Matrix]"),
                    "Token Expected"},
        MessageCase{"matrix too long",
                    TwoLayerFile("Basic",
                                 "[ConnectionLayer] [LayerFrom = 0] [LayerTo = 1] "
                                 "[ConnectionType = Pruneable] [Matrix Weights] 1 2 3 [~Matrix]"),
                    "End Tag expected"},
        MessageCase{"weight list entry without TO",
                    TwoLayerFile("Basic",
                                 "[ConnectionLayer] [LayerFrom = 0] [LayerTo = 1] "
                                 "[ConnectionType = Pruneable] [WeightList] [From=0 Weight=1] "
                                 "[~WeightList] [~ConnectionLayer]\n"),
                    "Insufficient information in weights list"},
        MessageCase{"weight list with another key",
                    TwoLayerFile("Basic",
                                 "[ConnectionLayer] [LayerFrom = 0] [LayerTo = 1] "
                                 "[ConnectionType = Pruneable] [WeightList] [From=0 Size=1] "
                                 "[~WeightList] [~ConnectionLayer]\n"),
                    "Unknown keyword in weights list"},
        MessageCase{"text after the network", std::string(WorkedExample) + "[Extra]",
                    "End Tag expected"},
        MessageCase{"membership entry with another key",
                    "[NeuralNetwork] [NetworkType = Basic] [NetworkInformation] "
                    "[NumberOfLayers = 1] [InputLayer = 0] [~NetworkInformation]"
                    "[Layer = 0] [LayerType = FuzzyCondition] [NumberOfNeurons = 2] "
                    "[InputMF] [Output=0 MF=2] [~InputMF] [~Layer]",
                    "invalid tag in membership1"},
        MessageCase{"membership entry without MF",
                    "[NeuralNetwork] [NetworkType = Basic] [NetworkInformation] "
                    "[NumberOfLayers = 1] [InputLayer = 0] [~NetworkInformation]"
                    "[Layer = 0] [LayerType = FuzzyCondition] [NumberOfNeurons = 2] "
                    "[InputMF] [Input=0 Count=2] [~InputMF] [~Layer]",
                    "invalid tag in membership2"}),
    [](const testing::TestParamInfo<MessageCase>& info) {
        return "Case" + std::to_string(info.index);
    });

TEST(NetworkFileReader, UnknownWeightListWordIsPrintedFirst) {
    testing::internal::CaptureStdout();
    EXPECT_THROW_TEXT(
        test::NetworkOf(TwoLayerFile("Basic",
                                     "[ConnectionLayer] [LayerFrom = 0] [LayerTo = 1] "
                                     "[ConnectionType = Pruneable] [WeightList] "
                                     "[From=0 To=0 Frozen] [~WeightList]")),
        FileTools::Error, "Unknown keyword in weights list");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Frozen\n");
}

TEST(NetworkFileReader, PerNeuronValuesCarryOverToLaterNeurons) {
    auto network =
        test::NetworkOf(TwoLayerFile("Basic", "",
                                     "[LayerType = Gain] [NumberOfNeurons = 3] [Neurons]\n"
                                     "[Neuron=0 ActivationFunction=tanh-gain Gain=2]\n"
                                     "[Neuron=2 ActivationFunction=linear-gain Gain=4]\n"
                                     "[Neuron=1 ActivationFunction=sigmoid-gain] [~Neurons]\n"));
    auto* layer = dynamic_cast<TGainLayer*>(network->layers[1]);
    ASSERT_NE(layer, nullptr);
    // Neuron 1 came after neuron 2 in the file and takes over its gain.
    EXPECT_EQ(layer->nodes[0].gain, 2.0);
    EXPECT_EQ(layer->nodes[1].gain, 4.0);
    EXPECT_EQ(layer->nodes[2].gain, 4.0);
    EXPECT_EQ(layer->nodes[1].GetActivationFunction(), ActSigmoidGain);
    EXPECT_EQ(layer->nodes[2].GetActivationFunction(), ActLinearGain);
    EXPECT_EQ(layer->GetActivationFunction(), nullptr);
}

TEST(NetworkFileReader, LayerLevelFunctionWinsOverTheNeurons) {
    auto network = test::NetworkOf(TwoLayerFile(
        "Basic", "",
        std::string(GainOutput) + "[Neurons] [Neuron=0 ActivationFunction=tanh-gain Gain=3] "
                                  "[~Neurons]"));
    EXPECT_EQ(network->layers[1]->GetNeuron(0)->GetActivationFunction(), ActSigmoidGain);
    EXPECT_EQ(dynamic_cast<TGainLayer&>(*network->layers[1]).nodes[0].gain, 3.0);
}

TEST(NetworkFileReader, PruneableMatrixDashRemovesTheArc) {
    auto network =
        test::NetworkOf(TwoLayerFile("Basic",
                                     "[ConnectionLayer] [LayerFrom = 0] [LayerTo = 1] "
                                     "[ConnectionType = Pruneable] [Matrix Weights TrainableInfo] "
                                     "- - 0.5 F [~Matrix] [~ConnectionLayer]\n"));
    TBasicConnections* set = network->priv_conns_index[1][0];
    ASSERT_NE(dynamic_cast<TPrunedConnections*>(set), nullptr);
    EXPECT_FALSE(set->IsValid(0, 0));
    EXPECT_TRUE(set->IsValid(1, 0));
    EXPECT_FALSE(set->IsTrainable(1, 0));
    EXPECT_EQ(set->Weight(1, 0), 0.5);
}

TEST(NetworkFileReader, WeightListMarksLastOneCounts) {
    auto network = test::NetworkOf(TwoLayerFile("Basic",
                                                "[ConnectionLayer] [LayerFrom = 0] [LayerTo = 1] "
                                                "[ConnectionType = Pruneable] [WeightList]\n"
                                                "[Weight=0.5 To=0 From=1]\n"
                                                "[From=0 To=0 Trainable UnTrainable]\n"
                                                "[~WeightList] [~ConnectionLayer]\n"));
    TBasicConnections* set = network->priv_conns_index[1][0];
    EXPECT_TRUE(set->IsTrainable(1, 0));
    EXPECT_EQ(set->Weight(1, 0), 0.5);
    EXPECT_TRUE(set->IsValid(0, 0));
    EXPECT_FALSE(set->IsTrainable(0, 0));
    EXPECT_EQ(set->Weight(0, 0), 0.0);
}

TEST(NetworkFileReader, FullyConnectedSetRefusesUnsupportedArcOperations) {
    const std::string head =
        "[ConnectionLayer] [LayerFrom = 0] [LayerTo = 1] [ConnectionType = FullyConnected]";
    EXPECT_CHECK_FAILS(
        test::NetworkOf(TwoLayerFile("Basic", head + "[Matrix Weights] - 1 [~Matrix]")), "false");
    EXPECT_CHECK_FAILS(test::NetworkOf(TwoLayerFile(
                           "Basic", head + "[Matrix Weights TrainableInfo] 1 F 1 T [~Matrix]")),
                       "false");
    EXPECT_CHECK_FAILS(test::NetworkOf(TwoLayerFile(
                           "Basic", head + "[WeightList] [From=0 To=0 UnTrainable] [~WeightList]")),
                       "false");
}

TEST(NetworkFileReader, LayerGivenTwiceReplacesTheFirst) {
    auto network = test::NetworkOf(TwoLayerFile(
        "Basic", "",
        std::string(GainOutput) + "[All Gain=1] [~Layer] [Layer = 1] [LayerType = Simple] "
                                  "[NumberOfNeurons = 3] [All ActivationFunction=tanh]"));
    EXPECT_EQ(network->layers[1]->GetLayerType(), "Simple");
    EXPECT_EQ(network->layers[1]->numNeurons, 3);
}

}  // namespace
}  // namespace glean
