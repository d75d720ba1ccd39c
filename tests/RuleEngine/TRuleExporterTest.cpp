#include "RuleEngine/TRuleExporter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "RuleEngine/TFclExporter.h"
#include "RuleEngine/TFisExporter.h"
#include "RuleEngine/TFllExporter.h"
#include "RuleSets.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

TEST(TRuleExporter, ChoosesTheFormatByExtension) {
    EXPECT_NE(dynamic_cast<TFllExporter*>(TRuleExporter::ForFile("a/b.fll").get()), nullptr);
    EXPECT_NE(dynamic_cast<TFisExporter*>(TRuleExporter::ForFile("b.FIS").get()), nullptr);
    EXPECT_NE(dynamic_cast<TFclExporter*>(TRuleExporter::ForFile("c.d.Fcl").get()), nullptr);
    EXPECT_EQ(TRuleExporter::ForFile("rules.txt"), nullptr);
    EXPECT_EQ(TRuleExporter::ForFile("fll"), nullptr);
}

TEST(TRuleExporter, ConditionsMergeListsAndPushNotOntoAtoms) {
    auto rules = test::NetworkRules(1, false);
    test::AddCompoundRules(*rules);
    const TRuleBase base(*rules);
    const TEngineNames names = TRuleExporter::Names(base);
    const int first = rules->RuleList->numRules() - 3;
    const auto text = [&](int rule) {
        return TRuleExporter::ConditionText(
            TRuleExporter::Condition(*rules->RuleList->GetRule(rule).Antecedent, rule), names);
    };
    EXPECT_EQ(text(first), "(InputA is A or InputB is not B) and InputA is not C");
    EXPECT_EQ(text(first + 1), "InputB is D or InputA is B or InputB is A");
    EXPECT_EQ(text(first + 2), "InputA is B");
    EXPECT_EQ(
        TRuleExporter::WeightComment(
            TRuleExporter::Condition(*rules->RuleList->GetRule(first).Antecedent, first), names),
        "InputA is A 0.5, InputB is not B 0.5, InputA is not C 0.5");
}

TEST(TRuleExporter, RefusesNotBeforeABracket) {
    auto rules = test::LoadToolRules("compound.rul");
    // Rule 5 becomes: not ((Cold or not Humid) and not Hot).
    TRule& rule = rules->RuleList->GetRule(4);
    auto negation = std::make_unique<TRuleExprList>("not", 0);
    negation->InsertSubExpression(std::move(*rule.Antecedent), -1);
    *rule.Antecedent = TRuleExpression(std::move(negation));
    std::ostringstream out;
    EXPECT_THROW_TEXT(TFllExporter().Write(TRuleBase(*rules), {}, out), ExportError,
                      "rule 5: \"not\" before a bracketed condition cannot be exported");
}

TEST(TRuleExporter, FisRefusesTwoConditionsOnOneInput) {
    auto rules = test::NetworkRules(1, false);
    test::AddCompoundRules(*rules);
    rules->RuleList->RemoveRule(rules->RuleList->numRules() - 3);  // the mixed one
    std::ostringstream out;
    EXPECT_THROW_TEXT(TFisExporter().Write(TRuleBase(*rules), {}, out), ExportError,
                      "rule " + std::to_string(rules->RuleList->numRules() - 1) +
                          ": FIS cannot hold two conditions on one input");
    EXPECT_EQ(out.str(), "");  // nothing written before the refusal
}

// Singleton outputs use a term's centre alone, but no format may write "nan" or "inf" for it.
TEST(TRuleExporter, EveryFormatAndModeRefusesAnOutputTermThatIsNotFinite) {
    for (double centre : {NAN, INFINITY, -INFINITY}) {
        auto rules = test::LoadToolRules("fan.rul");
        dynamic_cast<TTriangularMF&>(*rules->OutputMFList->GetMFSet(0)->GetMF(1)).Centre = centre;
        const TRuleBase base(*rules);
        for (const char* file : {"x.fll", "x.fis", "x.fcl"}) {
            for (TOutputMode mode : {TOutputMode::Singletons, TOutputMode::Triangles}) {
                SCOPED_TRACE(std::string(file) + " " + OutputModeName(mode));
                TExportOptions options;
                options.Mode = mode;
                std::ostringstream out;
                EXPECT_THROW_TEXT(TRuleExporter::ForFile(file)->Write(base, options, out),
                                  ExportError, "FanSpeed.Medium: a parameter is not finite");
            }
        }
    }
}

