#include "Ombra/RuleExtraction/TOmbraRule.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/TestSupport.h"

namespace glean {
namespace {

// A fuzzy network with every condition-to-rule and rule-to-action weight 0.
TOmbra MakeNetwork(std::vector<int> mfPerInput, int nRules, std::vector<int> mfPerOutput) {
    return TOmbra(static_cast<int>(mfPerInput.size()), mfPerInput, nRules, mfPerOutput,
                  static_cast<int>(mfPerOutput.size()));
}

std::unique_ptr<TKQstructure> Params(std::initializer_list<std::pair<const char*, double>> keys) {
    auto params = std::make_unique<TKQstructure>("Params");
    for (const auto& [key, value] : keys)
        params->SetReal(key, value);
    return params;
}

const TRuleExprList& AntecedentOf(const TRuleList& rules, int r) {
    const TRuleExpression& antecedent = *rules.GetRule(r).Antecedent;
    EXPECT_EQ(antecedent.ExprKind(), 2);
    return antecedent.List();
}

void ExpectAtom(const TRuleAtom& atom, int variable, int term, double weight) {
    EXPECT_EQ(atom.Variable, variable);
    EXPECT_EQ(atom.Term, term);
    EXPECT_DOUBLE_EQ(atom.Weight, weight);
    EXPECT_FALSE(atom.Negated);
}

TEST(LetterName, IsBase26WithBlankLeadingAs) {
    EXPECT_EQ(LetterName(0), "    A");
    EXPECT_EQ(LetterName(25), "    Z");
    EXPECT_EQ(LetterName(26), "   BA");
    EXPECT_EQ(LetterName(27), "   BB");
    EXPECT_EQ(LetterName(676), "  BAA");
    EXPECT_EQ(LetterName(11881375), "ZZZZZ");
    EXPECT_EQ(LetterName(11881376), "    A");  // only the lowest five digits are kept
    EXPECT_CHECK_FIRES(LetterName(-1));
}

TEST(BuildRuleList, TakesTheStrongestConditionPerInputAndEveryConsequentAboveThreshold) {
    TOmbra network = MakeNetwork({3, 2}, 2, {2, 2});
    // Rule 0: input 0 MF 2 (0.9 beats 0.7), input 1 MF 0; consequents: output 0 MF 1, output 1
    // MF 0 and MF 1 (several MFs of one output are all kept).
    network.SetWeightValue(2, 1, 0, 0.7);
    network.SetWeightValue(2, 2, 0, 0.9);
    network.SetWeightValue(2, 3, 0, 0.6);
    network.SetWeightValue(3, 0, 1, 0.8);
    network.SetWeightValue(3, 0, 2, 0.55);
    network.SetWeightValue(3, 0, 3, 2.5);  // weights are compared as stored, never normalised
    // Rule 1: every condition weight at or below 0, so no rule whatever its consequents.
    network.SetWeightValue(2, 0, 1, -0.5);
    network.SetWeightValue(3, 1, 0, 0.9);

    auto rules = BuildRuleList(network, 0.0, 0.5);
    EXPECT_EQ(rules->Name, "Glean");
    ASSERT_EQ(rules->numRules(), 1);
    const TRuleExprList& antecedent = AntecedentOf(*rules, 0);
    EXPECT_EQ(antecedent.Operator, "and");
    ASSERT_EQ(antecedent.numSubExpressions(), 2);
    ExpectAtom(antecedent.GetSubExpression(0).Atom(), 0, 2, 0.9);
    ExpectAtom(antecedent.GetSubExpression(1).Atom(), 1, 0, 0.6);
    const TRuleConsequenceList& consequences = *rules->GetRule(0).ConsequenceList;
    ASSERT_EQ(consequences.numConsequences(), 3);
    ExpectAtom(consequences.GetConsequence(0), 0, 1, 0.8);
    ExpectAtom(consequences.GetConsequence(1), 1, 0, 0.55);
    ExpectAtom(consequences.GetConsequence(2), 1, 1, 2.5);
}

TEST(BuildRuleList, ComparisonsAreStrict) {
    TOmbra network = MakeNetwork({2}, 3, {2});
    // Equal weights: the first MF wins. A weight equal to a threshold does not qualify.
    network.SetWeightValue(2, 0, 0, 0.8);
    network.SetWeightValue(2, 1, 0, 0.8);
    network.SetWeightValue(3, 0, 0, 0.5);
    network.SetWeightValue(3, 0, 1, 0.6);
    network.SetWeightValue(2, 1, 1, 0.5);  // equal to thresholdIn: no antecedent
    network.SetWeightValue(3, 1, 1, 0.9);
    network.SetWeightValue(2, 0, 2, 0.9);  // no consequent above thresholdOut
    network.SetWeightValue(3, 2, 0, 0.5);

    auto rules = BuildRuleList(network, 0.5, 0.5);
    ASSERT_EQ(rules->numRules(), 1);
    ExpectAtom(AntecedentOf(*rules, 0).GetSubExpression(0).Atom(), 0, 0, 0.8);
    ASSERT_EQ(rules->GetRule(0).ConsequenceList->numConsequences(), 1);
    ExpectAtom(rules->GetRule(0).ConsequenceList->GetConsequence(0), 0, 1, 0.6);
}

TEST(BuildRuleList, NegativeThresholds) {
    TOmbra network = MakeNetwork({2}, 2, {2});
    for (int c = 0; c < 2; ++c) {
        for (int r = 0; r < 2; ++r)
            network.SetWeightValue(2, c, r, -0.25);
    }
    // The running best starts at 0, so negative condition weights never qualify...
    EXPECT_EQ(BuildRuleList(network, -1.0, -1.0)->numRules(), 0);
    // ...while a negative thresholdOut admits negative (and removed, 0.0) consequent weights.
    network.SetWeightValue(2, 1, 1, 0.3);
    network.SetWeightValue(3, 1, 0, -0.5);
    auto rules = BuildRuleList(network, -1.0, -1.0);
    ASSERT_EQ(rules->numRules(), 1);
    const TRuleConsequenceList& consequences = *rules->GetRule(0).ConsequenceList;
    ASSERT_EQ(consequences.numConsequences(), 2);
    ExpectAtom(consequences.GetConsequence(0), 0, 0, -0.5);
    ExpectAtom(consequences.GetConsequence(1), 0, 1, 0.0);
}

TEST(BuildRuleList, IdenticalRuleNeuronsGiveIdenticalRulesInOrder) {
    TOmbra network = MakeNetwork({2}, 3, {2});
    for (int r : {0, 2}) {
        network.SetWeightValue(2, 1, r, 0.7);
        network.SetWeightValue(3, r, 0, 0.9);
    }
    network.SetWeightValue(2, 0, 1, 0.6);  // neuron 1 has no consequent
    auto rules = BuildRuleList(network, 0.0, 0.0);
    ASSERT_EQ(rules->numRules(), 2);
    for (int r = 0; r < 2; ++r) {
        ExpectAtom(AntecedentOf(*rules, r).GetSubExpression(0).Atom(), 0, 1, 0.7);
        ExpectAtom(rules->GetRule(r).ConsequenceList->GetConsequence(0), 0, 0, 0.9);
    }
}

TEST(MakeDefaultLabels, NamesVariablesAndRestartsTermsPerVariable) {
    std::vector<int> mfPerInput(27, 2);
    mfPerInput[1] = 3;
    TOmbra network = MakeNetwork(mfPerInput, 1, {2, 2});
    auto labels = MakeDefaultLabels(network);
    EXPECT_EQ(labels->GetInputName(0), "InputA");
    EXPECT_EQ(labels->GetInputName(1), "InputB");
    EXPECT_EQ(labels->GetInputName(26), "InputBA");
    EXPECT_EQ(labels->GetConditionName(0), "A");
    EXPECT_EQ(labels->GetConditionName(1), "B");
    EXPECT_EQ(labels->GetConditionName(4), "C");  // third MF of input 1
    EXPECT_EQ(labels->GetConditionName(5), "A");  // first MF of input 2
    EXPECT_EQ(labels->GetOutputName(1), "OutputB");
    EXPECT_EQ(labels->GetActionName(3), "B");
}

TEST(GetOmbraMF, BuildsShoulderedTrianglesOnTheCentres) {
    TOmbra network = MakeNetwork({3, 2}, 1, {2});
    network.SetWeightValue(1, 0, 1, 0.4);
    std::unique_ptr<TMFSetList> inputs;
    std::unique_ptr<TMFSetList> outputs;
    GetOmbraMF(network, *MakeDefaultLabels(network), inputs, outputs);

    EXPECT_EQ(inputs->ListName, "Inputs");
    EXPECT_EQ(outputs->ListName, "Outputs");
    ASSERT_EQ(inputs->VariablesRepresented, 2);
    const TBasicMFSet& first = *inputs->GetMFSet(0);
    EXPECT_EQ(first.Name, "InputA");
    EXPECT_EQ(first.Type, "Triangular");
    EXPECT_EQ(first.NumberOfMF, 3);
    EXPECT_EQ(first.LowerBound, 0.0);
    EXPECT_EQ(first.UpperBound, 1.0);
    const auto& left = dynamic_cast<const TLShoulderTriangularMF&>(*first.GetMF(0));
    EXPECT_EQ(left.Name, "A");
    EXPECT_EQ(left.Centre, 0.0);
    EXPECT_EQ(left.RightBound, 0.4);
    const auto& middle = dynamic_cast<const TTriangularMF&>(*first.GetMF(1));
    EXPECT_EQ(middle.Type, "Triangular");
    EXPECT_EQ(middle.LeftBound, 0.0);
    EXPECT_EQ(middle.Centre, 0.4);
    EXPECT_EQ(middle.RightBound, 1.0);
    const auto& right = dynamic_cast<const TRShoulderTriangularMF&>(*first.GetMF(2));
    EXPECT_EQ(right.Name, "C");
    EXPECT_EQ(right.LeftBound, 0.4);
    EXPECT_EQ(right.Centre, 1.0);
    // Two MFs: two shoulders, no plain triangle.
    const TBasicMFSet& second = *inputs->GetMFSet(1);
    EXPECT_EQ(second.GetMF(0)->Type, "LeftShoulderedTriangular");
    EXPECT_EQ(second.GetMF(1)->Type, "RightShoulderedTriangular");
    EXPECT_EQ(outputs->GetMFSet(0)->Name, "OutputA");
}

TEST(GetOmbraMF, RefusesLabelsOfAnotherShape) {
    TOmbra network = MakeNetwork({2}, 1, {2, 2});
    const std::vector<int> twoMFs{2};
    TOmbraLabel oneOutputFewer(1, twoMFs, 1, twoMFs);
    std::unique_ptr<TMFSetList> inputs;
    std::unique_ptr<TMFSetList> outputs;
    EXPECT_TEXCEPTION(GetOmbraMF(network, oneOutputFewer, inputs, outputs),
                      "Labels unsuitable for this network", "Bad Format", "TOmbraRule::GetOmbraMF");
    EXPECT_EQ(inputs, nullptr);
    EXPECT_EQ(outputs, nullptr);
}

TEST(SetOmbraMF, RoundTripKeepsEveryCentre) {
    TOmbra network = MakeNetwork({3, 4}, 1, {3});
    const std::vector<double> inputCentres{0.0, 0.3, 0.9, 0.1, 0.2, 0.7, 1.0};
    const std::vector<double> outputCentres{0.05, 0.6, 0.95};
    network.SetWeightLayer(1, inputCentres);
    network.SetWeightLayer(4, outputCentres);
    std::unique_ptr<TMFSetList> inputs;
    std::unique_ptr<TMFSetList> outputs;
    GetOmbraMF(network, *MakeDefaultLabels(network), inputs, outputs);

    TOmbra other = MakeNetwork({3, 4}, 1, {3});
    SetOmbraMF(other, *inputs, *outputs);
    EXPECT_EQ(other.GetWeightLayer(1), inputCentres);
    EXPECT_EQ(other.GetWeightLayer(4), outputCentres);
}

TEST(SetOmbraMF, RefusesListsOfAnotherShapeAndChangesNothing) {
    TOmbra network = MakeNetwork({2}, 1, {3});
    std::unique_ptr<TMFSetList> inputs;
    std::unique_ptr<TMFSetList> outputs;
    GetOmbraMF(network, *MakeDefaultLabels(network), inputs, outputs);
    inputs->GetMFSet(0)->GetMF(0)->Type = "Triangular";  // wrong first input MF (a shoulder)
    TOmbra target = MakeNetwork({2}, 1, {3});
    target.SetWeightValue(4, 1, 0, 0.25);
    EXPECT_TEXCEPTION(SetOmbraMF(target, *inputs, *outputs),
                      "Inappropriate Input MF type: Should be LeftShouldered", "Bad Parameter",
                      "TOmbraRule::SetOmbraMF");

    auto middleOut = std::make_unique<TBasicMFSet>("Triangular", "OutputA", 3, 0.0, 1.0);
    middleOut->SetMF(0, std::make_unique<TLShoulderTriangularMF>("A"));
    middleOut->SetMF(1, std::make_unique<TSingletonMF>("B"));
    middleOut->SetMF(2, std::make_unique<TRShoulderTriangularMF>("C"));
    inputs->GetMFSet(0)->GetMF(0)->Type = "LeftShoulderedTriangular";
    outputs->SetMFSet(0, std::move(middleOut));
    EXPECT_TEXCEPTION(SetOmbraMF(target, *inputs, *outputs),
                      "Inappropriate Output MF type: Should be Centred", "Bad Parameter",
                      "TOmbraRule::SetOmbraMF");

    outputs->SetMFSet(0, std::make_unique<TBasicMFSet>("Triangular", "OutputA", 2, 0.0, 1.0));
    EXPECT_TEXCEPTION(SetOmbraMF(target, *inputs, *outputs),
                      "Number of Fuzzy MF not appropriate for this network", "Bad Parameter",
                      "TOmbraRule:SetOmbraMF");
    EXPECT_EQ(target.GetWeightValue(4, 1, 0), 0.25);
}

TEST(ExtractRules, ReadsThresholdsFromParameters) {
    TOmbra network = MakeNetwork({2}, 1, {2});
    network.SetWeightValue(2, 0, 0, 0.6);
    network.SetWeightValue(3, 0, 0, 0.3);
    network.SetWeightValue(3, 0, 1, 0.1);
    std::unique_ptr<TFuzzyRuleSet> ruleSet;
    // "threshold" sets both; "thresholdout" (any case) overrides it for consequents.
    ExtractRules(network, ruleSet, Params({{"threshold", 0.5}, {"ThresholdOut", 0.2}}), nullptr);
    ASSERT_EQ(ruleSet->RuleList->numRules(), 1);
    EXPECT_EQ(ruleSet->RuleList->GetRule(0).ConsequenceList->numConsequences(), 1);
    EXPECT_EQ(ruleSet->InputMFList->GetMFSet(0)->Name, "InputA");

    ExtractRules(network, ruleSet, Params({{"thresholdin", 0.7}}), nullptr);
    EXPECT_EQ(ruleSet->RuleList->numRules(), 0);

    ExtractRules(network, ruleSet, nullptr, nullptr);  // defaults 0.0: every positive weight
    EXPECT_EQ(ruleSet->RuleList->GetRule(0).ConsequenceList->numConsequences(), 2);
}

TEST(ExtractRules, Failures) {
    TOmbra network = MakeNetwork({2}, 1, {2});
    std::unique_ptr<TFuzzyRuleSet> ruleSet;
    auto notANumber = std::make_unique<TKQstructure>("Params");
    notANumber->SetString("thresholdin", "high");
    EXPECT_THROW(ExtractRules(network, ruleSet, std::move(notANumber), nullptr),
                 TKQstructure::Error);

    auto otherMethod = std::make_unique<TKQstructure>("Params");
    otherMethod->SetString("method", "Other");
    EXPECT_CHECK_FIRES(ExtractRules(network, ruleSet, std::move(otherMethod), nullptr));

    const std::vector<int> threeMFs{3};
    TOmbraLabel unsuitable(1, threeMFs, 1, std::vector<int>{2});
    ruleSet.reset();
    EXPECT_TEXCEPTION(ExtractRules(network, ruleSet, nullptr, &unsuitable),
                      "Labels unsuitable for this network", "Bad Format", "TOmbraRule::GetOmbraMF");
    ASSERT_NE(ruleSet, nullptr);  // stored before the failure, with every member absent
    EXPECT_EQ(ruleSet->InputMFList, nullptr);
    EXPECT_EQ(ruleSet->RuleList, nullptr);
}

TEST(RequireOmbra, RefusesOtherNetworks) {
    TConnectedNetwork connected(6);
    EXPECT_TEXCEPTION(RequireOmbra(connected),
                      "Network unsuitable for rule extraction: a network of type Connected",
                      "Bad Format", "TOmbraRule::ExtractRules");
    TOmbra empty;  // the reader's starting point: no layers installed yet
    EXPECT_THROW(RequireOmbra(empty), TException);
    TOmbra complete = MakeNetwork({2}, 1, {2});
    EXPECT_EQ(&RequireOmbra(complete), &complete);
}

}  // namespace
}  // namespace glean
