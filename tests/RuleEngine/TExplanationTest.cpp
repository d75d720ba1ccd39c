#include "RuleEngine/TExplanation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "FileHandler/TRuleFile.h"
#include "RuleSets.h"

namespace glean {
namespace {

std::unique_ptr<TFuzzyRuleSet> FanRules() {
    std::ifstream in(GLEAN_EXAMPLES "/fan/fan.rul");
    FileTools tools;
    return TRuleFile::LoadRules(tools, in);
}

const TRuleFiring& Firing(const TExplanation& explanation, int rule) {
    for (const TRuleFiring& firing : explanation.Rules)
        if (firing.Rule == rule) return firing;
    throw std::out_of_range("no such rule");
}

// examples/fan: Temperature Cold (shoulder to 0.47), Mild (0, 0.47, 1), Hot (shoulder from
// 0.47); Humidity Dry (shoulder to 0.55), Normal (0, 0.55, 1), Humid (shoulder from 0.55);
// FanSpeed Slow 0.08, Medium 0.5, Fast 0.93; rules Cold/Mild/Hot x Dry/Normal/Humid in order.
TEST(Explain, DegreesInsideATermByHand) {
    const auto rules = FanRules();
    const TRuleBase base(*rules);
    const TRuleEvaluator evaluator(base, TConjunction::Minimum, TOutputMode::Singletons);
    const double inputs[] = {0.2, 0.8};
    const TExplanation explanation = Explain(evaluator, base, inputs);

    const double cold = 0.27 / 0.47, mild = 0.2 / 0.47, normal = 0.2 / 0.45, humid = 0.25 / 0.45;
    const TRuleFiring& second = Firing(explanation, 1);  // Cold and Normal
    ASSERT_EQ(second.Conditions.size(), 2u);
    EXPECT_DOUBLE_EQ(second.Conditions[0].Degree, cold);
    EXPECT_DOUBLE_EQ(second.Conditions[1].Degree, normal);
    EXPECT_DOUBLE_EQ(second.Strength, normal);
    EXPECT_DOUBLE_EQ(Firing(explanation, 2).Strength, humid);  // Cold and Humid
    EXPECT_DOUBLE_EQ(Firing(explanation, 4).Strength, mild);   // Mild and Normal
    EXPECT_DOUBLE_EQ(Firing(explanation, 5).Strength, mild);   // Mild and Humid
    EXPECT_EQ(Firing(explanation, 0).Strength, 0);             // Cold and Dry
    EXPECT_EQ(Firing(explanation, 0).Conditions[1].Degree, 0);

    // The firing rules first, each group in rule order.
    std::vector<int> order;
    for (const TRuleFiring& firing : explanation.Rules)
        order.push_back(firing.Rule);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 4, 5, 0, 3, 6, 7, 8}));

    // Weights over the largest (0.957525); the activations' weighted centres.
    const double largest = 0.957525;
    const double a2 = normal * 0.85213 / largest, a3 = humid * 0.837073 / largest,
                 a5 = mild * 0.903145 / largest, a6 = mild * 0.926269 / largest;
    const double total = a2 + a3 + a5 + a6;
    EXPECT_NEAR(second.Contributions[0].Activation, a2, 1e-12);
    EXPECT_NEAR(second.Contributions[0].Share, a2 / total, 1e-12);
    ASSERT_EQ(explanation.Outputs.size(), 1u);
    EXPECT_NEAR(explanation.Outputs[0].Value, (a2 * 0.08 + (a3 + a5) * 0.5 + a6 * 0.93) / total,
                1e-12);
    EXPECT_EQ(explanation.Outputs[0].Rule, 2);  // Cold and Humid activates Medium most
    EXPECT_EQ(explanation.Outputs[0].Term, 1);
}

TEST(Explain, OnTheEdgeOfATermOneRuleDecides) {
    const auto rules = FanRules();
    const TRuleBase base(*rules);
    const TRuleEvaluator evaluator(base, TConjunction::Product, TOutputMode::Singletons);
    // 0.47 is Cold's right foot and Hot's left foot, 0.55 Dry's and Humid's: Mild and Normal
    // alone, fully.
    const double inputs[] = {0.47, 0.55};
    const TExplanation explanation = Explain(evaluator, base, inputs);
    EXPECT_EQ(explanation.Rules[0].Rule, 4);
    EXPECT_EQ(explanation.Rules[0].Strength, 1);
    EXPECT_EQ(explanation.Rules[1].Strength, 0);
    EXPECT_EQ(Firing(explanation, 0).Conditions[0].Degree, 0);
    EXPECT_EQ(Firing(explanation, 8).Conditions[0].Degree, 0);
    EXPECT_EQ(explanation.Outputs[0].Value, 0.5);
    EXPECT_EQ(explanation.Outputs[0].Rule, 4);
    EXPECT_EQ(explanation.Rules[0].Contributions[0].Share, 1);
}

