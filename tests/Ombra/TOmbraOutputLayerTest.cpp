#include "Ombra/TOmbraOutputLayer.h"

#include <gtest/gtest.h>

#include <vector>

#include "Ombra/TOmbra.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

struct DefuzzifyRow {
    std::vector<int> mfPerOutput;
    std::vector<double> centres;
    std::vector<double> activations;
    std::vector<double> expected;
};

// Runs the output layer of a fuzzy network over the given action activations.
std::vector<double> Defuzzify(const DefuzzifyRow& row) {
    const int nOutputs = static_cast<int>(row.mfPerOutput.size());
    TOmbra net(1, std::vector<int>{2}, 1, row.mfPerOutput, nOutputs);
    net.SetWeightLayer(4, row.centres);
    net.layers[4]->values = row.activations;
    net.layers[5]->Propagate({});
    return net.layers[5]->values;
}

TEST(TOmbraOutputLayer, CentreOfGravityWithItsZeroRules) {
    const DefuzzifyRow rows[] = {
        {{2}, {0, 1}, {0.25, 0.75}, {0.75}},
        {{2}, {0.2, 0.6}, {0.5, 0.5}, {0.4}},
        {{2}, {0, 1}, {0, 0}, {0}},        // no active action: no division
        {{2}, {0, 0}, {0.5, 0.5}, {0}},    // weighted centres sum to 0
        {{2}, {0.5, 0.25}, {1, -1}, {0}},  // activations sum to 0
        {{2}, {1, 1}, {0.3, 0.1}, {1}},    // the upper bound is allowed
        {{3, 2}, {0, 0.5, 1, 0, 1}, {0.2, 0.4, 0.4, 1, 0}, {0.6, 0}},
        {{2, 2}, {0, 1, 0, 1}, {0.5, 0.5, 0.1, 0.3}, {0.5, 0.75}},
    };
    for (const DefuzzifyRow& row : rows) {
        const std::vector<double> outputs = Defuzzify(row);
        ASSERT_EQ(outputs.size(), row.expected.size());
        for (std::size_t o = 0; o < outputs.size(); ++o) {
            EXPECT_DOUBLE_EQ(outputs[o], row.expected[o]) << "output " << o;
        }
    }
}

TEST(TOmbraOutputLayer, AnOutputOutsideZeroToOneIsPrintedAndFailsTheCheck) {
    const DefuzzifyRow above{{2}, {0, 2}, {0, 1}, {}};
    testing::internal::CaptureStdout();
    EXPECT_CHECK_FIRES(Defuzzify(above));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "2\n");
    const DefuzzifyRow below{{2}, {-0.5, 0}, {1, 0}, {}};
    testing::internal::CaptureStdout();
    EXPECT_CHECK_FIRES(Defuzzify(below));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "-0.5\n");
}

TEST(TOmbraOutputLayer, StructureAndMFIndices) {
    TBasicNetwork net(6);
    TOmbraOutputLayer layer(&net, 5, 2);
    layer.SetOutputMF(5, std::vector<int>{3, 2});
    EXPECT_EQ(layer.outputOf, (std::vector<int>{0, 0, 0, 1, 1}));
    EXPECT_EQ(layer.nActions, 5);
    EXPECT_EQ(layer.GetMFIndex(2), 2);
    EXPECT_EQ(layer.GetMFIndex(3), 0);
    EXPECT_EQ(layer.GetLayerType(), "Defuzzify");
    EXPECT_EQ(layer.GetLayerCode(), 5);

    EXPECT_EQ(layer.GetMFIndex(4), 1);  // the last action
    test::ExpectGuardsFire({
        {"MF counts adding up to other than the actions",
         [&] {
             layer.SetOutputMF(6, std::vector<int>{3, 2});
         }},
        {"one count for two outputs", [&] { layer.SetOutputMF(5, std::vector<int>{5}); }},
        {"a negative count",
         [&] {
             layer.SetOutputMF(5, std::vector<int>{7, -2});
         }},
        {"MF index of an action past the last", [&] { layer.GetMFIndex(5); }},
    });
    EXPECT_EQ(layer.outputOf.size(), 5u);

    TBasicNetwork other(6);
    std::unique_ptr<TBasicLayer> copy = layer.Clone(&other);
    auto& clone = dynamic_cast<TOmbraOutputLayer&>(*copy);
    EXPECT_EQ(clone.outputOf, layer.outputOf);
    EXPECT_EQ(clone.mfPerOutput, layer.mfPerOutput);
    EXPECT_EQ(clone.network, &other);
}

TEST(TOmbraOutputLayer, PropagateNeedsItsSetAndMatchingSizes) {
    TOmbra net(1, std::vector<int>{2}, 1, std::vector<int>{2}, 1);
    net.Disconnect(4, 5);
    EXPECT_CHECK_FIRES(net.layers[5]->Propagate({}));
}

}  // namespace
}  // namespace glean
