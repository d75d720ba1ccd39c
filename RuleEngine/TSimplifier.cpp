#include "RuleEngine/TSimplifier.h"

#include <cmath>
#include <set>
#include <tuple>

#include "KQmessage/Check.h"
#include "KQmessage/TException.h"

namespace glean {

namespace {

std::unique_ptr<TBasicMF> CopyMF(const TBasicMF& mf) {
    if (const auto* p = dynamic_cast<const TTriangularMF*>(&mf))
        return std::make_unique<TTriangularMF>(*p);
    if (const auto* p = dynamic_cast<const TRectangularMF*>(&mf))
        return std::make_unique<TRectangularMF>(*p);
    if (const auto* p = dynamic_cast<const TSingletonMF*>(&mf))
        return std::make_unique<TSingletonMF>(*p);
    if (const auto* p = dynamic_cast<const TLShoulderTriangularMF*>(&mf))
        return std::make_unique<TLShoulderTriangularMF>(*p);
    if (const auto* p = dynamic_cast<const TRShoulderTriangularMF*>(&mf))
        return std::make_unique<TRShoulderTriangularMF>(*p);
    throw ExportError(mf.Name + ": its shape is unknown");
}

std::unique_ptr<TBasicMFSet> CopySet(const TBasicMFSet& set, int skip = -1) {
    auto copy = std::make_unique<TBasicMFSet>(
        set.Type, set.Name, set.NumberOfMF - (skip >= 0 ? 1 : 0), set.LowerBound, set.UpperBound);
    for (int t = 0, slot = 0; t < set.NumberOfMF; ++t) {
        if (t == skip) continue;
        if (const TBasicMF* mf = set.GetMF(t)) copy->SetMF(slot, CopyMF(*mf));
        ++slot;
    }
    return copy;
}

std::unique_ptr<TMFSetList> CopyList(const TMFSetList& list) {
    auto copy = std::make_unique<TMFSetList>(list.VariablesRepresented, list.ListName);
    for (int v = 0; v < list.VariablesRepresented; ++v)
        if (const TBasicMFSet* set = list.GetMFSet(v)) copy->SetMFSet(v, CopySet(*set));
    return copy;
}

// The figure from the rules' outputs and the reference, sample by sample.
class TFigure {
public:
    TFigure(const TFigureRows& rows, int outputs) : rows_(rows), outputs_(outputs) {
        if (rows.Inputs.empty()) throw ExportError("no samples to measure the rules on");
        GLEAN_CHECK(rows.Reference.size() == rows.Inputs.size());
        mean_.assign(std::size_t(outputs), 0.0);
        for (const std::vector<double>& reference : rows.Reference) {
            GLEAN_CHECK(reference.size() >= std::size_t(outputs));
            for (int o = 0; o < outputs; ++o)
                mean_[o] += reference[o] / double(rows.Reference.size());
        }
        for (const std::vector<double>& reference : rows.Reference)
            for (int o = 0; o < outputs; ++o)
                spread_ += std::pow(reference[o] - mean_[o], 2);
        // A reference that does not vary counts a spread of 1 per sample, so the figure still
        // falls as the errors grow.
        if (!(spread_ > 0)) spread_ = double(rows.Reference.size());
    }

