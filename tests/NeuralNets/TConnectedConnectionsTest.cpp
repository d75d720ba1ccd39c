#include "NeuralNets/TConnectedConnections.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "NeuralNets/TPrunedConnections.h"
#include "support/TestSupport.h"
#include "tests/NeuralNets/TestNetworks.h"

namespace glean {
namespace {

using test::MakeNetwork;
using test::NumberWeights;
using test::RecordingVisitor;

// Layer 0: 2 neurons, layer 1 (input): 3 neurons, layer 2: 3 neurons.
class FullSet : public testing::Test {
protected:
    FullSet() : net(MakeNetwork({2, 3, 3})) {
        set = net->InstallConnections(std::make_unique<TConnectedConnections>(net.get(), 0, 1));
        NumberWeights(*set, 2, 3, 1.0);  // weight(f, t) = 1 + 10f + t
    }
    std::unique_ptr<TBasicNetwork> net;
    TBasicConnections* set;
};

TEST_F(FullSet, InWeightsOfATargetAreItsColumnOfWeights) {
    std::vector<double> w(2);
    set->GetInWeights(2, w);
    EXPECT_EQ(w, (std::vector<double>{3, 13}));
}

TEST_F(FullSet, WeightsAreReadAndWrittenSourceMajor) {
    std::vector<double> buffer(6);
    EXPECT_EQ(set->GetNumWeights(FMaskExists), 6);
    EXPECT_EQ(set->GetNumWeights(FMaskAll), 6);
    EXPECT_EQ(set->GetWeights(buffer, FMaskAll), 6);
    EXPECT_EQ(buffer, (std::vector<double>{1, 2, 3, 11, 12, 13}));

    const std::vector<double> in{-1, -2, -3, -4, -5, -6};
    EXPECT_EQ(set->SetWeights(in, FMaskExists), 6);
    EXPECT_EQ(set->Weight(0, 2), -3);
    EXPECT_EQ(set->Weight(1, 0), -4);
}

TEST_F(FullSet, EveryArcIsVisitedWhateverTheMaskAndIsTrainable) {
    for (int mask : {FMaskExists, FMaskAll, 0}) {
        RecordingVisitor v;
        set->ForAllArcs(v, mask);
        ASSERT_EQ(v.arcs.size(), 6u);
        EXPECT_EQ(v.arcs[1], (RecordingVisitor::Arc{1, 0, 1, 11}));  // target-major
        EXPECT_EQ(v.arcs[5], (RecordingVisitor::Arc{1, 2, 1, 13}));
    }
    RecordingVisitor in;
    set->ForAllInArcs(in, 2, FMaskAll);
    EXPECT_EQ(in.arcs, (test::Arcs{{0, 2, 1, 3}, {1, 2, 1, 13}}));
}

TEST_F(FullSet, ArcEditingIsLimitedToWhatAFullMatrixAllows) {
    EXPECT_TRUE(set->IsValid(1, 2));
    EXPECT_TRUE(set->IsTrainable(1, 2));
    EXPECT_EQ(set->GetFlags(1, 2), FMaskAll);
    set->AddArc(1, 2);
    set->SetTrainable(1, 2);
    set->SetFlags(1, 2, FMaskExists);
    EXPECT_EQ(set->Weight(1, 2), 13);
    EXPECT_EQ(set->GetFlags(1, 2), FMaskAll);
}

// What a full matrix cannot do, indices just past every end of the 2 x 3 matrix, buffers one
// short, and sets that no longer fit their layers all fail checks; the last index inside and
// buffers of exactly the size are taken.
TEST_F(FullSet, GuardsFireJustPastEveryBound) {
    EXPECT_EQ(set->Weight(1, 2), 13);
    EXPECT_EQ(set->Weight(0, 0), 1);
    std::vector<double> three(3), six(6), two(2), five(5);
    set->GetInWeights(2, two);
    EXPECT_EQ(set->GetWeights(six, FMaskAll), 6);
    RecordingVisitor v;
    auto misfit = MakeNetwork({1, 3, 3});
    test::ExpectGuardsFire({
        {"removing an arc", [&] { set->RemoveArc(0, 0); }},
        {"freezing an arc", [&] { set->SetUntrainable(0, 0); }},
        {"flags trainable alone", [&] { set->SetFlags(0, 0, FMaskTrainable); }},
        {"flags of no arc", [&] { set->SetFlags(0, 0, 0); }},
        {"source past the last", [&] { set->Weight(2, 0); }},
        {"source before the first", [&] { set->Weight(-1, 0); }},
        {"target past the last", [&] { set->Weight(0, 3); }},
        {"target before the first", [&] { set->IsValid(0, -1); }},
        {"in arcs of a target past the last", [&] { set->ForAllInArcs(v, 3, FMaskAll); }},
        {"in weights of a target past the last", [&] { set->GetInWeights(3, two); }},
        {"in weights into a buffer not of the sources' size", [&] { set->GetInWeights(0, three); }},
        {"weights into a buffer one short", [&] { set->GetWeights(five, FMaskAll); }},
        {"a clone for layers of other sizes", [&] { set->Clone(misfit.get()); }},
    });
}

TEST_F(FullSet, PropagateAddsWeightedSourceValues) {
    net->layers[0]->values = {2.0, -1.0};
    std::vector<double> netInput{100.0, 0.0, 0.0};
    set->Propagate(netInput);
    // target t: 2*(1+t) - (11+t)
    EXPECT_EQ(netInput, (std::vector<double>{100.0 - 9.0, -8.0, -7.0}));
}

TEST_F(FullSet, RandomizeDrawsEveryWeightInStorageOrder) {
    std::srand(42);
    set->Randomize(-1.0, 3.0);
    std::srand(42);
    for (int t = 0; t < 3; ++t) {
        for (int f = 0; f < 2; ++f) {
            const double expected = -1.0 + (std::rand() % 32767) / 32767.0 * 4.0;
            EXPECT_EQ(set->Weight(f, t), expected);
        }
    }
}

TEST_F(FullSet, RandomizeWithEqualBoundsDrawsNothing) {
    std::srand(7);
    const int first = std::rand();
    std::srand(7);
    set->Randomize(0.5, 0.5);
    EXPECT_EQ(std::rand(), first);
    for (int t = 0; t < 3; ++t) {
        for (int f = 0; f < 2; ++f)
            EXPECT_EQ(set->Weight(f, t), 0.5);
    }
}

TEST_F(FullSet, CloneCopiesTheWeightsForAnotherNetwork) {
    auto other = MakeNetwork({2, 3, 3});
    std::unique_ptr<TBasicConnections> copy = set->Clone(other.get());
    EXPECT_EQ(copy->network, other.get());
    EXPECT_EQ(copy->GetConnectionsNType(), "FullyConnected");
    EXPECT_EQ(copy->Weight(1, 2), 13);
    copy->Weight(1, 2) = 0;
    EXPECT_EQ(set->Weight(1, 2), 13);
}

TEST(TConnectedConnections, GrowsOnlyWithAttachedArcs) {
    TConnectedNetwork net(4, std::vector<int>{0, 2, 2, 1});
    net.Connect(1, 2);
    TBasicConnections* set = net.priv_conns_index[2][1];
    NumberWeights(*set, 2, 2, 1.0);
    net.InsertNode(2, 1, 0.25, 0.25, true);
    EXPECT_EQ(set->Weight(0, 0), 1);
    EXPECT_EQ(set->Weight(1, 1), 0.25);                         // the new target row
    EXPECT_EQ(set->Weight(1, 2), 12);                           // old row 1
    EXPECT_CHECK_FIRES(net.InsertNode(2, 0, 0.0, 1.0, false));  // a node without its arcs
}

TEST(TConnectedConnections, ALayerThatChangedSizeBehindTheSetFailsACheck) {
    auto net = MakeNetwork({2, 3, 3});
    TBasicConnections* set =
        net->InstallConnections(std::make_unique<TConnectedConnections>(net.get(), 0, 2));
    net->InstallLayer(0, std::make_unique<TSimpleLayer>(net.get(), 0, 5));
    std::vector<double> netInput(3);
    EXPECT_CHECK_FIRES(set->Propagate(netInput));
}

TEST(TConnectedConnections, NeedsBothLayers) {
    TBasicNetwork net(3);
    test::ExpectGuardsFire({
        {"a full set between missing layers", [&] { TConnectedConnections(&net, 0, 1); }},
        {"a pruned set between missing layers", [&] { TPrunedConnections(&net, 0, 1); }},
    });
}

}  // namespace
}  // namespace glean
