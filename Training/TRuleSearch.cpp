#include "Training/TRuleSearch.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>

#include "KQmessage/Check.h"

namespace glean {

namespace {

constexpr int kTopSingles = 16;    // single conditions that pairs are made of
constexpr int kRefitted = 6;       // best candidates refitted at each step
constexpr int kTrialWeights = 16;  // trial weights of a candidate, 1e-3 to 1e2 times the mean

struct TCandidate {
    TAntecedent Antecedent;
    std::vector<double> Strength;
};

double Sum(const std::vector<double>& values) {
    double sum = 0;
    for (double v : values)
        sum += v;
    return sum;
}

// How much a single condition tells on its own (lower tells more): the log-likelihood gain of
// its class shares over the priors, or the squared error it removes from the mean, where it fires.
double Informativeness(const TLearningRows& rows, const TConsequentFit& fit,
                       const std::vector<double>& strength) {
    const std::vector<double> local = fit.LocalConsequent(strength);
    double score = 0;
    if (rows.Classifying()) {
        std::vector<double> prior(std::size_t(rows.ClassCount), 0.0);
        for (int c : rows.Classes)
            prior[std::size_t(c)] += 1.0 / double(rows.Size());
        for (std::size_t i = 0; i < rows.Size(); ++i) {
            const std::size_t c = std::size_t(rows.Classes[i]);
            score -= strength[i] * std::log(std::max(local[c], 1e-6) / prior[c]);
        }
    } else {
        const double mean = Sum(rows.Targets) / double(rows.Size());
        for (std::size_t i = 0; i < rows.Size(); ++i) {
            const double y = rows.Targets[i];
            score -= strength[i] * ((mean - y) * (mean - y) - (local[1] - y) * (local[1] - y));
        }
    }
    return score;
}

std::vector<TCandidate> Candidates(const TLearningRows& rows, const TDegreeTable& table,
                                   const TConsequentFit& fit, bool pairs) {
    std::vector<TCandidate> singles;
    for (int input = 0; input < table.Inputs(); ++input) {
        for (int term = 0; term < table.Terms(input); ++term) {
            TAntecedent antecedent{{input, term}};
            std::vector<double> strength = table.Strength(antecedent);
            if (Sum(strength) > 1e-9) singles.push_back({antecedent, std::move(strength)});
        }
    }
    if (!pairs) return singles;
    std::vector<std::pair<double, std::size_t>> ranked;
    for (std::size_t s = 0; s < singles.size(); ++s)
        ranked.emplace_back(Informativeness(rows, fit, singles[s].Strength), s);
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    ranked.resize(std::min<std::size_t>(ranked.size(), kTopSingles));
    std::vector<TCandidate> all = singles;
    for (std::size_t a = 0; a < ranked.size(); ++a) {
        for (std::size_t b = a + 1; b < ranked.size(); ++b) {
            TInputTerm first = singles[ranked[a].second].Antecedent.front();
            TInputTerm second = singles[ranked[b].second].Antecedent.front();
            if (first.Input == second.Input) continue;
            if (second < first) std::swap(first, second);
            TAntecedent antecedent{first, second};
            std::vector<double> strength = table.Strength(antecedent);
            if (Sum(strength) > 1e-9) all.push_back({antecedent, std::move(strength)});
        }
    }
    return all;
}

// The scale of the rule base's weights, which a new rule's trial weights are relative to.
double WeightScale(const TLearningRows& rows, const TConsequents& consequents) {
    if (consequents.empty()) return 1.0;
    double total = 0;
    for (const std::vector<double>& q : consequents)
        total += rows.Classifying() ? Sum(q) : q[0];
    return total / double(consequents.size());
}

struct TTrial {
    double Loss = std::numeric_limits<double>::infinity();
    std::size_t Candidate = 0;
    std::vector<double> Consequent;
};

// Every unused candidate at its best trial weight, best first.
std::vector<TTrial> Trials(const TLearningRows& rows, const TConsequentFit& fit,
                           const std::vector<TCandidate>& candidates, const std::vector<bool>& used,
                           const TStrengths& strengths, const TConsequents& consequents) {
    const TRowSums sums = fit.Sums(strengths, consequents);
    const std::vector<double> rowLosses = fit.RowLosses(sums);
    const double scale = WeightScale(rows, consequents);
    std::vector<TTrial> trials;
    for (std::size_t c = 0; c < candidates.size(); ++c) {
        if (used[c]) continue;
        const std::vector<double> local = fit.LocalConsequent(candidates[c].Strength);
        TTrial best;
        best.Candidate = c;
        for (int step = 0; step < kTrialWeights; ++step) {
            const double weight =
                scale * std::exp(std::log(1e-3) + step * std::log(1e5) / (kTrialWeights - 1));
            std::vector<double> added = local;
            if (rows.Classifying()) {
                for (double& share : added)
                    share *= weight;
            } else {
                added[0] = weight;
            }
            const double loss = fit.LossWith(sums, rowLosses, candidates[c].Strength, added);
            if (loss < best.Loss) {
                best.Loss = loss;
                best.Consequent = std::move(added);
            }
        }
        trials.push_back(std::move(best));
    }
    std::stable_sort(trials.begin(), trials.end(),
                     [](const TTrial& a, const TTrial& b) { return a.Loss < b.Loss; });
    return trials;
}

constexpr double kLeastShare = 0.05;      // class votes below this share of a rule's are dropped
constexpr double kErrorAllowance = 1e-3;  // of the targets' variance, for a regression

// How well a rule base does on the rows: the share classified right, or the negative mean
// squared error; and whether some rule fires on every row.
struct TStanding {
    double Score = 0;
    bool Covered = true;
};

TStanding Standing(const TLearningRows& rows, const TConsequentFit& fit,
                   const TStrengths& strengths, const TConsequents& consequents) {
    const TRowSums sums = fit.Sums(strengths, consequents);
    TStanding standing;
    for (std::size_t i = 0; i < rows.Size(); ++i) {
        const std::vector<double> outputs = fit.Outputs(sums.Row(i));
        if (outputs.empty()) {
            standing.Covered = false;
            continue;
        }
        if (rows.Classifying()) {
            const auto best = std::max_element(outputs.begin(), outputs.end()) - outputs.begin();
            standing.Score += best == rows.Classes[i] ? 1.0 : 0.0;
        } else {
            standing.Score -= std::pow(outputs[0] - rows.Targets[i], 2);
        }
    }
    standing.Score /= double(std::max<std::size_t>(rows.Size(), 1));
    return standing;
}

double Allowance(const TLearningRows& rows) {
    if (rows.Classifying()) return 0;
    double mean = 0, square = 0;
    for (double t : rows.Targets) {
        mean += t / double(rows.Size());
        square += t * t / double(rows.Size());
    }
    return kErrorAllowance * (square - mean * mean);
}

void DropSmallShares(TConsequents& consequents) {
    for (std::vector<double>& votes : consequents) {
        const double total = Sum(votes);
        for (double& vote : votes)
            if (vote < kLeastShare * total) vote = 0;
    }
}

}  // namespace

TRuleStep TidyRules(const TLearningRows& rows, const std::vector<std::vector<double>>& centres,
                    TRuleStep step, const TSearchSettings& settings) {
    const TDegreeTable table(rows, centres);
    const TConsequentFit fit(rows, settings.Regularisation);
    const bool classifying = rows.Classifying();
    auto strengthsOf = [&](const std::vector<TAntecedent>& antecedents) {
        TStrengths strengths;
        for (const TAntecedent& antecedent : antecedents)
            strengths.push_back(table.Strength(antecedent));
        return strengths;
    };
    if (classifying) {
        DropSmallShares(step.Consequents);
        step.Consequents = fit.Fit(strengthsOf(step.Antecedents), step.Consequents, true);
    }
    const double allowance = Allowance(rows);
    TStanding standing = Standing(rows, fit, strengthsOf(step.Antecedents), step.Consequents);
    // Accepts `antecedents` with `consequents` (refitted) when they do no worse.
    auto tryShape = [&](std::vector<TAntecedent> antecedents, TConsequents consequents) {
        const TStrengths strengths = strengthsOf(antecedents);
        consequents = fit.Fit(strengths, consequents, classifying);
        const TStanding trial = Standing(rows, fit, strengths, consequents);
        if (!trial.Covered && standing.Covered) return false;
        if (trial.Score < standing.Score - allowance) return false;
        step.Antecedents = std::move(antecedents);
        step.Consequents = std::move(consequents);
        standing = trial;
        return true;
    };
    for (std::size_t r = step.Antecedents.size(); r-- > 0 && step.Antecedents.size() > 1;) {
        auto antecedents = step.Antecedents;
        auto consequents = step.Consequents;
        antecedents.erase(antecedents.begin() + std::ptrdiff_t(r));
        consequents.erase(consequents.begin() + std::ptrdiff_t(r));
        tryShape(std::move(antecedents), std::move(consequents));
    }
    for (std::size_t r = 0; r < step.Antecedents.size(); ++r) {
        for (std::size_t c = step.Antecedents[r].size();
             c-- > 0 && step.Antecedents[r].size() > 1;) {
            auto antecedents = step.Antecedents;
            antecedents[r].erase(antecedents[r].begin() + std::ptrdiff_t(c));
            if (std::count(antecedents.begin(), antecedents.end(), antecedents[r]) > 1) continue;
            tryShape(std::move(antecedents), step.Consequents);
        }
    }
    step.Loss = fit.Loss(strengthsOf(step.Antecedents), step.Consequents);
    return step;
}

std::vector<std::vector<double>> RowCentres(const TLearningRows& rows, int terms) {
    std::vector<std::vector<double>> centres;
    for (std::size_t input = 0; input < rows.InputCount(); ++input) {
        std::vector<double> values;
        for (const std::vector<double>& row : rows.Inputs)
            values.push_back(row[input]);
        centres.push_back(QuantileCentres(std::move(values), terms));
    }
    return centres;
}

std::vector<TRuleStep> GrowRules(const TLearningRows& rows,
                                 const std::vector<std::vector<double>>& centres, bool pairs,
                                 const TSearchSettings& settings) {
    const TDegreeTable table(rows, centres);
    const TConsequentFit fit(rows, settings.Regularisation);
    const std::vector<TCandidate> candidates =
        Candidates(rows, table, fit, pairs && settings.MaxConditions >= 2);
    std::vector<bool> used(candidates.size(), false);
    std::vector<TRuleStep> steps;
    TRuleStep current;
    TStrengths strengths;
    current.Loss = fit.Loss(strengths, current.Consequents);
    while (int(current.Antecedents.size()) < settings.MaxRules) {
        const std::vector<TTrial> trials =
            Trials(rows, fit, candidates, used, strengths, current.Consequents);
        TRuleStep best = current;
        std::size_t chosen = candidates.size();
        for (std::size_t t = 0; t < trials.size() && t < std::size_t(kRefitted); ++t) {
            TStrengths trialStrengths = strengths;
            trialStrengths.push_back(candidates[trials[t].Candidate].Strength);
            TConsequents start = current.Consequents;
            start.push_back(trials[t].Consequent);
            TConsequents fitted = fit.Fit(trialStrengths, start);
            const double loss = fit.Loss(trialStrengths, fitted);
            if (chosen == candidates.size() || loss < best.Loss) {
                best.Loss = loss;
                best.Consequents = std::move(fitted);
                chosen = trials[t].Candidate;
            }
        }
        if (chosen == candidates.size()) break;
        used[chosen] = true;
        best.Antecedents = current.Antecedents;
        best.Antecedents.push_back(candidates[chosen].Antecedent);
        strengths.push_back(candidates[chosen].Strength);
        current = best;
        steps.push_back(current);
    }
    return steps;
}

TRuleShape ChooseShape(const TLearningRows& rows, const TSearchSettings& settings) {
    GLEAN_CHECK(settings.Folds >= 2 && rows.Size() >= std::size_t(settings.Folds));
    const std::size_t folds = std::size_t(settings.Folds);
    std::vector<TRuleShape> shapes;
    for (int terms : {2, 3}) {
        for (bool pairs : {false, true}) {
            if (pairs && settings.MaxConditions < 2) continue;
            std::vector<double> loss(std::size_t(settings.MaxRules), 0.0);
            for (std::size_t fold = 0; fold < folds; ++fold) {
                const TLearningRows training =
                    rows.Subset([&](std::size_t p) { return p % folds != fold; });
                const TLearningRows validation =
                    rows.Subset([&](std::size_t p) { return p % folds == fold; });
                const std::vector<std::vector<double>> centres = RowCentres(training, terms);
                const std::vector<TRuleStep> steps = GrowRules(training, centres, pairs, settings);
                const TDegreeTable table(validation, centres);
                const TConsequentFit fit(validation, settings.Regularisation);
                double last = fit.Loss({}, {});
                for (std::size_t k = 0; k < loss.size(); ++k) {
                    if (k < steps.size()) {
                        TStrengths strengths;
                        for (const TAntecedent& antecedent : steps[k].Antecedents)
                            strengths.push_back(table.Strength(antecedent));
                        last = fit.Loss(strengths, steps[k].Consequents);
                    }
                    loss[k] += last / double(folds);
                }
            }
            const std::size_t first = shapes.size();
            for (std::size_t k = 0; k < loss.size(); ++k)
                shapes.push_back({terms, pairs, int(k) + 1, loss[k]});
            if (settings.Progress) {
                const auto best = std::min_element(
                    shapes.begin() + std::ptrdiff_t(first), shapes.end(),
                    [](const TRuleShape& a, const TRuleShape& b) { return a.Loss < b.Loss; });
                *settings.Progress << "shape " << terms << " terms per input, "
                                   << (pairs ? "one or two" : "one") << " condition"
                                   << (pairs ? "s" : "") << " per rule: best " << best->Rules
                                   << " rules, validation loss " << best->Loss << '\n';
            }
        }
    }
    double best = std::numeric_limits<double>::infinity();
    for (const TRuleShape& shape : shapes)
        best = std::min(best, shape.Loss);
    const TRuleShape* choice = nullptr;
    for (const TRuleShape& shape : shapes) {
        if (shape.Loss > best) continue;
        if (!choice || shape.Rules < choice->Rules) choice = &shape;
    }
    GLEAN_CHECK(choice != nullptr);
    return *choice;
}

}  // namespace glean
