#include "RuleEngine/TRuleEvaluator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "RuleSets.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

double Output(const TRuleBase& base, TConjunction conjunction, TOutputMode mode, double t,
              double h) {
    const TRuleEvaluator evaluator(base, conjunction, mode);
    const double inputs[] = {t, h};
    double output = 0;
    evaluator.Evaluate(inputs, std::span<double>(&output, 1));
    return output;
}

// fan.rul: Temperature Cold/Mild/Hot centred 0, 0.5, 1; Humidity Dry/Normal/Humid 0, 0.4, 1;
// FanSpeed Slow/Medium/Fast 0, 0.5, 1; weights over the largest: rule 1 Slow 0.5, rule 2 Medium
// 0.375 and Slow 0.125, rule 3 Fast 1, rule 4 Medium 0.25.
TEST(TRuleEvaluator, WeightedAverageOfTheActivatedCentres) {
    const auto rules = test::LoadToolRules("fan.rul");
    const TRuleBase base(*rules);
    constexpr auto kMin = TConjunction::Minimum;
    constexpr auto kProduct = TConjunction::Product;
    constexpr auto kSingletons = TOutputMode::Singletons;
    // Only rule 1, fully: its centre.
    EXPECT_EQ(Output(base, kMin, kSingletons, 0, 0), 0);
    // Cold, Mild, Dry, Normal all 0.5: rule 1 gives 0.5 x 0.5 (minimum) or 0.25 x 0.5
    // (product) to Slow, rule 2 0.5 x 0.375 to Medium and 0.5 x 0.125 to Slow.
    EXPECT_DOUBLE_EQ(Output(base, kMin, kSingletons, 0.25, 0.2), 0.09375 / 0.5);
    EXPECT_DOUBLE_EQ(Output(base, kProduct, kSingletons, 0.25, 0.2), 0.09375 / 0.375);
    // Hot and Humid: rule 3 alone.
    EXPECT_EQ(Output(base, kProduct, kSingletons, 1, 1), 1);
    // Cold and Normal: no rule is active.
    EXPECT_TRUE(std::isnan(Output(base, kMin, kSingletons, 0, 0.4)));
    EXPECT_TRUE(std::isnan(Output(base, kMin, TOutputMode::Triangles, 0, 0.4)));
}

TEST(TRuleEvaluator, CentroidOfTheClippedTerms) {
    const auto rules = test::LoadToolRules("fan.rul");
    const TRuleBase base(*rules);
    constexpr auto kTriangles = TOutputMode::Triangles;
    // Rule 3 alone at full strength: the right shoulder over [0.5, 1], centroid near 5/6.
    EXPECT_NEAR(Output(base, TConjunction::Minimum, kTriangles, 1, 1), 5.0 / 6, 1e-3);
    // Rule 2 alone (Mild 1, Dry 0.5 does not reach rule 1 or 4): Medium clipped at 0.375 and
    // Slow at 0.125; the Medium triangle alone would give 0.5, the Slow part pulls it left.
    const double mixed = Output(base, TConjunction::Minimum, kTriangles, 0.5, 0.2);
    EXPECT_LT(mixed, 0.5);
    EXPECT_GT(mixed, 0.4);
}

TEST(TRuleEvaluator, OperatorsOfCompoundConditions) {
    const auto rules = test::LoadToolRules("compound.rul");
    const TRuleBase base(*rules);
    // Rule 5: (Cold or not Humid) and not Hot. At (0.75, 0.7): Cold 0, Humid 0.5, Hot 0.5.
    const TRuleExpression& condition = *rules->RuleList->GetRule(4).Antecedent;
    const double inputs[] = {0.75, 0.7};
    EXPECT_DOUBLE_EQ(TRuleEvaluator(base, TConjunction::Minimum, TOutputMode::Singletons)
                         .Degree(condition, inputs),
                     0.5);
    EXPECT_DOUBLE_EQ(TRuleEvaluator(base, TConjunction::Product, TOutputMode::Singletons)
                         .Degree(condition, inputs),
                     0.25);
}

// The first of equal largest values, NaN skipped wherever it stands; -1 when nothing is left.
TEST(LargestOutput, FirstOfEqualsNaNSkipped) {
    const double nan = std::nan("");
    const struct {
        std::vector<double> Values;
        int Expected;
    } rows[] = {
        {{}, -1},
        {{nan, nan}, -1},
        {{0.5}, 0},
        {{0.5, 0.5}, 0},
        {{0.1, 0.3, 0.3}, 1},
        {{nan, 0.2, 0.2}, 1},
        {{0.4, nan, 0.6}, 2},
        {{-1, -2}, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LargestOutput(row.Values), row.Expected) << testing::PrintToString(row.Values);
}

TEST(TRuleEvaluator, NamesOfConjunctionsAndModes) {
    EXPECT_EQ(ConjunctionNamed("MINIMUM"), TConjunction::Minimum);
    EXPECT_EQ(ConjunctionNamed("product"), TConjunction::Product);
    EXPECT_EQ(OutputModeNamed("Triangles"), TOutputMode::Triangles);
    EXPECT_STREQ(ConjunctionName(TConjunction::Product), "product");
    EXPECT_STREQ(OutputModeName(TOutputMode::Singletons), "singletons");
    EXPECT_THROW_TEXT(ConjunctionNamed("max"), ExportError,
                      "unknown conjunction \"max\" (minimum or product)");
    EXPECT_THROW_TEXT(OutputModeNamed("bells"), ExportError,
                      "unknown output mode \"bells\" (singletons or triangles)");
}

TEST(ClassProbabilities, SharesOfTheOutputsAndTheClassOfTheLargest) {
    const double nan = std::nan("");
    struct Row {
        std::vector<double> outputs, probabilities;
    };
    const Row rows[] = {
        {{0.25, 0.75}, {0.25, 0.75}},
        {{0.5, 0.5, 0.25}, {0.4, 0.4, 0.2}},  // equal largest: the first is the class
        {{nan, 0.5, 0}, {0, 1, 0}},
        {{0, nan, 0}, {0.5, 0, 0.5}},  // a sum of 0: equal shares of the outputs with a value
        {{nan, 0, 0, 0}, {0, 1.0 / 3, 1.0 / 3, 1.0 / 3}},
        {{0.7}, {1}},
    };
    for (const Row& row : rows) {
        std::vector<double> probabilities(row.outputs.size(), -1);
        ClassProbabilities(row.outputs, probabilities);
        EXPECT_EQ(probabilities, row.probabilities);
        const auto largest = std::max_element(probabilities.begin(), probabilities.end());
        EXPECT_EQ(largest - probabilities.begin(), LargestOutput(row.outputs));
    }
    std::vector<double> two(2);
    EXPECT_CHECK_FAILS(ClassProbabilities(std::vector<double>{nan, nan}, two), "valued > 0");
    EXPECT_CHECK_FAILS(ClassProbabilities(std::vector<double>{0.5}, two),
                       "probabilities.size() == outputs.size()");
}

}  // namespace
}  // namespace glean
