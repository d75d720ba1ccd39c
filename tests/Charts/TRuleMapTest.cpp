#include "Charts/TRuleMap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>

#include "RuleSets.h"

namespace glean {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The fill opacities of the cells, in document order.
std::vector<std::string> Opacities(const std::string& svg) {
    std::vector<std::string> opacities;
    const std::regex cell("<rect class=\"cell\"[^>]* fill-opacity=\"([^\"]*)\"");
    for (std::sregex_iterator i(svg.begin(), svg.end(), cell), end; i != end; ++i)
        opacities.push_back((*i)[1].str());
    return opacities;
}

struct CellRow {
    const char* Text;
    double Weight;
};

void ExpectCells(const std::vector<TRuleMapCell>& cells, const std::vector<CellRow>& expected,
                 const std::string& what) {
    ASSERT_EQ(cells.size(), expected.size()) << what;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        EXPECT_EQ(cells[i].Used, expected[i].Text != nullptr) << what << " " << i;
        if (!expected[i].Text) continue;
        EXPECT_EQ(cells[i].Text, expected[i].Text) << what << " " << i;
        if (std::isnan(expected[i].Weight)) {
            EXPECT_TRUE(std::isnan(cells[i].Weight)) << what << " " << i;
        } else {
            EXPECT_DOUBLE_EQ(cells[i].Weight, expected[i].Weight) << what << " " << i;
        }
    }
}

TEST(TRuleMap, PutsEachConditionUnderItsVariableAndConsequentsBeside) {
    const auto rules = test::LoadToolRules("compound.rul");
    const TRuleMap map(*rules, "compound");
    const auto& rows = map.Rows();
    ASSERT_EQ(rows.size(), 5u);
    ExpectCells(rows[0].Conditions, {{"Cold", 0.9}, {"Dry", 0.7}}, "rule 1");
    ExpectCells(rows[0].Consequents, {{"Slow", 0.8}}, "rule 1");
    ExpectCells(rows[1].Conditions, {{"Mild", 0.8}, {nullptr, 0}}, "rule 2");
    ExpectCells(rows[1].Consequents, {{"Medium, Slow", 0.6}}, "rule 2");
    ExpectCells(rows[3].Consequents, {{"Medium, Fast", 0.4}}, "rule 4");
    // ( Cold or not Humid ) and not Hot: the atoms, each under its variable, negations kept.
    ExpectCells(rows[4].Conditions, {{"Cold, not Hot", 1}, {"not Humid", 1}}, "rule 5");
    for (int r = 0; r < 4; ++r)
        EXPECT_TRUE(rows[r].Plain) << r;
    EXPECT_FALSE(rows[4].Plain);

    const std::string svg = map.Svg();
    EXPECT_EQ(Count(svg, "<g class=\"rule\">"), 5u);
    EXPECT_EQ(Count(svg, "<rect class=\"cell\""), 14u);  // blank cells have none
    EXPECT_NE(svg.find(">5*</text>"), std::string::npos);
    EXPECT_NE(svg.find("*: not an &quot;and&quot; of atoms"), std::string::npos);
    // Shades: weights over the largest of their kind (conditions 1, consequents 1.6).
    const std::vector<std::string> expected = {"0.54", "0.42", "0.30", "0.48", "0.22",
                                               "0.57", "0.30", "0.60", "0.24", "0.18",
                                               "0.15", "0.60", "0.60", "0.19"};
    EXPECT_EQ(Opacities(svg), expected);
}

TEST(TRuleMap, PlainRulesGetNoStarNorItsLegend) {
    const auto rules = test::LoadToolRules("fan.rul");
    const std::string svg = TRuleMap(*rules, "fan").Svg();
    EXPECT_EQ(Count(svg, "<g class=\"rule\">"), 4u);
    EXPECT_EQ(svg.find("*</text>"), std::string::npos);
    EXPECT_EQ(svg.find("*: not an"), std::string::npos);
}

