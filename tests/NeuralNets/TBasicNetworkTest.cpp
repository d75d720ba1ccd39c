#include "NeuralNets/TBasicNetwork.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TPrunedConnections.h"
#include "support/TestSupport.h"
#include "tests/NeuralNets/TestNetworks.h"

namespace glean {
namespace {

using test::MakeNetwork;
using test::NumberWeights;
using test::RecordingVisitor;

// ---------------------------------------------------------------------------------------------
// Frame and empty sets
// ---------------------------------------------------------------------------------------------

TEST(TBasicNetwork, InitGivesEmptyCellsEmptySlotsAndTheDefaultRegistry) {
    TBasicNetwork net(4);
    EXPECT_EQ(net.numLayers, 4);
    EXPECT_EQ(net.inLayer, 1);
    EXPECT_EQ(net.outLayer, 3);
    EXPECT_EQ(net.GetNumWeights(FMaskExists), 0);
    for (int to = 0; to < 4; ++to) {
        EXPECT_EQ(net.layers[to], nullptr);
        for (int from = 0; from < 4; ++from) {
            TBasicConnections* set = net.priv_conns_index[to][from];
            EXPECT_FALSE(set->IsConnected());
            EXPECT_EQ(set->GetConnectionsNType(), "Empty");
            EXPECT_EQ(set->fromLayer, from);
            EXPECT_EQ(set->toLayer, to);
            EXPECT_EQ(set->network, &net);
        }
    }
    EXPECT_EQ(net.functions->Lookup("sigmoid"), &ActSigmoid);
    EXPECT_EQ(net.GetNetworkType(), "Basic");
    EXPECT_CHECK_FIRES(net.NewInAllArcsIterator());  // a plain network has no arc iterator
}

// Every index of the network's tables and editing operations is checked just past each end;
// the last position inside is taken.
TEST(TBasicNetwork, IndexGuardsFireJustPastEveryBound) {
    TBasicNetwork net(3);
    EXPECT_EQ(net.layers[2], nullptr);
    EXPECT_EQ(net.priv_conns_index[2][2]->toLayer, 2);
    auto built = MakeNetwork({1, 2, 2, 1});
    built->Connect(1, 2);
    EXPECT_EQ(built->GetNeuron(5), built->layers[3]->GetNeuron(0));
    std::vector<double> output(1), fourWeights(4), threeWeights(3);
    built->GetWeights(fourWeights, FMaskExists);
    TBasicNetwork other(2);
    test::ExpectGuardsFire({
        {"no layers", [] { TBasicNetwork(0); }},
        {"layer past the last", [&] { net.layers[3]; }},
        {"layer before the first", [&] { net.layers[-1]; }},
        {"target layer past the last", [&] { net.priv_conns_index[3]; }},
        {"target layer before the first", [&] { net.priv_conns_index[-1]; }},
        {"source layer past the last", [&] { net.priv_conns_index[0][3]; }},
        {"source layer before the first", [&] { net.priv_conns_index[0][-1]; }},
        {"connecting to a layer past the last", [&] { net.Connect(0, 7); }},
        {"neuron before the first", [&] { built->GetNeuron(-1); }},
        {"neuron past the last", [&] { built->GetNeuron(6); }},
        {"a node into the input layer", [&] { built->InsertNode(1, 0, 0, 0, true); }},
        {"a node into the output layer", [&] { built->InsertNode(3, 0, 0, 0, true); }},
        {"a node into a layer past the last", [&] { built->InsertNode(4, 0, 0, 0, true); }},
        {"a node into a layer before the first", [&] { built->InsertNode(-1, 0, 0, 0, true); }},
        {"a node past the end of its layer", [&] { built->InsertNode(2, 3, 0, 0, true); }},
        {"a node before the start of its layer", [&] { built->InsertNode(2, -1, 0, 0, true); }},
        {"removing a node past the last", [&] { built->RemoveNode(2, 2); }},
        {"removing an input node", [&] { built->RemoveNode(1, 0); }},
        {"removing the input layer", [&] { built->RemoveLayer(1); }},
        {"removing the output layer", [&] { built->RemoveLayer(3); }},
        {"a layer inserted past the end",
         [&] { built->InsertLayer(5, std::make_unique<TSimpleLayer>(built.get(), 5, 1)); }},
        {"a weight buffer one short", [&] { built->GetWeights(threeWeights, FMaskExists); }},
        {"recall into no room",
         [&] {
             std::vector<double> none;
             MakeNetwork({0, 2, 1})->Recall(std::vector<double>{1, 2}, none);
         }},
        {"recall of one input short",
         [&] {
             MakeNetwork({0, 2, 1})->Recall(std::vector<double>{1}, output);
         }},
        {"a layer of another network",
         [&] { other.InstallLayer(0, std::make_unique<TSimpleLayer>(&net, 0, 1)); }},
        {"a layer installed at another position",
         [&] { other.InstallLayer(1, std::make_unique<TSimpleLayer>(&other, 0, 1)); }},
        {"a set of another network",
         [&] { other.InstallConnections(std::make_unique<TEmptyConnections>(&net, 0, 1)); }},
        {"a set to a layer past the last",
         [&] { other.InstallConnections(std::make_unique<TEmptyConnections>(&other, 0, 2)); }},
        {"fewer layer sizes than layers",
         [] {
             TConnectedNetwork(3, std::vector<int>{1, 2});
         }},
    });
}

TEST(TEmptyConnections, HasNoArcsAndRefusesArcEditing) {
    TBasicNetwork net(2);
    TBasicConnections* set = net.priv_conns_index[1][0];
    std::vector<double> buffer(4, 9.0);
    EXPECT_EQ(set->GetNumWeights(FMaskExists), 0);
    EXPECT_EQ(set->GetWeights(buffer, FMaskExists), 0);
    EXPECT_EQ(set->SetWeights(buffer, FMaskAll), 0);
    EXPECT_FALSE(set->IsValid(0, 0));
    EXPECT_FALSE(set->IsTrainable(0, 0));
    EXPECT_EQ(set->GetFlags(0, 0), FMaskAll);
    set->SetFlags(0, 0, FMaskExists);
    set->SetFlags(0, 0, FMaskAll);
    test::ExpectGuardsFire({
        {"flags other than all or none", [&] { set->SetFlags(0, 0, FMaskTrainable); }},
        {"a weight", [&] { set->Weight(0, 0); }},
        {"removing an arc", [&] { set->RemoveArc(0, 0); }},
        {"adding an arc", [&] { set->AddArc(0, 0); }},
        {"making an arc trainable", [&] { set->SetTrainable(0, 0); }},
        {"freezing an arc", [&] { set->SetUntrainable(0, 0); }},
    });
    RecordingVisitor v;
    set->ForAllArcs(v, FMaskExists);
    EXPECT_TRUE(v.arcs.empty());

    TBasicNetwork other(2);
    std::unique_ptr<TBasicConnections> copy = set->Clone(&other);
    EXPECT_EQ(copy->network, &other);
    EXPECT_EQ(copy->GetConnectionsNType(), "Empty");
    EXPECT_EQ(copy->fromLayer, 0);
    EXPECT_EQ(copy->toLayer, 1);
}

TEST(TBasicNetwork, ConnectKeepsAnExistingSetAndDisconnectEmptiesTheCell) {
    auto net = MakeNetwork({0, 2, 1});
    net->Connect(1, 2);
    TBasicConnections* set = net->priv_conns_index[2][1];
    EXPECT_EQ(set->GetConnectionsNType(), "Pruneable");
    set->Weight(1, 0) = 4.0;
    net->Connect(1, 2);
    EXPECT_EQ(net->priv_conns_index[2][1], set);
    EXPECT_EQ(set->Weight(1, 0), 4.0);

    net->Disconnect(1, 2);
    EXPECT_FALSE(net->priv_conns_index[2][1]->IsConnected());
    net->Connect(1, 2);
    EXPECT_EQ(net->priv_conns_index[2][1]->Weight(1, 0), 0.0);
    EXPECT_EQ(net->GetNumWeights(FMaskExists), 2);
}

// Layers 0 (1 neuron), 1 (input, 2), 2 (2), 3 (1) joined by a mix of set classes.
class MixedNetwork : public testing::Test {
protected:
    MixedNetwork() : net(MakeNetwork({1, 2, 2, 1})) {
        full = net->InstallConnections(std::make_unique<TConnectedConnections>(net.get(), 1, 2));
        net->Connect(0, 2);
        net->Connect(2, 3);
        pruned02 = net->priv_conns_index[2][0];
        pruned23 = net->priv_conns_index[3][2];
        NumberWeights(*full, 2, 2, 100.0);
        NumberWeights(*pruned02, 1, 2, 200.0);
        NumberWeights(*pruned23, 2, 1, 300.0);
        pruned23->SetUntrainable(1, 0);
    }
    std::unique_ptr<TBasicNetwork> net;
    TBasicConnections* full;
    TBasicConnections* pruned02;
    TBasicConnections* pruned23;
};

TEST_F(MixedNetwork, WholeNetworkWeightsRunFromLayerMajor) {
    const int n = net->GetNumWeights(FMaskExists);
    ASSERT_EQ(n, 8);
    std::vector<double> buffer(static_cast<std::size_t>(n));
    EXPECT_EQ(net->GetWeights(buffer, FMaskExists), 8);
    // from 0: 0->2 (target-major); from 1: 1->2 (source-major); from 2: 2->3 (target-major).
    EXPECT_EQ(buffer, (std::vector<double>{200, 201, 100, 101, 110, 111, 300, 310}));

    EXPECT_EQ(net->GetNumWeights(FMaskAll), 7);
    std::vector<double> trainable(7);
    EXPECT_EQ(net->GetWeights(trainable, FMaskAll), 7);
    EXPECT_EQ(trainable.back(), 300);
}

TEST_F(MixedNetwork, GetWeightsThenSetWeightsRoundTrips) {
    std::vector<double> buffer(8);
    net->GetWeights(buffer, FMaskExists);
    const std::vector<double> original = buffer;
    for (double& w : buffer)
        w = -w;
    EXPECT_EQ(net->SetWeights(buffer, FMaskExists), 8);
    EXPECT_EQ(full->Weight(0, 1), -101);
    EXPECT_EQ(pruned23->Weight(1, 0), -310);
    net->SetWeights(original, FMaskExists);
    std::vector<double> again(8);
    net->GetWeights(again, FMaskExists);
    EXPECT_EQ(again, original);
}

TEST_F(MixedNetwork, RandomizeDrawsSetBySetInWeightOrderAndSkipsFrozenArcs) {
    std::srand(11);
    net->Randomize(-2.0, 2.0);
    std::srand(11);
    auto draw = [] { return -2.0 + (std::rand() % 32767) / 32767.0 * 4.0; };
    EXPECT_EQ(pruned02->Weight(0, 0), draw());
    EXPECT_EQ(pruned02->Weight(0, 1), draw());
    EXPECT_EQ(full->Weight(0, 0), draw());
    EXPECT_EQ(full->Weight(1, 0), draw());
    EXPECT_EQ(full->Weight(0, 1), draw());
    EXPECT_EQ(full->Weight(1, 1), draw());
    EXPECT_EQ(pruned23->Weight(0, 0), draw());
    EXPECT_EQ(pruned23->Weight(1, 0), 310);
}

TEST_F(MixedNetwork, CopiesAreDeepAndBoundToThemselves) {
    TBasicNetwork copy(*net);
    EXPECT_EQ(copy.GetNumWeights(FMaskExists), 8);
    EXPECT_EQ(copy.priv_conns_index[3][2]->GetFlags(1, 0), FMaskExists);
    EXPECT_EQ(copy.priv_conns_index[2][1]->GetConnectionsNType(), "FullyConnected");
    EXPECT_EQ(copy.priv_conns_index[2][1]->network, &copy);
    EXPECT_EQ(copy.layers[2]->network, &copy);
    EXPECT_EQ(copy.layers[1]->GetLayerType(), "Input");
    full->Weight(0, 0) = -1;
    EXPECT_EQ(copy.priv_conns_index[2][1]->Weight(0, 0), 100);

    TBasicNetwork assigned(2);
    assigned = copy;
    EXPECT_EQ(assigned.numLayers, 4);
    EXPECT_EQ(assigned.priv_conns_index[2][0]->Weight(0, 1), 201);
    EXPECT_EQ(assigned.priv_conns_index[2][0]->network, &assigned);
    TBasicNetwork& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.priv_conns_index[2][0]->Weight(0, 1), 201);
}

TEST_F(MixedNetwork, VisitorsAgreeWithTheSetOperations) {
    TIterateObjGetNumWeights counter;
    pruned23->ForAllArcs(counter, FMaskAll);
    EXPECT_EQ(counter.count, pruned23->GetNumWeights(FMaskAll));

    net->layers[2]->values = {0.5, 2.0};
    TIterateObjAggregate aggregate;
    pruned23->ForAllInArcs(aggregate, 0, FMaskExists);
    EXPECT_EQ(aggregate.sum, 0.5 * 300 + 2.0 * 310);

    TIterateObjRandomize same(0.75, 0.75);
    std::srand(5);
    const int first = std::rand();
    std::srand(5);
    full->ForAllArcs(same, FMaskAll);
    EXPECT_EQ(std::rand(), first);
    EXPECT_EQ(full->Weight(1, 1), 0.75);
}

TEST_F(MixedNetwork, TwoNetworkVisitorsWalkTheSameArcsInStep) {
    TBasicNetwork copy(*net);
    copy.priv_conns_index[3][2]->Weight(0, 0) = -5;
    struct Differences : TIterateObj2 {
        using TIterateObj2::TIterateObj2;
        void Visit() override { diffs.push_back(*weight - *weight2); }
        std::vector<double> diffs;
    } v(*net, copy, 2, 3);
    pruned23->ForAllArcs2(v, copy, FMaskExists);
    EXPECT_EQ(v.diffs, (std::vector<double>{305, 0}));

    struct Sum3 : TIterateObj3 {
        using TIterateObj3::TIterateObj3;
        void Visit() override { total += *weight + *weight2 + *weight3; }
        double total = 0;
    } v3(*net, copy, copy, 2, 3);
    pruned23->ForAllArcs3(v3, copy, copy, FMaskAll);
    EXPECT_EQ(v3.total, 300 - 10);

    copy.Disconnect(2, 3);  // sets of different classes cannot be walked in step
    test::ExpectGuardsFire({
        {"two sets of different classes", [&] { Differences(*net, copy, 2, 3); }},
        {"three sets of different classes", [&] { Sum3(*net, *net, copy, 2, 3); }},
    });
}

// ---------------------------------------------------------------------------------------------
// Forward pass
// ---------------------------------------------------------------------------------------------

TEST(TBasicNetwork, RecallUsesOnlySetsFromLowerLayers) {
    auto net = MakeNetwork({0, 2, 1});
    net->Connect(1, 2);
    net->priv_conns_index[2][1]->Weight(0, 0) = 0.5;
    net->priv_conns_index[2][1]->Weight(1, 0) = -0.25;
    net->Connect(2, 1);  // backwards
    net->priv_conns_index[1][2]->Weight(0, 0) = 100;
    net->Connect(2, 2);  // onto itself
    net->priv_conns_index[2][2]->Weight(0, 0) = 100;

    const std::vector<double> input{2.0, 1.0};
    std::vector<double> output(1);
    testing::internal::CaptureStderr();
    net->Recall(input, output);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(output[0], 0.75);
    EXPECT_EQ(net->layers[1]->values, input);
}

TEST(TBasicNetwork, RecallNeedsEveryLayer) {
    TBasicNetwork net(2);
    net.InstallLayer(1, std::make_unique<TSimpleInputLayer>(&net, 1, 1));
    std::vector<double> io(1);
    EXPECT_CHECK_FIRES(net.Recall(io, io));
}

TEST(TSimpleLayer, AtTheInputPositionWarnsAndAddsLowerLayers) {
    TBasicNetwork net(3);
    auto bias = std::make_unique<TSimpleLayer>(&net, 0, 1);
    bias->SetActivationFunction(ActBias);
    net.InstallLayer(0, std::move(bias));
    auto in = std::make_unique<TSimpleLayer>(&net, 1, 2);
    in->SetActivationFunction(ActLinear);
    net.InstallLayer(1, std::move(in));
    auto out = std::make_unique<TSimpleInputLayer>(&net, 2, 1);
    net.InstallLayer(2, std::move(out));
    net.Connect(0, 1);
    net.priv_conns_index[1][0]->Weight(0, 1) = 10.0;

    std::vector<double> output(1, 7.0);
    testing::internal::CaptureStderr();
    net.Recall(std::vector<double>{1.0, 2.0}, output);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "!Warning: changed input layer (TSimpleLayer)\n"
              "!Warning: changed input layer (TSimpleInputLayer)\n");
    EXPECT_EQ(net.layers[1]->values, (std::vector<double>{1.0, 12.0}));
    EXPECT_EQ(output[0], 0.0);
}