TEST(TRuleExporter, NamesBecomeIdentifiersAndMustStayDistinct) {
    auto rules = test::LoadToolRules("fan.rul");
    rules->InputMFList->GetMFSet(0)->Name = "Air temp.";
    rules->InputMFList->GetMFSet(0)->GetMF(0)->Name = "2cold";
    const TRuleBase base(*rules);
    const TEngineNames names = TRuleExporter::Names(base);
    EXPECT_EQ(names.Inputs[0], "Air_temp_");
    EXPECT_EQ(names.InputTerms[0][0], "_2cold");
    EXPECT_EQ(names.OutputTerms[0][2], "Fast");
    rules->InputMFList->GetMFSet(1)->Name = "Air-temp.";
    EXPECT_THROW_TEXT(TRuleExporter::Names(TRuleBase(*rules)), ExportError,
                      "variables: the name \"Air_temp_\" is used twice");
    rules->OutputMFList->GetMFSet(0)->GetMF(1)->Name = "Slow";
    rules->InputMFList->GetMFSet(1)->Name = "Humidity";
    EXPECT_THROW_TEXT(TRuleExporter::Names(TRuleBase(*rules)), ExportError,
                      "FanSpeed: the name \"Slow\" is used twice");
}

// A rule line: the term of each input from 1 (negative for "not", 0 for none), the term of each
// output, the weight, and 1 for "and" or 2 for "or".
TEST(TFisExporter, RuleLinesNumberTermsFromOneAndNegateWithTheSign) {
    auto rules = test::NetworkRules(1, false);
    test::AddFlatRules(*rules);
    const TRuleBase base(*rules);
    std::ostringstream out;
    TFisExporter().Write(base, {}, out);
    const std::string text = out.str();
    const std::string lastTwo =
        text.substr(text.rfind('\n', text.rfind('\n', text.size() - 2) - 1));
    EXPECT_EQ(lastTwo, "\n1 -2, 0 2 (" + ExactNumber(0.6 / base.LargestWeight()) +
                           ") : 2\n-3 4, 1 0 (" + ExactNumber(0.8 / base.LargestWeight()) +
                           ") : 1\n");
}

TEST(TFisExporter, ShouldersReachBeyondTheRange) {
    EXPECT_EQ(TFisExporter::Shape({{0.2, 1}, {0.5, 0}}, 0, 1), "'trapmf',[-2 -1 0.2 0.5]");
    EXPECT_EQ(TFisExporter::Shape({{0.5, 0}, {0.8, 1}}, 0, 1), "'trapmf',[0.5 0.8 2 3]");
    EXPECT_EQ(TFisExporter::Shape({{-4, 1}, {0.5, 0}}, 0, 10), "'trapmf',[-24 -14 -4 0.5]");
    EXPECT_EQ(TFisExporter::Shape({{0, 0}, {0.5, 1}, {1, 0}}, 0, 1), "'trimf',[0 0.5 1]");
}

TEST(TFllExporter, SteepShouldersBecomeTrianglesWithAnInfiniteVertex) {
    EXPECT_EQ(TFllExporter::Shape({{0.2, 1}, {0.5, 0}}), "Ramp 0.5 0.2");
    EXPECT_EQ(TFllExporter::Shape({{0.5, 0}, {0.8, 1}}), "Ramp 0.5 0.8");
    EXPECT_EQ(TFllExporter::Shape({{0.5, 1}, {0.5000001, 0}}), "Triangle -inf 0.5 0.5000001");
    EXPECT_EQ(TFllExporter::Shape({{0.4999999, 0}, {0.5, 1}}), "Triangle 0.4999999 0.5 inf");
    // A ramp exactly as wide as the tolerance is one fuzzylite keeps.
    EXPECT_EQ(TFllExporter::Shape({{0, 1}, {kFuzzyliteTolerance, 0}}), "Ramp 1e-06 0");
    EXPECT_EQ(TFllExporter::Shape({{0, 0}, {0.1, 1}, {0.2, 1}, {0.3, 0}}),
              "Trapezoid 0 0.1 0.2 0.3");
}

// FCL numbers the rules of a block from 1.
TEST(TFclExporter, RulesAreNumberedFromOne) {
    const auto rules = test::LoadToolRules("fan.rul");
    std::ostringstream out;
    TFclExporter().Write(TRuleBase(*rules), {}, out);
    const std::string text = out.str();
    EXPECT_NE(
        text.find("\n    RULE 1 : if Temperature is Cold and Humidity is Dry then FanSpeed is "
                  "Slow with 0.5;\n"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("\n    RULE 5 : if Temperature is Hot and Humidity is Dry then FanSpeed is "
                        "Medium with 0.25;\nEND_RULEBLOCK\n"),
              std::string::npos)
        << text;
}

TEST(TFclExporter, PointListsPairPositionAndDegree) {
    EXPECT_EQ(TFclExporter::Shape({{0.2, 1}, {0.5, 0}}), "(0.2, 1) (0.5, 0)");
}

}  // namespace
}  // namespace glean
