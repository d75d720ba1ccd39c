#include "Charts/THtmlReport.h"

#include <gtest/gtest.h>

#include <regex>

#include "RuleEngine/TFidelity.h"
#include "RuleSets.h"
#include "support/PageChecks.h"

namespace glean {
namespace {

using test::Count;
using test::References;

TEST(HtmlReport, RulesChartsAndHeadingsWithoutSamples) {
    auto rules = test::NetworkRules(3, false);
    test::AddCompoundRules(*rules);
    TReportContent content;
    content.Title = "Rules of <net> & co";
    const std::string html = HtmlReport(*rules, content);

    EXPECT_EQ(html.rfind("<!DOCTYPE html>\n<html lang=\"en\">", 0), 0u);
    EXPECT_NE(html.find("<title>Rules of &lt;net&gt; &amp; co</title>"), std::string::npos);
    EXPECT_EQ(Count(html, "<h1>"), 1u);
    const int count = rules->RuleList->numRules();
    EXPECT_EQ(Count(html, "<tr id=\"rule-"), std::size_t(count));
    EXPECT_EQ(Count(html, "<th scope=\"row\">" + std::to_string(count) + "*</th>"), 1u);
    // One chart per variable (two inputs, two outputs) and the rule map, inline.
    EXPECT_EQ(Count(html, "<figure class=\"chart\""), 4u);
    EXPECT_EQ(Count(html, "<svg "), 5u);
    EXPECT_EQ(Count(html, "<svg role=\"img\" aria-label="), 5u);
    EXPECT_EQ(html.find("<?xml"), std::string::npos);
    for (const std::string& reference : References(html))
        EXPECT_EQ(reference.rfind('#', 0), 0u) << reference;
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("id=\"confusion\""), std::string::npos);
    EXPECT_EQ(html.find("id=\"fidelity\""), std::string::npos);
    EXPECT_EQ(Count(html, "<table"), Count(html, "</table>"));
    EXPECT_EQ(Count(html, "<section"), Count(html, "</section>"));
    EXPECT_EQ(Count(html, "<section"), Count(html, "<h2 "));
}

TEST(HtmlReport, SamplesBringFiguresFidelityAndConfusion) {
    const auto rules = test::NetworkRules(4, false);
    const TRuleBase base(*rules);
    TReportContent content;
    content.Title = "Rules";
    content.DataName = "grid";
    content.Inputs = TFidelity::Grid(base, 4);
    content.Classes = true;
    // The truth: output 0 wherever the first input is below a half, output 1 elsewhere.
    for (const std::vector<double>& sample : content.Inputs) {
        content.Expected.push_back({sample[0] < 0.5 ? 1.0 : 0.0, sample[0] < 0.5 ? 0.0 : 1.0});
        content.Network.push_back({0.3, 0.6});
    }
    const std::string html = HtmlReport(*rules, content);
    EXPECT_NE(html.find("id=\"fidelity\""), std::string::npos);
    EXPECT_NE(html.find("id=\"confusion\""), std::string::npos);
    EXPECT_NE(html.find("16 samples of grid"), std::string::npos);
    // The confusion matrix counts every sample once: its cells add up to 16.
    const std::size_t from = html.find("<table id=\"confusion-table\">");
    const std::string matrix = html.substr(from, html.find("</table>", from) - from);
    int total = 0;
    const std::regex cell(R"(<td class="n">(\d+)</td>)");
    for (std::sregex_iterator i(matrix.begin(), matrix.end(), cell), end; i != end; ++i)
        total += std::stoi((*i)[1].str());
    EXPECT_EQ(total, 16);
    EXPECT_EQ(Count(matrix, "<th scope=\"row\">"), 2u);
    EXPECT_EQ(Count(matrix, "<th scope=\"col\">"), 3u);  // the two classes and "No rule"
    // Four figures a rule beside its terms.
    EXPECT_EQ(Count(html, "<th scope=\"col\">Support</th>"), 1u);
    EXPECT_EQ(Count(html, "<th scope=\"col\">Accuracy</th>"), 1u);
}

TEST(HtmlReport, NamesFromTheRuleFileAreEscaped) {
    auto rules = test::NetworkRules(5, false);
    rules->InputMFList->GetMFSet(0)->Name = "x<script>\"'&";
    rules->InputMFList->GetMFSet(0)->GetMF(0)->Name = "</td>";
    const std::string html = HtmlReport(*rules, {});
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_EQ(html.find("</td></td>"), std::string::npos);
    EXPECT_NE(html.find("x&lt;script&gt;&quot;&apos;&amp;"), std::string::npos);
}

}  // namespace
}  // namespace glean
