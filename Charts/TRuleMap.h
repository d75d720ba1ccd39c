// The rule map as an SVG picture: a grid of rules (rows) against input variables (columns), each
// cell holding the term a rule's condition chooses, shaded by its weight, and the consequents in
// columns beside them.
#pragma once

#include <string>
#include <vector>

#include "RuleObject/RuleObject.h"

namespace glean {

class TSvgWriter;

// What one rule says about one variable.
struct TRuleMapCell {
    std::string Text;   // the term chosen ("not " before a negated one; several joined by ", ")
    double Weight = 0;  // the largest weight among them; NaN when all are NaN
    bool Used = false;  // false: the rule says nothing about the variable
};

struct TRuleMapRow {
    std::vector<TRuleMapCell> Conditions;   // one per input variable
    std::vector<TRuleMapCell> Consequents;  // one per output variable
    // False when the condition is more than an "and" of atoms ("or", "not" before a bracket,
    // nested brackets, an atom outside the inputs): the cells then show its atoms, and the rule
    // number is marked "*".
    bool Plain = true;
};

class TRuleMap {
public:
    // The map of a rule set; a missing part counts as no variables or no rules.
    TRuleMap(const TFuzzyRuleSet& rules, std::string caption);

    const std::vector<TRuleMapRow>& Rows() const { return rows_; }
    // The whole SVG document: one <g class="rule"> per rule, one <rect class="cell"> per used
    // cell, whose fill-opacity is 0.6 times the cell's shade (darker would hide the text).
    std::string Svg() const;

    // How dark a cell is, from 0 to 1: weight over the largest weight of its kind, at most 1;
    // 0 for a weight that is not a positive number.
    static double Shade(double weight, double largest);
    // A weight as printed in a cell: two decimals, "nan", or exponent notation when large.
    static std::string WeightText(double weight);

private:
    void DrawHeader(TSvgWriter& svg, double width) const;
    void DrawRow(TSvgWriter& svg, int rule) const;
    void DrawCell(TSvgWriter& svg, const TRuleMapCell& cell, double x, double y, double largest,
                  const char* colour) const;
    void DrawLegend(TSvgWriter& svg, double y) const;
    double ColumnX(int column) const;  // inputs first, then outputs after the gap

    std::string caption_;
    std::vector<std::string> inputs_, outputs_;  // variable names
    std::vector<TRuleMapRow> rows_;
    double largestCondition_ = 0, largestConsequent_ = 0;  // finite positive weights only
};

}  // namespace glean
