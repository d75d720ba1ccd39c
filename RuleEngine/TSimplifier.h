// A smaller rule base for a known price. Terms of one input whose Jaccard similarity exceeds a
// limit are merged, then conditions and whole rules are dropped, greedily, each step the one
// that keeps the rules' own figure highest, while that figure stays within a budget of where it
// started. The figure is measured against reference outputs for the given samples: the share of
// samples whose class (the largest output) the rules pick (classification), or R^2 pooled over
// the outputs (regression; an output no rule activates counts as the reference's mean).
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "RuleEngine/TRuleFigures.h"

namespace glean {

// Differences of the figure smaller than this are rounding: dropping one of two equal rules may
// move an average in its last digit.
inline constexpr double kFigureTolerance = 1e-9;

struct TSimplifySettings {
    double Budget = 0.01;     // how far the figure may fall from its start
    double MergeLimit = 0.5;  // terms more alike than this (Jaccard) are merged; 1: none
    TConjunction Conjunction = kDefaultConjunction;
    TOutputMode Mode = TOutputMode::Singletons;
    std::ostream* Log = nullptr;  // one line per step taken, when given
};

struct TSimplifyStep {
    std::string What;  // e.g. "dropped rule 5"
    double Before = 0, After = 0;
};

struct TSimplifyResult {
    const char* Figure = "accuracy";  // or "R^2"
    double Start = 0, End = 0;
    std::vector<TSimplifyStep> Steps;
    int MergedTerms = 0, DroppedConditions = 0, DroppedRules = 0;
    std::vector<int> Kept;  // per rule left, its position in the rule set as given, from 0
};

// A deep copy of a rule set with all three parts. Throws ExportError for an MF of no known shape.
std::unique_ptr<TFuzzyRuleSet> CopyRuleSet(const TFuzzyRuleSet& rules);

// The figure of a rule set on samples (see above). Requires a reference row per sample;
// throws ExportError for a rule set TRuleBase refuses, or no samples.
double SimplifyFigure(const TFuzzyRuleSet& rules, const TFigureRows& rows, TConjunction conjunction,
                      TOutputMode mode);

// Simplifies `rules` in place and says what it did. Rule numbers in the steps are those of the
// rule set as given. Merging needs terms of triangular or shouldered shapes, and no left and
// right shoulder together; conditions are dropped from rules whose condition is an "and" of
// two or more parts, and the last rule is kept. Throws as SimplifyFigure.
TSimplifyResult Simplify(TFuzzyRuleSet& rules, const TFigureRows& rows,
                         const TSimplifySettings& settings);

}  // namespace glean