TEST(TSimpleInputLayer, CopiesTheInputWhateverItsFunction) {
    auto net = MakeNetwork({0, 2, 1});
    net->layers[1]->SetActivationFunction(ActSigmoid);
    std::vector<double> output(1);
    net->layers[2]->SetActivationFunction(ActError);
    net->Disconnect(1, 2);
    net->layers[1]->Propagate(std::vector<double>{3.0, -4.0});
    EXPECT_EQ(net->layers[1]->values, (std::vector<double>{3.0, -4.0}));
    EXPECT_CHECK_FIRES(net->Recall(std::vector<double>{3.0, -4.0}, output));  // ActError
}

// ---------------------------------------------------------------------------------------------
// Neurons and layers
// ---------------------------------------------------------------------------------------------

TEST(TBasicLayer, ActivationFunctionRules) {
    TBasicNetwork net(2);
    TSimpleLayer layer(&net, 1, 3);
    EXPECT_EQ(layer.actFunction, nullptr);
    EXPECT_EQ(layer.GetActivationFunction(), &ActError);
    EXPECT_EQ(layer.actFunction, &ActError);

    layer.SetActivationFunction(ActTanh);
    EXPECT_EQ(layer.GetNeuron(2)->actFunction, &ActTanh);
    layer.GetNeuron(1)->SetActivationFunction(ActLinear);
    EXPECT_EQ(layer.actFunction, nullptr);
    EXPECT_EQ(layer.GetActivationFunction(), nullptr);

    layer.values = {1.0, 2.0, 3.0};
    layer.ActivateAll(layer.values);
    EXPECT_EQ(layer.values, (std::vector<double>{std::tanh(1.0), 2.0, std::tanh(3.0)}));

    TSimpleLayer empty(&net, 0, 0);
    EXPECT_EQ(empty.GetActivationFunction(), &ActNull);
    layer.GetNeuron(0)->actFunction = nullptr;
    EXPECT_CHECK_FIRES(layer.ActivateAll(layer.values));
}

