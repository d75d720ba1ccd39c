#include "Ombra/TOmbra.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "NeuralNets/TPrunedConnections.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

using Counts = std::vector<int>;

TEST(TOmbra, SmallestNetworkHasTheDocumentedShape) {
    TOmbra net(1, Counts{2}, 1, Counts{2}, 1);
    EXPECT_EQ(net.GetNetworkType(), "Ombra");
    EXPECT_EQ(net.numLayers, 6);
    EXPECT_EQ(net.inLayer, 1);
    EXPECT_EQ(net.outLayer, 5);
    const char* types[] = {"Simple", "Input", "FuzzyCondition", "Simple", "Simple", "Defuzzify"};
    const int sizes[] = {0, 1, 2, 1, 2, 1};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(net.layers[i]->GetLayerType(), types[i]);
        EXPECT_EQ(net.layers[i]->numNeurons, sizes[i]);
    }
    EXPECT_EQ(net.layers[1]->GetActivationFunction(), &ActLinear);
    EXPECT_EQ(net.layers[2]->GetActivationFunction(), &ActOmbraCondition);
    EXPECT_EQ(net.layers[3]->GetActivationFunction(), &ActSigmoid);
    EXPECT_EQ(net.layers[4]->GetActivationFunction(), &ActSigmoid);
    EXPECT_EQ(net.layers[5]->GetActivationFunction(), &ActCog);
    EXPECT_EQ(net.priv_conns_index[3][2]->GetConnectionsNType(), "Pruneable");
    EXPECT_EQ(net.priv_conns_index[4][3]->GetConnectionsNType(), "Pruneable");
    int joined = 0;
    for (int to = 0; to < 6; ++to) {
        for (int from = 0; from < 6; ++from)
            joined += net.priv_conns_index[to][from]->IsConnected();
    }
    EXPECT_EQ(joined, 4);
    EXPECT_EQ(net.GetWeightLayer(1), (std::vector<double>{0, 1}));
    EXPECT_EQ(net.GetWeightLayer(4), (std::vector<double>{0, 1}));
    EXPECT_EQ(net.StructureProblem(), "");

    TBasicConnections* conditionSet = net.priv_conns_index[2][1];
    net.Connect(1, 2);
    EXPECT_EQ(net.priv_conns_index[2][1], conditionSet);
    EXPECT_EQ(net.priv_conns_index[5][4]->GetConnectionsNType(), "ToOutputConnections");
    net.Connect(0, 3);
    EXPECT_EQ(net.priv_conns_index[3][0]->GetConnectionsNType(), "Pruneable");
}

