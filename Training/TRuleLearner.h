// A small fuzzy rule base learned from scaled rows, in the terms the network and the rule file
// use: input centres, output centres, and per rule its conditions and one weight per action
// (output term, outputs in order, terms in order). The rule base is grown and its shape chosen
// by TRuleSearch on the rows alone.
//
// Classification: one output per class with the terms No (centre 0) and Yes (centre 1); a rule
// gives class k the weight q_k on Yes and w - q_k on No (w: the sum of its votes), so that the
// output of class k is the share of the votes for k and the largest output is the class voted
// for most. The rule base is tidied (TidyRules) before it is stated so.
// Regression: one output whose terms sit at the rule values clustered into at most five groups;
// each rule has one consequent, its weight on its group's term.
#pragma once

#include <vector>

#include "Training/TRuleSearch.h"

namespace glean {

struct TLearnedRule {
    TAntecedent Conditions;
    std::vector<double> ActionWeights;  // one per action; 0 where the rule says nothing
};

struct TLearnedRuleBase {
    std::vector<std::vector<double>> InputCentres;   // per input, increasing
    std::vector<std::vector<double>> OutputCentres;  // per output, increasing
    std::vector<TLearnedRule> Rules;
    TRuleShape Shape;  // what cross-validation chose

    int Actions() const;
};

// Learns from `rows` (at least settings.Folds of them). Throws nothing for sound rows; fails a
// check for rows without inputs.
TLearnedRuleBase LearnRuleBase(const TLearningRows& rows, const TSearchSettings& settings);

// The outputs of `base` on one scaled row, as the rule engine computes them with singleton
// outputs and the minimum; NaN for an output on which no rule fires.
std::vector<double> RuleBaseOutputs(const TLearnedRuleBase& base, std::span<const double> row);

}  // namespace glean