// The guards of layers and neurons, just past each bound.
TEST(TBasicLayer, GuardsFireJustPastEveryBound) {
    TBasicNetwork net(2);
    TGainLayer layer(&net, 1, 3, 2.5);
    EXPECT_EQ(layer.GetNeuron(2)->index, 2);
    EXPECT_EQ(layer.GetNeuron(0)->GetParameterName(0), "Gain");
    TBasicNeuron plain;
    test::ExpectGuardsFire({
        {"a neuron past the last", [&] { layer.GetNeuron(3); }},
        {"a layer of fewer than 0 neurons", [&] { TSimpleLayer(&net, 0, -1); }},
        {"deleting a neuron past the last", [&] { layer.DeleteNeuron(3); }},
        {"inserting a neuron past the end", [&] { layer.InsertNeuron(4); }},
        {"a gain neuron's second parameter", [&] { layer.GetNeuron(0)->GetParameterName(1); }},
        {"a parameter of a neuron that has none", [&] { plain.GetParameterName(0); }},
    });
    layer.InsertNeuron(3);  // at the end
    layer.DeleteNeuron(3);
    EXPECT_EQ(layer.numNeurons, 3);
}

TEST(TBasicLayer, NeuronsKnowTheirLayerAndSlot) {
    TBasicNetwork net(2);
    TGainLayer layer(&net, 1, 2, 2.5);
    auto* neuron = static_cast<TGainNeuron*>(layer.GetNeuron(1));
    EXPECT_EQ(neuron->layer, &layer);
    EXPECT_EQ(neuron->value, &layer.values[1]);
    EXPECT_EQ(neuron->layerNum, 1);
    EXPECT_EQ(neuron->index, 1);
    EXPECT_EQ(neuron->gain, 2.5);
    EXPECT_EQ(layer.GetLayerType(), "Gain");

    EXPECT_EQ(neuron->GetNumParameters(), 1);
    EXPECT_EQ(neuron->GetParameterName(0), "Gain");
    const double in[] = {4.0};
    neuron->SetParameters(in);
    double out[1] = {0.0};
    neuron->GetParameters(out);
    EXPECT_EQ(out[0], 4.0);

    TBasicNeuron plain;
    EXPECT_EQ(plain.GetNumParameters(), 0);
    EXPECT_EQ(plain.actFunction, &ActError);
}