    void Start() {
        right_ = 0;
        errors_ = 0;
    }
    void Add(std::size_t n, std::span<const double> outputs) {
        const std::vector<double>& reference = rows_.Reference[n];
        if (rows_.Classes) {
            const int chosen = LargestOutput(outputs);
            right_ += chosen >= 0 && chosen == LargestOutput(reference);
            return;
        }
        for (int o = 0; o < outputs_; ++o) {
            const double value = std::isnan(outputs[o]) ? mean_[o] : outputs[o];
            errors_ += std::pow(value - reference[o], 2);
        }
    }
    double Value() const {
        if (rows_.Classes) return double(right_) / double(rows_.Inputs.size());
        return 1 - errors_ / spread_;
    }
    const char* Name() const { return rows_.Classes ? "accuracy" : "R^2"; }

private:
    const TFigureRows& rows_;
    int outputs_;
    std::vector<double> mean_;
    double spread_ = 0;
    int right_ = 0;
    double errors_ = 0;
};

double Measure(const TFuzzyRuleSet& rules, const TFigureRows& rows, TConjunction conjunction,
               TOutputMode mode) {
    const TRuleBase base(rules);
    const TRuleEvaluator evaluator(base, conjunction, mode);
    TFigure figure(rows, base.Outputs());
    figure.Start();
    std::vector<double> outputs(std::size_t(base.Outputs()));
    for (std::size_t n = 0; n < rows.Inputs.size(); ++n) {
        evaluator.Evaluate(rows.Inputs[n], outputs);
        figure.Add(n, outputs);
    }
    return figure.Value();
}

// Every atom of variable `variable` naming term `from` names `to` instead; terms above `from`
// move down one. Then atoms repeated in one "and" list are dropped.
void RenameTerm(TRuleExpression& expression, int variable, int from, int to) {
    if (expression.ExprKind() == 1) {
        TRuleAtom& atom = expression.Atom();
        if (atom.Variable != variable) return;
        if (atom.Term == from)
            atom.Term = to;
        else if (atom.Term > from)
            --atom.Term;
        return;
    }
    if (expression.ExprKind() != 2) return;
    TRuleExprList& list = expression.List();
    for (int i = 0; i < list.numSubExpressions(); ++i)
        RenameTerm(list.GetSubExpression(i), variable, from, to);
    if (!SameText(list.Operator, "and")) return;
    std::set<std::tuple<int, int, bool>> seen;
    for (int i = 0; i < list.numSubExpressions();) {
        const TRuleExpression& part = list.GetSubExpression(i);
        if (part.ExprKind() == 1 &&
            !seen.emplace(part.Atom().Variable, part.Atom().Term, part.Atom().Negated).second) {
            list.RemoveSubExpression(i);
        } else {
            ++i;
        }
    }
}

// The peak and the ends of a triangular or shouldered MF; ends are infinite for a shoulder's open
// side. False for other shapes.
struct TShape {
    double Left = 0, Peak = 0, Right = 0;
    bool OpenLeft = false, OpenRight = false;
};
bool ShapeOf(const TBasicMF& mf, TShape& shape) {
    if (const auto* t = dynamic_cast<const TTriangularMF*>(&mf)) {
        shape = {t->LeftBound, t->Centre, t->RightBound, false, false};
    } else if (const auto* l = dynamic_cast<const TLShoulderTriangularMF*>(&mf)) {
        shape = {l->Centre, l->Centre, l->RightBound, true, false};
    } else if (const auto* r = dynamic_cast<const TRShoulderTriangularMF*>(&mf)) {
        shape = {r->LeftBound, r->Centre, r->Centre, false, true};
    } else {
        return false;
    }
    return true;
}

// One MF spanning both, its peak halfway between theirs, named after `a`; null when the two
// cannot be merged into one of the three shapes.
std::unique_ptr<TBasicMF> MergedTerm(const TBasicMF& a, const TBasicMF& b) {
    TShape x, y;
    if (!ShapeOf(a, x) || !ShapeOf(b, y)) return nullptr;
    const bool openLeft = x.OpenLeft || y.OpenLeft, openRight = x.OpenRight || y.OpenRight;
    if (openLeft && openRight) return nullptr;
    const double peak = (x.Peak + y.Peak) / 2;
    const double left = std::min(x.Left, y.Left), right = std::max(x.Right, y.Right);
    if (openLeft) {
        auto mf = std::make_unique<TLShoulderTriangularMF>(a.Name);
        mf->Centre = peak;
        mf->RightBound = right;
        return mf;
    }
    if (openRight) {
        auto mf = std::make_unique<TRShoulderTriangularMF>(a.Name);
        mf->LeftBound = left;
        mf->Centre = peak;
        return mf;
    }
    auto mf = std::make_unique<TTriangularMF>(a.Name);
    mf->LeftBound = left;
    mf->Centre = peak;
    mf->RightBound = right;
    return mf;
}

std::string AtomText(const TFuzzyRuleSet& rules, const TRuleExpression& part, int position) {
    if (part.ExprKind() != 1) return "condition " + std::to_string(position + 1);
    const TRuleAtom& atom = part.Atom();
    const TBasicMFSet& set = *rules.InputMFList->GetMFSet(atom.Variable);
    return "<" + set.Name + " is " + (atom.Negated ? "not " : "") + set.GetMF(atom.Term)->Name +
           ">";
}

// The greedy search over a rule set held by the caller: the degree of every rule's condition on
// every sample is kept, so a candidate step costs one rule's degrees and one combination.
class TSearch {
public:
    TSearch(TFuzzyRuleSet& rules, const TFigureRows& rows, const TSimplifySettings& settings)
        : rules_(rules), rows_(rows), settings_(settings) {
        for (int r = 0; r < rules.RuleList->numRules(); ++r)
            origin_.push_back(r + 1);
        Rebuild();
    }

    double Current() const { return current_; }
    // Per rule left, its position in the rule set as given, from 0.
    std::vector<int> Kept() const {
        std::vector<int> kept;
        for (int number : origin_)
            kept.push_back(number - 1);
        return kept;
    }
    const char* FigureName() const { return figure_->Name(); }