// Whatever a recall of these networks meets, the defuzzify layer's check would stop the run.
TEST(TOmbra, RecallProblemsOfWhatAFileCanHold) {
    static constexpr double kMax = 1.7976931348623157e308;
    const struct {
        const char* Name;
        void (*Damage)(TOmbra&);
        const char* Problem;
    } rows[] = {
        {"as made", [](TOmbra&) {}, ""},
        {"output centres on the bounds",
         [](TOmbra& n) {
             n.SetWeightLayer(4, std::vector<double>{0, 1, 0, 0.5, 1});
         },
         ""},
        {"an output centre just above 1",
         [](TOmbra& n) {
             n.SetWeightLayer(4, std::vector<double>{0, 1, 0, 0.5, std::nextafter(1.0, 2.0)});
         },
         "output centre 4 is 1.0000000000000002, outside [0, 1]"},
        {"an output centre of 10",
         [](TOmbra& n) {
             n.SetWeightLayer(4, std::vector<double>{0, 10, 0, 0.5, 1});
         },
         "output centre 1 is 10, outside [0, 1]"},
        {"an output centre below 0",
         [](TOmbra& n) {
             n.SetWeightLayer(4, std::vector<double>{-1e-300, 1, 0, 0.5, 1});
         },
         "output centre 0 is -1e-300, outside [0, 1]"},
        {"an output centre not a number",
         [](TOmbra& n) {
             n.SetWeightLayer(4, std::vector<double>{0, 1, 0, NAN, 1});
         },
         "output centre 3 is nan, outside [0, 1]"},
        {"input centres of the same input far apart",
         [](TOmbra& n) {
             n.SetWeightLayer(1, std::vector<double>{0, 0.5, 1, -kMax, kMax});
         },
         "input centres 3 and 4 lie too far apart"},
        {"input centres of two inputs far apart",
         [](TOmbra& n) {
             n.SetWeightLayer(1, std::vector<double>{0, 0.5, kMax, -kMax, 0});
         },
         ""},
        {"an input centre infinite",
         [](TOmbra& n) {
             n.SetWeightLayer(1, std::vector<double>{0, 0.5, INFINITY, 0, 1});
         },
         "input centre 2 is not a finite number"},
        {"a condition weight infinite", [](TOmbra& n) { n.SetWeightValue(2, 4, 1, -INFINITY); },
         "a condition-to-rule weight is not a finite number"},
        {"an action weight not a number", [](TOmbra& n) { n.SetWeightValue(3, 0, 2, NAN); },
         "a rule-to-action weight is not a finite number"},
        {"the largest finite weights",
         [](TOmbra& n) {
             n.SetWeightValue(3, 0, 2, -kMax);
             n.SetWeightValue(2, 0, 0, kMax);
         },
         ""},
        {"actions that may be negative",
         [](TOmbra& n) { n.layers[4]->SetActivationFunction(&ActTanh); },
         "layer 4 uses the activation function tanh, not sigmoid"},
        {"one rule of another function",
         [](TOmbra& n) { n.layers[3]->GetNeuron(1)->actFunction = &ActCog; },
         "layer 3 uses the activation function cog, not sigmoid"},
        {"inputs that stop the recall",
         [](TOmbra& n) { n.layers[1]->SetActivationFunction(&ActError); },
         "layer 1 uses the activation function error, not linear"},
    };
    for (const auto& row : rows) {
        TOmbra net(2, Counts{3, 2}, 2, Counts{2, 3}, 2);
        row.Damage(net);
        EXPECT_EQ(net.RecallProblem(), row.Problem) << row.Name;
    }
}

TEST(TOmbra, ConstructorRejectsSmallMFCountsInputsFirst) {
    EXPECT_TEXCEPTION(TOmbra(2, Counts{3, 1}, 2, Counts{2}, 1), "Must be >= 2 MF per input",
                      "Bad Parameter", "TOmbra::TOmbra");
    EXPECT_TEXCEPTION(TOmbra(1, Counts{2}, 2, Counts{2, 1}, 2), "Must be >= 2 MF per output",
                      "Bad Parameter", "TOmbra::TOmbra");
    EXPECT_TEXCEPTION(TOmbra(1, Counts{1}, 2, Counts{0}, 1), "Must be >= 2 MF per input",
                      "Bad Parameter", "TOmbra::TOmbra");
    EXPECT_CHECK_FIRES(TOmbra(2, Counts{2}, 1, Counts{2}, 1));
}

// Two inputs (3 and 2 MFs), 2 rules, two outputs (2 and 3 MFs).
class Network : public testing::Test {
protected:
    Network() : net(2, Counts{3, 2}, 2, Counts{2, 3}, 2) {
        for (int c = 0; c < 5; ++c) {
            for (int r = 0; r < 2; ++r)
                rules().Weight(c, r) = 10.0 * c + r;
        }
        for (int r = 0; r < 2; ++r) {
            for (int a = 0; a < 5; ++a)
                actions().Weight(r, a) = 100.0 + 10.0 * r + a;
        }
    }
    TBasicConnections& rules() { return *net.priv_conns_index[3][2]; }
    TBasicConnections& actions() { return *net.priv_conns_index[4][3]; }
    TOmbra net;
};

TEST_F(Network, WeightLayersComeInTheirDocumentedOrders) {
    EXPECT_EQ(net.GetWeightLayer(1), (std::vector<double>{0, 0.5, 1, 0, 1}));
    EXPECT_EQ(net.GetWeightLayer(2), (std::vector<double>{0, 1, 10, 11, 20, 21, 30, 31, 40, 41}));
    EXPECT_EQ(net.GetWeightLayer(3),
              (std::vector<double>{100, 101, 102, 103, 104, 110, 111, 112, 113, 114}));
    EXPECT_EQ(net.GetWeightLayer(4), (std::vector<double>{0, 1, 0, 0.5, 1}));

    TOmbra small(1, Counts{3}, 2, Counts{2}, 1);
    small.priv_conns_index[3][2]->Weight(0, 1) = 7;
    const std::vector<double> layer2 = small.GetWeightLayer(2);
    ASSERT_EQ(layer2.size(), 6u);
    EXPECT_EQ(layer2[1], 7);
}