TEST(TBasicLayer, InsertAndDeleteNeuronsMoveContents) {
    TBasicNetwork net(2);
    TGainLayer gain(&net, 1, 3, 2.5);
    gain.GetNeuron(1)->SetActivationFunction(ActTanh);
    static_cast<TGainNeuron*>(gain.GetNeuron(2))->gain = 7.0;
    gain.InsertNeuron(0);
    ASSERT_EQ(gain.numNeurons, 4);
    EXPECT_EQ(gain.values.size(), 4u);
    EXPECT_EQ(gain.nodes[0].gain, 2.5);
    EXPECT_EQ(gain.nodes[0].actFunction, &ActError);
    EXPECT_EQ(gain.nodes[2].actFunction, &ActTanh);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(gain.nodes[i].value, &gain.values[i]);
        EXPECT_EQ(gain.nodes[i].index, static_cast<int>(i));
    }

    gain.DeleteNeuron(2);  // the tanh neuron; the gain-7 neuron takes its place
    ASSERT_EQ(gain.numNeurons, 3);
    EXPECT_EQ(gain.nodes[2].gain, 7.0);
    EXPECT_EQ(gain.nodes[2].actFunction, &ActError);
    EXPECT_EQ(gain.nodes[2].value, &gain.values[2]);

    TSimpleLayer simple(&net, 0, 0);
    simple.SetActivationFunction(ActSigmoid);
    simple.InsertNeuron(0);
    EXPECT_EQ(simple.nodes[0].actFunction, &ActSigmoid);
    TGainLayer emptyGain(&net, 0, 0, 3.0);
    emptyGain.InsertNeuron(0);
    EXPECT_EQ(emptyGain.nodes[0].gain, 1.0);
}

