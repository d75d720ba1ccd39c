// Why the rule base answers what it does for one sample: every condition's degree, every rule's
// firing strength, what each consequence adds to its output, the outputs, and the rule that
// decided each output. The numbers are the evaluator's own, so the outputs are exactly those of
// TRuleEvaluator::Evaluate.
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "RuleEngine/TRuleEvaluator.h"

namespace glean {

// One atom of a rule's condition and the degree to which the sample satisfies it (1 minus the
// membership for a negated atom).
struct TConditionDegree {
    int Variable = 0;
    int Term = 0;
    bool Negated = false;
    double Degree = 0;
};

// One consequence of a rule as the engines hold it: its weight over the largest, its
// activation (strength times weight) and its share of all activation of its output.
struct TContribution {
    int Output = 0;
    int Term = 0;
    double Weight = 0;
    double Activation = 0;
    double Share = 0;  // 0 where nothing activates the output
};

struct TRuleFiring {
    int Rule = 0;                              // position in the rule list, from 0
    double Strength = 0;                       // the degree of its whole condition
    std::vector<TConditionDegree> Conditions;  // the atoms, left to right
    std::vector<TContribution> Contributions;  // consequences weighing more than 0, in order
};

struct TOutputDecision {
    double Value = 0;  // NaN when no rule activates the output
    int Rule = -1;     // the rule with the largest activation of the output (first of equals)
    int Term = -1;     // the term that rule activates; -1 with Rule
};

struct TExplanation {
    std::vector<double> Inputs;
    // Every rule: the ones that fire (strength above 0) in rule order, then the others in rule
    // order.
    std::vector<TRuleFiring> Rules;
    std::vector<TOutputDecision> Outputs;
};

// Explains the evaluator's answer to `inputs`. Requires inputs.size() >= the rule base's inputs
// (checked).
TExplanation Explain(const TRuleEvaluator& evaluator, const TRuleBase& rules,
                     std::span<const double> inputs);

// The explanation as text for people: a heading with the inputs, per rule its strength, its
// conditions' degrees and its consequences' activations, then per output its value and the
// rule that decided it. Names are those of the rule set (a variable or term without one by its
// number). Numbers have six significant digits.
void WriteExplanation(const TExplanation& explanation, const TRuleEvaluator& evaluator,
                      const TRuleBase& rules, std::ostream& out);
// The same as one JSON object for programs: "inputs", "rules", "outputs", numbers exact
// (shortest round trip), null for a value that is not a number, rules numbered from 1.
void WriteExplanationJson(const TExplanation& explanation, const TRuleEvaluator& evaluator,
                          const TRuleBase& rules, std::ostream& out);

// The name of an input or output variable, or of a term, as the rule set has it; "input 2",
// "output 1", "term 3" where it has none.
std::string InputName(const TRuleBase& rules, int variable);
std::string OutputName(const TRuleBase& rules, int variable);
std::string InputTermName(const TRuleBase& rules, int variable, int term);
std::string OutputTermName(const TRuleBase& rules, int variable, int term);

// The atoms of an expression, left to right, whatever its operators; `negated` tells whether an
// odd number of "not"s stands above each.
void ConditionAtoms(const TRuleExpression& expression, std::vector<TRuleAtom>& atoms,
                    bool negated = false);

}  // namespace glean
