#include "RuleEngine/TSimplifier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <random>
#include <sstream>

#include "FileHandler/TRuleFile.h"
#include "RuleEngine/TFidelity.h"
#include "RuleEngine/TRuleExporter.h"
#include "RuleSets.h"

namespace glean {
namespace {

std::vector<std::vector<double>> Outputs(const TFuzzyRuleSet& rules,
                                         const std::vector<std::vector<double>>& samples) {
    const TRuleBase base(rules);
    const TRuleEvaluator evaluator(base, kDefaultConjunction, TOutputMode::Singletons);
    std::vector<std::vector<double>> outputs;
    for (const std::vector<double>& sample : samples) {
        std::vector<double> answer(std::size_t(base.Outputs()));
        evaluator.Evaluate(sample, answer);
        outputs.push_back(answer);
    }
    return outputs;
}

std::string Saved(const TFuzzyRuleSet& rules) {
    std::ostringstream out;
    FileTools tools;
    TRuleFile::SaveRules(tools, out, rules);
    return out.str();
}

// Random rule bases (some with terms alike enough to merge), samples and references that the
// rules meet only in part: whatever the budget, the figure never falls by more, and what is
// left reads back, runs the same and exports.
TEST(Simplify, NeverExceedsTheBudget) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> value(0, 1);
    std::bernoulli_distribution flip(0.3);
    for (unsigned seed = 1; seed <= 6; ++seed) {
        const auto original = test::NetworkRules(seed, seed % 2 == 0);
        TFigureRows rows;
        for (int n = 0; n < 60; ++n)
            rows.Inputs.push_back({value(random), value(random)});
        rows.Classes = seed % 3 == 0;
        rows.Reference = Outputs(*original, rows.Inputs);
        for (std::vector<double>& reference : rows.Reference) {
            for (double& v : reference) {
                if (std::isnan(v) || flip(random)) v = value(random);
            }
        }
        for (double budget : {0.0, 0.02, 0.2, 1.0}) {
            auto rules = CopyRuleSet(*original);
            TSimplifySettings settings;
            settings.Budget = budget;
            settings.MergeLimit = 0.3;
            const TSimplifyResult result = Simplify(*rules, rows, settings);
            const double end = SimplifyFigure(*rules, rows, settings.Conjunction, settings.Mode);
            EXPECT_EQ(end, result.End);
            EXPECT_GE(end, result.Start - budget - kFigureTolerance)
                << "seed " << seed << ", budget " << budget;
            EXPECT_EQ(result.Start,
                      SimplifyFigure(*original, rows, settings.Conjunction, settings.Mode));
            double before = result.Start;
            for (const TSimplifyStep& step : result.Steps) {
                EXPECT_EQ(step.Before, before);
                EXPECT_GE(step.After, result.Start - budget - kFigureTolerance) << step.What;
                before = step.After;
            }
            EXPECT_EQ(int(result.Steps.size()),
                      result.MergedTerms + result.DroppedConditions + result.DroppedRules);
            EXPECT_GE(rules->RuleList->numRules(), 1);

            const std::string text = Saved(*rules);
            std::istringstream in(text);
            FileTools tools;
            const auto read = TRuleFile::LoadRules(tools, in);
            EXPECT_EQ(Saved(*read), text);
            const auto a = Outputs(*rules, rows.Inputs), b = Outputs(*read, rows.Inputs);
            // The file keeps parameters to 7 decimals and weights to 6 digits.
            for (std::size_t n = 0; n < a.size(); ++n) {
                for (std::size_t o = 0; o < a[n].size(); ++o) {
                    EXPECT_EQ(std::isnan(a[n][o]), std::isnan(b[n][o]));
                    if (!std::isnan(a[n][o])) {
                        EXPECT_NEAR(a[n][o], b[n][o], 1e-5);
                    }
                }
            }
            std::ostringstream engine;
            TRuleExporter::ForFile("x.fll")->Write(TRuleBase(*read), {}, engine);
            EXPECT_NE(engine.str().find("RuleBlock"), std::string::npos);
        }
    }
}

std::unique_ptr<TFuzzyRuleSet> FanRules() {
    std::ifstream in(GLEAN_EXAMPLES "/fan/fan.rul");
    FileTools tools;
    return TRuleFile::LoadRules(tools, in);
}

// With no budget, what goes is what changes no output on the samples, measured against the
// rules' own outputs: a repeated condition, and the rules of Hot on samples that are never Hot.
// A repeated rule counts twice in the average, so it stays.
TEST(Simplify, ABudgetOfZeroRemovesOnlyWhatChangesNothing) {
    auto rules = FanRules();
    TRuleList& list = *rules->RuleList;
    TRule twice = list.GetRule(4);
    list.InsertRule(twice, -1);  // rule 10 repeats rule 5
    TRuleExprList& second = list.GetRule(1).Antecedent->List();
    second.InsertSubExpression(second.GetSubExpression(1), -1);  // Normal twice in rule 2
    std::vector<std::vector<double>> samples;
    for (int t = 0; t <= 10; ++t)
        for (int h = 0; h <= 10; ++h)
            samples.push_back({0.047 * t, 0.1 * h});  // Temperature up to Hot's foot, 0.47
    TFigureRows rows{samples, Outputs(*rules, samples), false};

    TSimplifySettings settings;
    settings.Budget = 0;
    std::ostringstream log;
    settings.Log = &log;
    const TSimplifyResult result = Simplify(*rules, rows, settings);
    EXPECT_EQ(result.DroppedConditions, 1) << log.str();
    EXPECT_EQ(result.DroppedRules, 3) << log.str();
    EXPECT_EQ(result.MergedTerms, 0);
    ASSERT_EQ(list.numRules(), 7);
    EXPECT_EQ(list.GetRule(1).Antecedent->List().numSubExpressions(), 2);
    for (int r = 0; r < list.numRules(); ++r) {
        const TRuleAtom& temperature =
            list.GetRule(r).Antecedent->List().GetSubExpression(0).Atom();
        EXPECT_NE(temperature.Term, 2) << "a rule of Hot is left";
    }
    EXPECT_NE(log.str().find("dropped <Humidity is Normal> from rule 2: R^2 1.000000 -> "
                             "1.000000\n"),
              std::string::npos)
        << log.str();
    const auto after = Outputs(*rules, samples);
    for (std::size_t n = 0; n < samples.size(); ++n)
        EXPECT_NEAR(after[n][0], rows.Reference[n][0], 1e-12);
}

TEST(Simplify, MergesAlikeTermsAndRenamesTheConditions) {
    auto rules = FanRules();
    // Hot becomes a triangle almost equal to Mild (0, 0.47, 1).
    auto hot = std::make_unique<TTriangularMF>("Hot");
    hot->LeftBound = 0;
    hot->Centre = 0.5;
    hot->RightBound = 1;
    rules->InputMFList->GetMFSet(0)->SetMF(2, std::move(hot));
    const std::vector<std::vector<double>> samples = TFidelity::Grid(TRuleBase(*rules), 6);
    TFigureRows rows{samples, Outputs(*rules, samples), false};
    TSimplifySettings settings;
    settings.Budget = 1;
    settings.MergeLimit = 0.9;
    const TSimplifyResult result = Simplify(*rules, rows, settings);
    ASSERT_EQ(result.MergedTerms, 1);
    EXPECT_EQ(result.Steps[0].What.rfind("merged the terms Mild and Hot of Temperature", 0), 0u);
    const TBasicMFSet& temperature = *rules->InputMFList->GetMFSet(0);
    ASSERT_EQ(temperature.NumberOfMF, 2);
    const auto& merged = dynamic_cast<const TTriangularMF&>(*temperature.GetMF(1));
    EXPECT_EQ(merged.Name, "Mild");
    EXPECT_EQ(merged.LeftBound, 0);
    EXPECT_DOUBLE_EQ(merged.Centre, 0.485);
    EXPECT_EQ(merged.RightBound, 1);
    EXPECT_NO_THROW(TRuleBase{*rules});  // every condition names a term that is still there
}

}  // namespace
}  // namespace glean
