#include "NeuralNets/TPrunedConnections.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "support/TestSupport.h"
#include "tests/NeuralNets/TestNetworks.h"

namespace glean {
namespace {

using test::Arcs;
using test::MakeNetwork;
using test::NumberWeights;
using test::RecordingVisitor;

// Layer 0: 2 neurons, layer 1 (input): 3 neurons; the set 0 -> 1 and a set 0 -> 2 of 4 targets.
class PrunedSet : public testing::Test {
protected:
    PrunedSet() : net(MakeNetwork({2, 3, 4})) {
        set = net->InstallConnections(std::make_unique<TPrunedConnections>(net.get(), 0, 1));
        NumberWeights(*set, 2, 3, 1.0);  // weight(f, t) = 1 + 10f + t
    }
    std::unique_ptr<TBasicNetwork> net;
    TBasicConnections* set;
};

TEST_F(PrunedSet, InWeightsOfATargetAreItsColumnOfWeights) {
    std::vector<double> w(2);
    set->GetInWeights(2, w);
    EXPECT_EQ(w, (std::vector<double>{3, 13}));
    set->RemoveArc(0, 1);  // a removed arc reads as its weight, 0
    w = {-1, -1};
    set->GetInWeights(1, w);
    EXPECT_EQ(w, (std::vector<double>{0, 12}));
    std::vector<double> tooShort(1);
    EXPECT_CHECK_FIRES(set->GetInWeights(0, tooShort));
    EXPECT_CHECK_FIRES(set->GetInWeights(3, w));
}

TEST_F(PrunedSet, WeightsAreReadAndWrittenTargetMajor) {
    std::vector<double> buffer(6);
    EXPECT_EQ(set->GetWeights(buffer, FMaskExists), 6);
    EXPECT_EQ(buffer, (std::vector<double>{1, 11, 2, 12, 3, 13}));
    const std::vector<double> in{-1, -2, -3, -4, -5, -6};
    EXPECT_EQ(set->SetWeights(in, FMaskExists), 6);
    EXPECT_EQ(set->Weight(1, 0), -2);
    EXPECT_EQ(set->Weight(0, 1), -3);
}

TEST_F(PrunedSet, MasksSelectExistingOrExistingTrainableArcs) {
    EXPECT_EQ(set->GetNumWeights(FMaskExists), 6);
    EXPECT_EQ(set->GetNumWeights(FMaskAll), 6);
    set->SetUntrainable(1, 0);
    set->RemoveArc(0, 2);
    EXPECT_EQ(set->GetNumWeights(FMaskExists), 5);
    EXPECT_EQ(set->GetNumWeights(FMaskAll), 4);
    EXPECT_EQ(set->GetNumWeights(FMaskTrainable), 4);  // any mask but FMaskExists means both bits

    RecordingVisitor existing;
    set->ForAllArcs(existing, FMaskExists);
    EXPECT_EQ(existing.arcs,
              (Arcs{{0, 0, 1, 1}, {1, 0, 0, 11}, {0, 1, 1, 2}, {1, 1, 1, 12}, {1, 2, 1, 13}}));
    RecordingVisitor trainable;
    set->ForAllArcs(trainable, FMaskAll);
    EXPECT_EQ(trainable.arcs, (Arcs{{0, 0, 1, 1}, {0, 1, 1, 2}, {1, 1, 1, 12}, {1, 2, 1, 13}}));

    std::vector<double> buffer(4);
    EXPECT_EQ(set->GetWeights(buffer, FMaskAll), 4);
    EXPECT_EQ(buffer, (std::vector<double>{1, 2, 12, 13}));
}

TEST_F(PrunedSet, ArcEditingFollowsTheFlags) {
    set->RemoveArc(1, 1);
    EXPECT_FALSE(set->IsValid(1, 1));
    EXPECT_FALSE(set->IsTrainable(1, 1));
    EXPECT_EQ(set->Weight(1, 1), 0);
    EXPECT_EQ(set->GetFlags(1, 1), 0);

    set->SetTrainable(1, 1);  // an absent arc stays absent
    EXPECT_EQ(set->GetFlags(1, 1), 0);
    set->AddArc(1, 1);
    EXPECT_EQ(set->GetFlags(1, 1), FMaskAll);
    EXPECT_EQ(set->Weight(1, 1), 0);

    set->SetUntrainable(0, 2);
    set->AddArc(0, 2);  // an existing arc keeps weight and flags
    EXPECT_EQ(set->GetFlags(0, 2), FMaskExists);
    EXPECT_EQ(set->Weight(0, 2), 3);
    set->SetTrainable(0, 2);
    EXPECT_EQ(set->GetFlags(0, 2), FMaskAll);

    set->SetFlags(0, 0, 2);  // any value is stored
    EXPECT_EQ(set->GetFlags(0, 0), 2);
    EXPECT_CHECK_FIRES(set->RemoveArc(2, 0));
    EXPECT_CHECK_FIRES(set->GetFlags(0, 3));
}

TEST_F(PrunedSet, RemoveAllArcsLeavesNoArcAndNoWeight) {
    set->SetUntrainable(1, 2);
    set->RemoveAllArcs();
    EXPECT_EQ(set->GetNumWeights(FMaskExists), 0);
    for (int f = 0; f < 2; ++f) {
        for (int t = 0; t < 3; ++t) {
            EXPECT_EQ(set->GetFlags(f, t), 0);
            EXPECT_EQ(set->Weight(f, t), 0.0);
        }
    }
    set->AddArc(1, 2);  // arcs can come back one by one
    EXPECT_EQ(set->GetNumWeights(FMaskAll), 1);
}

TEST_F(PrunedSet, RandomizeSkipsFrozenArcsAndEqualBoundsDrawNothing) {
    set->SetUntrainable(1, 2);
    set->RemoveArc(0, 0);
    std::srand(3);
    set->Randomize(0.0, 1.0);
    std::srand(3);
    for (int t = 0; t < 3; ++t) {
        for (int f = 0; f < 2; ++f) {
            if ((f == 1 && t == 2) || (f == 0 && t == 0)) continue;
            EXPECT_EQ(set->Weight(f, t), (std::rand() % 32767) / 32767.0);
        }
    }
    EXPECT_EQ(set->Weight(1, 2), 13);
    EXPECT_EQ(set->Weight(0, 0), 0);

    std::srand(9);
    const int first = std::rand();
    std::srand(9);
    set->Randomize(0.5, 0.5);
    EXPECT_EQ(std::rand(), first);
    EXPECT_EQ(set->Weight(1, 1), 0.5);
    EXPECT_EQ(set->Weight(1, 2), 13);
}

TEST_F(PrunedSet, OutArcsOfANodeVisitEveryTarget) {
    TBasicConnections* wide =
        net->InstallConnections(std::make_unique<TPrunedConnections>(net.get(), 0, 2));
    RecordingVisitor v;
    wide->ForAllOutArcs(v, 1, FMaskExists);
    EXPECT_EQ(v.arcs, (Arcs{{1, 0, 1, 0}, {1, 1, 1, 0}, {1, 2, 1, 0}, {1, 3, 1, 0}}));
}

TEST_F(PrunedSet, PropagateSkipsAbsentArcs) {
    net->layers[0]->values = {1.0, 2.0};
    set->RemoveArc(1, 0);
    set->SetUntrainable(1, 1);  // frozen arcs still carry activation
    std::vector<double> netInput(3, 0.0);
    set->Propagate(netInput);
    EXPECT_EQ(netInput, (std::vector<double>{1.0, 2.0 + 24.0, 3.0 + 26.0}));

    // The visitor-based contribution of the base class agrees.
    TIterateObjAggregate aggregate;
    set->ForAllInArcs(aggregate, 2, FMaskExists);
    EXPECT_EQ(aggregate.sum, 29.0);
}

TEST_F(PrunedSet, FlagHelpersWalkTheExistingArcs) {
    set->RemoveArc(0, 1);
    set->SetUntrainable(1, 2);
    EXPECT_EQ(set->GetAllFlags(), (std::vector<std::uint8_t>{3, 3, 3, 3, 1}));
    const std::vector<std::uint8_t> flags{1, 1, 3, 1, 3};
    set->SetAllFlags(flags);
    EXPECT_EQ(set->GetFlags(0, 0), 1);
    EXPECT_EQ(set->GetFlags(1, 0), 1);
    EXPECT_EQ(set->GetFlags(1, 1), 3);
    EXPECT_EQ(set->GetFlags(0, 2), 1);
    EXPECT_EQ(set->GetFlags(1, 2), 3);
    EXPECT_EQ(set->GetFlags(0, 1), 0);
    set->SetAllUntrainable();
    EXPECT_EQ(set->GetNumWeights(FMaskAll), 0);
    EXPECT_EQ(set->GetNumWeights(FMaskExists), 5);
    const std::vector<std::uint8_t> tooFew{3};
    EXPECT_CHECK_FIRES(set->SetAllFlags(tooFew));
}

TEST_F(PrunedSet, CloneCopiesWeightsAndFlags) {
    set->RemoveArc(1, 0);
    set->SetUntrainable(0, 2);
    auto other = MakeNetwork({2, 3, 4});
    std::unique_ptr<TBasicConnections> copy = set->Clone(other.get());
    EXPECT_EQ(copy->network, other.get());
    EXPECT_EQ(copy->GetConnectionsNType(), "Pruneable");
    EXPECT_FALSE(copy->IsValid(1, 0));
    EXPECT_EQ(copy->GetFlags(0, 2), FMaskExists);
    EXPECT_EQ(copy->Weight(1, 2), 13);
}

TEST(TPrunedConnections, SetsOfHugePageSizeKeepTheirWeightsThroughEdits) {
    // 600 x 600 weights fill several huge pages; removing and inserting nodes moves them to new
    // blocks, and a clone copies one.
    auto net = MakeNetwork({0, 600, 600, 1});
    net->Connect(1, 2);
    TBasicConnections* set = net->priv_conns_index[2][1];
    ASSERT_EQ(set->GetConnectionsNType(), "Pruneable");
    NumberWeights(*set, 600, 600, 1.0);
    net->RemoveNode(2, 0);
    EXPECT_EQ(set->Weight(0, 0), 2);  // old target 1 is target 0 now
    EXPECT_EQ(set->Weight(599, 598), 1 + 10 * 599 + 599);
    net->InsertNode(2, 0, 0.25, 0.25, true);
    EXPECT_EQ(set->Weight(3, 0), 0.25);
    EXPECT_EQ(set->Weight(3, 1), 1 + 10 * 3 + 1);
    auto other = MakeNetwork({0, 600, 600, 1});
    const std::unique_ptr<TBasicConnections> copy = set->Clone(other.get());
    EXPECT_EQ(copy->Weight(599, 599), 1 + 10 * 599 + 599);
    EXPECT_EQ(copy->Weight(7, 0), 0.25);
}

TEST(TPrunedConnections, LargeSetsStartFullAndRemovingAllArcsClearsEveryWeight) {
    // 1500 x 1500: weights and flags both take blocks of fresh pages.
    constexpr int N = 1500;
    auto net = MakeNetwork({0, N, N, 1});
    net->Connect(1, 2);
    TBasicConnections& set = *net->priv_conns_index[2][1];
    const auto everyArc = [](auto test) {
        for (int f = 0; f < N; ++f) {
            for (int t = 0; t < N; ++t) {
                if (!test(f, t)) return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(everyArc(
        [&](int f, int t) { return set.GetFlags(f, t) == FMaskAll && set.Weight(f, t) == 0.0; }));
    set.Weight(N - 1, N - 1) = 5.0;
    set.Weight(0, 0) = 3.0;
    auto other = MakeNetwork({0, N, N, 1});
    const std::unique_ptr<TBasicConnections> copy = set.Clone(other.get());
    set.RemoveAllArcs();
    EXPECT_TRUE(
        everyArc([&](int f, int t) { return set.GetFlags(f, t) == 0 && set.Weight(f, t) == 0.0; }));
    set.AddArc(7, 9);
    EXPECT_EQ(set.GetNumWeights(FMaskAll), 1);
    EXPECT_EQ(copy->Weight(N - 1, N - 1), 5.0);
    EXPECT_EQ(copy->Weight(0, 0), 3.0);
    EXPECT_EQ(copy->GetFlags(0, 0), FMaskAll);
}

TEST(TPrunedConnections, InsertedNodesAreAttachedOrAbsent) {
    auto net = MakeNetwork({0, 2, 2, 1});
    net->Connect(1, 2);
    net->Connect(2, 3);
    TBasicConnections* in = net->priv_conns_index[2][1];
    TBasicConnections* out = net->priv_conns_index[3][2];
    NumberWeights(*in, 2, 2, 1.0);
    NumberWeights(*out, 2, 1, 100.0);

    net->InsertNode(2, 1, 0.5, 0.5, true);
    EXPECT_EQ(net->layers[2]->numNeurons, 3);
    EXPECT_EQ(in->Weight(1, 1), 0.5);
    EXPECT_EQ(in->GetFlags(1, 1), FMaskAll);
    EXPECT_EQ(in->Weight(1, 2), 12);  // old row 1 moved up
    EXPECT_EQ(out->Weight(1, 0), 0.5);
    EXPECT_EQ(out->Weight(2, 0), 110);

    net->InsertNode(2, 0, 0.5, 0.9, false);
    EXPECT_EQ(in->GetFlags(0, 0), 0);
    EXPECT_EQ(in->Weight(1, 0), 0);
    EXPECT_EQ(out->GetFlags(0, 0), 0);
    EXPECT_EQ(in->Weight(0, 1), 1);

    net->RemoveNode(2, 0);
    net->RemoveNode(2, 1);
    EXPECT_EQ(in->Weight(1, 1), 12);
    EXPECT_EQ(out->Weight(1, 0), 110);
    EXPECT_EQ(in->GetNumWeights(FMaskExists), 4);
}

}  // namespace
}  // namespace glean
