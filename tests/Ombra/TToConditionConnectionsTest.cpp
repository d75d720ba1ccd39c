#include "Ombra/TToConditionConnections.h"

#include <gtest/gtest.h>

#include <vector>

#include "Ombra/TOmbra.h"
#include "support/TestSupport.h"
#include "tests/NeuralNets/TestNetworks.h"

namespace glean {
namespace {

using test::Arcs;
using Recorder = test::RecordingVisitor;

// Two inputs with 3 and 2 MFs: condition neurons 0-2 belong to input 0, 3-4 to input 1.
class ConditionSet : public testing::Test {
protected:
    ConditionSet()
        : net(2, std::vector<int>{3, 2}, 2, std::vector<int>{2}, 1), set(net.ConditionSet()) {}
    TOmbra net;
    TToConditionConnections& set;
};

TEST_F(ConditionSet, ArcsJoinEachConditionToItsInput) {
    EXPECT_TRUE(set.IsValid(1, 3));
    EXPECT_TRUE(set.IsValid(0, 2));
    EXPECT_FALSE(set.IsValid(0, 3));
    EXPECT_FALSE(set.IsValid(0, 5));
    EXPECT_FALSE(set.IsValid(0, -1));
    EXPECT_TRUE(set.IsTrainable(1, 4));
    EXPECT_EQ(set.GetConnectionsNType(), "ToConditionConnections");
    set.Weight(7, 1) = 0.4;  // the source index is not used
    EXPECT_EQ(net.ConditionLayer().Condition(1).centre, 0.4);
    EXPECT_CHECK_FIRES(set.Weight(0, 5));
}

TEST_F(ConditionSet, VisitingOrderAndSelection) {
    Recorder all;
    set.ForAllArcs(all, FMaskExists);
    EXPECT_EQ(all.arcs,
              (Arcs{{0, 0, 1, 0}, {0, 1, 1, 0.5}, {0, 2, 1, 1}, {1, 3, 1, 0}, {1, 4, 1, 1}}));
    Recorder out;
    set.ForAllOutArcs(out, 1, FMaskExists);
    EXPECT_EQ(out.arcs, (Arcs{{1, 3, 1, 0}, {1, 4, 1, 1}}));
    Recorder in;
    set.ForAllInArcs(in, 4, FMaskAll);
    EXPECT_EQ(in.arcs, (Arcs{{1, 4, 1, 1}}));

    EXPECT_EQ(set.GetNumWeights(FMaskExists), 5);
    set.SetUntrainable(0, 1);
    EXPECT_EQ(set.GetFlags(0, 1), FMaskExists);
    EXPECT_EQ(set.GetNumWeights(FMaskAll), 4);
    Recorder frozen;
    set.ForAllArcs(frozen, FMaskExists);
    EXPECT_EQ(frozen.arcs[1].trainable, 0);
    Recorder trainable;
    set.ForAllArcs(trainable, FMaskAll);
    EXPECT_EQ(trainable.arcs.size(), 4u);
    set.SetTrainable(0, 1);
    EXPECT_EQ(set.GetFlags(0, 1), FMaskAll);
    set.SetFlags(0, 2, 0);  // any value is stored; the arc is then not visited
    EXPECT_EQ(set.GetNumWeights(FMaskExists), 4);
    EXPECT_CHECK_FIRES(set.GetFlags(0, 5));
}

TEST_F(ConditionSet, GenericWeightOperationsWorkOnTheCentres) {
    std::vector<double> centres(5);
    EXPECT_EQ(set.GetWeights(centres, FMaskExists), 5);
    EXPECT_EQ(centres, (std::vector<double>{0, 0.5, 1, 0, 1}));
    set.SetUntrainable(1, 3);
    set.Randomize(0.25, 0.25);
    EXPECT_EQ(net.GetWeightLayer(1), (std::vector<double>{0.25, 0.25, 0.25, 0, 0.25}));
    set.RemoveArc(1, 3);
    set.AddArc(0, 3);
    EXPECT_TRUE(set.IsValid(1, 3));
    EXPECT_FALSE(set.IsValid(0, 3));

    net.layers[1]->values = {2.0, 3.0};
    std::vector<double> netInput(5, 0.0);
    set.Propagate(netInput);
    EXPECT_EQ(netInput, (std::vector<double>{0.5, 0.5, 0.5, 0, 0.75}));
}

TEST_F(ConditionSet, CloneStartsWithAllFlagsSetAndStructuralEditsAreRefused) {
    set.SetUntrainable(0, 0);
    TOmbra copy(net);
    TBasicConnections* cloned = copy.priv_conns_index[2][1];
    EXPECT_EQ(cloned->GetConnectionsNType(), "ToConditionConnections");
    EXPECT_EQ(cloned->network, &copy);
    EXPECT_EQ(cloned->GetFlags(0, 0), FMaskAll);
    EXPECT_EQ(cloned->Weight(0, 1), 0.5);
    cloned->Weight(0, 1) = 0.7;
    EXPECT_EQ(set.Weight(0, 1), 0.5);

    // The set follows the condition layer's structure: no node is added or removed through it.
    test::ExpectGuardsFire({
        {"removing a source node", [&] { set.RemoveFromNode(0); }},
        {"removing a target node", [&] { set.RemoveToNode(0); }},
        {"inserting a source node", [&] { set.InsertFromNode(0, 0, 1, true); }},
        {"inserting a target node", [&] { set.InsertToNode(0, 0, 1, true); }},
    });
}

TEST(TToConditionConnections, NeedsAConditionLayerThatFitsTheInputs) {
    TBasicNetwork net(3);
    net.InstallLayer(1, std::make_unique<TSimpleInputLayer>(&net, 1, 1));
    net.InstallLayer(2, std::make_unique<TSimpleLayer>(&net, 2, 2));
    EXPECT_CHECK_FIRES(TToConditionConnections(&net, 1, 2));

    auto conditions = std::make_unique<TConditionLayer>(&net, 2, 4);
    conditions->SetInputMF(2, std::vector<int>{2, 2});
    net.InstallLayer(2, std::move(conditions));
    TBasicConnections* set =
        net.InstallConnections(std::make_unique<TToConditionConnections>(&net, 1, 2));
    EXPECT_CHECK_FIRES(set->IsValid(0, 0));
}

}  // namespace
}  // namespace glean
