#include "Ombra/TToOutputConnections.h"

#include <gtest/gtest.h>

#include <vector>

#include "Ombra/TOmbra.h"
#include "support/TestSupport.h"
#include "tests/NeuralNets/TestNetworks.h"

namespace glean {
namespace {

using test::Arcs;
using Recorder = test::RecordingVisitor;

// Two outputs with 3 and 2 MFs: action neurons 0-2 belong to output 0, 3-4 to output 1.
class OutputSet : public testing::Test {
protected:
    OutputSet() : net(1, std::vector<int>{2}, 2, std::vector<int>{3, 2}, 2), set(net.OutputSet()) {}
    TOmbra net;
    TToOutputConnections& set;
};

TEST_F(OutputSet, ArcsJoinEachActionToItsOutput) {
    EXPECT_TRUE(set.IsValid(3, 1));
    EXPECT_TRUE(set.IsValid(2, 0));
    EXPECT_FALSE(set.IsValid(3, 0));
    EXPECT_FALSE(set.IsValid(3, 2));
    EXPECT_FALSE(set.IsValid(5, 1));
    EXPECT_FALSE(set.IsValid(-1, 0));
    EXPECT_EQ(set.GetConnectionsNType(), "ToOutputConnections");
    set.Weight(1, 9) = 0.4;  // the target index is not used
    EXPECT_EQ(set.Centres()[1], 0.4);
    EXPECT_CHECK_FIRES(set.Weight(5, 0));
}

TEST_F(OutputSet, VisitingOrderAndSelection) {
    Recorder all;
    set.ForAllArcs(all, FMaskExists);
    EXPECT_EQ(all.arcs,
              (Arcs{{0, 0, 1, 0}, {1, 0, 1, 0.5}, {2, 0, 1, 1}, {3, 1, 1, 0}, {4, 1, 1, 1}}));
    Recorder in;
    set.ForAllInArcs(in, 1, FMaskExists);
    EXPECT_EQ(in.arcs, (Arcs{{3, 1, 1, 0}, {4, 1, 1, 1}}));
    Recorder out;
    set.ForAllOutArcs(out, 2, FMaskAll);
    EXPECT_EQ(out.arcs, (Arcs{{2, 0, 1, 1}}));
    EXPECT_CHECK_FIRES(set.ForAllInArcs(in, 2, FMaskAll));

    set.SetUntrainable(4, 1);
    EXPECT_EQ(set.GetFlags(4, 0), FMaskExists);
    EXPECT_EQ(set.GetNumWeights(FMaskExists), 5);
    EXPECT_EQ(set.GetNumWeights(FMaskAll), 4);
    set.Randomize(0.3, 0.3);
    EXPECT_EQ(net.GetWeightLayer(4), (std::vector<double>{0.3, 0.3, 0.3, 0.3, 1}));
}

TEST_F(OutputSet, InitialiseCentresPlacesEveryOutputEvenly) {
    const std::vector<double> scrambled{0.9, 0.8, 0.7, 0.6, 0.5};
    net.SetWeightLayer(4, scrambled);
    set.InitialiseCentres();
    EXPECT_EQ(net.GetWeightLayer(4), (std::vector<double>{0, 0.5, 1, 0, 1}));

    TBasicNetwork bare(2);
    bare.InstallLayer(0, std::make_unique<TSimpleLayer>(&bare, 0, 3));
    auto outputs = std::make_unique<TOmbraOutputLayer>(&bare, 1, 2);
    outputs->SetOutputMF(3, std::vector<int>{2, 1});
    bare.InstallLayer(1, std::move(outputs));
    TToOutputConnections single(&bare, 0, 1);
    EXPECT_CHECK_FIRES(single.InitialiseCentres());
}

TEST_F(OutputSet, CloneCarriesTheCentresAndResetsTheFlags) {
    net.SetWeightValue(4, 1, 0, 0.25);
    set.SetUntrainable(1, 0);
    TOmbra copy(net);
    TBasicConnections* cloned = copy.priv_conns_index[5][4];
    EXPECT_EQ(cloned->network, &copy);
    EXPECT_EQ(cloned->Weight(1, 0), 0.25);
    EXPECT_EQ(cloned->GetFlags(1, 0), FMaskAll);
    cloned->Weight(1, 0) = 0.75;
    EXPECT_EQ(set.Weight(1, 0), 0.25);

    // The set follows the output layer's structure: no node is added or removed through it.
    test::ExpectGuardsFire({
        {"removing a source node", [&] { set.RemoveFromNode(0); }},
        {"removing a target node", [&] { set.RemoveToNode(0); }},
        {"inserting a target node", [&] { set.InsertToNode(0, 0, 1, true); }},
    });
}

TEST(TToOutputConnections, NeedsADefuzzifyLayer) {
    TBasicNetwork net(2);
    net.InstallLayer(0, std::make_unique<TSimpleLayer>(&net, 0, 2));
    net.InstallLayer(1, std::make_unique<TSimpleLayer>(&net, 1, 1));
    EXPECT_CHECK_FIRES(TToOutputConnections(&net, 0, 1));
}

}  // namespace
}  // namespace glean