TEST(TRuleMap, ShadeIsTheWeightOverTheLargestWithinZeroAndOne) {
    const struct {
        double Weight, Largest, Shade;
    } rows[] = {
        {0.5, 1, 0.5}, {1, 1, 1},         {2, 1, 1},          {0, 1, 0},   {-1, 1, 0},
        {kNan, 1, 0},  {kInfinity, 1, 1}, {-kInfinity, 1, 0}, {0.5, 0, 0}, {1e300, 1e308, 1e-8},
    };
    for (const auto& row : rows)
        EXPECT_DOUBLE_EQ(TRuleMap::Shade(row.Weight, row.Largest), row.Shade) << row.Weight;
}

TEST(TRuleMap, WeightTextStaysShort) {
    const struct {
        double Weight;
        const char* Text;
    } rows[] = {{0.816328, "0.82"}, {-0.2, "-0.20"},      {kNan, "nan"},
                {1e300, "1e+300"},  {-kInfinity, "-inf"}, {12345, "1.2e+04"}};
    for (const auto& row : rows)
        EXPECT_EQ(TRuleMap::WeightText(row.Weight), row.Text);
}

TEST(TRuleMap, OddRuleSetsStillGiveAPicture) {
    const TFuzzyRuleSet nothing;
    const std::string empty = TRuleMap(nothing, "none").Svg();
    EXPECT_NE(empty.find(">no rules</text>"), std::string::npos);
    EXPECT_EQ(Count(empty, "<rect class=\"cell\""), 0u);

    // NaN and huge weights, an atom outside the inputs, a rule without condition or consequence.
    auto rules = test::LoadToolRules("fan.rul");
    TRuleList& list = *rules->RuleList;
    auto condition = std::make_unique<TRuleExprList>("and", 2);
    condition->InsertSubExpression(TRuleExpression(TRuleAtom{0, 1, kNan, false}), -1);
    condition->InsertSubExpression(TRuleExpression(TRuleAtom{7, 0, 1, false}), -1);
    auto consequences = std::make_unique<TRuleConsequenceList>(1);
    consequences->InsertConsequence(0, 2, 1e300, false, -1);
    list.InsertRule(
        TRule(std::make_unique<TRuleExpression>(std::move(condition)), std::move(consequences)),
        -1);
    list.InsertRule(TRule(), -1);
    const TRuleMap map(*rules, "odd");
    ASSERT_EQ(map.Rows().size(), 6u);
    const TRuleMapRow& odd = map.Rows()[4];
    EXPECT_FALSE(odd.Plain);
    ExpectCells(odd.Conditions, {{"Mild", kNan}, {nullptr, 0}}, "odd");
    EXPECT_FALSE(map.Rows()[5].Plain);
    const std::string svg = map.Svg();
    EXPECT_NE(svg.find(">nan</text>"), std::string::npos);
    EXPECT_NE(svg.find(">1e+300</text>"), std::string::npos);
    // The huge consequent takes the full shade, the others nearly none.
    const std::vector<std::string> opacities = Opacities(svg);
    ASSERT_EQ(opacities.size(), 11u + 2);
    EXPECT_EQ(opacities[2], "0.00");
    EXPECT_EQ(opacities[11], "0.00");  // the NaN condition
    EXPECT_EQ(opacities[12], "0.60");
}

TEST(TRuleMap, EscapesNames) {
    auto rules = test::LoadToolRules("fan.rul");
    rules->InputMFList->GetMFSet(0)->Name = "T<&>";
    rules->InputMFList->GetMFSet(0)->GetMF(0)->Name = "\"Cold\"'";
    const std::string svg = TRuleMap(*rules, "a&b").Svg();
    EXPECT_NE(svg.find(">T&lt;&amp;&gt;</text>"), std::string::npos);
    EXPECT_NE(svg.find(">&quot;Cold&quot;&apos;</text>"), std::string::npos);
    EXPECT_NE(svg.find("<title>a&amp;b</title>"), std::string::npos);
    EXPECT_EQ(svg.find("T<&>"), std::string::npos);
}

}  // namespace
}  // namespace glean
