// One self-contained HTML5 page about a rule base: the rules as a table in the variables' names,
// the terms with their parameters, the membership charts and the rule map as inline SVG, the
// figures of the rule base and, given samples, of every rule, the fidelity to a network and, for
// classes, a confusion matrix. Inline CSS, no script, nothing fetched: the page reads the same
// from a file, printed, or on a narrow screen, and its headings and table headers are what a
// screen reader navigates by. Every text from the rule set is escaped.
#pragma once

#include <string>
#include <vector>

#include "RuleEngine/TRuleEvaluator.h"
#include "RuleObject/RuleObject.h"

namespace glean {

struct TReportContent {
    std::string Title;  // the page's title and first heading
    std::string Units;  // what the values are in, e.g. "the units of the data"
    TConjunction Conjunction = kDefaultConjunction;
    TOutputMode Mode = TOutputMode::Singletons;

    // Samples, in the units of the rules; empty: no figures that need samples.
    std::string DataName;  // where they come from, for the captions
    std::vector<std::vector<double>> Inputs;
    // Per sample, the expected outputs (empty: none) and the network's outputs (empty: none).
    std::vector<std::vector<double>> Expected;
    std::vector<std::vector<double>> Network;
    bool Classes = false;  // the outputs stand for classes, the largest one picked
};

// The whole page. The per-rule figures are measured against the expected outputs, or the
// network's when there are none. Requires Expected and Network, when given, to hold a row of at
// least the rules' outputs per sample (checked). Throws ExportError for a rule set that the rule
// engine cannot run.
std::string HtmlReport(const TFuzzyRuleSet& rules, const TReportContent& content);

}  // namespace glean
