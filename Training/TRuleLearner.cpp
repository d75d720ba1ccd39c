#include "Training/TRuleLearner.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "KQmessage/Check.h"
#include "Training/TMinimiser.h"

namespace glean {

namespace {

constexpr int kMostTerms = 5;       // output terms of a regression
constexpr double kLeastGap = 1e-3;  // between neighbouring output centres

std::size_t At(int i) {
    return static_cast<std::size_t>(i);
}

double Logistic(double z) {
    return 1 / (1 + std::exp(-z));
}

std::vector<TLearnedRule> ClassRules(const TLearningRows& rows, const TRuleStep& step) {
    std::vector<TLearnedRule> rules;
    for (std::size_t r = 0; r < step.Antecedents.size(); ++r) {
        const std::vector<double>& votes = step.Consequents[r];
        double total = 0;
        for (double v : votes)
            total += v;
        TLearnedRule rule{step.Antecedents[r], {}};
        for (int k = 0; k < rows.ClassCount; ++k) {
            rule.ActionWeights.push_back(total - votes[At(k)]);  // No
            rule.ActionWeights.push_back(votes[At(k)]);          // Yes
        }
        rules.push_back(std::move(rule));
    }
    return rules;
}

// The values grouped by one-dimensional k-means from evenly spread starting centres; returns the
// group of every value and the groups' centres, increasing, empty groups dropped.
std::pair<std::vector<int>, std::vector<double>> Cluster(const std::vector<double>& values,
                                                         int groups) {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    std::vector<double> centres;
    for (int g = 0; g < groups; ++g)
        centres.push_back(sorted[At(g) * (sorted.size() - 1) / At(std::max(groups - 1, 1))]);
    std::vector<int> group(values.size(), 0);
    for (int round = 0; round < 50; ++round) {
        for (std::size_t v = 0; v < values.size(); ++v) {
            int nearest = 0;
            for (int g = 1; g < int(centres.size()); ++g) {
                if (std::abs(values[v] - centres[At(g)]) <
                    std::abs(values[v] - centres[At(nearest)])) {
                    nearest = g;
                }
            }
            group[v] = nearest;
        }
        std::vector<double> sum(centres.size(), 0.0), count(centres.size(), 0.0);
        for (std::size_t v = 0; v < values.size(); ++v) {
            sum[At(group[v])] += values[v];
            count[At(group[v])] += 1;
        }
        for (std::size_t g = 0; g < centres.size(); ++g)
            if (count[g] > 0) centres[g] = sum[g] / count[g];
    }
    // Drop empty groups and renumber in increasing order of centre.
    std::vector<int> used;
    for (std::size_t g = 0; g < centres.size(); ++g)
        if (std::count(group.begin(), group.end(), int(g)) > 0) used.push_back(int(g));
    std::sort(used.begin(), used.end(),
              [&](int a, int b) { return centres[At(a)] < centres[At(b)]; });
    std::vector<double> kept;
    std::vector<int> renumber(centres.size(), 0);
    for (std::size_t u = 0; u < used.size(); ++u) {
        renumber[At(used[u])] = int(u);
        kept.push_back(centres[At(used[u])]);
    }
    for (int& g : group)
        g = renumber[At(g)];
    return {group, kept};
}

// Refits the rule weights and the group centres together, every rule's value tied to its
// group's centre.
void RefitTied(const TConsequentFit& fit, const TStrengths& strengths,
               const std::vector<int>& group, std::vector<double>& weights,
               std::vector<double>& centres) {
    const std::size_t rules = weights.size();
    const std::size_t groups = centres.size();
    std::vector<double> z;
    const double largest = *std::max_element(weights.begin(), weights.end());
    for (double w : weights)
        z.push_back(std::log(std::max(w / largest, 1e-4)));
    for (double c : centres) {
        const double p = std::clamp(c, 1e-4, 1 - 1e-4);
        z.push_back(std::log(p / (1 - p)));
    }
    auto consequents = [&](std::span<const double> x) {
        TConsequents q;
        for (std::size_t r = 0; r < rules; ++r)
            q.push_back({std::exp(x[r]), Logistic(x[rules + At(group[r])])});
        return q;
    };
    TConsequents slopes;
    auto objective = [&](std::span<const double> x, std::span<double> gradient) {
        const TConsequents q = consequents(x);
        double value = fit.LossAndSlopes(strengths, q, slopes);
        std::fill(gradient.begin(), gradient.end(), 0.0);
        for (std::size_t r = 0; r < rules; ++r) {
            gradient[r] = slopes[r][0] * q[r][0] + 2 * fit.Regularisation() * x[r];
            value += fit.Regularisation() * x[r] * x[r];
            gradient[rules + At(group[r])] += slopes[r][1] * q[r][1] * (1 - q[r][1]);
        }
        return value;
    };
    Minimise(objective, z);
    for (std::size_t r = 0; r < rules; ++r)
        weights[r] = std::exp(z[r]);
    for (std::size_t g = 0; g < groups; ++g)
        centres[g] = Logistic(z[rules + g]);
}

// Increasing centres at least kLeastGap apart, at least two of them, inside [0, 1].
std::vector<double> SpreadCentres(std::vector<double> centres) {
    if (centres.size() < 2) centres = {0.0, 1.0};  // one group: the second term stays unused
    for (std::size_t g = 1; g < centres.size(); ++g)
        centres[g] = std::max(centres[g], centres[g - 1] + kLeastGap);
    for (std::size_t g = centres.size(); g-- > 0;)
        centres[g] = std::min(centres[g], 1.0 - kLeastGap * double(centres.size() - 1 - g));
    return centres;
}

void RegressionRules(const TLearningRows& rows, const TSearchSettings& settings,
                     const std::vector<std::vector<double>>& inputCentres, const TRuleStep& step,
                     TLearnedRuleBase& base) {
    const std::size_t rules = step.Antecedents.size();
    std::vector<double> weights, values;
    for (const std::vector<double>& q : step.Consequents) {
        weights.push_back(q[0]);
        values.push_back(q[1]);
    }
    // Plain names rather than a structured binding: the sort below captures them.
    auto clusters = Cluster(values, std::min<int>(kMostTerms, int(rules)));
    std::vector<int>& group = clusters.first;
    std::vector<double>& centres = clusters.second;
    const TDegreeTable table(rows, inputCentres);
    TStrengths strengths;
    for (const TAntecedent& antecedent : step.Antecedents)
        strengths.push_back(table.Strength(antecedent));
    RefitTied(TConsequentFit(rows, settings.Regularisation), strengths, group, weights, centres);
    // Refitting may reorder the centres: renumber the groups by centre.
    std::vector<int> order(centres.size());
    for (std::size_t g = 0; g < order.size(); ++g)
        order[g] = int(g);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return centres[At(a)] < centres[At(b)]; });
    std::vector<double> sorted;
    std::vector<int> rank(centres.size());
    for (std::size_t g = 0; g < order.size(); ++g) {
        rank[At(order[g])] = int(g);
        sorted.push_back(centres[At(order[g])]);
    }
    base.OutputCentres = {SpreadCentres(sorted)};
    for (std::size_t r = 0; r < rules; ++r) {
        TLearnedRule rule{step.Antecedents[r],
                          std::vector<double>(base.OutputCentres.front().size(), 0.0)};
        rule.ActionWeights[At(rank[At(group[r])])] = weights[r];
        base.Rules.push_back(std::move(rule));
    }
}