TEST_F(Network, SetWeightLayerWritesInTheSameOrder) {
    for (int layer = 1; layer <= 4; ++layer) {
        std::vector<double> values = net.GetWeightLayer(layer);
        for (std::size_t k = 0; k < values.size(); ++k)
            values[k] = 0.01 * static_cast<double>(k + 1);
        net.SetWeightLayer(layer, values);
        EXPECT_EQ(net.GetWeightLayer(layer), values) << "weight layer " << layer;
    }
    EXPECT_EQ(net.GetWeightValue(1, 1, 3), 0.04);
    EXPECT_EQ(net.GetWeightValue(2, 0, 1), 0.02);
    EXPECT_EQ(net.GetWeightValue(3, 1, 0), 0.06);
    EXPECT_EQ(net.GetWeightValue(4, 2, 1), 0.03);
    EXPECT_CHECK_FIRES(net.SetWeightLayer(2, std::vector<double>(9)));
    EXPECT_EQ(net.GetWeightValue(2, 0, 0), 0.01);
}

TEST_F(Network, SingleWeightsAreAddressedByTheirNeuronPair) {
    EXPECT_EQ(net.GetWeightValue(1, 0, 1), 0.5);
    EXPECT_EQ(net.GetWeightValue(2, 3, 1), 31);
    EXPECT_EQ(net.GetWeightValue(3, 1, 4), 114);
    EXPECT_EQ(net.GetWeightValue(4, 3, 1), 0.5);
    net.SetWeightValue(1, 1, 4, 0.9);
    EXPECT_EQ(net.ConditionLayer().Condition(4).centre, 0.9);
    net.SetWeightValue(4, 0, 0, 0.1);
    EXPECT_EQ(net.OutputSet().Centres()[0], 0.1);
    net.SetWeightValue(3, 0, 2, -1);
    EXPECT_EQ(actions().Weight(0, 2), -1);
}

