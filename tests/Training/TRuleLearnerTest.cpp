#include "Training/TRuleLearner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Ombra/RuleExtraction/TOmbraRule.h"
#include "RuleEngine/TRuleBase.h"
#include "RuleEngine/TRuleEvaluator.h"
#include "Training/TMinimiser.h"
#include "Training/TRuleNetwork.h"

namespace glean {
namespace {

// Rows on a grid over [0, 1]^2; the class is 1 where x0 > 0.5, the target is x0.
TLearningRows GridRows(bool classifying) {
    TLearningRows rows;
    rows.ClassCount = classifying ? 2 : 0;
    for (int a = 0; a < 15; ++a) {
        for (int b = 0; b < 15; ++b) {
            const double x0 = a / 14.0, x1 = b / 14.0;
            rows.Inputs.push_back({x0, x1});
            if (classifying) {
                rows.Classes.push_back(x0 > 0.5 ? 1 : 0);
            } else {
                rows.Targets.push_back(x0);
            }
        }
    }
    return rows;
}

TEST(TermDegree, IsWhatTheNetworkComputes) {
    const std::vector<double> centres = {0.2, 0.5, 0.9};
    TOmbra network(1, std::vector<int>{3}, 1, std::vector<int>{2}, 1);
    network.SetWeightLayer(kInputCentres, centres);
    std::vector<double> output(1);
    for (double x : {-1.0, 0.2, 0.35, 0.5, 0.5000001, 0.7, 0.9, 2.0}) {
        network.Recall(std::vector<double>{x}, output);
        double sum = 0;
        for (int t = 0; t < 3; ++t) {
            EXPECT_DOUBLE_EQ(TermDegree(centres, t, x), network.GetActivationValue(2, t)) << x;
            sum += TermDegree(centres, t, x);
        }
        EXPECT_DOUBLE_EQ(sum, 1.0) << x;
    }
}

TEST(QuantileCentres, IncreaseInsideTheUnitRangeEvenForAConstantColumn) {
    for (const std::vector<double>& values :
         {std::vector<double>{0.0, 0.1, 0.4, 1.0}, std::vector<double>(20, 1.0),
          std::vector<double>(20, 0.0)}) {
        const std::vector<double> centres = QuantileCentres(values, 3);
        ASSERT_EQ(centres.size(), 3u);
        for (std::size_t t = 1; t < centres.size(); ++t)
            EXPECT_GT(centres[t], centres[t - 1]);
        EXPECT_GE(centres.front(), 0.0);
        EXPECT_LE(centres.back(), 1.0);
    }
}

TEST(Minimise, FindsTheValleyOfRosenbrock) {
    std::vector<double> x = {-1.2, 1.0};
    TMinimiserSettings settings;
    settings.Iterations = 2000;
    const double value = Minimise(
        [](std::span<const double> p, std::span<double> g) {
            const double a = 1 - p[0], b = p[1] - p[0] * p[0];
            g[0] = -2 * a - 400 * p[0] * b;
            g[1] = 200 * b;
            return a * a + 100 * b * b;
        },
        x, settings);
    EXPECT_LT(value, 1e-8);
    EXPECT_NEAR(x[0], 1.0, 1e-3);
    EXPECT_NEAR(x[1], 1.0, 1e-3);
}

TEST(LearnRuleBase, SpeaksOnlyOfTheInputThatDecides) {
    const TLearningRows rows = GridRows(true);
    const TLearnedRuleBase base = LearnRuleBase(rows, {});
    ASSERT_FALSE(base.Rules.empty());
    int right = 0;
    for (std::size_t i = 0; i < rows.Size(); ++i) {
        const std::vector<double> outputs = RuleBaseOutputs(base, rows.Inputs[i]);
        right += LargestOutput(outputs) == rows.Classes[i];
    }
    EXPECT_GE(right, int(rows.Size()) * 95 / 100);
    for (const TLearnedRule& rule : base.Rules) {
        for (const TInputTerm& condition : rule.Conditions)
            EXPECT_EQ(condition.Input, 0);
    }
}

TEST(LearnRuleBase, FollowsALinearTarget) {
    const TLearningRows rows = GridRows(false);
    const TLearnedRuleBase base = LearnRuleBase(rows, {});
    double squares = 0, spread = 0;
    for (std::size_t i = 0; i < rows.Size(); ++i) {
        squares += std::pow(RuleBaseOutputs(base, rows.Inputs[i])[0] - rows.Targets[i], 2);
        spread += std::pow(rows.Targets[i] - 0.5, 2);
    }
    EXPECT_GT(1 - squares / spread, 0.9);
    ASSERT_EQ(base.OutputCentres.size(), 1u);
    for (std::size_t t = 1; t < base.OutputCentres[0].size(); ++t)
        EXPECT_GT(base.OutputCentres[0][t], base.OutputCentres[0][t - 1]);
}

// The network carries exactly the learned rules: Glean reads them off with thresholds 0, and the
// rule engine answers on them what the learner computed.
TEST(MakeRuleNetwork, ExtractsToTheLearnedRules) {
    for (bool classifying : {true, false}) {
        const TLearningRows rows = GridRows(classifying);
        const TLearnedRuleBase base = LearnRuleBase(rows, {});
        std::unique_ptr<TOmbra> network = MakeRuleNetwork(base, rows);
        std::unique_ptr<TFuzzyRuleSet> rules;
        ExtractRules(*network, rules, nullptr, nullptr);
        ASSERT_EQ(rules->RuleList->numRules(), int(base.Rules.size()));
        for (int r = 0; r < rules->RuleList->numRules(); ++r) {
            const TRuleExprList& conditions = rules->RuleList->GetRule(r).Antecedent->List();
            ASSERT_EQ(conditions.numSubExpressions(), int(base.Rules[r].Conditions.size()));
            for (int c = 0; c < conditions.numSubExpressions(); ++c) {
                EXPECT_EQ(conditions.GetSubExpression(c).Atom().Variable,
                          base.Rules[r].Conditions[c].Input);
                EXPECT_EQ(conditions.GetSubExpression(c).Atom().Term,
                          base.Rules[r].Conditions[c].Term);
            }
        }
        const TRuleBase engine(*rules);
        const TRuleEvaluator evaluator(engine, TConjunction::Minimum, TOutputMode::Singletons);
        std::vector<double> outputs(base.OutputCentres.size());
        for (const std::vector<double>& row : rows.Inputs) {
            evaluator.Evaluate(row, outputs);
            const std::vector<double> learned = RuleBaseOutputs(base, row);
            for (std::size_t o = 0; o < outputs.size(); ++o)
                EXPECT_NEAR(outputs[o], learned[o], 1e-9);
        }
    }
}

TEST(MakeRuleNetwork, PicksTheRulesClassOnTheRows) {
    const TLearningRows rows = GridRows(true);
    const TLearnedRuleBase base = LearnRuleBase(rows, {});
    std::unique_ptr<TOmbra> network = MakeRuleNetwork(base, rows);
    std::vector<double> outputs(2);
    int agreeing = 0;
    for (const std::vector<double>& row : rows.Inputs) {
        network->Recall(row, outputs);
        agreeing += LargestOutput(outputs) == LargestOutput(RuleBaseOutputs(base, row));
    }
    EXPECT_GE(agreeing, int(rows.Size()) * 95 / 100);
}

}  // namespace
}  // namespace glean
