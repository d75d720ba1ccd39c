// Growing a small rule base from data, and choosing its shape by cross-validation.
//
// Growth is greedy: candidates are every single condition (input is term) and, when pairs are
// allowed, every pair of two inputs among the sixteen most telling single conditions. At each
// step every candidate is tried with its local consequent (the class shares, or the mean target,
// where it fires) at sixteen weights; the six best are refitted with the whole rule base, and
// the best of those joins it. Growth stops at the most rules allowed or when no candidate lowers
// the loss.
//
// The shape (terms per input, pairs or not, number of rules) is the one with the lowest mean loss
// over five folds of the rows (row p in fold p mod 5); of equal losses, the fewest rules.
#pragma once

#include <iosfwd>
#include <vector>

#include "Training/TRuleFitting.h"

namespace glean {

struct TSearchSettings {
    int MaxRules = 10;
    int MaxConditions = 4;        // pairs are tried only when this is 2 or more
    double Regularisation = 0.3;  // see TConsequentFit
    int Folds = 5;
    std::ostream* Progress = nullptr;  // one line per shape tried
};

// A rule base the growth passed through.
struct TRuleStep {
    std::vector<TAntecedent> Antecedents;
    TConsequents Consequents;
    double Loss = 0;  // on the rows it was grown on, without regularisation
};

// The rule bases after 1, 2, ... rules, grown on `rows` with the inputs cut at `centres`.
std::vector<TRuleStep> GrowRules(const TLearningRows& rows,
                                 const std::vector<std::vector<double>>& centres, bool pairs,
                                 const TSearchSettings& settings);

// The rule base made easier to read without doing worse on `rows`: class votes below 5% of a
// rule's votes dropped, then every rule, and every condition of a rule of two, that can go
// without lowering the accuracy (classification) or raising the squared error by more than a
// thousandth of the targets' variance (regression), nor leaving a row without a rule, removed
// (last rule first); the consequents refitted after each change.
TRuleStep TidyRules(const TLearningRows& rows, const std::vector<std::vector<double>>& centres,
                    TRuleStep step, const TSearchSettings& settings);

// Centres for every input of the rows, `terms` terms each (QuantileCentres).
std::vector<std::vector<double>> RowCentres(const TLearningRows& rows, int terms);

struct TRuleShape {
    int Terms = 3;       // terms per input
    bool Pairs = false;  // rules of two conditions allowed
    int Rules = 1;
    double Loss = 0;  // mean validation loss over the folds
};

// The shape cross-validation prefers among 2 or 3 terms per input, with and without pairs.
// Requires at least `settings.Folds` rows.
TRuleShape ChooseShape(const TLearningRows& rows, const TSearchSettings& settings);

}  // namespace glean