TEST(TBasicLayer, CloneCopiesNeuronsFunctionsAndDimensions) {
    TBasicNetwork net(2);
    TBasicNetwork other(2);
    TGainLayer layer(&net, 1, 2, 1.0);
    layer.SetActivationFunction(ActSigmoidGain);
    static_cast<TGainNeuron*>(layer.GetNeuron(1))->gain = 3.0;
    const int dims[] = {4, 5};
    layer.SetDimensions(dims);
    layer.values = {8.0, 9.0};

    std::unique_ptr<TBasicLayer> copy = layer.Clone(&other);
    auto* gainCopy = dynamic_cast<TGainLayer*>(copy.get());
    ASSERT_NE(gainCopy, nullptr);
    EXPECT_EQ(copy->network, &other);
    EXPECT_EQ(copy->actFunction, &ActSigmoidGain);
    EXPECT_EQ(copy->GetDimensions(), (std::vector<int>{4, 5}));
    EXPECT_EQ(copy->values, (std::vector<double>{0.0, 0.0}));
    EXPECT_EQ(gainCopy->nodes[1].gain, 3.0);
    EXPECT_EQ(gainCopy->nodes[1].layer, copy.get());
    EXPECT_EQ(gainCopy->nodes[1].value, &copy->values[1]);

    TSimpleInputLayer input(&net, 1, 1);
    EXPECT_EQ(input.Clone(&other)->GetLayerType(), "Input");
    EXPECT_EQ(TSimpleLayer(&net, 0, 0).GetLayerCode(), 1);
}