// Scales every action weight so that the largest is 1: the rule base answers the same.
void NormaliseWeights(std::vector<TLearnedRule>& rules) {
    double largest = 0;
    for (const TLearnedRule& rule : rules)
        for (double w : rule.ActionWeights)
            largest = std::max(largest, w);
    if (largest <= 0) return;
    for (TLearnedRule& rule : rules)
        for (double& w : rule.ActionWeights)
            w /= largest;
}

}  // namespace

int TLearnedRuleBase::Actions() const {
    int actions = 0;
    for (const std::vector<double>& centres : OutputCentres)
        actions += int(centres.size());
    return actions;
}

TLearnedRuleBase LearnRuleBase(const TLearningRows& rows, const TSearchSettings& settings) {
    GLEAN_CHECK(rows.InputCount() > 0);
    TLearnedRuleBase base;
    base.Shape = ChooseShape(rows, settings);
    base.InputCentres = RowCentres(rows, base.Shape.Terms);
    TSearchSettings final = settings;
    final.MaxRules = base.Shape.Rules;
    const std::vector<TRuleStep> steps =
        GrowRules(rows, base.InputCentres, base.Shape.Pairs, final);
    GLEAN_CHECK(!steps.empty());
    const TRuleStep tidy = TidyRules(rows, base.InputCentres, steps.back(), settings);
    if (rows.Classifying()) {
        base.OutputCentres.assign(At(rows.ClassCount), {0.0, 1.0});
        base.Rules = ClassRules(rows, tidy);
    } else {
        RegressionRules(rows, settings, base.InputCentres, tidy, base);
    }
    NormaliseWeights(base.Rules);
    return base;
}

std::vector<double> RuleBaseOutputs(const TLearnedRuleBase& base, std::span<const double> row) {
    std::vector<double> weighted(base.OutputCentres.size(), 0.0), total(weighted.size(), 0.0);
    for (const TLearnedRule& rule : base.Rules) {
        double strength = 1;
        for (const TInputTerm& condition : rule.Conditions) {
            strength = std::min(strength, TermDegree(base.InputCentres[At(condition.Input)],
                                                     condition.Term, row[At(condition.Input)]));
        }
        std::size_t action = 0;
        for (std::size_t o = 0; o < base.OutputCentres.size(); ++o) {
            for (double centre : base.OutputCentres[o]) {
                const double w = rule.ActionWeights[action++];
                weighted[o] += strength * w * centre;
                total[o] += strength * w;
            }
        }
    }
    std::vector<double> outputs;
    for (std::size_t o = 0; o < weighted.size(); ++o)
        outputs.push_back(total[o] > 0 ? weighted[o] / total[o]
                                       : std::numeric_limits<double>::quiet_NaN());
    return outputs;
}

}  // namespace glean