    // Merges the most alike pair of terms, again and again, where the figure allows.
    void MergeTerms(double floor, TSimplifyResult& result) {
        std::set<std::tuple<int, int, int>> refused;
        for (;;) {
            double best = settings_.MergeLimit;
            int variable = -1, first = -1, second = -1;
            for (int v = 0; v < base_->Inputs(); ++v) {
                const TBasicMFSet& set = base_->InputSet(v);
                for (int a = 0; a < set.NumberOfMF; ++a) {
                    for (int b = a + 1; b < set.NumberOfMF; ++b) {
                        if (refused.count({v, a, b})) continue;
                        const auto overlap = TermOverlapIn(set, a, b);
                        if (!overlap) continue;
                        const double similarity = overlap->Jaccard();
                        if (similarity > best)
                            best = similarity, variable = v, first = a, second = b;
                    }
                }
            }
            if (variable < 0) return;
            const TBasicMFSet& set = base_->InputSet(variable);
            std::unique_ptr<TBasicMF> merged = MergedTerm(*set.GetMF(first), *set.GetMF(second));
            if (!merged) {
                refused.insert({variable, first, second});
                continue;
            }
            std::unique_ptr<TFuzzyRuleSet> trial = CopyRuleSet(rules_);
            auto shorter = CopySet(set, second);
            shorter->SetMF(first, std::move(merged));
            trial->InputMFList->SetMFSet(variable, std::move(shorter));
            for (int r = 0; r < trial->RuleList->numRules(); ++r)
                RenameTerm(*trial->RuleList->GetRule(r).Antecedent, variable, second, first);
            const double after = Measure(*trial, rows_, settings_.Conjunction, settings_.Mode);
            if (after < floor) {
                refused.insert({variable, first, second});
                continue;
            }
            const std::string what = "merged the terms " + set.GetMF(first)->Name + " and " +
                                     set.GetMF(second)->Name + " of " + set.Name + " (Jaccard " +
                                     FixedNumber(best, 6) + ")";
            rules_.InputMFList = std::move(trial->InputMFList);
            rules_.RuleList = std::move(trial->RuleList);
            std::erase_if(refused, [&](const auto& pair) { return std::get<0>(pair) == variable; });
            Rebuild();
            Record(what, after, result);
            ++result.MergedTerms;
        }
    }

    // Drops conditions and rules, the best step first, while the figure stays at or above floor.
    void DropParts(double floor, TSimplifyResult& result) {
        for (;;) {
            const int rules = rules_.RuleList->numRules();
            double best = -std::numeric_limits<double>::infinity();
            int bestRule = -1, bestPart = -1;  // part -1: the whole rule
            if (rules > 1) {
                for (int r = 0; r < rules; ++r) {
                    const double figure = Trial(r, nullptr);
                    if (figure > best) best = figure, bestRule = r, bestPart = -1;
                }
            }
            for (int r = 0; r < rules; ++r) {
                const TRuleExpression& condition = *rules_.RuleList->GetRule(r).Antecedent;
                if (condition.ExprKind() != 2 || !SameText(condition.List().Operator, "and") ||
                    condition.List().numSubExpressions() < 2) {
                    continue;
                }
                for (int k = 0; k < condition.List().numSubExpressions(); ++k) {
                    const TRuleExpression shorter = Without(condition, k);
                    std::vector<double> degrees;
                    for (const std::vector<double>& sample : rows_.Inputs)
                        degrees.push_back(evaluator_->Degree(shorter, sample));
                    const double figure = Trial(r, &degrees);
                    if (figure > best) best = figure, bestRule = r, bestPart = k;
                }
            }
            if (bestRule < 0 || best < floor) return;
            std::string what;
            TRule kept = rules_.RuleList->GetRule(bestRule);
            if (bestPart < 0) {
                what = "dropped rule " + std::to_string(origin_[std::size_t(bestRule)]);
                rules_.RuleList->RemoveRule(bestRule);
            } else {
                TRuleExpression& condition = *rules_.RuleList->GetRule(bestRule).Antecedent;
                what = "dropped " +
                       AtomText(rules_, condition.List().GetSubExpression(bestPart), bestPart) +
                       " from rule " + std::to_string(origin_[std::size_t(bestRule)]);
                condition = Without(condition, bestPart);
            }
            const double after = Measure(rules_, rows_, settings_.Conjunction, settings_.Mode);
            if (after < floor) {  // the kept degrees and the rule base differ in rounding alone
                if (bestPart < 0)
                    rules_.RuleList->InsertRule(std::move(kept), bestRule);
                else
                    rules_.RuleList->ReplaceRule(std::move(kept), bestRule);
                return;
            }
            if (bestPart < 0) origin_.erase(origin_.begin() + bestRule);
            Rebuild();
            Record(what, after, result);
            ++(bestPart < 0 ? result.DroppedRules : result.DroppedConditions);
        }
    }

private:
    // The condition without its part k; a single part left stands alone.
    static TRuleExpression Without(const TRuleExpression& condition, int k) {
        TRuleExpression shorter = condition;
        shorter.List().RemoveSubExpression(k);
        if (shorter.List().numSubExpressions() == 1) {
            TRuleExpression alone = shorter.List().GetSubExpression(0);
            return alone;
        }
        return shorter;
    }

