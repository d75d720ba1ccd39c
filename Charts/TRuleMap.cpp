#include "Charts/TRuleMap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Charts/TSvgWriter.h"
#include "KQmessage/TException.h"

namespace glean {

namespace {

constexpr double kMargin = 16, kNumberWidth = 44, kColumn = 120, kGap = 40;
constexpr double kHeaderY = 58, kRowsTop = 68, kRowHeight = 22, kLegendLine = 17;
constexpr double kMinimumWidth = 560;
constexpr double kDarkest = 0.6;  // fill opacity of a full shade; darker hides the text
constexpr std::size_t kHeaderLength = 16, kTermLength = 11;
constexpr const char* kConditionColour = "#0072B2";
constexpr const char* kConsequentColour = "#D55E00";

// The name of a term of list, or "?" where the list holds no such term.
std::string TermName(const TMFSetList* list, const TRuleAtom& atom) {
    if (!list || atom.Variable < 0 || atom.Variable >= list->VariablesRepresented) return "?";
    const TBasicMFSet* set = list->GetMFSet(atom.Variable);
    if (!set || atom.Term < 0 || atom.Term >= set->NumberOfMF || !set->GetMF(atom.Term)) return "?";
    const std::string& name = set->GetMF(atom.Term)->Name;
    return name.empty() ? "term " + std::to_string(atom.Term + 1) : name;
}

std::vector<std::string> VariableNames(const TMFSetList* list) {
    std::vector<std::string> names;
    for (int v = 0; list && v < list->VariablesRepresented; ++v) {
        const TBasicMFSet* set = list->GetMFSet(v);
        names.push_back(set && !set->Name.empty() ? set->Name
                                                  : "variable " + std::to_string(v + 1));
    }
    return names;
}

// Puts the atom into its variable's cell; false when cells has no such variable.
bool Enter(std::vector<TRuleMapCell>& cells, const TMFSetList* list, const TRuleAtom& atom,
           bool negated) {
    if (atom.Variable < 0 || std::size_t(atom.Variable) >= cells.size()) return false;
    TRuleMapCell& cell = cells[std::size_t(atom.Variable)];
    if (cell.Used) cell.Text += ", ";
    cell.Text += (negated ? "not " : "") + TermName(list, atom);
    cell.Weight = cell.Used ? std::fmax(cell.Weight, atom.Weight) : atom.Weight;
    cell.Used = true;
    return true;
}

// Enters every atom of expression, "not" lists flipping the negation; false when one lies
// outside the inputs.
bool EnterAll(std::vector<TRuleMapCell>& cells, const TMFSetList* list,
              const TRuleExpression& expression, bool negated) {
    if (expression.ExprKind() == 1) {
        const TRuleAtom& atom = expression.Atom();
        return Enter(cells, list, atom, negated != atom.Negated);
    }
    if (expression.ExprKind() == 0) return true;
    const TRuleExprList& sub = expression.List();
    const bool flip = SameText(sub.Operator, "not");
    bool inside = true;
    for (int i = 0; i < sub.numSubExpressions(); ++i)
        inside = EnterAll(cells, list, sub.GetSubExpression(i), negated != flip) && inside;
    return inside;
}

// An atom, or an "and" of atoms: what a cell per variable shows faithfully.
bool IsPlain(const TRuleExpression& expression) {
    if (expression.ExprKind() == 1) return true;
    if (expression.ExprKind() == 0 || !SameText(expression.List().Operator, "and")) return false;
    const TRuleExprList& sub = expression.List();
    for (int i = 0; i < sub.numSubExpressions(); ++i) {
        if (sub.GetSubExpression(i).ExprKind() != 1) return false;
    }
    return sub.numSubExpressions() > 0;
}

double LargestWeight(const std::vector<TRuleMapCell>& cells, double largest) {
    for (const TRuleMapCell& cell : cells) {
        if (cell.Used && std::isfinite(cell.Weight)) largest = std::max(largest, cell.Weight);
    }
    return largest;
}

}  // namespace

TRuleMap::TRuleMap(const TFuzzyRuleSet& rules, std::string caption)
    : caption_(std::move(caption)),
      inputs_(VariableNames(rules.InputMFList.get())),
      outputs_(VariableNames(rules.OutputMFList.get())) {
    const int count = rules.RuleList ? rules.RuleList->numRules() : 0;
    for (int r = 0; r < count; ++r) {
        const TRule& rule = rules.RuleList->GetRule(r);
        TRuleMapRow row;
        row.Conditions.resize(inputs_.size());
        row.Consequents.resize(outputs_.size());
        const bool inside = !rule.Antecedent || EnterAll(row.Conditions, rules.InputMFList.get(),
                                                         *rule.Antecedent, false);
        row.Plain = inside && rule.Antecedent && IsPlain(*rule.Antecedent);
        for (int c = 0; rule.ConsequenceList && c < rule.ConsequenceList->numConsequences(); ++c) {
            const TRuleAtom& atom = rule.ConsequenceList->GetConsequence(c);
            Enter(row.Consequents, rules.OutputMFList.get(), atom, atom.Negated);
        }
        largestCondition_ = LargestWeight(row.Conditions, largestCondition_);
        largestConsequent_ = LargestWeight(row.Consequents, largestConsequent_);
        rows_.push_back(std::move(row));
    }
}

double TRuleMap::Shade(double weight, double largest) {
    if (!(weight > 0) || !(largest > 0)) return 0;
    if (!std::isfinite(weight)) return 1;
    return std::min(1.0, weight / largest);
}

std::string TRuleMap::WeightText(double weight) {
    if (std::isnan(weight)) return "nan";
    if (std::fabs(weight) < 1e4) return SvgNumber(weight, 2);
    char text[32];
    std::snprintf(text, sizeof text, "%.2g", weight);
    return text;
}

double TRuleMap::ColumnX(int column) const {
    const double x = kMargin + kNumberWidth + kColumn * column;
    return column < int(inputs_.size()) ? x : x + kGap;
}

std::string TRuleMap::Svg() const {
    const int columns = int(inputs_.size() + outputs_.size());
    const double width = std::max(kMinimumWidth, ColumnX(columns) + kMargin);
    const double legendY =
        kRowsTop + kRowHeight * double(std::max<std::size_t>(rows_.size(), 1)) + 24;
    TSvgWriter svg(width, legendY + 4 * kLegendLine + 8, caption_);
    svg.Empty("rect", {{"width", "100%"}, {"height", "100%"}, {"fill", "white"}});
    svg.Text("text",
             {{"x", SvgNumber(kMargin)}, {"y", "24"}, {"font-size", "15"}, {"font-weight", "bold"}},
             caption_);
    DrawHeader(svg, width);
    for (int r = 0; r < int(rows_.size()); ++r)
        DrawRow(svg, r);
    if (rows_.empty()) {
        svg.Text("text", {{"x", SvgNumber(kMargin)}, {"y", SvgNumber(kRowsTop + 15)}}, "no rules");
    }
    DrawLegend(svg, legendY);
    return svg.Finish();
}

void TRuleMap::DrawHeader(TSvgWriter& svg, double width) const {
    svg.Open("g", {{"class", "header"}, {"font-weight", "bold"}, {"text-anchor", "middle"}});
    svg.Text("text", {{"x", SvgNumber(kMargin + kNumberWidth / 2)}, {"y", SvgNumber(kHeaderY)}},
             "rule");
    const int count = int(inputs_.size() + outputs_.size());
    for (int c = 0; c < count; ++c) {
        const bool input = c < int(inputs_.size());
        const std::string& name = input ? inputs_[c] : outputs_[c - inputs_.size()];
        svg.Text("text", {{"x", SvgNumber(ColumnX(c) + kColumn / 2)}, {"y", SvgNumber(kHeaderY)}},
                 ShortText(name, kHeaderLength));
    }
    if (!outputs_.empty()) {
        svg.Text("text",
                 {{"x", SvgNumber(ColumnX(int(inputs_.size())) - kGap / 2)},
                  {"y", SvgNumber(kHeaderY)},
                  {"font-weight", "normal"}},
                 "then");
    }
    svg.Empty("line", {{"x1", SvgNumber(kMargin)},
                       {"y1", SvgNumber(kRowsTop - 2)},
                       {"x2", SvgNumber(width - kMargin)},
                       {"y2", SvgNumber(kRowsTop - 2)},
                       {"stroke", "black"}});
    svg.Close();
}

void TRuleMap::DrawRow(TSvgWriter& svg, int rule) const {
    const TRuleMapRow& row = rows_[std::size_t(rule)];
    const double y = kRowsTop + kRowHeight * rule;
    svg.Open("g", {{"class", "rule"}});
    svg.Text("text",
             {{"x", SvgNumber(kMargin + kNumberWidth - 8)},
              {"y", SvgNumber(y + 15)},
              {"text-anchor", "end"}},
             std::to_string(rule + 1) + (row.Plain ? "" : "*"));
    for (std::size_t c = 0; c < row.Conditions.size(); ++c) {
        DrawCell(svg, row.Conditions[c], ColumnX(int(c)), y, largestCondition_, kConditionColour);
    }
    for (std::size_t c = 0; c < row.Consequents.size(); ++c) {
        DrawCell(svg, row.Consequents[c], ColumnX(int(inputs_.size() + c)), y, largestConsequent_,
                 kConsequentColour);
    }
    svg.Close();
}

void TRuleMap::DrawCell(TSvgWriter& svg, const TRuleMapCell& cell, double x, double y,
                        double largest, const char* colour) const {
    if (!cell.Used) return;
    svg.Empty("rect", {{"class", "cell"},
                       {"x", SvgNumber(x + 1)},
                       {"y", SvgNumber(y + 1)},
                       {"width", SvgNumber(kColumn - 2)},
                       {"height", SvgNumber(kRowHeight - 2)},
                       {"fill", colour},
                       {"fill-opacity", SvgNumber(kDarkest * Shade(cell.Weight, largest))},
                       {"stroke", colour}});
    svg.Text("text", {{"x", SvgNumber(x + 5)}, {"y", SvgNumber(y + 15)}},
             ShortText(cell.Text, kTermLength));
    svg.Text("text",
             {{"x", SvgNumber(x + kColumn - 5)},
              {"y", SvgNumber(y + 15)},
              {"text-anchor", "end"},
              {"font-size", "10"}},
             WeightText(cell.Weight));
}

void TRuleMap::DrawLegend(TSvgWriter& svg, double y) const {
    svg.Open("g", {{"class", "legend"}});
    double x = kMargin;
    for (const auto& [colour, text] :
         {std::pair{kConditionColour, "condition"}, std::pair{kConsequentColour, "consequent"}}) {
        svg.Empty("rect", {{"x", SvgNumber(x)},
                           {"y", SvgNumber(y - 10)},
                           {"width", "24"},
                           {"height", "12"},
                           {"fill", colour},
                           {"fill-opacity", SvgNumber(kDarkest)},
                           {"stroke", colour}});
        svg.Text("text", {{"x", SvgNumber(x + 30)}, {"y", SvgNumber(y)}}, text);
        x += 120;
    }
    const std::string lines[] = {
        "shade: the weight over the largest of its kind (conditions " +
            WeightText(largestCondition_) + ", consequents " + WeightText(largestConsequent_) + ")",
        "blank: the rule does not use the variable",
        "*: not an \"and\" of atoms; the rule file has the whole condition"};
    const bool starred =
        std::any_of(rows_.begin(), rows_.end(), [](const TRuleMapRow& r) { return !r.Plain; });
    for (int i = 0; i < (starred ? 3 : 2); ++i) {
        svg.Text("text", {{"x", SvgNumber(kMargin)}, {"y", SvgNumber(y + kLegendLine * (i + 1))}},
                 lines[i]);
    }
    svg.Close();
}

}  // namespace glean