TEST_F(Network, EveryFailureOfTheWeightAccessTable) {
    const char* kind = "Bad Parameter";
    EXPECT_TEXCEPTION(net.GetWeightValue(1, 0, 3), "Invalid weight number", kind,
                      "TOmbra::GetWeightValue");
    EXPECT_TEXCEPTION(net.GetWeightValue(1, 0, 5), "Invalid weight number", kind,
                      "TOmbra::GetWeightValue");
    EXPECT_TEXCEPTION(net.GetWeightValue(4, 2, 0), "Invalid weight number", kind,
                      "TOmbra::GetWeightValue");
    EXPECT_TEXCEPTION(net.GetWeightValue(4, 0, 2), "Invalid weight number", kind,
                      "TOmbra::GetWeightValue");
    EXPECT_TEXCEPTION(net.GetWeightValue(5, 0, 0), "Invalid weight layer", kind,
                      "TOmbra::GetWeightValue");
    EXPECT_TEXCEPTION(net.GetWeightValue(0, 0, 0), "Invalid weight layer", kind,
                      "TOmbra::GetWeightValue");
    EXPECT_TEXCEPTION(net.SetWeightValue(1, 1, 0, 0.3), "Invalid weight number", kind,
                      "TOmbra::SetWeightValue");
    EXPECT_TEXCEPTION(net.SetWeightValue(4, 5, 1, 0.3), "Invalid weight number", kind,
                      "TOmbra::SetWeightValue");
    EXPECT_TEXCEPTION(net.SetWeightValue(-1, 0, 0, 0.3), "Invalid weight layer", kind,
                      "TOmbra::SetWeightValue");
    EXPECT_TEXCEPTION(net.GetWeightLayer(5), "Invalid weight layer", kind,
                      "TOmbra::GetWeightLayer");
    EXPECT_TEXCEPTION(net.SetWeightLayer(0, std::vector<double>{}), "Invalid weight layer", kind,
                      "TOmbra::SetWeightLayer");
    EXPECT_TEXCEPTION(net.FreezeWeight(5, 0, 0), "Invalid weight layer", kind,
                      "TOmbra::FreezeWeight");
    EXPECT_TEXCEPTION(net.UnfreezeWeight(0, 0, 0), "Invalid weight layer", kind,
                      "TOmbra::UnfreezeWeight");
    EXPECT_TEXCEPTION(net.WeightExists(1, 2, 0), "Invalid node number", kind,
                      "TOmbra::WeightExists");
    EXPECT_TEXCEPTION(net.WeightExists(2, 0, 2), "Invalid node number", kind,
                      "TOmbra::WeightExists");
    EXPECT_TEXCEPTION(net.WeightExists(3, -1, 0), "Invalid node number", kind,
                      "TOmbra::WeightExists");
    EXPECT_TEXCEPTION(net.WeightExists(4, 5, 0), "Invalid node number", kind,
                      "TOmbra::WeightExists");
    EXPECT_TEXCEPTION(net.WeightExists(0, 0, 0), "Invalid weight layer", kind,
                      "TOmbra::WeightExists");
    EXPECT_TEXCEPTION(net.GetActivationValue(6, 0), "Invalid node layer", kind,
                      "TOmbra::GetActivationValue");
    EXPECT_TEXCEPTION(net.GetActivationValue(-1, 0), "Invalid node layer", kind,
                      "TOmbra::GetActivationValue");
    // The failed writes changed nothing.
    EXPECT_EQ(net.GetWeightLayer(1), (std::vector<double>{0, 0.5, 1, 0, 1}));
    EXPECT_EQ(net.GetWeightLayer(4), (std::vector<double>{0, 1, 0, 0.5, 1}));
}

TEST_F(Network, IndicesOutsideTheMatricesFailChecksInsteadOfReadingAnywhere) {
    net.GetWeightValue(2, 4, 0);  // the last condition
    net.GetActivationValue(2, 4);
    net.InitialiseWeights(0.5, 0.5);  // an empty range is one value
    test::ExpectGuardsFire({
        {"a condition past the last", [&] { net.GetWeightValue(2, 5, 0); }},
        {"an action past the last", [&] { net.GetWeightValue(3, 0, 5); }},
        {"a condition before the first", [&] { net.SetWeightValue(2, -1, 0, 1.0); }},
        {"the activation of a condition past the last", [&] { net.GetActivationValue(2, 5); }},
        {"freezing the centre of a condition past the last", [&] { net.FreezeWeight(1, 5, 0); }},
        {"freezing the centre of an action past the last", [&] { net.FreezeWeight(4, 5, 0); }},
        {"a range whose minimum exceeds its maximum", [&] { net.InitialiseWeights(1.0, 0.5); }},
    });
}

TEST_F(Network, WeightExistsFollowsTheArcs) {
    EXPECT_TRUE(net.WeightExists(1, 1, 3));
    EXPECT_FALSE(net.WeightExists(1, 0, 3));
    EXPECT_TRUE(net.WeightExists(2, 4, 1));
    rules().RemoveArc(4, 1);
    EXPECT_FALSE(net.WeightExists(2, 4, 1));
    EXPECT_TRUE(net.WeightExists(3, 1, 4));
    EXPECT_TRUE(net.WeightExists(4, 4, 1));
    EXPECT_FALSE(net.WeightExists(4, 4, 0));
}

