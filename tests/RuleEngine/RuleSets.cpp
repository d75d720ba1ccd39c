#include "RuleSets.h"

#include <fstream>
#include <random>
#include <string>

#include "FileHandler/TRuleFile.h"
#include "Ombra/RuleExtraction/TOmbraRule.h"
#include "Ombra/TOmbra.h"
#include "RuleEngine/TFidelity.h"

namespace glean::test {

std::unique_ptr<TFuzzyRuleSet> LoadToolRules(const char* name) {
    std::ifstream in(std::string(GLEAN_TEST_DATA) + "/GleanTool/" + name);
    FileTools tools;
    return TRuleFile::LoadRules(tools, in);
}

std::unique_ptr<TFuzzyRuleSet> NetworkRules(unsigned seed, bool degenerate) {
    const std::vector<int> mfPerInput{3, 4}, mfPerOutput{3, 2};
    TOmbra network(2, mfPerInput, 8, mfPerOutput, 2);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> weight(-0.5, 1.0);
    for (int layer : {2, 3}) {
        std::vector<double> values(network.GetWeightLayer(layer).size());
        for (double& value : values)
            value = weight(random);
        network.SetWeightLayer(layer, values);
    }
    const std::vector<double> centres = degenerate
                                            ? std::vector<double>{0, 0, 0.6, 0.1, 0.35, 0.35, 1}
                                            : std::vector<double>{0, 0.45, 1, 0, 0.3, 0.7, 1};
    network.SetWeightLayer(1, centres);
    network.SetWeightLayer(4, std::vector<double>{0, 0.4, 1, 0.2, 0.9});
    std::unique_ptr<TFuzzyRuleSet> rules;
    ExtractRules(network, rules, nullptr, nullptr);
    return rules;
}

namespace {

TRuleExpression Atom(int variable, int term, bool negated = false) {
    return TRuleExpression(TRuleAtom{variable, term, 0.5, negated});
}

TRuleExpression List(const char* op, std::vector<TRuleExpression> parts) {
    auto list = std::make_unique<TRuleExprList>(op, 0);
    for (TRuleExpression& part : parts)
        list->InsertSubExpression(std::move(part), -1);
    return TRuleExpression(std::move(list));
}

void AddRule(TFuzzyRuleSet& rules, TRuleExpression antecedent, int output, int term,
             double weight) {
    auto consequences = std::make_unique<TRuleConsequenceList>(0);
    consequences->InsertConsequence(output, term, weight, false, -1);
    rules.RuleList->InsertRule(
        TRule(std::make_unique<TRuleExpression>(std::move(antecedent)), std::move(consequences)),
        -1);
}

}  // namespace

void AddCompoundRules(TFuzzyRuleSet& rules) {
    // (x0 is A or not x1 is B) and x0 is not C
    AddRule(rules,
            List("and", {List("or", {Atom(0, 0), List("not", {Atom(1, 1)})}), Atom(0, 2, true)}), 0,
            1, 0.7);
    // x1 is D or x0 is B or x1 is A  (an "or" chain nested to the left)
    AddRule(rules, List("or", {List("or", {Atom(1, 3), Atom(0, 1)}), Atom(1, 0)}), 1, 0, 0.9);
    // not not x0 is B
    AddRule(rules, List("not", {List("not", {Atom(0, 1)})}), 0, 2, 0.3);
}

void AddFlatRules(TFuzzyRuleSet& rules) {
    // x0 is A or not x1 is B
    AddRule(rules, List("or", {Atom(0, 0), List("not", {Atom(1, 1)})}), 1, 1, 0.6);
    // x0 is not C and x1 is D
    AddRule(rules, List("and", {Atom(0, 2, true), Atom(1, 3)}), 0, 0, 0.8);
}

std::vector<std::vector<double>> GridOf(const TFuzzyRuleSet& rules, int points) {
    return TFidelity::Grid(TRuleBase(rules), points);
}

}  // namespace glean::test
