// The arithmetic of a fuzzy rule base in the learner's own terms, on rows scaled into [0, 1].
//
// Every input is cut into terms by ordered centres: a left shoulder, triangles, a right shoulder,
// each foot on the neighbouring centre (the terms the network computes and the rule file states).
// A rule's strength on a row is the minimum of its conditions' degrees. The rule base answers as
// the rule engine does with singleton outputs:
//   classification: rule r votes q[r][k] >= 0 for class k; the output of class k is
//                   sum_r s_r q[r][k] / sum_r s_r sum_k q[r][k], and the largest output wins;
//   regression:     rule r has a weight w_r > 0 and a value v_r in [0, 1]; the output is
//                   sum_r s_r w_r v_r / sum_r s_r w_r.
// The loss is the mean cross-entropy of the class outputs, or the mean squared error; a row on
// which no rule fires costs a fixed penalty, so that leaving rows uncovered never pays.
#pragma once

#include <span>
#include <vector>

namespace glean {

// Rows to learn from.
struct TLearningRows {
    std::vector<std::vector<double>> Inputs;  // one scaled row each
    int ClassCount = 0;                       // > 0: classification; 0: regression
    std::vector<int> Classes;                 // classification: each row's class
    std::vector<double> Targets;              // regression: each row's scaled target

    std::size_t Size() const { return Inputs.size(); }
    std::size_t InputCount() const { return Inputs.empty() ? 0 : Inputs.front().size(); }
    bool Classifying() const { return ClassCount > 0; }
    // The rows whose position p has keep(p) true, in order.
    template <class Keep>
    TLearningRows Subset(Keep keep) const;
};

struct TInputTerm {
    int Input = 0;
    int Term = 0;
    bool operator==(const TInputTerm&) const = default;
    auto operator<=>(const TInputTerm&) const = default;
};
using TAntecedent = std::vector<TInputTerm>;  // conditions in input order, one per input at most

// Consequent parameters, one row per rule: the class votes q[r][k], or {w_r, v_r}.
using TConsequents = std::vector<std::vector<double>>;

// The degree of x in term `term` of the partition with ordered `centres` (at least two).
double TermDegree(std::span<const double> centres, int term, double x);
// Centres for `terms` terms of one input: quantiles 0.1 to 0.9 of its values, at least 1e-3
// apart.
std::vector<double> QuantileCentres(std::vector<double> values, int terms);

// The degree of every term of every input on every row: Degrees[input][term][row].
class TDegreeTable {
public:
    TDegreeTable(const TLearningRows& rows, const std::vector<std::vector<double>>& centres);
    // The strength of `antecedent` on every row.
    std::vector<double> Strength(const TAntecedent& antecedent) const;
    int Terms(int input) const { return static_cast<int>(degrees_[std::size_t(input)].size()); }
    int Inputs() const { return static_cast<int>(degrees_.size()); }

private:
    std::vector<std::vector<std::vector<double>>> degrees_;
};

// Strengths of a rule base, one column per rule: Columns[r][row].
using TStrengths = std::vector<std::vector<double>>;

// Per row, what a rule base adds up: the class votes, or {sum of weights, sum of weighted values}.
struct TRowSums {
    std::size_t Width = 0;
    std::vector<double> Values;  // row after row

    std::span<const double> Row(std::size_t row) const {
        return std::span<const double>(Values).subspan(row * Width, Width);
    }
    std::span<double> Row(std::size_t row) {
        return std::span<double>(Values).subspan(row * Width, Width);
    }
};

class TConsequentFit {
public:
    // `strength` of the regularisation: the log of every vote and weight is pulled towards 0 by
    // strength / rows (times the targets' variance for regression), a prior that weighs less the
    // more rows there are.
    TConsequentFit(const TLearningRows& rows, double strength);

    // The mean loss on the rows, without the regularisation.
    double Loss(const TStrengths& strengths, const TConsequents& consequents) const;
    // The mean loss, and its slope by every consequent parameter into `slopes`.
    double LossAndSlopes(const TStrengths& strengths, const TConsequents& consequents,
                         TConsequents& slopes) const;
    // The regularisation's factor (see the constructor).
    double Regularisation() const { return regularisation_; }
    // The consequents that minimise loss plus regularisation, starting from `start` (one row per
    // strength column). With `keepZeros`, a class vote of exactly 0 in `start` stays 0: the rule
    // says nothing of that class.
    TConsequents Fit(const TStrengths& strengths, const TConsequents& start,
                     bool keepZeros = false) const;
    // The consequent a rule of strength `column` starts with: the class shares under it (summing
    // to 1), or weight 1 and the mean target under it. Requires a column with some strength.
    std::vector<double> LocalConsequent(std::span<const double> column) const;
    // The mean loss after adding a rule of strength `column` with consequent `added` to a rule
    // base whose sums over the rows are `sums` (see Sums) and whose row losses are `rowLosses`.
    double LossWith(const TRowSums& sums, const std::vector<double>& rowLosses,
                    std::span<const double> column, std::span<const double> added) const;
    // The loss of every row from its sums.
    std::vector<double> RowLosses(const TRowSums& sums) const;
    // What the rule base adds up on every row.
    TRowSums Sums(const TStrengths& strengths, const TConsequents& consequents) const;
    // The outputs on one row from its sums: class outputs, or the regression output; empty when
    // no rule fires.
    std::vector<double> Outputs(std::span<const double> sums) const;

private:
    double RowLoss(std::span<const double> sums, std::size_t row) const;

    const TLearningRows& rows_;
    double regularisation_;
};

template <class Keep>
TLearningRows TLearningRows::Subset(Keep keep) const {
    TLearningRows subset;
    subset.ClassCount = ClassCount;
    for (std::size_t p = 0; p < Size(); ++p) {
        if (!keep(p)) continue;
        subset.Inputs.push_back(Inputs[p]);
        if (Classifying()) {
            subset.Classes.push_back(Classes[p]);
        } else {
            subset.Targets.push_back(Targets[p]);
        }
    }
    return subset;
}

}  // namespace glean
