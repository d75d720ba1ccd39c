#include "NeuralNets/TErrorObj.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "KQmessage/TKQstructure.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

using Vec = std::vector<double>;

TEST(TErrorRMSObj, RootOfTheMeanSquareOverOutputsAndPatterns) {
    TErrorRMSObj rms(1);
    EXPECT_EQ(rms.GetError(), 0.0);  // nothing accumulated yet
    rms.Accumulate(Vec{3.0}, Vec{0.0});
    rms.Accumulate(Vec{0.0}, Vec{4.0});
    EXPECT_EQ(rms.Count(), 2);
    EXPECT_DOUBLE_EQ(rms.GetError(), std::sqrt(12.5));
    EXPECT_DOUBLE_EQ(rms.GetError(), std::sqrt(12.5));  // reading does not reset

    TErrorRMSObj two(2);
    two.Accumulate(Vec{1.0, 1.0}, Vec{0.0, 3.0});
    EXPECT_DOUBLE_EQ(two.GetError(), std::sqrt(5.0 / 2.0));
    two.Reset();
    EXPECT_EQ(two.Count(), 0);
    EXPECT_EQ(two.GetError(), 0.0);
}

TEST(TErrorRMSObj, PenaltyJoinsTheSumBeforeTheRoot) {
    TErrorRMSObj rms(2);
    rms.Accumulate(Vec{1.0, 0.0}, Vec{0.0, 0.0});  // sum 1
    TKQstructure quad("QuadPenalty");
    quad.SetReal("EPSILON2", 0.5);
    rms.AddPenalty(Vec{1.0, -2.0}, &quad);  // sum 1 + 2.5
    EXPECT_DOUBLE_EQ(rms.GetError(), std::sqrt(3.5 / 2.0 / 1.0));
}

TEST(TErrorRMSObj, ShortVectorsFailTheCheck) {
    TErrorRMSObj rms(3);
    EXPECT_CHECK_FIRES(rms.Accumulate(Vec{1.0, 2.0}, Vec{1.0, 2.0, 3.0}));
    EXPECT_EQ(rms.Count(), 0);
    EXPECT_CHECK_FIRES(TErrorRMSObj(-1));
}

TEST(TErrorCrossEntropyObj, TermsOfEachComponent) {
    struct Case {
        double t, o, term;
    };
    const Case cases[] = {
        {1.0, 1.0, 0.0},
        {0.0, 1.0, 1e6},
        {1.0, 0.5, std::log(2.0)},
        {0.0, 0.0, 0.0},
        {1.0, 0.0, 1e6},
        {0.5, 0.0, 1e6},
        {0.0, 0.25, -std::log(0.75)},
        {0.3, 0.6, -0.3 * std::log(0.6) - 0.7 * std::log(0.4)},
    };
    for (const Case& c : cases) {
        TErrorCrossEntropyObj error(1);
        error.Accumulate(Vec{c.t}, Vec{c.o});
        EXPECT_DOUBLE_EQ(error.GetError(), c.term) << "t=" << c.t << " o=" << c.o;
    }
    TErrorCrossEntropyObj sum(2);
    sum.Accumulate(Vec{1.0, 0.0}, Vec{0.5, 0.5});
    sum.Accumulate(Vec{1.0, 1.0}, Vec{1.0, 1.0});
    EXPECT_DOUBLE_EQ(sum.GetError(), 2.0 * std::log(2.0));
    EXPECT_EQ(sum.Count(), 2);
}

TEST(TErrorObj, PenaltyKinds) {
    const Vec weights{1.0, -2.0};
    TErrorRMSObj error(1);
    EXPECT_EQ(error.Penalty(weights, nullptr, 1.0), 0.0);
    EXPECT_EQ(error.Penalty(weights, std::make_unique<TKQstructure>("none").get(), 1.0), 0.0);

    TKQstructure quad("QUADPENALTY");
    quad.SetReal("EPSILON2", 0.5);
    EXPECT_DOUBLE_EQ(error.Penalty(weights, &quad, 1.0), 2.5);
    EXPECT_DOUBLE_EQ(error.Penalty(weights, &quad, 2.0), 5.0);
    // EPSILON1 term: w=1: 1*2*1/(2+1) = 2/3; w=-2: 1*2*4/(8+1) = 8/9.
    quad.SetReal("epsilon1", 1.0);
    quad.SetReal("Beta", 2.0);
    EXPECT_DOUBLE_EQ(error.Penalty(weights, &quad, 1.0), 2.0 / 3.0 + 8.0 / 9.0 + 2.5);

    TKQstructure lwf("lwf");
    lwf.SetReal("LEARNINGRATE", 0.1);
    lwf.SetReal("FORGETTINGRATE", 0.01);
    EXPECT_NEAR(error.Penalty(weights, &lwf, 1.0), 0.003, 1e-15);
    EXPECT_NEAR(error.Penalty(weights, &lwf, 7.0), 0.003, 1e-15);  // no scale for LWF
    lwf.RemoveParameter("FORGETTINGRATE");
    EXPECT_EQ(error.Penalty(weights, &lwf, 1.0), 0.0);  // an absent rate counts as 0
}

TEST(TErrorObj, PenaltyFailures) {
    TErrorCrossEntropyObj error(1);
    const Vec weights{1.0};
    TKQstructure unknown("L2");
    EXPECT_CHECK_FIRES(error.Penalty(weights, &unknown, 1.0));  // an unknown penalty
    TKQstructure bad("QUADPENALTY");
    bad.SetString("BETA", "steep");
    try {
        error.AddPenalty(weights, &bad);
        ADD_FAILURE() << "a non-numeric parameter must throw";
    } catch (const TKQstructure::Error& e) {
        ASSERT_EQ(e.Node().Count(), 2);
        EXPECT_EQ(e.Node().ParameterAt(1).Key, "number-expected");
        EXPECT_EQ(e.Node().ParameterAt(1).Value->Name, "steep");
    }
    EXPECT_EQ(error.GetError(), 0.0);
}

}  // namespace
}  // namespace glean