TEST_F(Network, FreezingClearsTheTrainableBitOfTheWeight) {
    net.FreezeWeight(1, 3, 99);
    EXPECT_EQ(net.ConditionLayer().Condition(3).trainable, 0);
    EXPECT_EQ(net.ConditionSet().GetFlags(1, 3), FMaskExists);
    net.FreezeWeight(2, 1, 0);
    net.FreezeWeight(3, 0, 4);
    net.FreezeWeight(4, 2, 99);
    EXPECT_FALSE(rules().IsTrainable(1, 0));
    EXPECT_TRUE(rules().IsValid(1, 0));
    EXPECT_FALSE(actions().IsTrainable(0, 4));
    EXPECT_EQ(net.OutputSet().GetFlags(2, 0), FMaskExists);
    EXPECT_EQ(net.GetNumWeights(FMaskExists), 5 + 10 + 10 + 5);
    EXPECT_EQ(net.GetNumWeights(FMaskAll), 4 + 9 + 9 + 4);

    // Randomisation leaves frozen weights alone.
    net.Randomize(0.5, 0.5);
    EXPECT_EQ(net.GetWeightValue(1, 1, 3), 0);
    EXPECT_EQ(net.GetWeightValue(2, 1, 0), 10);
    EXPECT_EQ(net.GetWeightValue(2, 1, 1), 0.5);

    net.UnfreezeWeight(1, 3, 0);
    net.UnfreezeWeight(2, 1, 0);
    net.UnfreezeWeight(4, 2, 0);
    EXPECT_EQ(net.ConditionLayer().Condition(3).trainable, 1);
    EXPECT_EQ(net.ConditionSet().GetFlags(1, 3), FMaskAll);
    EXPECT_TRUE(rules().IsTrainable(1, 0));
    EXPECT_EQ(net.OutputSet().GetFlags(2, 0), FMaskAll);

    rules().RemoveArc(2, 1);
    net.UnfreezeWeight(2, 2, 1);  // a missing arc stays missing
    EXPECT_FALSE(rules().IsValid(2, 1));
}

TEST_F(Network, ForwardPassAndActivationValues) {
    std::vector<double> rulesWeights(10, 0.0);
    rulesWeights[2] = 1.0;  // condition 1 -> rule 0
    net.SetWeightLayer(2, rulesWeights);
    std::vector<double> actionWeights(10, 0.0);
    actionWeights[1] = 2.0;  // rule 0 -> action 1
    net.SetWeightLayer(3, actionWeights);

    std::vector<double> output(2);
    net.Recall(std::vector<double>{0.75, 0.0}, output);
    const std::vector<double> conditions{0, 0.5, 0.5, 1, 0};
    for (int c = 0; c < 5; ++c) {
        EXPECT_DOUBLE_EQ(net.GetActivationValue(2, c), conditions[static_cast<std::size_t>(c)]);
    }
    const double rule0 = 1.0 / (1.0 + std::exp(-0.5));
    EXPECT_DOUBLE_EQ(net.GetActivationValue(3, 0), rule0);
    EXPECT_DOUBLE_EQ(net.GetActivationValue(3, 1), 0.5);
    const double action1 = 1.0 / (1.0 + std::exp(-2.0 * rule0));
    EXPECT_DOUBLE_EQ(net.GetActivationValue(4, 1), action1);
    EXPECT_DOUBLE_EQ(output[0], action1 / (0.5 + action1));
    EXPECT_DOUBLE_EQ(output[1], 0.5);
    EXPECT_EQ(net.GetActivationValue(5, 1), output[1]);
    EXPECT_EQ(net.GetActivationValue(1, 0), 0.75);
    // Layer 0 is a valid layer number, but it has no neuron to ask.
    EXPECT_CHECK_FIRES(net.GetActivationValue(0, 0));

    TOmbra copy(net);
    std::vector<double> copied(2);
    copy.Recall(std::vector<double>{0.75, 0.0}, copied);
    EXPECT_EQ(copied, output);
}

TEST_F(Network, StructureAndInitialisation) {
    const TOmbraStructure shape = net.GetStructure();
    EXPECT_EQ(shape.nInputs, 2);
    EXPECT_EQ(shape.nConditions, 5);
    EXPECT_EQ(shape.mfPerInput, (Counts{3, 2}));
    EXPECT_EQ(shape.nRules, 2);
    EXPECT_EQ(shape.nActions, 5);
    EXPECT_EQ(shape.mfPerOutput, (Counts{2, 3}));
    EXPECT_EQ(shape.nOutputs, 2);

    net.SetWeightValue(1, 0, 1, 0.9);
    net.SetWeightValue(4, 3, 1, 0.1);
    rules().SetUntrainable(0, 0);
    std::srand(21);
    net.InitialiseWeights(-1.0, 1.0);
    EXPECT_EQ(net.GetWeightLayer(1), (std::vector<double>{0, 0.5, 1, 0, 1}));
    EXPECT_EQ(net.GetWeightLayer(4), (std::vector<double>{0, 1, 0, 0.5, 1}));
    std::srand(21);
    auto draw = [] { return -1.0 + (std::rand() % 32767) / 32767.0 * 2.0; };
    EXPECT_EQ(rules().Weight(0, 0), 0);  // frozen
    EXPECT_EQ(rules().Weight(1, 0), draw());
    EXPECT_EQ(rules().Weight(2, 0), draw());
}

