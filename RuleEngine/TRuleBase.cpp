#include "RuleEngine/TRuleBase.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "KQmessage/TException.h"

namespace glean {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The next double outwards; a subnormal result (which some readers refuse) becomes the nearest
// normal number or zero further out, so at most subnormal inputs fall between the two.
double Below(double x) {
    const double next = std::nextafter(x, -kInfinity);
    if (std::fpclassify(next) != FP_SUBNORMAL) return next;
    return next > 0 ? 0.0 : -std::numeric_limits<double>::min();
}

double Above(double x) {
    const double next = std::nextafter(x, kInfinity);
    if (std::fpclassify(next) != FP_SUBNORMAL) return next;
    return next < 0 ? 0.0 : std::numeric_limits<double>::min();
}

std::string RuleText(int rule) {
    return "rule " + std::to_string(rule + 1);
}

void RequireOrdered(std::initializer_list<double> values, const std::string& where) {
    double previous = -kInfinity;
    for (double value : values) {
        if (!std::isfinite(value)) throw ExportError(where + ": a parameter is not finite");
        if (value < previous) throw ExportError(where + ": its parameters are out of order");
        previous = value;
    }
}

// How far the outer foot of a vertical edge moves: `Step` (0: one representable step), or not
// at all where the edge is kept.
struct TFootStep {
    double Step = 0;
    bool Keep = false;
};

// A point `step` below or above x.
double Below(double x, TFootStep step) {
    if (step.Keep) return x;
    return step.Step > 0 ? x - step.Step : Below(x);
}
double Above(double x, TFootStep step) {
    if (step.Keep) return x;
    return step.Step > 0 ? x + step.Step : Above(x);
}

// A foot closer to its vertex than `step` (coinciding, when it is 0) moves out to that step.
double FootBelow(double foot, double vertex, TFootStep step) {
    return foot < vertex && vertex - foot >= step.Step ? foot : Below(vertex, step);
}
double FootAbove(double foot, double vertex, TFootStep step) {
    return foot > vertex && foot - vertex >= step.Step ? foot : Above(vertex, step);
}

// 1 at x alone.
std::vector<TTermPoint> Spike(double x, TFootStep step) {
    return {{Below(x, step), 0}, {x, 1}, {Above(x, step), 0}};
}

}  // namespace

std::vector<TTermPoint> TermPoints(const TBasicMF& mf, const std::string& where, double footStep,
                                   TVerticalEdge edge) {
    const TFootStep step =
        edge == TVerticalEdge::Keep ? TFootStep{0, true} : TFootStep{footStep, false};
    if (const auto* left = dynamic_cast<const TLShoulderTriangularMF*>(&mf)) {
        RequireOrdered({left->Centre, left->RightBound}, where);
        return {{left->Centre, 1}, {FootAbove(left->RightBound, left->Centre, step), 0}};
    }
    if (const auto* right = dynamic_cast<const TRShoulderTriangularMF*>(&mf)) {
        RequireOrdered({right->LeftBound, right->Centre}, where);
        return {{FootBelow(right->LeftBound, right->Centre, step), 0}, {right->Centre, 1}};
    }
    if (const auto* triangle = dynamic_cast<const TTriangularMF*>(&mf)) {
        RequireOrdered({triangle->LeftBound, triangle->Centre, triangle->RightBound}, where);
        return {{FootBelow(triangle->LeftBound, triangle->Centre, step), 0},
                {triangle->Centre, 1},
                {FootAbove(triangle->RightBound, triangle->Centre, step), 0}};
    }
    if (const auto* singleton = dynamic_cast<const TSingletonMF*>(&mf)) {
        RequireOrdered({singleton->Centre}, where);
        return Spike(singleton->Centre, step);
    }
    if (const auto* rectangle = dynamic_cast<const TRectangularMF*>(&mf)) {
        RequireOrdered({rectangle->LeftBound, rectangle->RightBound}, where);
        if (rectangle->LeftBound == rectangle->RightBound) return Spike(rectangle->LeftBound, step);
        return {{Below(rectangle->LeftBound, step), 0},
                {rectangle->LeftBound, 1},
                {rectangle->RightBound, 1},
                {Above(rectangle->RightBound, step), 0}};
    }
    throw ExportError(where + ": its shape is unknown");
}

double TermPeak(const TBasicMF& mf) {
    if (const auto* centred = dynamic_cast<const TCentredMF*>(&mf)) return centred->Centre;
    if (const auto* triangle = dynamic_cast<const TTriangularMF*>(&mf)) return triangle->Centre;
    const auto& bounded = dynamic_cast<const TBoundedMF&>(mf);
    return (bounded.LeftBound + bounded.RightBound) / 2;
}

