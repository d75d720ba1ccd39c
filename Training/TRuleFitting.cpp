#include "Training/TRuleFitting.h"

#include <algorithm>
#include <cmath>

#include "KQmessage/Check.h"
#include "Training/TMinimiser.h"

namespace glean {

namespace {

// Below this a rule base's total strength on a row counts as no rule firing.
constexpr double kSilent = 1e-12;
// The smallest vote a class output is credited with, so that a wrong rule costs a finite loss.
constexpr double kLeastVote = 1e-12;
// The smallest vote or weight, relative to the largest, that a fit starts from.
constexpr double kLeastStart = 1e-4;

std::size_t At(int i) {
    return static_cast<std::size_t>(i);
}

double Logit(double p) {
    p = std::clamp(p, kLeastStart, 1 - kLeastStart);
    return std::log(p / (1 - p));
}

double Logistic(double z) {
    return 1 / (1 + std::exp(-z));
}

double Largest(const TConsequents& consequents, std::size_t column, std::size_t count) {
    double largest = 0;
    for (const std::vector<double>& row : consequents) {
        for (std::size_t k = column; k < column + count; ++k)
            largest = std::max(largest, row[k]);
    }
    return largest > 0 ? largest : 1;
}

}  // namespace

double TermDegree(std::span<const double> centres, int term, double x) {
    const std::size_t t = At(term);
    GLEAN_CHECK(centres.size() >= 2 && t < centres.size());
    const double c = centres[t];
    const bool left = t > 0;
    const bool right = t + 1 < centres.size();
    if ((!left && x <= c) || (!right && x >= c)) return 1.0;
    if (right && x >= c && x < centres[t + 1]) return 1 - (x - c) / (centres[t + 1] - c);
    if (left && x <= c && x > centres[t - 1]) return 1 - (c - x) / (c - centres[t - 1]);
    return 0.0;
}

std::vector<double> QuantileCentres(std::vector<double> values, int terms) {
    GLEAN_CHECK(!values.empty() && terms >= 2);
    constexpr double kGap = 1e-3;
    std::sort(values.begin(), values.end());
    std::vector<double> centres;
    for (int t = 0; t < terms; ++t) {
        const double position = (0.1 + 0.8 * t / (terms - 1)) * double(values.size() - 1);
        const std::size_t below = static_cast<std::size_t>(position);
        const std::size_t above = std::min(below + 1, values.size() - 1);
        const double centre =
            values[below] + (position - double(below)) * (values[above] - values[below]);
        centres.push_back(t > 0 ? std::max(centre, centres.back() + kGap) : centre);
    }
    // A column whose top values are all equal pushes the last centres past 1: pull them back.
    for (std::size_t t = centres.size(); t-- > 0;) {
        const double limit = 1.0 - kGap * double(centres.size() - 1 - t);
        centres[t] = std::min(centres[t], limit);
    }
    return centres;
}

TDegreeTable::TDegreeTable(const TLearningRows& rows,
                           const std::vector<std::vector<double>>& centres) {
    for (std::size_t input = 0; input < centres.size(); ++input) {
        const std::vector<double>& own = centres[input];
        std::vector<std::vector<double>> terms(own.size(), std::vector<double>(rows.Size()));
        for (std::size_t t = 0; t < own.size(); ++t) {
            for (std::size_t i = 0; i < rows.Size(); ++i)
                terms[t][i] = TermDegree(own, int(t), rows.Inputs[i][input]);
        }
        degrees_.push_back(std::move(terms));
    }
}

std::vector<double> TDegreeTable::Strength(const TAntecedent& antecedent) const {
    GLEAN_CHECK(!antecedent.empty());
    const TInputTerm& first = antecedent.front();
    std::vector<double> strength = degrees_[At(first.Input)][At(first.Term)];
    for (std::size_t c = 1; c < antecedent.size(); ++c) {
        const std::vector<double>& degrees =
            degrees_[At(antecedent[c].Input)][At(antecedent[c].Term)];
        for (std::size_t i = 0; i < strength.size(); ++i)
            strength[i] = std::min(strength[i], degrees[i]);
    }
    return strength;
}

TConsequentFit::TConsequentFit(const TLearningRows& rows, double strength) : rows_(rows) {
    const double n = double(std::max<std::size_t>(rows.Size(), 1));
    double scale = 1;
    if (!rows.Classifying()) {
        double mean = 0, square = 0;
        for (double t : rows.Targets) {
            mean += t / n;
            square += t * t / n;
        }
        scale = std::max(square - mean * mean, 1e-6);
    }
    regularisation_ = strength * scale / n;
}

TRowSums TConsequentFit::Sums(const TStrengths& strengths, const TConsequents& consequents) const {
    const std::size_t width = rows_.Classifying() ? At(rows_.ClassCount) : 2;
    TRowSums sums{width, std::vector<double>(rows_.Size() * width, 0.0)};
    for (std::size_t r = 0; r < strengths.size(); ++r) {
        const std::vector<double>& q = consequents[r];
        for (std::size_t i = 0; i < rows_.Size(); ++i) {
            const double s = strengths[r][i];
            if (s == 0) continue;
            if (rows_.Classifying()) {
                for (std::size_t k = 0; k < width; ++k)
                    sums.Values[i * width + k] += s * q[k];
            } else {
                sums.Values[i * width] += s * q[0];
                sums.Values[i * width + 1] += s * q[0] * q[1];
            }
        }
    }
    return sums;
}

std::vector<double> TConsequentFit::Outputs(std::span<const double> sums) const {
    if (rows_.Classifying()) {
        double total = 0;
        for (double vote : sums)
            total += vote;
        if (total <= kSilent) return {};
        std::vector<double> outputs(sums.begin(), sums.end());
        for (double& output : outputs)
            output /= total;
        return outputs;
    }
    if (sums[0] <= kSilent) return {};
    return {sums[1] / sums[0]};
}

double TConsequentFit::RowLoss(std::span<const double> sums, std::size_t row) const {
    if (rows_.Classifying()) {
        double total = 0;
        for (double vote : sums)
            total += vote;
        if (total <= kSilent) return 3 * std::log(double(rows_.ClassCount));
        return std::log(total / std::max(sums[At(rows_.Classes[row])], kLeastVote));
    }
    if (sums[0] <= kSilent) return 1.0;
    const double error = sums[1] / sums[0] - rows_.Targets[row];
    return error * error;
}

double TConsequentFit::Loss(const TStrengths& strengths, const TConsequents& consequents) const {
    const TRowSums sums = Sums(strengths, consequents);
    double loss = 0;
    for (std::size_t i = 0; i < rows_.Size(); ++i)
        loss += RowLoss(sums.Row(i), i);
    return rows_.Size() ? loss / double(rows_.Size()) : 0.0;
}

std::vector<double> TConsequentFit::RowLosses(const TRowSums& sums) const {
    std::vector<double> losses(rows_.Size());
    for (std::size_t i = 0; i < rows_.Size(); ++i)
        losses[i] = RowLoss(sums.Row(i), i);
    return losses;
}

double TConsequentFit::LossWith(const TRowSums& sums, const std::vector<double>& rowLosses,
                                std::span<const double> column,
                                std::span<const double> added) const {
    double addedTotal = 0;
    for (double vote : added)
        addedTotal += vote;
    double loss = 0;
    for (std::size_t i = 0; i < rows_.Size(); ++i) {
        const double s = column[i];
        if (s == 0) {  // the new rule does not fire here: nothing changes
            loss += rowLosses[i];
            continue;
        }
        const std::span<const double> before = sums.Row(i);
        if (rows_.Classifying()) {
            double total = s * addedTotal;
            for (double vote : before)
                total += vote;
            const std::size_t own = At(rows_.Classes[i]);
            loss += total <= kSilent
                        ? 3 * std::log(double(rows_.ClassCount))
                        : std::log(total / std::max(before[own] + s * added[own], kLeastVote));
        } else {
            const double weights = before[0] + s * added[0];
            const double error = (before[1] + s * added[0] * added[1]) / weights - rows_.Targets[i];
            loss += weights <= kSilent ? 1.0 : error * error;
        }
    }
    return rows_.Size() ? loss / double(rows_.Size()) : 0.0;
}

std::vector<double> TConsequentFit::LocalConsequent(std::span<const double> column) const {
    double total = 0;
    for (double s : column)
        total += s;
    GLEAN_CHECK(total > 0);
    if (rows_.Classifying()) {
        std::vector<double> shares(At(rows_.ClassCount), 0.0);
        for (std::size_t i = 0; i < column.size(); ++i)
            shares[At(rows_.Classes[i])] += column[i] / total;
        return shares;
    }
    double mean = 0;
    for (std::size_t i = 0; i < column.size(); ++i)
        mean += column[i] * rows_.Targets[i] / total;
    return {1.0, mean};
}

double TConsequentFit::LossAndSlopes(const TStrengths& strengths, const TConsequents& consequents,
                                     TConsequents& slopes) const {
    const std::size_t n = rows_.Size();
    const bool classifying = rows_.Classifying();
    const std::size_t width = classifying ? At(rows_.ClassCount) : 2;
    const TRowSums sums = Sums(strengths, consequents);
    // The loss's slope by each row's sums.
    TRowSums bySums{width, std::vector<double>(n * width, 0.0)};
    double loss = 0;
    for (std::size_t i = 0; i < n; ++i) {
        loss += RowLoss(sums.Row(i), i);
        if (classifying) {
            double total = 0;
            for (double vote : sums.Row(i))
                total += vote;
            if (total <= kSilent) continue;
            const std::size_t own = At(rows_.Classes[i]);
            for (std::size_t k = 0; k < width; ++k)
                bySums.Row(i)[k] = 1 / total;
            bySums.Row(i)[own] -= 1 / std::max(sums.Row(i)[own], kLeastVote);
        } else if (sums.Row(i)[0] > kSilent) {
            const double output = sums.Row(i)[1] / sums.Row(i)[0];
            const double error = 2 * (output - rows_.Targets[i]);
            bySums.Row(i)[0] = -error * output / sums.Row(i)[0];  // by the sum of weights
            bySums.Row(i)[1] = error / sums.Row(i)[0];            // by the sum of weighted values
        }
    }
    slopes.assign(strengths.size(), std::vector<double>(width, 0.0));
    for (std::size_t r = 0; r < strengths.size(); ++r) {
        const std::vector<double>& q = consequents[r];
        for (std::size_t i = 0; i < n; ++i) {
            const double s = strengths[r][i] / double(n);
            if (s == 0) continue;
            if (classifying) {
                for (std::size_t k = 0; k < width; ++k)
                    slopes[r][k] += s * bySums.Row(i)[k];
            } else {
                slopes[r][0] += s * (bySums.Row(i)[0] + bySums.Row(i)[1] * q[1]);
                slopes[r][1] += s * bySums.Row(i)[1] * q[0];
            }
        }
    }
    return n ? loss / double(n) : 0.0;
}

TConsequents TConsequentFit::Fit(const TStrengths& strengths, const TConsequents& start,
                                 bool keepZeros) const {
    const std::size_t rules = strengths.size();
    const bool classifying = rows_.Classifying();
    const std::size_t width = classifying ? At(rows_.ClassCount) : 2;
    // Variables: the log of every vote, or the log of every weight and the logit of every value;
    // the regularisation pulls the logs towards 0.
    auto logged = [&](std::size_t k) { return classifying || k == 0; };
    auto silent = [&](std::size_t r, std::size_t k) {
        return keepZeros && classifying && start[r][k] == 0;
    };
    std::vector<double> z(rules * width);
    const double largest = Largest(start, 0, classifying ? width : 1);
    for (std::size_t r = 0; r < rules; ++r) {
        for (std::size_t k = 0; k < width; ++k) {
            const double value = start[r][k];
            z[r * width + k] =
                logged(k) ? std::log(std::max(value / largest, kLeastStart)) : Logit(value);
        }
    }
    auto decode = [&](std::span<const double> x) {
        TConsequents q(rules, std::vector<double>(width));
        for (std::size_t r = 0; r < rules; ++r) {
            for (std::size_t k = 0; k < width; ++k) {
                const double v = x[r * width + k];
                q[r][k] = silent(r, k) ? 0.0 : logged(k) ? std::exp(v) : Logistic(v);
            }
        }
        return q;
    };
    TConsequents slopes;
    auto objective = [&](std::span<const double> x, std::span<double> gradient) {
        const TConsequents q = decode(x);
        double value = LossAndSlopes(strengths, q, slopes);
        for (std::size_t r = 0; r < rules; ++r) {
            for (std::size_t k = 0; k < width; ++k) {
                const std::size_t v = r * width + k;
                if (silent(r, k)) {
                    gradient[v] = 0;
                } else if (logged(k)) {
                    gradient[v] = slopes[r][k] * q[r][k] + 2 * regularisation_ * x[v];
                    value += regularisation_ * x[v] * x[v];
                } else {
                    gradient[v] = slopes[r][k] * q[r][k] * (1 - q[r][k]);
                }
            }
        }
        return value;
    };
    TMinimiserSettings settings;
    settings.Iterations = 500;
    Minimise(objective, z, settings);
    return decode(z);
}

}  // namespace glean
