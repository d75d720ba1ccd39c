#include "Training/TOmbraModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "support/TestSupport.h"

namespace glean {
namespace {

struct Shape {
    std::vector<int> mfIn;
    int rules;
    std::vector<int> mfOut;
};

// A network of `shape` with weights in [-3, 3] and centres moved off the even grid, drawn from a
// fixed seed so that every case is the same on every run.
std::unique_ptr<TOmbra> RandomNetwork(const Shape& shape, unsigned seed) {
    auto network =
        std::make_unique<TOmbra>(static_cast<int>(shape.mfIn.size()), shape.mfIn, shape.rules,
                                 shape.mfOut, static_cast<int>(shape.mfOut.size()));
    TOmbraModel model(*network);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> weight(-3.0, 3.0);
    std::uniform_real_distribution<double> nudge(-0.08, 0.08);
    std::span<double> p = model.Parameters();
    for (int k = model.Offset(2); k < model.Offset(4); ++k)
        p[static_cast<std::size_t>(k)] = weight(random);
    for (int layer : {1, 4}) {
        for (int k = model.Offset(layer); k < model.Offset(layer) + model.Count(layer); ++k)
            p[static_cast<std::size_t>(k)] += nudge(random);
    }
    model.ProjectCentres(true, true);
    model.Store(*network);
    return network;
}

double Error(TOmbraModel& model, const std::vector<double>& x, const std::vector<double>& t) {
    std::vector<double> gradient(model.Parameters().size());
    return model.AddGradient(x, t, gradient, 1.0);
}

std::vector<double> Gradient(TOmbraModel& model, const std::vector<double>& x,
                             const std::vector<double>& t) {
    std::vector<double> gradient(model.Parameters().size(), 0.0);
    model.AddGradient(x, t, gradient, 1.0);
    return gradient;
}

// The error with parameter k moved by `delta`.
double Moved(TOmbraModel& model, std::size_t k, double delta, const std::vector<double>& x,
             const std::vector<double>& t) {
    double& p = model.Parameters()[k];
    const double saved = p;
    p = saved + delta;
    const double e = Error(model, x, t);
    p = saved;
    return e;
}

bool IsCentre(const TOmbraModel& model, std::size_t k) {
    return k < static_cast<std::size_t>(model.Count(1));
}

// Whether the input of a centre meets it exactly (a kink of the memberships).
bool OnCentre(const std::vector<double>& x, int inputOfCentre, double centre) {
    return x[static_cast<std::size_t>(inputOfCentre)] == centre;
}

const std::vector<Shape> kShapes = {
    {{2}, 1, {2}},
    {{3, 3}, 4, {3}},
    {{2, 4, 3}, 5, {2, 3}},
    {{5}, 3, {4, 2}},
};

// Inputs inside, on the borders, outside [0, 1], and exactly on centres (added per case).
const std::vector<double> kInputs = {0.37, 0.0, 1.0, -0.4, 1.3, 0.5, 0.91};

TEST(TOmbraModel, RecallEqualsTheNetworksForwardPass) {
    for (std::size_t s = 0; s < kShapes.size(); ++s) {
        auto network = RandomNetwork(kShapes[s], 11 + static_cast<unsigned>(s));
        TOmbraModel model(*network);
        const std::span<const double> centres = model.Parameters().subspan(0, model.Count(1));
        std::vector<double> values(kInputs);
        values.insert(values.end(), centres.begin(), centres.end());
        for (double v : values) {
            std::vector<double> x(static_cast<std::size_t>(model.Inputs()));
            for (std::size_t i = 0; i < x.size(); ++i)
                x[i] = i % 2 == 0 ? v : 1.0 - v;
            std::vector<double> mine(static_cast<std::size_t>(model.Outputs()));
            std::vector<double> theirs(mine.size());
            model.Recall(x, mine);
            network->Recall(x, theirs);
            for (std::size_t o = 0; o < mine.size(); ++o)
                EXPECT_EQ(mine[o], theirs[o]) << "shape " << s << " input " << v;
        }
    }
}

// Analytic against central differences for every parameter of several shapes and inputs; for a
// centre that the input meets exactly, against the one-sided difference the gradient is defined
// by (the centre moved down, i.e. the input just above it).
TEST(TOmbraModel, GradientMatchesFiniteDifferences) {
    const double h = 1e-6;
    int kinks = 0;
    for (std::size_t s = 0; s < kShapes.size(); ++s) {
        auto network = RandomNetwork(kShapes[s], 29 + static_cast<unsigned>(s));
        TOmbraModel model(*network);
        const TConditionLayer& conditions = network->ConditionLayer();
        std::vector<std::vector<double>> cases;
        for (double v : kInputs) {
            std::vector<double> x(static_cast<std::size_t>(model.Inputs()));
            for (std::size_t i = 0; i < x.size(); ++i)
                x[i] = std::fmod(v + 0.23 * static_cast<double>(i), 1.6) - 0.2;
            cases.push_back(x);
        }
        // Every input on each of its own centres in turn.
        for (int c = 0; c < model.Count(1); ++c) {
            std::vector<double> x(static_cast<std::size_t>(model.Inputs()), 0.4);
            x[static_cast<std::size_t>(conditions.inputOf[static_cast<std::size_t>(c)])] =
                model.Parameters()[static_cast<std::size_t>(c)];
            cases.push_back(x);
        }
        std::vector<double> target(static_cast<std::size_t>(model.Outputs()));
        for (std::size_t o = 0; o < target.size(); ++o)
            target[o] = o % 2 == 0 ? 0.9 : 0.1;

        for (const std::vector<double>& x : cases) {
            const std::vector<double> analytic = Gradient(model, x, target);
            for (std::size_t k = 0; k < analytic.size(); ++k) {
                const bool kink =
                    IsCentre(model, k) && OnCentre(x, conditions.inputOf[k], model.Parameters()[k]);
                double numeric;
                if (kink) {
                    ++kinks;
                    numeric = (Error(model, x, target) - Moved(model, k, -h, x, target)) / h;
                } else {
                    numeric =
                        (Moved(model, k, h, x, target) - Moved(model, k, -h, x, target)) / (2 * h);
                }
                EXPECT_NEAR(analytic[k], numeric, 1e-5 + 1e-4 * std::fabs(numeric))
                    << "shape " << s << " parameter " << k << (kink ? " (kink)" : "");
            }
        }
    }
    EXPECT_GT(kinks, 0);
}

TEST(TOmbraModel, GradientIsScaledAndAdded) {
    auto network = RandomNetwork(kShapes[1], 5);
    TOmbraModel model(*network);
    const std::vector<double> x = {0.2, 0.7};
    const std::vector<double> t = {0.3};
    const std::vector<double> once = Gradient(model, x, t);
    std::vector<double> twice(once.size(), 1.0);
    model.AddGradient(x, t, twice, 2.0);
    for (std::size_t k = 0; k < once.size(); ++k)
        EXPECT_DOUBLE_EQ(twice[k], 1.0 + 2.0 * once[k]);
}

TEST(TOmbraModel, StoreWritesEveryWeightLayerBack) {
    auto network = RandomNetwork(kShapes[2], 3);
    TOmbraModel model(*network);
    for (double& p : model.Parameters())
        p *= 0.5;
    model.Store(*network);
    TOmbraModel reread(*network);
    ASSERT_EQ(reread.Parameters().size(), model.Parameters().size());
    for (std::size_t k = 0; k < model.Parameters().size(); ++k)
        EXPECT_EQ(reread.Parameters()[k], model.Parameters()[k]);
    EXPECT_EQ(network->GetWeightLayer(3)[0], model.Parameters()[model.Offset(3)]);
}

TEST(TOmbraModel, ProjectionKeepsCentresOrderedInsideTheUnitRange) {
    TOmbra network(2, std::vector<int>{3, 2}, 1, std::vector<int>{3}, 1);
    TOmbraModel model(network);
    std::span<double> p = model.Parameters();
    // Input 0: 0.6, 0.2, 1.4; input 1: -0.5, 0.3; output: 0.9, 0.4, 0.95.
    const double centres[] = {0.6, 0.2, 1.4, -0.5, 0.3};
    std::copy(std::begin(centres), std::end(centres), p.begin());
    const int o = model.Offset(4);
    p[o] = 0.9;
    p[o + 1] = 0.4;
    p[o + 2] = 0.95;
    const std::vector<double> given(p.begin(), p.end());
    model.ProjectCentres(true, true);
    const std::vector<double> expected = {0.6, 0.6, 1.0, 0.0, 0.3};
    for (std::size_t k = 0; k < expected.size(); ++k)
        EXPECT_EQ(p[k], expected[k]) << k;
    EXPECT_EQ(p[o], 0.9);
    EXPECT_EQ(p[o + 1], 0.9);
    EXPECT_EQ(p[o + 2], 0.95);

    // With a gap, inputs only: each centre at least 0.25 above its predecessor and low enough
    // to leave its successors room below 1; the output centres stay as they were.
    std::copy(given.begin(), given.end(), p.begin());
    model.ProjectCentres(true, false, 0.25);
    const std::vector<double> apart = {0.5, 0.75, 1.0, 0.0, 0.3};
    for (std::size_t k = 0; k < apart.size(); ++k)
        EXPECT_DOUBLE_EQ(p[k], apart[k]) << k;
    EXPECT_EQ(p[o + 1], 0.4);
    // The widest gap three MFs can keep spreads them over the whole range.
    model.ProjectCentres(true, false, 0.5);
    const std::vector<double> widest = {0.0, 0.5, 1.0, 0.0, 0.5};
    for (std::size_t k = 0; k < widest.size(); ++k)
        EXPECT_EQ(p[k], widest[k]) << k;
    EXPECT_CHECK_FAILS(model.ProjectCentres(true, false, -0.1), "gap>=0");
    EXPECT_CHECK_FAILS(model.ProjectCentres(true, false, 0.6), "(MFs-1)*gap<=1");
    model.ProjectCentres(false, false, 0.6);  // nothing projected: any gap fits
}

TEST(TOmbraModel, EqualCentresNeverDivide) {
    TOmbra network(1, std::vector<int>{3}, 2, std::vector<int>{2}, 1);
    network.SetWeightLayer(1, std::vector<double>{0.5, 0.5, 0.5});
    TOmbraModel model(network);
    for (double x : {0.0, 0.5, 1.0}) {
        const std::vector<double> g = Gradient(model, {x}, {0.5});
        for (double v : g)
            EXPECT_TRUE(std::isfinite(v)) << x;
    }
}

TEST(TOmbraModel, FrozenAndMissingWeightsAreNotTrainable) {
    TOmbra network(1, std::vector<int>{2}, 2, std::vector<int>{2}, 1);
    network.FreezeWeight(1, 1, 0);
    network.FreezeWeight(2, 0, 1);
    network.MatrixSet(3).RemoveArc(1, 0);
    TOmbraModel model(network);
    const std::vector<bool>& trainable = model.Trainable();
    EXPECT_TRUE(trainable[0]);
    EXPECT_FALSE(trainable[1]);
    EXPECT_FALSE(trainable[static_cast<std::size_t>(model.Offset(2) + 1)]);
    EXPECT_TRUE(trainable[static_cast<std::size_t>(model.Offset(2))]);
    EXPECT_FALSE(trainable[static_cast<std::size_t>(model.Offset(3) + 2)]);
    EXPECT_TRUE(trainable[static_cast<std::size_t>(model.Offset(4))]);
}

TEST(TOmbraModel, RefusesAnIncompleteNetwork) {
    TOmbra empty;
    EXPECT_TEXCEPTION(TOmbraModel{empty}, "Network unsuitable for training: layer 0 is missing",
                      "Bad Format", "TOmbraModel::TOmbraModel");
}

}  // namespace
}  // namespace glean