TEST(Explain, OutsideEveryTermNoRuleDecides) {
    auto rules = FanRules();
    // Hot as a triangle ending at 1, so that nothing of Temperature reaches 1.5.
    auto hot = std::make_unique<TTriangularMF>("Hot");
    hot->LeftBound = 0.47;
    hot->Centre = 1;
    hot->RightBound = 1;
    rules->InputMFList->GetMFSet(0)->SetMF(2, std::move(hot));
    const TRuleBase base(*rules);
    const TRuleEvaluator evaluator(base, TConjunction::Minimum, TOutputMode::Singletons);
    const double inputs[] = {1.5, 0.3};
    const TExplanation explanation = Explain(evaluator, base, inputs);
    for (const TRuleFiring& firing : explanation.Rules) {
        EXPECT_EQ(firing.Strength, 0);
        EXPECT_EQ(firing.Conditions[0].Degree, 0);
        EXPECT_EQ(firing.Contributions[0].Share, 0);
    }
    EXPECT_EQ(explanation.Rules.front().Rule, 0);
    EXPECT_TRUE(std::isnan(explanation.Outputs[0].Value));
    EXPECT_EQ(explanation.Outputs[0].Rule, -1);

    std::ostringstream text, json;
    WriteExplanation(explanation, evaluator, base, text);
    WriteExplanationJson(explanation, evaluator, base, json);
    EXPECT_NE(text.str().find("FanSpeed = none, no rule active\n"), std::string::npos);
    EXPECT_NE(json.str().find("\"value\": null, \"decidedBy\": null"), std::string::npos);
}

// The outputs of an explanation are the evaluator's, on every kind of rule base and setting.
TEST(Explain, OutputsEqualTheEvaluatorsOnRandomSamples) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-0.1, 1.1);
    for (unsigned seed : {1u, 2u}) {
        auto rules = test::NetworkRules(seed, seed == 2);
        test::AddCompoundRules(*rules);
        const TRuleBase base(*rules);
        for (TConjunction conjunction : {TConjunction::Minimum, TConjunction::Product}) {
            for (TOutputMode mode : {TOutputMode::Singletons, TOutputMode::Triangles}) {
                const TRuleEvaluator evaluator(base, conjunction, mode);
                for (int n = 0; n < 125; ++n) {
                    const double inputs[] = {value(random), value(random)};
                    double expected[2];
                    evaluator.Evaluate(inputs, expected);
                    const TExplanation explanation = Explain(evaluator, base, inputs);
                    for (int o = 0; o < 2; ++o) {
                        const double got = explanation.Outputs[o].Value;
                        EXPECT_TRUE(got == expected[o] ||
                                    (std::isnan(got) && std::isnan(expected[o])))
                            << got << " " << expected[o];
                        EXPECT_EQ(std::isnan(got), explanation.Outputs[o].Rule < 0);
                    }
                }
            }
        }
    }
}

TEST(ConditionAtoms, NotFlipsTheAtomsBelowIt) {
    auto rules = test::NetworkRules(1, false);
    test::AddCompoundRules(*rules);
    const TRuleList& list = *rules->RuleList;
    // (x0 is A or not x1 is B) and x0 is not C
    std::vector<TRuleAtom> atoms;
    ConditionAtoms(*list.GetRule(list.numRules() - 3).Antecedent, atoms);
    ASSERT_EQ(atoms.size(), 3u);
    EXPECT_FALSE(atoms[0].Negated);
    EXPECT_TRUE(atoms[1].Negated);
    EXPECT_TRUE(atoms[2].Negated);
    // not not x0 is B
    atoms.clear();
    ConditionAtoms(*list.GetRule(list.numRules() - 1).Antecedent, atoms);
    ASSERT_EQ(atoms.size(), 1u);
    EXPECT_FALSE(atoms[0].Negated);
}

}  // namespace
}  // namespace glean
