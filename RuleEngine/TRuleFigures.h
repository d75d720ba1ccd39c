// Figures of a rule base. Per rule: how much of the data it covers, how often it decides and how
// well it does where it decides. For the whole base: its size, its coverage, pairs of rules that
// conflict, rules another rule makes redundant, and how alike the terms of one input are.
//
// A rule decides an output on a sample when its activation of that output is the largest (the
// first of equals, see Explain). On a classification the rule that decides a sample is the one
// that decides the output of the class the rule base picks; on a regression every output of a
// sample is decided on its own. Conflicts and redundancy are read off the conditions of rules
// that are an "and" of atoms that are not negated; other rules are left out of both. Terms that
// TermPoints refuses (parameters out of order, not finite) are taken to overlap every term and
// are left out of the similarities.
#pragma once

#include <limits>
#include <optional>
#include <ostream>
#include <span>
#include <vector>

#include "RuleEngine/TRuleEvaluator.h"

namespace glean {

// A rule supports a sample where its strength is above this.
inline constexpr double kSupportStrength = 0.5;
// Most samples of the grid the coverage is measured on.
inline constexpr int kCoverageGridSamples = 20000;

// The areas of the smaller and the larger of two MFs over [low, high]: exact for the five
// shapes, whose membership is linear between corners. Throws ExportError for an MF that
// TermPoints refuses, naming `where`.
struct TTermOverlap {
    double Intersection = 0;
    double Union = 0;
    // Intersection over union; 0 where the union has no area.
    double Jaccard() const { return Union > 0 ? Intersection / Union : 0; }
};
TTermOverlap TermOverlap(const TBasicMF& a, const TBasicMF& b, double low, double high);

// The range the figures integrate a variable's terms over: its set's bounds when they are
// finite and increasing, otherwise the span of its terms' corners (a unit around a single one).
struct TVariableRange {
    double Low = 0, High = 1;
};
TVariableRange FigureRange(const TBasicMFSet& set);
// The overlap of terms a and b of a set over its FigureRange; nothing where TermPoints refuses
// either of them.
std::optional<TTermOverlap> TermOverlapIn(const TBasicMFSet& set, int a, int b);

// Samples, and optionally what the rule base should answer on them.
struct TFigureRows {
    std::vector<std::vector<double>> Inputs;
    // One row of outputs per sample (expected outputs or a network's), or empty.
    std::vector<std::vector<double>> Reference;
    bool Classes = false;  // the outputs stand for classes, the largest one picked
};

struct TRuleFigure {
    int Supported = 0;        // samples where its strength is above kSupportStrength
    double StrengthSum = 0;   // its strengths summed over the samples
    int Decided = 0;          // samples (regression: outputs of samples) it decides
    int Right = 0;            // classification: of those, samples where it picks the reference's
    double SquaredError = 0;  // regression: of the outputs it decides against the reference

    // Right over Decided; NaN where it decides none.
    double Accuracy() const;
    // The root mean square of SquaredError over Decided; NaN where it decides none.
    double Rmse() const;
};

struct TRulePair {
    int First = 0, Second = 0;  // positions in the rule list, from 0
};

struct TBaseFigures {
    int Rules = 0;
    double MeanConditions = 0;  // atoms per rule
    int MostConditions = 0;
    std::vector<int> Terms;      // per input: the terms of its set
    std::vector<int> TermsUsed;  // per input: the terms some condition names
    int Samples = 0;
    int Covered = 0;  // samples on which some rule fires (strength above 0)
    int GridSamples = 0;
    int GridCovered = 0;
    // Pairs of rules, First < Second, whose conditions can hold together (every input both name
    // has terms of overlapping area, or the same term) and that name different terms of an
    // output both name.
    std::vector<TRulePair> Conflicts;
    // First is redundant: Second's conditions are some of First's, its consequences the same
    // terms; of two equal rules the later one is redundant.
    std::vector<TRulePair> Redundant;
    int Compared = 0;  // rules that conflicts and redundancy were looked for in
    // The largest Jaccard similarity of two terms of one input, and which (-1: no input has
    // two terms TermPoints accepts).
    double Similarity = 0;
    int SimilarVariable = -1, SimilarFirst = -1, SimilarSecond = -1;
};

class TRuleFigures {
public:
    // Borrows both for its whole life; the evaluator must run `rules`.
    TRuleFigures(const TRuleBase& rules, const TRuleEvaluator& evaluator);

    // One figure per rule of the list. The reference, when given, must have a row of at least
    // Outputs() values per sample (checked).
    std::vector<TRuleFigure> PerRule(const TFigureRows& rows) const;
    // The figures of the whole base; coverage over the given samples (none: 0 of 0) and over a
    // grid of at most kCoverageGridSamples samples spread over the input ranges.
    TBaseFigures Base(const TFigureRows& rows) const;

private:
    const TRuleBase& rules_;
    const TRuleEvaluator& evaluator_;
};

// The figures as text: a line per rule ("rule support strength-sum decides agreement"; the last
// is the accuracy for classes, the RMSE otherwise, "-" where the rule decides nothing or there
// is no reference), then a line per figure of the base. `against` names the reference, e.g.
// "the network".
void WriteFigures(const TRuleBase& rules, const std::vector<TRuleFigure>& perRule,
                  const TBaseFigures& base, bool classes, const std::string& against,
                  std::ostream& out);

}  // namespace glean
