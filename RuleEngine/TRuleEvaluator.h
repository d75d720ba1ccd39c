// The rule base run the way the exported engines run it. An atom's degree is its term's
// membership (1 minus it when negated); "and" is the selected conjunction, "or" the maximum,
// "not" 1 minus its operand. A rule's strength times its weight activates its output term.
// Per output, singleton mode takes the weighted average of the activated terms' centres; triangle
// mode clips each activated term at its activation, joins them by the maximum and takes the
// centroid by the midpoint rule over the output range. An output no rule activates is NaN.
#pragma once

#include <span>
#include <string>

#include "RuleEngine/TRuleBase.h"

namespace glean {

enum class TConjunction { Minimum, Product };
enum class TOutputMode { Singletons, Triangles };

// The conjunction that reproduced the bundled examples better.
inline constexpr TConjunction kDefaultConjunction = TConjunction::Minimum;
// Integration points of the centroid over the output range (the engines' default).
inline constexpr int kCentroidResolution = 100;

// "minimum" / "product" and "singletons" / "triangles", any letter case; throws ExportError.
TConjunction ConjunctionNamed(const std::string& name);
TOutputMode OutputModeNamed(const std::string& name);
const char* ConjunctionName(TConjunction conjunction);  // "minimum" or "product"
const char* OutputModeName(TOutputMode mode);           // "singletons" or "triangles"
// The class a rule base's (or a network's) outputs pick: the position of the largest value that
// is not NaN, the first of equals; -1 when every value is NaN.
int LargestOutput(std::span<const double> values);
// A rule base's outputs for classes read as probabilities: each output over their sum, an output
// without value (NaN) as 0; when they sum to 0, equal shares of the outputs with a value. The
// largest probability is that of LargestOutput's class. Requires every output 0 or more or NaN,
// at least one with a value, and as many probabilities as outputs (checked).
void ClassProbabilities(std::span<const double> outputs, std::span<double> probabilities);

class TRuleEvaluator {
public:
    // Borrows the rule base for its whole life.
    TRuleEvaluator(const TRuleBase& rules, TConjunction conjunction, TOutputMode mode);

    // The degree to which the inputs satisfy an antecedent. Requires inputs for every variable.
    double Degree(const TRuleExpression& expression, std::span<const double> inputs) const;
    // One value per output into outputs, NaN where no rule is active. Requires
    // inputs.size() >= Inputs() and outputs.size() >= Outputs() (checked).
    void Evaluate(std::span<const double> inputs, std::span<double> outputs) const;
    // The same from every engine rule's activation (its weight times its antecedent's degree),
    // one per entry of the rule base's Rules(), in that order; an activation of 0 is a rule that
    // does not fire. Requires activations.size() == Rules().size() and outputs.size() >=
    // Outputs() (checked).
    void Combine(std::span<const double> activations, std::span<double> outputs) const;
    // The value an output term stands for in singleton mode, its peak.
    double Centre(int output, int term) const;

    TConjunction Conjunction() const { return conjunction_; }
    TOutputMode Mode() const { return mode_; }

private:
    double Centroid(int output, std::span<const double> activation) const;

    const TRuleBase& rules_;
    TConjunction conjunction_;
    TOutputMode mode_;
};

}  // namespace glean