// ---------------------------------------------------------------------------------------------
// Structural editing
// ---------------------------------------------------------------------------------------------

TEST(TBasicNetwork, GetNeuronCountsLayersInOrder) {
    auto net = MakeNetwork({1, 2, 3});
    EXPECT_EQ(net->GetNumNeurons(), 6);
    EXPECT_EQ(net->GetNeuron(0), net->layers[0]->GetNeuron(0));
    EXPECT_EQ(net->GetNeuron(2), net->layers[1]->GetNeuron(1));
    EXPECT_EQ(net->GetNeuron(5), net->layers[2]->GetNeuron(2));
}

TEST(TBasicNetwork, NodeEditingAtTheEndsOfAHiddenLayer) {
    auto net = MakeNetwork({0, 2, 2, 1});
    net->InsertNode(2, 2, 0, 0, true);  // after the last
    net->RemoveNode(2, 2);
    net->InsertNode(2, 0, 0, 0, true);
    net->RemoveNode(2, 0);
    EXPECT_EQ(net->layers[2]->numNeurons, 2);
}

TEST(TBasicNetwork, PruneNodesRemovesHiddenNeuronsWithoutOutArcs) {
    auto net = MakeNetwork({0, 2, 3, 2});
    net->Connect(1, 2);
    net->Connect(2, 3);
    NumberWeights(*net->priv_conns_index[3][2], 3, 2, 1.0);
    EXPECT_EQ(net->PruneNodes(), 0);
    EXPECT_EQ(net->layers[2]->numNeurons, 3);

    TBasicConnections* out = net->priv_conns_index[3][2];
    out->RemoveArc(1, 0);
    out->RemoveArc(1, 1);
    EXPECT_EQ(net->PruneNodes(), 1);
    EXPECT_EQ(net->layers[2]->numNeurons, 2);
    EXPECT_EQ(out->Weight(1, 1), 22);  // old neuron 2
    EXPECT_EQ(net->priv_conns_index[2][1]->GetNumWeights(FMaskExists), 4);
}

