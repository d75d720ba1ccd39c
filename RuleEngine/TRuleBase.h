// The rule base as the fuzzy engines run it: every consequence atom of a rule becomes one engine
// rule with that atom's weight, weights divided by the largest (which leaves every weighted
// average unchanged and keeps weights in [0, 1]), consequences weighing 0 or less left out.
// Term shapes become strictly ordered point lists that every engine format can express (and,
// with their vertical edges kept, the corners that the charts draw).
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "RuleObject/RuleObject.h"

namespace glean {

// A rule set that the engines cannot run, or a rule or term no target format can express;
// what() names the rule (counting from 1) or the term.
class ExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One rule of the engine: the source rule's antecedent and one of its consequences.
struct TEngineRule {
    int SourceRule = 0;                           // position in the rule list, from 0
    const TRuleExpression* Antecedent = nullptr;  // borrowed from the rule set
    int Output = 0;                               // output variable
    int Term = 0;                                 // term of that output
    double Weight = 1.0;                          // the consequence weight over the largest one
};

// A point of a membership function drawn as a polyline; outside the first and the last point
// the function keeps their degree.
struct TTermPoint {
    double X = 0;
    double Degree = 0;
};

// What TermPoints makes of a vertical edge: a singleton's, a rectangle's sides, and the edge of
// a degenerate shape (equal neighbouring centres, a centre on a bound).
enum class TVerticalEdge {
    MoveFootOut,  // its outer foot moves out, so X strictly increases: what engines can run
    Keep,         // two points with the same X, so X never decreases: what a chart draws
};

// The term's membership as points with degrees 0 or 1: shoulders two, triangles and singletons
// three, rectangles four (one of zero width is a singleton). With MoveFootOut and step 0 a
// vertical edge's foot moves by one representable step, which no double (but a subnormal one)
// lies between, so engines that compare exactly compute the same membership at every input; an
// engine that takes numbers closer than a tolerance for equal needs a step above that
// tolerance, and then differs only on inputs within `step` of the edge. With Keep the points
// are the shape's own corners and `step` is not used.
// Throws ExportError naming `where` for parameters out of order or not finite, or a shape of
// no known type.
std::vector<TTermPoint> TermPoints(const TBasicMF& mf, const std::string& where, double step = 0,
                                   TVerticalEdge edge = TVerticalEdge::MoveFootOut);

// The value a term stands for as a singleton output: its centre, or a rectangle's middle.
double TermPeak(const TBasicMF& mf);
// TermPeak of an output term that the singleton mode writes: every parameter of the term must be
// finite, as in the other mode. Throws ExportError "<where>: a parameter is not finite".
double SingletonPeak(const TBasicMF& mf, const std::string& where);

// The printed form of a double that reads back as the same double (shortest round trip).
std::string ExactNumber(double value);
// `value` with `decimals` decimals, as "%.*f" prints it; `notANumber` for NaN.
std::string FixedNumber(double value, int decimals, const char* notANumber = "n/a");

class TRuleBase {
public:
    // Flattens the rule set, which must hold all three parts. Throws ExportError for a missing
    // part, an empty set or MF slot, a rule without antecedent, a negated consequence, an
    // operator other than "and", "or" and "not", or an atom outside the MF lists.
    explicit TRuleBase(const TFuzzyRuleSet& rules);

    int Inputs() const { return source_.InputMFList->VariablesRepresented; }
    int Outputs() const { return source_.OutputMFList->VariablesRepresented; }
    const TBasicMFSet& InputSet(int variable) const;
    const TBasicMFSet& OutputSet(int variable) const;
    const TBasicMF& InputTerm(int variable, int term) const;
    const TBasicMF& OutputTerm(int variable, int term) const;
    // The engine rules in source order, consequences in their order within a rule.
    const std::vector<TEngineRule>& Rules() const { return rules_; }
    const TRuleList& SourceRules() const { return *source_.RuleList; }
    // The largest consequence weight of the rule set, which the weights were divided by.
    double LargestWeight() const { return largest_; }

private:
    void CheckLists() const;
    void CheckExpression(const TRuleExpression& expression, int rule) const;

    const TFuzzyRuleSet& source_;
    std::vector<TEngineRule> rules_;
    double largest_ = 0;
};

}  // namespace glean
