#include "RuleEngine/TRuleFigures.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "KQmessage/Check.h"
#include "KQmessage/TException.h"
#include "RuleEngine/TExplanation.h"
#include "RuleEngine/TFidelity.h"

namespace glean {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string Share(int part, int whole) {
    return whole > 0 ? FixedNumber(100.0 * part / whole, 1, "-") + "%" : "-";
}

std::string PairText(const std::vector<TRulePair>& pairs, const char* join) {
    if (pairs.empty()) return "none";
    std::string text = std::to_string(pairs.size()) + ":";
    for (std::size_t i = 0; i < pairs.size(); ++i)
        text += (i ? ", rule " : " rule ") + std::to_string(pairs[i].First + 1) + join +
                std::to_string(pairs[i].Second + 1);
    return text;
}

// The X of every corner of an MF.
void AddCorners(const TBasicMF& mf, std::vector<double>& xs) {
    for (const TTermPoint& point : TermPoints(mf, mf.Name, 0, TVerticalEdge::Keep))
        xs.push_back(point.X);
}

// A rule's condition as a set of (input, term) pairs, when it is an "and" of plain atoms.
using TAtomSet = std::set<std::pair<int, int>>;

std::optional<TAtomSet> PlainConditions(const TRuleExpression& expression) {
    TAtomSet atoms;
    const auto add = [&atoms](const TRuleExpression& part) {
        if (part.ExprKind() != 1 || part.Atom().Negated) return false;
        atoms.emplace(part.Atom().Variable, part.Atom().Term);
        return true;
    };
    if (expression.ExprKind() == 1) {
        if (!add(expression)) return std::nullopt;
        return atoms;
    }
    const TRuleExprList& list = expression.List();
    if (!SameText(list.Operator, "and")) return std::nullopt;
    for (int i = 0; i < list.numSubExpressions(); ++i)
        if (!add(list.GetSubExpression(i))) return std::nullopt;
    return atoms;
}

// Whether two sets of conditions can hold on one sample: every input both name has terms whose
// MFs overlap with area, or the same term; terms of shapes out of order are taken to overlap.
bool CanHoldTogether(const TRuleBase& rules, const TAtomSet& a, const TAtomSet& b) {
    for (const auto& [variable, term] : a) {
        for (const auto& [otherVariable, otherTerm] : b) {
            if (variable != otherVariable || term == otherTerm) continue;
            const TVariableRange range = FigureRange(rules.InputSet(variable));
            if (!(TermOverlap(rules.InputTerm(variable, term), rules.InputTerm(variable, otherTerm),
                              range.Low, range.High)
                      .Intersection > 0)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

TTermOverlap TermOverlap(const TBasicMF& a, const TBasicMF& b, double low, double high) {
    std::vector<double> xs = {low, high};
    AddCorners(a, xs);
    AddCorners(b, xs);
    std::erase_if(xs, [&](double x) { return !(x >= low && x <= high); });
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    TTermOverlap overlap;
    // Both memberships are linear inside each piece, so is their difference; where it changes
    // sign the piece splits at the crossing, and the midpoint rule is then exact for the
    // smaller and the larger of the two.
    const auto add = [&](double from, double to) {
        const double middle = from + (to - from) / 2;
        const double x = a.Membership(middle), y = b.Membership(middle);
        overlap.Intersection += (to - from) * std::min(x, y);
        overlap.Union += (to - from) * std::max(x, y);
    };
    for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
        const double from = xs[i], to = xs[i + 1];
        const double q1 = from + (to - from) / 4, q3 = from + 3 * (to - from) / 4;
        const double d1 = a.Membership(q1) - b.Membership(q1);
        const double d3 = a.Membership(q3) - b.Membership(q3);
        const double crossing = d1 != d3 ? q1 + d1 * (q3 - q1) / (d1 - d3) : from;
        if (crossing > from && crossing < to) {
            add(from, crossing);
            add(crossing, to);
        } else {
            add(from, to);
        }
    }
    return overlap;
}

TVariableRange FigureRange(const TBasicMFSet& set) {
    if (std::isfinite(set.LowerBound) && std::isfinite(set.UpperBound) &&
        set.UpperBound > set.LowerBound) {
        return {set.LowerBound, set.UpperBound};
    }
    std::vector<double> xs;
    for (int t = 0; t < set.NumberOfMF; ++t) {
        try {
            if (const TBasicMF* mf = set.GetMF(t)) AddCorners(*mf, xs);
        } catch (const ExportError&) {
            // a term of no known shape or out of order adds no corners
        }
    }
    if (xs.empty()) return {};
    const auto [low, high] = std::minmax_element(xs.begin(), xs.end());
    if (*high > *low) return {*low, *high};
    return {*low - 0.5, *low + 0.5};
}

std::optional<TTermOverlap> TermOverlapIn(const TBasicMFSet& set, int a, int b) {
    try {
        const TVariableRange range = FigureRange(set);
        return TermOverlap(*set.GetMF(a), *set.GetMF(b), range.Low, range.High);
    } catch (const ExportError&) {
        return std::nullopt;
    }
}

double TRuleFigure::Accuracy() const {
    return Decided > 0 ? double(Right) / Decided : kNaN;
}

double TRuleFigure::Rmse() const {
    return Decided > 0 ? std::sqrt(SquaredError / Decided) : kNaN;
}

TRuleFigures::TRuleFigures(const TRuleBase& rules, const TRuleEvaluator& evaluator)
    : rules_(rules), evaluator_(evaluator) {}

std::vector<TRuleFigure> TRuleFigures::PerRule(const TFigureRows& rows) const {
    const bool referenced = !rows.Reference.empty();
    GLEAN_CHECK(!referenced || rows.Reference.size() == rows.Inputs.size());
    std::vector<TRuleFigure> figures(std::size_t(rules_.SourceRules().numRules()));
    std::vector<double> outputs(std::size_t(rules_.Outputs()));
    for (std::size_t n = 0; n < rows.Inputs.size(); ++n) {
        const TExplanation explanation = Explain(evaluator_, rules_, rows.Inputs[n]);
        for (const TRuleFiring& firing : explanation.Rules) {
            TRuleFigure& figure = figures[std::size_t(firing.Rule)];
            figure.StrengthSum += firing.Strength;
            if (firing.Strength > kSupportStrength) ++figure.Supported;
        }
        for (std::size_t o = 0; o < outputs.size(); ++o)
            outputs[o] = explanation.Outputs[o].Value;
        if (referenced) GLEAN_CHECK(rows.Reference[n].size() >= outputs.size());
        if (rows.Classes) {
            const int chosen = LargestOutput(outputs);
            if (chosen < 0) continue;
            const int rule = explanation.Outputs[std::size_t(chosen)].Rule;
            TRuleFigure& figure = figures[std::size_t(rule)];
            ++figure.Decided;
            if (referenced && chosen == LargestOutput(rows.Reference[n])) ++figure.Right;
            continue;
        }
        for (std::size_t o = 0; o < outputs.size(); ++o) {
            const int rule = explanation.Outputs[o].Rule;
            if (rule < 0) continue;
            TRuleFigure& figure = figures[std::size_t(rule)];
            ++figure.Decided;
            if (referenced) figure.SquaredError += std::pow(outputs[o] - rows.Reference[n][o], 2);
        }
    }
    return figures;
}

TBaseFigures TRuleFigures::Base(const TFigureRows& rows) const {
    TBaseFigures figures;
    const TRuleList& list = rules_.SourceRules();
    figures.Rules = list.numRules();
    for (int v = 0; v < rules_.Inputs(); ++v) {
        figures.Terms.push_back(rules_.InputSet(v).NumberOfMF);
        figures.TermsUsed.push_back(0);
    }
    std::set<std::pair<int, int>> used;
    std::vector<std::optional<TAtomSet>> plain;
    for (int r = 0; r < list.numRules(); ++r) {
        std::vector<TRuleAtom> atoms;
        ConditionAtoms(*list.GetRule(r).Antecedent, atoms);
        figures.MeanConditions += double(atoms.size());
        figures.MostConditions = std::max(figures.MostConditions, int(atoms.size()));
        for (const TRuleAtom& atom : atoms)
            if (used.emplace(atom.Variable, atom.Term).second) ++figures.TermsUsed[atom.Variable];
        plain.push_back(PlainConditions(*list.GetRule(r).Antecedent));
    }
    if (figures.Rules > 0) figures.MeanConditions /= figures.Rules;

    // What each rule concludes: its terms per output, from the consequences the engines keep.
    std::vector<std::map<int, std::set<int>>> concludes(std::size_t(figures.Rules));
    for (const TEngineRule& rule : rules_.Rules())
        concludes[std::size_t(rule.SourceRule)][rule.Output].insert(rule.Term);
    for (int r = 0; r < figures.Rules; ++r) {
        if (!plain[std::size_t(r)]) continue;
        ++figures.Compared;
        const TAtomSet& mine = *plain[std::size_t(r)];
        for (int s = 0; s < figures.Rules; ++s) {
            if (s == r || !plain[std::size_t(s)]) continue;
            const TAtomSet& other = *plain[std::size_t(s)];
            const auto& myTerms = concludes[std::size_t(r)];
            const auto& otherTerms = concludes[std::size_t(s)];
            if (std::includes(mine.begin(), mine.end(), other.begin(), other.end()) &&
                myTerms == otherTerms && (mine != other || s < r)) {
                figures.Redundant.push_back({r, s});
            }
            if (s < r) continue;
            const bool disagree = std::any_of(myTerms.begin(), myTerms.end(), [&](const auto& o) {
                const auto found = otherTerms.find(o.first);
                return found != otherTerms.end() && found->second != o.second;
            });
            if (disagree && CanHoldTogether(rules_, mine, other))
                figures.Conflicts.push_back({r, s});
        }
    }

    const auto covered = [&](const std::vector<double>& sample) {
        for (int r = 0; r < figures.Rules; ++r)
            if (evaluator_.Degree(*list.GetRule(r).Antecedent, sample) > 0) return true;
        return false;
    };
    figures.Samples = int(rows.Inputs.size());
    for (const std::vector<double>& sample : rows.Inputs)
        figures.Covered += covered(sample);
    const int inputs = rules_.Inputs();
    const int points =
        inputs == 0 ? 0
                    : int(std::floor(std::pow(double(kCoverageGridSamples), 1.0 / inputs) + 1e-9));
    if (points >= 2) {
        const std::vector<std::vector<double>> grid = TFidelity::Grid(rules_, points);
        figures.GridSamples = int(grid.size());
        for (const std::vector<double>& sample : grid)
            figures.GridCovered += covered(sample);
    }

    for (int v = 0; v < inputs; ++v) {
        const TBasicMFSet& set = rules_.InputSet(v);
        for (int a = 0; a < set.NumberOfMF; ++a) {
            for (int b = a + 1; b < set.NumberOfMF; ++b) {
                const auto overlap = TermOverlapIn(set, a, b);
                if (!overlap) continue;
                const double similarity = overlap->Jaccard();
                if (figures.SimilarVariable < 0 || similarity > figures.Similarity) {
                    figures.Similarity = similarity;
                    figures.SimilarVariable = v;
                    figures.SimilarFirst = a;
                    figures.SimilarSecond = b;
                }
            }
        }
    }
    return figures;
}

void WriteFigures(const TRuleBase& rules, const std::vector<TRuleFigure>& perRule,
                  const TBaseFigures& base, bool classes, const std::string& against,
                  std::ostream& out) {
    out << "rule  support  strength sum  decides  " << (classes ? "accuracy" : "rmse")
        << " against " << against << '\n';
    for (std::size_t r = 0; r < perRule.size(); ++r) {
        const TRuleFigure& figure = perRule[r];
        out << r + 1 << "  " << figure.Supported << "  " << FixedNumber(figure.StrengthSum, 4, "-")
            << "  " << figure.Decided << "  "
            << (classes ? FixedNumber(figure.Accuracy(), 4, "-")
                        : FixedNumber(figure.Rmse(), 6, "-"))
            << '\n';
    }
    out << "coverage: samples " << Share(base.Covered, base.Samples) << " (" << base.Covered
        << " of " << base.Samples << "), grid " << Share(base.GridCovered, base.GridSamples) << " ("
        << base.GridSamples << " points)\n";
    out << "conditions per rule: mean " << FixedNumber(base.MeanConditions, 2, "-") << ", largest "
        << base.MostConditions << '\n';
    out << "terms per input (used of all):";
    for (std::size_t v = 0; v < base.Terms.size(); ++v) {
        const std::string& name = rules.InputSet(int(v)).Name;
        out << (v ? ", " : " ") << (name.empty() ? "input " + std::to_string(v + 1) : name) << ' '
            << base.TermsUsed[v] << " of " << base.Terms[v];
    }
    out << '\n';
    out << "conflicts: " << PairText(base.Conflicts, " and ") << '\n';
    out << "redundant: " << PairText(base.Redundant, " within rule ") << '\n';
    if (base.Compared < base.Rules) {
        out << "(conflicts and redundancy among the " << base.Compared
            << " rules that are an \"and\" of terms)\n";
    }
    out << "most alike terms: ";
    if (base.SimilarVariable < 0) {
        out << "none\n";
        return;
    }
    const TBasicMFSet& set = rules.InputSet(base.SimilarVariable);
    out << "Jaccard " << FixedNumber(base.Similarity, 4, "-") << ", " << set.Name << " "
        << set.GetMF(base.SimilarFirst)->Name << " and " << set.GetMF(base.SimilarSecond)->Name
        << '\n';
}

}  // namespace glean
