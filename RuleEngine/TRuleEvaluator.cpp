#include "RuleEngine/TRuleEvaluator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "KQmessage/Check.h"
#include "KQmessage/TException.h"

namespace glean {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

TConjunction ConjunctionNamed(const std::string& name) {
    if (SameText(name, "minimum")) return TConjunction::Minimum;
    if (SameText(name, "product")) return TConjunction::Product;
    throw ExportError("unknown conjunction \"" + name + "\" (minimum or product)");
}

TOutputMode OutputModeNamed(const std::string& name) {
    if (SameText(name, "singletons")) return TOutputMode::Singletons;
    if (SameText(name, "triangles")) return TOutputMode::Triangles;
    throw ExportError("unknown output mode \"" + name + "\" (singletons or triangles)");
}

int LargestOutput(std::span<const double> values) {
    int largest = -1;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (std::isnan(values[i])) continue;
        if (largest < 0 || values[i] > values[static_cast<std::size_t>(largest)]) {
            largest = static_cast<int>(i);
        }
    }
    return largest;
}

void ClassProbabilities(std::span<const double> outputs, std::span<double> probabilities) {
    GLEAN_CHECK(probabilities.size() == outputs.size());
    double sum = 0;
    int valued = 0;
    for (double value : outputs) {
        if (std::isnan(value)) continue;
        sum += value;
        ++valued;
    }
    GLEAN_CHECK(valued > 0);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (std::isnan(outputs[i])) {
            probabilities[i] = 0;
        } else {
            probabilities[i] = sum > 0 ? outputs[i] / sum : 1.0 / valued;
        }
    }
}

const char* ConjunctionName(TConjunction conjunction) {
    return conjunction == TConjunction::Minimum ? "minimum" : "product";
}

const char* OutputModeName(TOutputMode mode) {
    return mode == TOutputMode::Singletons ? "singletons" : "triangles";
}

TRuleEvaluator::TRuleEvaluator(const TRuleBase& rules, TConjunction conjunction, TOutputMode mode)
    : rules_(rules), conjunction_(conjunction), mode_(mode) {}

double TRuleEvaluator::Degree(const TRuleExpression& expression,
                              std::span<const double> inputs) const {
    if (expression.ExprKind() == 1) {
        const TRuleAtom& atom = expression.Atom();
        const double membership =
            rules_.InputTerm(atom.Variable, atom.Term).Membership(inputs[atom.Variable]);
        return atom.Negated ? 1 - membership : membership;
    }
    const TRuleExprList& list = expression.List();
    if (SameText(list.Operator, "not")) return 1 - Degree(list.GetSubExpression(0), inputs);
    const bool isOr = SameText(list.Operator, "or");
    double degree = Degree(list.GetSubExpression(0), inputs);
    for (int i = 1; i < list.numSubExpressions(); ++i) {
        const double next = Degree(list.GetSubExpression(i), inputs);
        if (isOr) {
            degree = std::max(degree, next);
        } else if (conjunction_ == TConjunction::Minimum) {
            degree = std::min(degree, next);
        } else {
            degree *= next;
        }
    }
    return degree;
}

void TRuleEvaluator::Evaluate(std::span<const double> inputs, std::span<double> outputs) const {
    GLEAN_CHECK(inputs.size() >= static_cast<std::size_t>(rules_.Inputs()));
    std::vector<double> activations;
    activations.reserve(rules_.Rules().size());
    for (const TEngineRule& rule : rules_.Rules())
        activations.push_back(rule.Weight * Degree(*rule.Antecedent, inputs));
    Combine(activations, outputs);
}

void TRuleEvaluator::Combine(std::span<const double> activations, std::span<double> outputs) const {
    GLEAN_CHECK(activations.size() == rules_.Rules().size());
    GLEAN_CHECK(outputs.size() >= static_cast<std::size_t>(rules_.Outputs()));
    std::vector<double> weighted(rules_.Outputs(), 0.0), total(rules_.Outputs(), 0.0);
    // Triangle mode: the activation of every output term, the strongest rule's.
    std::vector<std::vector<double>> activation(rules_.Outputs());
    for (int o = 0; o < rules_.Outputs(); ++o) {
        activation[o].assign(rules_.OutputSet(o).NumberOfMF, 0.0);
    }
    for (std::size_t i = 0; i < activations.size(); ++i) {
        const TEngineRule& rule = rules_.Rules()[i];
        const double strength = activations[i];
        weighted[rule.Output] += strength * Centre(rule.Output, rule.Term);
        total[rule.Output] += strength;
        double& term = activation[rule.Output][rule.Term];
        term = std::max(term, strength);
    }
    for (int o = 0; o < rules_.Outputs(); ++o) {
        if (mode_ == TOutputMode::Singletons) {
            outputs[o] = total[o] > 0 ? weighted[o] / total[o] : kNaN;
        } else {
            outputs[o] = Centroid(o, activation[o]);
        }
    }
}

double TRuleEvaluator::Centre(int output, int term) const {
    return TermPeak(rules_.OutputTerm(output, term));
}

double TRuleEvaluator::Centroid(int output, std::span<const double> activation) const {
    const TBasicMFSet& set = rules_.OutputSet(output);
    const double step = (set.UpperBound - set.LowerBound) / kCentroidResolution;
    double area = 0, moment = 0;
    for (int i = 0; i < kCentroidResolution; ++i) {
        const double x = set.LowerBound + (i + 0.5) * step;
        double y = 0;
        for (int t = 0; t < set.NumberOfMF; ++t) {
            y = std::max(y, std::min(activation[t], set.GetMF(t)->Membership(x)));
        }
        area += y;
        moment += y * x;
    }
    return area > 0 ? moment / area : kNaN;
}

}  // namespace glean