double SingletonPeak(const TBasicMF& mf, const std::string& where) {
    std::vector<double> parameters;
    if (const auto* centred = dynamic_cast<const TCentredMF*>(&mf)) {
        parameters.push_back(centred->Centre);
    }
    if (const auto* bounded = dynamic_cast<const TBoundedMF*>(&mf)) {
        parameters.insert(parameters.end(), {bounded->LeftBound, bounded->RightBound});
    }
    if (const auto* triangle = dynamic_cast<const TTriangularMF*>(&mf)) {
        parameters.push_back(triangle->Centre);
    }
    if (const auto* left = dynamic_cast<const TLShoulderTriangularMF*>(&mf)) {
        parameters.push_back(left->RightBound);
    }
    if (const auto* right = dynamic_cast<const TRShoulderTriangularMF*>(&mf)) {
        parameters.push_back(right->LeftBound);
    }
    for (double value : parameters) {
        if (!std::isfinite(value)) throw ExportError(where + ": a parameter is not finite");
    }
    return TermPeak(mf);
}

std::string ExactNumber(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string FixedNumber(double value, int decimals, const char* notANumber) {
    if (std::isnan(value)) return notANumber;
    char text[400];  // enough for the largest double with a few decimals
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

TRuleBase::TRuleBase(const TFuzzyRuleSet& rules) : source_(rules) {
    if (!rules.InputMFList || !rules.OutputMFList || !rules.RuleList) {
        throw ExportError("the rule set lacks its input list, output list or rules");
    }
    CheckLists();
    const TRuleList& list = *rules.RuleList;
    for (int r = 0; r < list.numRules(); ++r) {
        const TRule& rule = list.GetRule(r);
        if (!rule.Antecedent || rule.Antecedent->ExprKind() == 0) {
            throw ExportError(RuleText(r) + ": it has no condition");
        }
        CheckExpression(*rule.Antecedent, r);
        if (!rule.ConsequenceList) continue;
        for (int c = 0; c < rule.ConsequenceList->numConsequences(); ++c) {
            const TRuleAtom& atom = rule.ConsequenceList->GetConsequence(c);
            if (atom.Negated) throw ExportError(RuleText(r) + ": a negated consequence");
            if (atom.Variable < 0 || atom.Variable >= Outputs() || atom.Term < 0 ||
                atom.Term >= OutputSet(atom.Variable).NumberOfMF) {
                throw ExportError(RuleText(r) + ": a consequence outside the output list");
            }
            if (!(atom.Weight > 0)) continue;  // also drops a weight that is not a number
            rules_.push_back({r, rule.Antecedent.get(), atom.Variable, atom.Term, atom.Weight});
            largest_ = std::max(largest_, atom.Weight);
        }
    }
    if (!std::isfinite(largest_)) throw ExportError("a consequence weight is not finite");
    for (TEngineRule& rule : rules_)
        rule.Weight /= largest_;
}

const TBasicMFSet& TRuleBase::InputSet(int variable) const {
    return *source_.InputMFList->GetMFSet(variable);
}

const TBasicMFSet& TRuleBase::OutputSet(int variable) const {
    return *source_.OutputMFList->GetMFSet(variable);
}

const TBasicMF& TRuleBase::InputTerm(int variable, int term) const {
    return *InputSet(variable).GetMF(term);
}

const TBasicMF& TRuleBase::OutputTerm(int variable, int term) const {
    return *OutputSet(variable).GetMF(term);
}

// Every slot is filled, so the accessors above may dereference without looking.
void TRuleBase::CheckLists() const {
    for (const TMFSetList* list : {source_.InputMFList.get(), source_.OutputMFList.get()}) {
        for (int v = 0; v < list->VariablesRepresented; ++v) {
            const TBasicMFSet* set = list->GetMFSet(v);
            if (!set)
                throw ExportError(list->ListName + ": variable " + std::to_string(v + 1) +
                                  " is missing");
            for (int m = 0; m < set->NumberOfMF; ++m) {
                if (!set->GetMF(m)) {
                    throw ExportError(set->Name + ": term " + std::to_string(m + 1) +
                                      " is missing");
                }
            }
        }
    }
}

void TRuleBase::CheckExpression(const TRuleExpression& expression, int rule) const {
    if (expression.ExprKind() == 1) {
        const TRuleAtom& atom = expression.Atom();
        if (atom.Variable < 0 || atom.Variable >= Inputs() || atom.Term < 0 ||
            atom.Term >= InputSet(atom.Variable).NumberOfMF) {
            throw ExportError(RuleText(rule) + ": a condition outside the input list");
        }
        return;
    }
    if (expression.ExprKind() == 0) throw ExportError(RuleText(rule) + ": an empty condition");
    const TRuleExprList& list = expression.List();
    const bool known = SameText(list.Operator, "and") || SameText(list.Operator, "or") ||
                       (SameText(list.Operator, "not") && list.numSubExpressions() == 1);
    if (!known || list.numSubExpressions() == 0) {
        throw ExportError(RuleText(rule) + ": the operator \"" + list.Operator +
                          "\" has no engine equivalent");
    }
    for (int i = 0; i < list.numSubExpressions(); ++i) {
        CheckExpression(list.GetSubExpression(i), rule);
    }
}

}  // namespace glean
