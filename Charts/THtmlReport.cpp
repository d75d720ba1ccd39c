#include "Charts/THtmlReport.h"

#include <cmath>
#include <cstdio>

#include "Charts/TMembershipChart.h"
#include "Charts/TRuleMap.h"
#include "Charts/TSvgWriter.h"
#include "KQmessage/Check.h"
#include "RuleEngine/TFidelity.h"
#include "RuleEngine/TRuleFigures.h"

namespace glean {

namespace {

// Narrow screens scroll wide tables sideways instead of squeezing them; print drops the
// contents and keeps tables and charts whole on a page where it can.
constexpr const char* kStyle = R"(body{font-family:system-ui,-apple-system,"Segoe UI",sans-serif;
line-height:1.45;color:#1a1a1a;background:#fff;margin:0 auto;max-width:62rem;padding:1rem}
h1{font-size:1.6rem;margin:.5rem 0}h2{font-size:1.25rem;margin:2rem 0 .5rem;
border-bottom:1px solid #ccc}
table{border-collapse:collapse;margin:.5rem 0 1rem}caption{text-align:left;font-weight:600;
padding:.25rem 0}th,td{border:1px solid #bbb;padding:.2rem .5rem;text-align:left;
vertical-align:top}thead th{background:#eef2f6}td.n{text-align:right;
font-variant-numeric:tabular-nums}td.any{color:#777}.scroll{overflow-x:auto}
figure{margin:1rem 0}figcaption{font-size:.9rem;color:#444}svg{max-width:100%;height:auto}
nav ul{padding-left:1.2rem}.note{font-size:.9rem;color:#444}
@media (max-width:40rem){body{padding:.5rem}th,td{padding:.15rem .3rem}h1{font-size:1.3rem}}
@media print{body{max-width:none;padding:0}nav{display:none}.scroll{overflow:visible}
table,figure{break-inside:avoid}h2{break-after:avoid}a{color:inherit;text-decoration:none}})";

std::string Html(const std::string& text) {
    return XmlText(text);
}

// A figure as printed: six significant digits, "–" for a value that is not a number.
std::string Number(double value) {
    if (!std::isfinite(value)) return "\u2013";
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string Share(int part, int whole) {
    if (whole <= 0) return "\u2013";
    char text[64];
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * part / whole);
    return text;
}

std::string VariableName(const TBasicMFSet& set, const char* kind, int v) {
    return set.Name.empty() ? std::string(kind) + " " + std::to_string(v + 1) : set.Name;
}

std::string TermName(const TBasicMF& mf, int t) {
    return mf.Name.empty() ? "term " + std::to_string(t + 1) : mf.Name;
}

// "left 1, centre 2, right 3": the parameters of a term by name.
std::string Parameters(const TBasicMF& mf) {
    if (const auto* p = dynamic_cast<const TTriangularMF*>(&mf))
        return "left " + Number(p->LeftBound) + ", centre " + Number(p->Centre) + ", right " +
               Number(p->RightBound);
    if (const auto* p = dynamic_cast<const TLShoulderTriangularMF*>(&mf))
        return "centre " + Number(p->Centre) + ", right " + Number(p->RightBound);
    if (const auto* p = dynamic_cast<const TRShoulderTriangularMF*>(&mf))
        return "left " + Number(p->LeftBound) + ", centre " + Number(p->Centre);
    if (const auto* p = dynamic_cast<const TBoundedMF*>(&mf))
        return "left " + Number(p->LeftBound) + ", right " + Number(p->RightBound);
    if (const auto* p = dynamic_cast<const TCentredMF*>(&mf)) return "centre " + Number(p->Centre);
    return "";
}

// An SVG document as an element of the page: without its XML declaration, named for screen
// readers by its title.
std::string InlineSvg(const std::string& svg, const std::string& label) {
    std::string element = svg.substr(svg.find("<svg"));
    element.insert(4, " role=\"img\" aria-label=\"" + Html(label) + "\"");
    return element;
}

class TPage {
public:
    TPage(const TFuzzyRuleSet& rules, const TReportContent& content)
        : set_(rules),
          content_(content),
          base_(rules),
          evaluator_(base_, content.Conjunction, content.Mode),
          figures_(base_, evaluator_) {
        const std::size_t outputs = std::size_t(base_.Outputs());
        for (const auto* rows : {&content.Expected, &content.Network}) {
            if (rows->empty()) continue;
            GLEAN_CHECK(rows->size() == content.Inputs.size());
            for (const std::vector<double>& row : *rows)
                GLEAN_CHECK(row.size() >= outputs);
        }
        rows_.Inputs = content.Inputs;
        rows_.Reference = !content.Expected.empty() ? content.Expected : content.Network;
        rows_.Classes = content.Classes;
        std::vector<double> answer(outputs);
        for (const std::vector<double>& sample : content.Inputs) {
            evaluator_.Evaluate(sample, answer);
            ruleOutputs_.push_back(answer);
        }
    }

    std::string Write() {
        const bool samples = !content_.Inputs.empty();
        const bool confusion = content_.Classes && samples && !rows_.Reference.empty();
        text_ =
            "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n"
            "<title>" +
            Html(content_.Title) + "</title>\n<style>\n" + kStyle + "\n</style>\n</head>\n<body>\n";
        text_ += "<header>\n<h1>" + Html(content_.Title) + "</h1>\n<p>" + Summary() +
                 "</p>\n</header>\n";
        text_ += "<nav aria-label=\"Contents\">\n<ul>\n";
        Link("rules", "Rules");
        Link("terms", "Terms");
        Link("charts", "Membership functions");
        Link("rule-map", "Rule map");
        Link("figures", "Figures of the rule base");
        if (!content_.Network.empty()) Link("fidelity", "Fidelity to the network");
        if (confusion) Link("confusion", "Confusion matrix");
        text_ += "</ul>\n</nav>\n<main>\n";
        RuleTable();
        TermTable();
        Charts();
        RuleMap();
        BaseFigures();
        if (!content_.Network.empty()) Fidelity();
        if (confusion) Confusion();
        text_ += "</main>\n</body>\n</html>\n";
        return text_;
    }

private:
    std::string Summary() const {
        const TRuleStatistics statistics = TFidelity::Statistics(base_);
        std::string text = std::to_string(statistics.Rules) + " rules on " +
                           std::to_string(base_.Inputs()) + " inputs and " +
                           std::to_string(base_.Outputs()) + " outputs, run with " +
                           ConjunctionName(content_.Conjunction) + " as \u201cand\u201d and " +
                           OutputModeName(content_.Mode) + " as outputs";
        if (!content_.Units.empty()) text += "; values in " + Html(content_.Units);
        if (!content_.Inputs.empty()) {
            text += "; " + std::to_string(content_.Inputs.size()) + " samples of " +
                    Html(content_.DataName);
            text += content_.Expected.empty()
                        ? (content_.Network.empty() ? "" : ", scored against the network")
                        : ", scored against their expected outputs";
        }
        return text + ".";
    }

    void Link(const char* id, const char* text) {
        text_ += std::string("<li><a href=\"#") + id + "\">" + text + "</a></li>\n";
    }

    void Section(const char* id, const std::string& heading) {
        text_ += std::string("<section id=\"") + id + "\" aria-labelledby=\"" + id +
                 "-heading\">\n<h2 id=\"" + id + "-heading\">" + heading + "</h2>\n";
    }

    const char* Scoring() const { return content_.Classes ? "Accuracy" : "RMSE"; }

    void RuleTable() {
        Section("rules", "Rules");
        const TRuleMap map(set_, "");
        const bool samples = !content_.Inputs.empty();
        const std::vector<TRuleFigure> figures =
            samples ? figures_.PerRule(rows_) : std::vector<TRuleFigure>();
        const int inputs = base_.Inputs(), outputs = base_.Outputs();
        text_ +=
            "<p class=\"note\">If the inputs are the terms in a row, the outputs take the "
            "terms beside it (with the consequence weights); an empty cell says nothing of "
            "that input.";
        if (samples) {
            text_ += " Support: samples on which the rule fires above " + Number(kSupportStrength) +
                     ". Decides: samples (per output, for a regression) on which it activates the "
                     "deciding output most.";
        }
        text_ += "</p>\n<div class=\"scroll\">\n<table id=\"rule-table\">\n<caption>" +
                 std::to_string(map.Rows().size()) + " rules";
        text_ += "</caption>\n<thead>\n<tr><td></td><th scope=\"colgroup\" colspan=\"" +
                 std::to_string(inputs) + "\">If</th><th scope=\"colgroup\" colspan=\"" +
                 std::to_string(outputs) + "\">Then</th>";
        if (samples) text_ += "<th scope=\"colgroup\" colspan=\"4\">On the samples</th>";
        text_ += "</tr>\n<tr><th scope=\"col\">Rule</th>";
        for (int v = 0; v < inputs; ++v)
            text_ +=
                "<th scope=\"col\">" + Html(VariableName(base_.InputSet(v), "input", v)) + "</th>";
        for (int o = 0; o < outputs; ++o)
            text_ += "<th scope=\"col\">" + Html(VariableName(base_.OutputSet(o), "output", o)) +
                     "</th>";
        if (samples) {
            text_ += std::string(
                         "<th scope=\"col\">Support</th><th scope=\"col\">Strength "
                         "sum</th><th scope=\"col\">Decides</th><th scope=\"col\">") +
                     Scoring() + "</th>";
        }
        text_ += "</tr>\n</thead>\n<tbody>\n";
        bool compound = false;
        for (std::size_t r = 0; r < map.Rows().size(); ++r) {
            const TRuleMapRow& row = map.Rows()[r];
            compound = compound || !row.Plain;
            text_ += "<tr id=\"rule-" + std::to_string(r + 1) + "\"><th scope=\"row\">" +
                     std::to_string(r + 1) + (row.Plain ? "" : "*") + "</th>";
            for (const TRuleMapCell& cell : row.Conditions)
                text_ += cell.Used ? "<td>" + Html(cell.Text) + "</td>" : "<td class=\"any\"></td>";
            for (const TRuleMapCell& cell : row.Consequents) {
                text_ += cell.Used ? "<td>" + Html(cell.Text) + " <span class=\"note\">(" +
                                         Html(TRuleMap::WeightText(cell.Weight)) + ")</span></td>"
                                   : "<td class=\"any\"></td>";
            }
            if (samples) {
                const TRuleFigure& figure = figures[r];
                const bool referenced = !rows_.Reference.empty();
                text_ += "<td class=\"n\">" + std::to_string(figure.Supported) +
                         "</td><td class=\"n\">" + Number(figure.StrengthSum) +
                         "</td><td class=\"n\">" + std::to_string(figure.Decided) +
                         "</td><td class=\"n\">" +
                         (!referenced        ? std::string("\u2013")
                          : content_.Classes ? Number(figure.Accuracy())
                                             : Number(figure.Rmse())) +
                         "</td>";
            }
            text_ += "</tr>\n";
        }
        text_ += "</tbody>\n</table>\n</div>\n";
        if (compound) {
            text_ +=
                "<p class=\"note\">* The condition is more than an \u201cand\u201d of terms "
                "(\u201cor\u201d, \u201cnot\u201d before brackets): the cells show its "
                "terms.</p>\n";
        }
        text_ += "</section>\n";
    }

    void TermRows(const char* kind, int count, bool inputs) {
        for (int v = 0; v < count; ++v) {
            const TBasicMFSet& set = inputs ? base_.InputSet(v) : base_.OutputSet(v);
            for (int t = 0; t < set.NumberOfMF; ++t) {
                const TBasicMF& mf = *set.GetMF(t);
                text_ += "<tr><th scope=\"row\">" + Html(VariableName(set, kind, v)) + "</th><td>" +
                         kind + "</td><td>" + Html(TermName(mf, t)) + "</td><td>" + Html(mf.Type) +
                         "</td><td>" + Parameters(mf) + "</td></tr>\n";
            }
        }
    }

    void TermTable() {
        Section("terms", "Terms");
        if (!content_.Units.empty())
            text_ += "<p class=\"note\">Values in " + Html(content_.Units) + ".</p>\n";
        text_ +=
            "<div class=\"scroll\">\n<table id=\"term-table\">\n<caption>Terms of every "
            "variable</caption>\n<thead>\n<tr><th scope=\"col\">Variable</th><th "
            "scope=\"col\">Kind</th><th scope=\"col\">Term</th><th scope=\"col\">Shape</th>"
            "<th scope=\"col\">Parameters</th></tr>\n</thead>\n<tbody>\n";
        TermRows("input", base_.Inputs(), true);
        TermRows("output", base_.Outputs(), false);
        text_ += "</tbody>\n</table>\n</div>\n</section>\n";
    }

    void Chart(const TBasicMFSet& set, const char* kind, int v, const std::vector<double>& samples,
               const std::string& note) {
        const std::string caption =
            VariableName(set, kind, v) + " (" + kind + " " + std::to_string(v + 1) + ")" + note;
        const TMembershipChart chart(set, caption, samples);
        text_ += std::string("<figure class=\"chart\" id=\"chart-") + kind + "-" +
                 std::to_string(v + 1) + "\">\n" + InlineSvg(chart.Svg(), caption) +
                 "<figcaption>" + Html(caption) + "</figcaption>\n</figure>\n";
    }

    void Charts() {
        Section("charts", "Membership functions");
        const std::string data = content_.DataName;
        for (int v = 0; v < base_.Inputs(); ++v) {
            std::vector<double> values;
            for (const std::vector<double>& sample : content_.Inputs)
                values.push_back(sample[std::size_t(v)]);
            Chart(base_.InputSet(v), "input", v, values,
                  values.empty() ? "" : ", samples of " + data);
        }
        for (int o = 0; o < base_.Outputs(); ++o) {
            std::vector<double> values;
            for (const std::vector<double>& answer : content_.Network)
                values.push_back(answer[std::size_t(o)]);
            Chart(base_.OutputSet(o), "output", o, values,
                  values.empty() ? "" : ", network outputs on " + data);
        }
        text_ += "</section>\n";
    }

    void RuleMap() {
        Section("rule-map", "Rule map");
        const std::string caption =
            "Rules (" + std::to_string(base_.SourceRules().numRules()) + ")";
        text_ += "<figure id=\"rule-map-figure\">\n" +
                 InlineSvg(TRuleMap(set_, caption).Svg(), caption) +
                 "<figcaption>Rules against variables, each cell shaded by its weight"
                 "</figcaption>\n</figure>\n</section>\n";
    }

    void Row(const std::string& label, const std::string& value) {
        text_ += "<tr><th scope=\"row\">" + label + "</th><td>" + value + "</td></tr>\n";
    }

    std::string Pairs(const std::vector<TRulePair>& pairs, const char* join) const {
        if (pairs.empty()) return "none";
        std::string text = std::to_string(pairs.size()) + ": ";
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            text += (i ? "; " : "") + std::string("rule ") + std::to_string(pairs[i].First + 1) +
                    join + std::to_string(pairs[i].Second + 1);
        }
        return text;
    }

    void BaseFigures() {
        Section("figures", "Figures of the rule base");
        const TBaseFigures f = figures_.Base(rows_);
        text_ +=
            "<table id=\"figure-table\">\n<caption>Size, coverage, consistency and "
            "distinguishability</caption>\n<tbody>\n";
        Row("Rules", std::to_string(f.Rules));
        Row("Conditions per rule",
            "mean " + Number(f.MeanConditions) + ", largest " + std::to_string(f.MostConditions));
        std::string terms;
        for (int v = 0; v < base_.Inputs(); ++v) {
            terms += (v ? ", " : "") + Html(VariableName(base_.InputSet(v), "input", v)) + " " +
                     std::to_string(f.TermsUsed[std::size_t(v)]) + " of " +
                     std::to_string(f.Terms[std::size_t(v)]);
        }
        Row("Terms per input (used of all)", terms);
        if (f.Samples > 0)
            Row("Coverage of the samples", Share(f.Covered, f.Samples) + " (" +
                                               std::to_string(f.Covered) + " of " +
                                               std::to_string(f.Samples) + " fire some rule)");
        if (f.GridSamples > 0)
            Row("Coverage of an input grid", Share(f.GridCovered, f.GridSamples) + " of " +
                                                 std::to_string(f.GridSamples) + " points");
        Row("Conflicts", Pairs(f.Conflicts, " and rule "));
        Row("Redundant rules", Pairs(f.Redundant, " within rule "));
        if (f.SimilarVariable >= 0) {
            const TBasicMFSet& set = base_.InputSet(f.SimilarVariable);
            Row("Most alike terms (Jaccard)",
                Number(f.Similarity) + " (" + Html(VariableName(set, "input", f.SimilarVariable)) +
                    ": " + Html(TermName(*set.GetMF(f.SimilarFirst), f.SimilarFirst)) + " and " +
                    Html(TermName(*set.GetMF(f.SimilarSecond), f.SimilarSecond)) + ")");
        }
        text_ += "</tbody>\n</table>\n";
        if (f.Compared < f.Rules) {
            text_ += "<p class=\"note\">Conflicts and redundancy were looked for among the " +
                     std::to_string(f.Compared) +
                     " rules whose condition is an \u201cand\u201d "
                     "of terms.</p>\n";
        }
        text_ += "</section>\n";
    }

    void Fidelity() {
        Section("fidelity", "Fidelity to the network");
        const TFidelityReport report =
            TFidelity::Compare(ruleOutputs_, content_.Network, base_.Outputs(), content_.Classes);
        text_ += "<table id=\"fidelity-table\">\n<caption>Rules against the network on " +
                 std::to_string(report.Samples) + " samples of " + Html(content_.DataName) +
                 "</caption>\n<thead>\n<tr><th scope=\"col\">Output</th><th scope=\"col\">RMS "
                 "difference</th><th scope=\"col\">Largest difference</th><th scope=\"col\">No "
                 "rule active</th></tr>\n</thead>\n<tbody>\n";
        for (int o = 0; o < base_.Outputs(); ++o) {
            const TOutputFidelity& output = report.Outputs[std::size_t(o)];
            text_ += "<tr><th scope=\"row\">" +
                     Html(VariableName(base_.OutputSet(o), "output", o)) + "</th><td class=\"n\">" +
                     Number(output.Rms) + "</td><td class=\"n\">" + Number(output.Largest) +
                     "</td><td class=\"n\">" + Share(output.Silent, report.Samples) +
                     "</td></tr>\n";
        }
        text_ += "</tbody>\n</table>\n";
        if (report.Classes.Compared) {
            text_ += "<p>Class agreement: " + std::to_string(report.Classes.Agreeing) + " of " +
                     std::to_string(report.Samples) + " (" +
                     Share(report.Classes.Agreeing, report.Samples) + "), no rule active on " +
                     std::to_string(report.Classes.Silent) + ".</p>\n";
        }
        text_ += "</section>\n";
    }

    void Confusion() {
        Section("confusion", "Confusion matrix");
        const int classes = base_.Outputs();
        // counts[truth][picked], picked == classes where no rule is active.
        std::vector<std::vector<int>> counts(std::size_t(classes),
                                             std::vector<int>(std::size_t(classes) + 1, 0));
        int right = 0, total = 0;
        for (std::size_t n = 0; n < ruleOutputs_.size(); ++n) {
            const int truth =
                LargestOutput(std::span(rows_.Reference[n].data(), std::size_t(classes)));
            if (truth < 0) continue;
            const int picked = LargestOutput(ruleOutputs_[n]);
            ++counts[std::size_t(truth)][std::size_t(picked < 0 ? classes : picked)];
            right += picked == truth;
            ++total;
        }
        const char* truth = content_.Expected.empty() ? "the network's class" : "the true class";
        text_ += "<div class=\"scroll\">\n<table id=\"confusion-table\">\n<caption>Rows: " +
                 std::string(truth) +
                 "; columns: the class the rules pick</caption>\n<thead>\n<tr><td></td>";
        for (int c = 0; c < classes; ++c)
            text_ += "<th scope=\"col\">" + Html(VariableName(base_.OutputSet(c), "output", c)) +
                     "</th>";
        text_ += "<th scope=\"col\">No rule</th></tr>\n</thead>\n<tbody>\n";
        for (int t = 0; t < classes; ++t) {
            text_ += "<tr><th scope=\"row\">" +
                     Html(VariableName(base_.OutputSet(t), "output", t)) + "</th>";
            for (int count : counts[std::size_t(t)])
                text_ += "<td class=\"n\">" + std::to_string(count) + "</td>";
            text_ += "</tr>\n";
        }
        text_ += "</tbody>\n</table>\n</div>\n<p>The rules pick " + std::string(truth) + " on " +
                 std::to_string(right) + " of " + std::to_string(total) + " samples (" +
                 Share(right, total) + ").</p>\n</section>\n";
    }

    const TFuzzyRuleSet& set_;
    const TReportContent& content_;
    TRuleBase base_;
    TRuleEvaluator evaluator_;
    TRuleFigures figures_;
    TFigureRows rows_;
    std::vector<std::vector<double>> ruleOutputs_;
    std::string text_;
};

}  // namespace

std::string HtmlReport(const TFuzzyRuleSet& rules, const TReportContent& content) {
    return TPage(rules, content).Write();
}

}  // namespace glean
