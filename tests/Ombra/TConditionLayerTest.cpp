#include "Ombra/TConditionLayer.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "support/TestSupport.h"

namespace glean {
namespace {

// A network whose layer 1 holds the inputs and layer 2 the condition layer under test.
class ConditionNetwork {
public:
    ConditionNetwork(int nInputs, const std::vector<int>& mfPerInput) : net(3) {
        int nConditions = 0;
        for (int count : mfPerInput)
            nConditions += count;
        net.InstallLayer(0, std::make_unique<TSimpleLayer>(&net, 0, 0));
        net.InstallLayer(1, std::make_unique<TSimpleInputLayer>(&net, 1, nInputs));
        auto layer = std::make_unique<TConditionLayer>(&net, 2, nConditions);
        layer->SetInputMF(nInputs, mfPerInput);
        conditions = layer.get();
        net.InstallLayer(2, std::move(layer));
    }
    // The memberships of every condition neuron for the given input values.
    std::vector<double> Fuzzify(const std::vector<double>& inputs) {
        net.layers[1]->Propagate(inputs);
        conditions->Propagate(inputs);
        return conditions->values;
    }
    TBasicNetwork net;
    TConditionLayer* conditions;
};

struct MembershipRow {
    std::vector<double> centres;
    double x;
    std::vector<double> expected;
};

TEST(TConditionLayer, MembershipFollowsTheStepsInOrder) {
    const double NaN = std::numeric_limits<double>::quiet_NaN();
    const MembershipRow rows[] = {
        {{0, 1}, 0.25, {0.75, 0.25}},
        {{0, 1}, -1, {1, 0}},
        {{0, 1}, 2, {0, 1}},
        {{0, 1}, 0, {1, 0}},
        {{0, 1}, 1, {0, 1}},
        {{0, 0.5, 1}, 0.5, {0, 1, 0}},
        {{0, 0.5, 1}, 0.75, {0, 0.5, 0.5}},
        {{0, 0.5, 1}, 0.25, {0.5, 0.5, 0}},
        {{0, 1.0 / 3, 2.0 / 3, 1}, 0.5, {0, 0.5, 0.5, 0}},
        // Equal neighbouring centres: no division, the shoulders alone answer.
        {{0.5, 0.5, 0.5}, 0.5, {1, 0, 1}},
        {{0.5, 0.5, 0.5}, 0.4, {1, 0, 0}},
        {{0.5, 0.5, 0.5}, 0.6, {0, 0, 1}},
        {{0.2, 0.2}, 0.2, {1, 1}},
        // Centres out of order are taken literally.
        {{1, 0}, 0.5, {1, 1}},
        {{1, 0}, 2, {0, 1}},
        {{1, 0}, -1, {1, 0}},
        {{0, 1}, NaN, {0, 0}},
    };
    for (const MembershipRow& row : rows) {
        const int n = static_cast<int>(row.centres.size());
        ConditionNetwork fixture(1, {n});
        for (int i = 0; i < n; ++i) {
            fixture.conditions->Condition(i).centre = row.centres[static_cast<std::size_t>(i)];
        }
        const std::vector<double> degrees = fixture.Fuzzify({row.x});
        ASSERT_EQ(degrees.size(), row.expected.size());
        for (std::size_t i = 0; i < degrees.size(); ++i) {
            EXPECT_DOUBLE_EQ(degrees[i], row.expected[i])
                << "MF " << i << " of " << n << " at x = " << row.x;
        }
    }
}

TEST(TConditionLayer, SetInputMFBuildsTheStructureAndPlacesCentresEvenly) {
    ConditionNetwork fixture(2, {3, 2});
    TConditionLayer& layer = *fixture.conditions;
    EXPECT_EQ(layer.nInputs, 2);
    EXPECT_EQ(layer.inputOf, (std::vector<int>{0, 0, 0, 1, 1}));
    std::vector<double> centres;
    for (int i = 0; i < 5; ++i)
        centres.push_back(layer.Condition(i).centre);
    EXPECT_EQ(centres, (std::vector<double>{0, 0.5, 1, 0, 1}));
    EXPECT_EQ(layer.Condition(0).leftNeighbour, nullptr);
    EXPECT_EQ(layer.Condition(1).leftNeighbour, &layer.Condition(0));
    EXPECT_EQ(layer.Condition(1).rightNeighbour, &layer.Condition(2));
    EXPECT_EQ(layer.Condition(2).rightNeighbour, nullptr);  // inputs are never linked
    EXPECT_EQ(layer.Condition(3).leftNeighbour, nullptr);
    EXPECT_EQ(layer.Condition(4).value, &layer.values[4]);
    EXPECT_EQ(layer.Condition(4).actFunction, &ActOmbraCondition);
    EXPECT_EQ(layer.Condition(4).trainable, 1);

    EXPECT_EQ(layer.GetMFNodes(0), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(layer.GetMFNodes(1), (std::vector<int>{3, 4}));
    EXPECT_EQ(layer.GetMFIndex(2), 2);
    EXPECT_EQ(layer.GetMFIndex(3), 0);
    EXPECT_EQ(layer.GetMFIndex(4), 1);
    EXPECT_EQ(layer.GetLayerType(), "FuzzyCondition");
    EXPECT_EQ(layer.GetLayerCode(), 4);

    // Each input is fuzzified on its own.
    EXPECT_EQ(fixture.Fuzzify({0.75, 0.25}), (std::vector<double>{0, 0.5, 0.5, 0.75, 0.25}));
}

TEST(TConditionLayer, InitialiseCentresRestoresTheEvenPlacing) {
    ConditionNetwork fixture(1, {4});
    fixture.conditions->Condition(1).centre = 0.9;
    fixture.conditions->InitialiseCentres();
    EXPECT_DOUBLE_EQ(fixture.conditions->Condition(1).centre, 1.0 / 3);
    EXPECT_DOUBLE_EQ(fixture.conditions->Condition(2).centre, 2.0 / 3);
    EXPECT_EQ(fixture.conditions->Condition(3).centre, 1.0);
}

TEST(TConditionLayer, StructureThatDoesNotFitTheLayerFailsAndChangesNothing) {
    ConditionNetwork fixture(2, {3, 2});
    TConditionLayer& layer = *fixture.conditions;
    EXPECT_EQ(layer.GetMFIndex(4), 1);  // the last condition
    test::ExpectGuardsFire({
        {"MF counts adding up to more than the neurons",
         [&] {
             layer.SetInputMF(2, std::vector<int>{3, 3});
         }},
        {"an input of a single MF",
         [&] {
             layer.SetInputMF(2, std::vector<int>{4, 1});
         }},
        {"one count for two inputs", [&] { layer.SetInputMF(2, std::vector<int>{5}); }},
    });
    EXPECT_EQ(layer.inputOf, (std::vector<int>{0, 0, 0, 1, 1}));
    test::ExpectGuardsFire({
        {"MF nodes of an input past the last", [&] { layer.GetMFNodes(2); }},
        {"MF index of a condition past the last", [&] { layer.GetMFIndex(5); }},
        {"a condition past the last", [&] { layer.Condition(5); }},
        {"a neuron inserted", [&] { layer.InsertNeuron(0); }},
    });
    layer.DeleteNeuron(0);
    EXPECT_EQ(layer.numNeurons, 5);
}

TEST(TConditionLayer, PropagateNeedsTheStructureAndEnoughInputs) {
    TBasicNetwork net(3);
    net.InstallLayer(1, std::make_unique<TSimpleInputLayer>(&net, 1, 1));
    auto layer = std::make_unique<TConditionLayer>(&net, 2, 4);
    TConditionLayer* conditions = layer.get();
    net.InstallLayer(2, std::move(layer));
    const std::vector<double> input{0.5};
    EXPECT_CHECK_FIRES(conditions->Propagate(input));
    conditions->SetInputMF(2, std::vector<int>{2, 2});  // two inputs, but the layer below has one
    EXPECT_CHECK_FIRES(conditions->Propagate(input));
}

TEST(TConditionLayer, CloneKeepsCentresFreezeStatesAndItsOwnLinks) {
    ConditionNetwork fixture(2, {3, 2});
    fixture.conditions->Condition(1).centre = 0.3;
    fixture.conditions->Condition(4).trainable = 0;
    TBasicNetwork other(3);
    std::unique_ptr<TBasicLayer> copy = fixture.conditions->Clone(&other);
    auto& clone = dynamic_cast<TConditionLayer&>(*copy);
    EXPECT_EQ(clone.network, &other);
    EXPECT_EQ(clone.inputOf, fixture.conditions->inputOf);
    EXPECT_EQ(clone.Condition(1).centre, 0.3);
    EXPECT_EQ(clone.Condition(4).trainable, 0);
    EXPECT_EQ(clone.Condition(1).leftNeighbour, &clone.Condition(0));
    EXPECT_EQ(clone.Condition(1).value, &clone.values[1]);
    EXPECT_EQ(clone.Condition(1).layer, &clone);
}

}  // namespace
}  // namespace glean