TEST(TBasicNetwork, InsertLayerShiftsLayersSetsAndTheInputAndOutputPositions) {
    auto net = MakeNetwork({1, 2, 1});
    net->Connect(1, 2);
    net->priv_conns_index[2][1]->Weight(1, 0) = 5.0;
    net->InsertLayer(0, std::make_unique<TSimpleLayer>(net.get(), 0, 4));
    EXPECT_EQ(net->numLayers, 4);
    EXPECT_EQ(net->inLayer, 2);
    EXPECT_EQ(net->outLayer, 3);
    EXPECT_EQ(net->layers[0]->numNeurons, 4);
    EXPECT_EQ(net->layers[2]->GetLayerType(), "Input");
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(net->layers[i]->layerNum, i);
    EXPECT_EQ(net->layers[3]->GetNeuron(0)->layerNum, 3);
    TBasicConnections* moved = net->priv_conns_index[3][2];
    EXPECT_EQ(moved->Weight(1, 0), 5.0);
    EXPECT_EQ(moved->fromLayer, 2);
    EXPECT_EQ(moved->toLayer, 3);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(net->priv_conns_index[i][0]->IsConnected());
        EXPECT_FALSE(net->priv_conns_index[0][i]->IsConnected());
        EXPECT_EQ(net->priv_conns_index[0][i]->fromLayer, i);
    }

    net->InsertLayer(4, std::make_unique<TSimpleLayer>(net.get(), 4, 1));  // after the output
    EXPECT_EQ(net->outLayer, 3);
    net->InsertLayer(3, std::make_unique<TSimpleLayer>(net.get(), 3, 2));  // at the output
    EXPECT_EQ(net->outLayer, 4);
    EXPECT_EQ(net->priv_conns_index[4][2]->Weight(1, 0), 5.0);
}

TEST(TBasicNetwork, RemoveLayerClosesTheGap) {
    auto net = MakeNetwork({1, 2, 3, 1});
    net->Connect(1, 2);
    net->Connect(2, 3);
    net->Connect(1, 3);
    net->priv_conns_index[3][1]->Weight(1, 0) = 6.0;
    net->RemoveLayer(2);
    EXPECT_EQ(net->numLayers, 3);
    EXPECT_EQ(net->outLayer, 2);
    EXPECT_EQ(net->inLayer, 1);
    EXPECT_EQ(net->layers[2]->layerNum, 2);
    EXPECT_EQ(net->priv_conns_index[2][1]->Weight(1, 0), 6.0);
    EXPECT_EQ(net->GetNumWeights(FMaskExists), 2);

    net->RemoveLayer(0);
    EXPECT_EQ(net->inLayer, 0);
    EXPECT_EQ(net->outLayer, 1);
    EXPECT_EQ(net->priv_conns_index[1][0]->fromLayer, 0);
    EXPECT_EQ(net->priv_conns_index[1][0]->Weight(1, 0), 6.0);
}

// A layer that counts its destructions.
struct CountedLayer : TSimpleLayer {
    using TSimpleLayer::TSimpleLayer;
    ~CountedLayer() override { ++destroyed; }
    static inline int destroyed = 0;
};

TEST(TBasicNetwork, InstalledObjectsAreReplacedAndDestroyedOnce) {
    CountedLayer::destroyed = 0;
    {
        TBasicNetwork net(2);
        net.InstallLayer(0, std::make_unique<CountedLayer>(&net, 0, 1));
        net.InstallLayer(0, std::make_unique<CountedLayer>(&net, 0, 2));
        EXPECT_EQ(CountedLayer::destroyed, 1);
        EXPECT_EQ(net.layers[0]->numNeurons, 2);
        net.InstallLayer(1, std::make_unique<CountedLayer>(&net, 1, 1));
        net.InsertLayer(1, std::make_unique<CountedLayer>(&net, 1, 1));
        net.outLayer = 2;
        net.RemoveLayer(1);
        EXPECT_EQ(CountedLayer::destroyed, 2);
    }
    EXPECT_EQ(CountedLayer::destroyed, 4);
}

// ---------------------------------------------------------------------------------------------
// Arc iterators and the connected network
// ---------------------------------------------------------------------------------------------