TEST(TOmbra, AnEmptyNetworkIsCompletedTheWayTheFileReaderDoesIt) {
    TOmbra net;
    EXPECT_EQ(net.numLayers, 6);
    EXPECT_EQ(net.GetNetworkType(), "Ombra");
    EXPECT_EQ(net.StructureProblem(), "layer 0 is missing");
    net.InstallLayer(0, std::make_unique<TSimpleLayer>(&net, 0, 0));
    net.InstallLayer(1, std::make_unique<TSimpleInputLayer>(&net, 1, 1));
    EXPECT_CHECK_FIRES(net.Connect(1, 2));
    auto conditions = std::make_unique<TConditionLayer>(&net, 2, 3);
    EXPECT_CHECK_FIRES(conditions->SetInputMF(1, Counts{2}));
    conditions->SetInputMF(1, Counts{3});
    net.InstallLayer(2, std::move(conditions));
    auto rules = std::make_unique<TSimpleLayer>(&net, 3, 1);
    rules->SetActivationFunction(net.functions->Lookup("sigmoid"));
    net.InstallLayer(3, std::move(rules));
    auto actions = std::make_unique<TSimpleLayer>(&net, 4, 2);
    actions->SetActivationFunction(net.functions->Lookup("sigmoid"));
    net.InstallLayer(4, std::move(actions));
    auto outputs = std::make_unique<TOmbraOutputLayer>(&net, 5, 1);
    outputs->SetOutputMF(2, Counts{2});
    net.InstallLayer(5, std::move(outputs));
    EXPECT_EQ(net.StructureProblem(), "layers 1 and 2 are not joined by condition connections");

    net.InstallConnections(std::make_unique<TToConditionConnections>(&net, 1, 2));
    net.InstallConnections(std::make_unique<TPrunedConnections>(&net, 2, 3));
    net.InstallConnections(std::make_unique<TPrunedConnections>(&net, 3, 4));
    EXPECT_EQ(net.StructureProblem(), "layers 4 and 5 are not joined by output connections");
    net.InstallConnections(std::make_unique<TToOutputConnections>(&net, 4, 5));
    EXPECT_EQ(net.StructureProblem(), "");
    net.SetWeightLayer(4, std::vector<double>{0.25, 0.75});

    std::vector<double> output(1);
    net.Recall(std::vector<double>{0.5}, output);
    EXPECT_DOUBLE_EQ(output[0], 0.5);  // both actions 0.5
    EXPECT_EQ(net.GetStructure().mfPerInput, (Counts{3}));
}

TEST(TOmbra, StructureProblemsNameTheMisfit) {
    TOmbra net(2, Counts{2, 2}, 1, Counts{2}, 1);
    net.InstallLayer(1, std::make_unique<TSimpleInputLayer>(&net, 1, 3));
    EXPECT_EQ(net.StructureProblem(), "the condition layer's inputs differ from the input layer");
    net.InstallLayer(1, std::make_unique<TSimpleInputLayer>(&net, 1, 2));
    net.InstallLayer(4, std::make_unique<TSimpleLayer>(&net, 4, 3));
    EXPECT_EQ(net.StructureProblem(), "the output layer's actions differ from the action layer");
    net.InstallLayer(5, std::make_unique<TSimpleLayer>(&net, 5, 1));
    EXPECT_EQ(net.StructureProblem(), "layer 5 is not a defuzzify layer");
    net.InstallLayer(2, std::make_unique<TConditionLayer>(&net, 2, 4));
    EXPECT_EQ(net.StructureProblem(), "the condition layer has no membership structure");
}

}  // namespace
}  // namespace glean