    void Rebuild() {
        evaluator_.reset();
        base_ = std::make_unique<TRuleBase>(rules_);
        evaluator_ =
            std::make_unique<TRuleEvaluator>(*base_, settings_.Conjunction, settings_.Mode);
        figure_ = std::make_unique<TFigure>(rows_, base_->Outputs());
        const TRuleList& list = base_->SourceRules();
        degrees_.assign(std::size_t(list.numRules()), {});
        for (int r = 0; r < list.numRules(); ++r)
            for (const std::vector<double>& sample : rows_.Inputs)
                degrees_[std::size_t(r)].push_back(
                    evaluator_->Degree(*list.GetRule(r).Antecedent, sample));
        current_ = Measure(rules_, rows_, settings_.Conjunction, settings_.Mode);
    }

    void Record(const std::string& what, double after, TSimplifyResult& result) {
        const double before = result.Steps.empty() ? result.Start : result.Steps.back().After;
        result.Steps.push_back({what, before, after});
        if (settings_.Log) {
            *settings_.Log << what << ": " << figure_->Name() << ' ' << FixedNumber(before, 6)
                           << " -> " << FixedNumber(after, 6) << '\n';
        }
    }

    // The figure with rule `rule` taking `degrees` instead of its own, or dropped when null.
    double Trial(int rule, const std::vector<double>* degrees) {
        const std::vector<TEngineRule>& engine = base_->Rules();
        // The engines divide weights by the largest one left.
        double largest = 0;
        for (const TEngineRule& e : engine)
            if (degrees || e.SourceRule != rule) largest = std::max(largest, e.Weight);
        std::vector<double> activations(engine.size()), outputs(std::size_t(base_->Outputs()));
        figure_->Start();
        for (std::size_t n = 0; n < rows_.Inputs.size(); ++n) {
            for (std::size_t i = 0; i < engine.size(); ++i) {
                const TEngineRule& e = engine[i];
                const double degree = e.SourceRule != rule ? degrees_[std::size_t(e.SourceRule)][n]
                                      : degrees            ? (*degrees)[n]
                                                           : 0.0;
                activations[i] = largest > 0 ? degree * e.Weight / largest : 0.0;
            }
            evaluator_->Combine(activations, outputs);
            figure_->Add(n, outputs);
        }
        return figure_->Value();
    }

    TFuzzyRuleSet& rules_;
    const TFigureRows& rows_;
    const TSimplifySettings& settings_;
    std::unique_ptr<TRuleBase> base_;
    std::unique_ptr<TRuleEvaluator> evaluator_;
    std::unique_ptr<TFigure> figure_;
    std::vector<std::vector<double>> degrees_;  // per rule, per sample
    std::vector<int> origin_;                   // per rule, its number in the rules as given
    double current_ = 0;
};

}  // namespace

std::unique_ptr<TFuzzyRuleSet> CopyRuleSet(const TFuzzyRuleSet& rules) {
    GLEAN_CHECK(rules.InputMFList && rules.RuleList && rules.OutputMFList);
    auto copy = std::make_unique<TFuzzyRuleSet>();
    copy->InputMFList = CopyList(*rules.InputMFList);
    copy->OutputMFList = CopyList(*rules.OutputMFList);
    copy->RuleList = std::make_unique<TRuleList>(rules.RuleList->Name, 0);
    copy->RuleList->AppendRules(*rules.RuleList);
    return copy;
}

double SimplifyFigure(const TFuzzyRuleSet& rules, const TFigureRows& rows, TConjunction conjunction,
                      TOutputMode mode) {
    return Measure(rules, rows, conjunction, mode);
}

TSimplifyResult Simplify(TFuzzyRuleSet& rules, const TFigureRows& rows,
                         const TSimplifySettings& settings) {
    TSearch search(rules, rows, settings);
    TSimplifyResult result;
    result.Figure = search.FigureName();
    result.Start = search.Current();
    const double floor = result.Start - settings.Budget - kFigureTolerance;
    search.MergeTerms(floor, result);
    search.DropParts(floor, result);
    result.End = search.Current();
    result.Kept = search.Kept();
    return result;
}

}  // namespace glean