TEST(TConnectedNetwork, BuildsLayersAndJoinsThemFully) {
    TConnectedNetwork net(3, std::vector<int>{1, 2, 3});
    EXPECT_EQ(net.GetNetworkType(), "Connected");
    EXPECT_EQ(net.layers[1]->GetLayerType(), "Input");
    EXPECT_EQ(net.layers[1]->actFunction, &ActLinear);
    EXPECT_EQ(net.layers[2]->GetLayerType(), "Simple");
    EXPECT_EQ(net.layers[2]->numNeurons, 3);
    EXPECT_EQ(net.GetNumWeights(FMaskExists), 0);

    net.Connect(1, 2);
    TBasicConnections* set = net.priv_conns_index[2][1];
    EXPECT_EQ(set->GetConnectionsNType(), "FullyConnected");
    EXPECT_EQ(set->Weight(1, 2), 0.0);
    set->Weight(1, 2) = 3.0;
    net.Connect(1, 2);
    EXPECT_EQ(net.priv_conns_index[2][1]->Weight(1, 2), 3.0);
}

// Layers 0 (bias, 1), 1 (input, 2), 2 (empty), 3 (2) with sets 0->3, 1->3, 2->3 and 3->3.
class Iterators : public testing::Test {
protected:
    Iterators() : net(4, std::vector<int>{1, 2, 0, 2}) {
        net.Connect(0, 3);
        net.Connect(1, 3);
        net.Connect(2, 3);
        net.Connect(3, 3);
        NumberWeights(*net.priv_conns_index[3][0], 1, 2, 100.0);
        NumberWeights(*net.priv_conns_index[3][1], 2, 2, 200.0);
        NumberWeights(*net.priv_conns_index[3][3], 2, 2, 300.0);
    }
    TConnectedNetwork net;
};

TEST_F(Iterators, AllLayersWalksEveryConnectedNonEmptySourceBothWays) {
    std::unique_ptr<TArcsIterator> owned = net.NewInAllArcsIterator();
    auto& it = dynamic_cast<TConnInAllArcsIterator&>(*owned);
    it.Start(3, 1);
    EXPECT_FALSE(it.HasArc());
    std::vector<double> forward;
    while (it.Next()) {
        EXPECT_EQ(it.GetToLayer(), 3);
        EXPECT_EQ(it.GetToNode(), 1);
        EXPECT_EQ(it.GetFromNeuron(), net.layers[it.GetFromLayer()]->GetNeuron(it.GetFromNode()));
        forward.push_back(*it.GetWeight());
    }
    EXPECT_EQ(forward, (std::vector<double>{101, 201, 211, 301, 311}));
    EXPECT_FALSE(it.More());
    EXPECT_EQ(it.GetWeight(), nullptr);
    ASSERT_TRUE(it.Previous());  // back from beyond the end to the last arc
    EXPECT_EQ(*it.GetWeight(), 311);

    it.Start(*net.layers[3]->GetNeuron(0));
    ASSERT_TRUE(it.Next());
    EXPECT_EQ(*it.GetWeight(), 100);
    ASSERT_TRUE(it.Next());
    ASSERT_TRUE(it.Next());  // layer 1, node 1
    EXPECT_EQ(*it.GetWeight(), 210);
    std::vector<double> backward;
    while (it.Previous())
        backward.push_back(*it.GetWeight());
    EXPECT_EQ(backward, (std::vector<double>{200, 100}));
    EXPECT_EQ(it.GetToNeuron(), net.layers[3]->GetNeuron(0));
}

TEST_F(Iterators, AllLayersIteratorOnAnInputNeuronFindsNothing) {
    TConnInAllArcsIterator it(net);
    it.Start(1, 0);
    EXPECT_FALSE(it.Next());
    EXPECT_FALSE(it.HasArc());
    EXPECT_CHECK_FIRES(it.Start(3, 2));  // layer 3 has neurons 0 and 1
}

TEST_F(Iterators, SingleLayerWalksOneSource) {
    TConnInLayerArcsIterator it(net);
    it.Start(3, 1, 1);
    EXPECT_TRUE(it.HasArc());
    EXPECT_FALSE(it.Previous());
    std::vector<double> weights;
    while (it.Next())
        weights.push_back(*it.GetWeight());
    EXPECT_EQ(weights, (std::vector<double>{201, 211}));
    EXPECT_TRUE(it.Previous());
    EXPECT_EQ(it.GetFromNode(), 0);
    EXPECT_EQ(it.fromValues.data(), net.layers[1]->values.data());

    it.Start(*net.layers[3]->GetNeuron(1));
    EXPECT_EQ(it.GetFromLayer(), 0);
    ASSERT_TRUE(it.Next());
    EXPECT_EQ(*it.GetWeight(), 101);
    EXPECT_FALSE(it.Next());
}

}  // namespace
}  // namespace glean
