// Rule sets for the rule engine tests: the rule files of the tool's test data, and sets read off
// networks built in code, with degenerate shapes (equal neighbouring centres, centres on the
// bounds), plus rules with "or", "not" and brackets.
#pragma once

#include <memory>
#include <vector>

#include "RuleObject/RuleObject.h"

namespace glean::test {

// The rule file `name` of tests/data/GleanTool, read.
std::unique_ptr<TFuzzyRuleSet> LoadToolRules(const char* name);

// The rules of a network with inputs of 3 and 4 MFs, 8 rule neurons and outputs of 3 and 2 MFs,
// random weights from `seed`; `degenerate` puts equal neighbouring centres into both inputs.
std::unique_ptr<TFuzzyRuleSet> NetworkRules(unsigned seed, bool degenerate);
// Appends rules using "or", "not" and brackets to a set from NetworkRules.
void AddCompoundRules(TFuzzyRuleSet& rules);
// Appends rules FIS can hold too: one operator per rule, "or" among them, negated atoms.
void AddFlatRules(TFuzzyRuleSet& rules);
// Every input combination of `points` values evenly spread over the input ranges.
std::vector<std::vector<double>> GridOf(const TFuzzyRuleSet& rules, int points);

}  // namespace glean::test
