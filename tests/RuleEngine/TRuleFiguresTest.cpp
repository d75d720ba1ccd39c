#include "RuleEngine/TRuleFigures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "FileHandler/TRuleFile.h"

namespace glean {
namespace {

// A triangle's MF block.
std::string Triangle(const char* name, int index, double left, double centre, double right) {
    std::ostringstream text;
    text << "[MF]\n[Name=" << name << " Index=" << index
         << " Type=Triangular ]\n[LeftBound=" << left << " Centre=" << centre
         << " RightBound=" << right << " ]\n[~MF]\n";
    return text.str();
}

std::string Set(const char* name, int index, const std::vector<std::string>& terms) {
    std::string text = "[MFSet]\n[MFSetInfo]\n[Name=" + std::string(name) +
                       " Index=" + std::to_string(index) +
                       " Type=Triangular ]\n[LowerBound=0 UpperBound=1 ]\n[NumberOfMF = " +
                       std::to_string(terms.size()) + "]\n[~MFSetInfo]\n";
    for (const std::string& term : terms)
        text += term;
    return text + "[~MFSet]\n";
}

std::string List(const char* name, const std::vector<std::string>& sets) {
    std::string text =
        "[MFList]\n[MFListInfo]\n[VariablesRepresented = " + std::to_string(sets.size()) +
        "]\n[ListName = " + name + "]\n[~MFListInfo]\n";
    for (const std::string& set : sets)
        text += set;
    return text + "[~MFList]\n";
}

// Inputs X (A 0-0.25-0.5, B 0.25-0.5-0.75, C 0.8-0.9-1, D 0.5-0.75-1) and Z (P, Q), output Y
// (Lo, Hi), and the rules given.
std::unique_ptr<TFuzzyRuleSet> Rules(const std::string& rules) {
    const std::string x = Set("X", 0,
                              {Triangle("A", 0, 0, 0.25, 0.5), Triangle("B", 1, 0.25, 0.5, 0.75),
                               Triangle("C", 2, 0.8, 0.9, 1), Triangle("D", 3, 0.5, 0.75, 1)});
    const std::string z = Set("Z", 1, {Triangle("P", 0, 0, 0, 1), Triangle("Q", 1, 0, 1, 1)});
    const std::string y = Set("Y", 0, {Triangle("Lo", 0, 0, 0, 1), Triangle("Hi", 1, 0, 1, 1)});
    std::istringstream in("[FuzzyRules]\n[RuleType = Test]\n" + List("Inputs", {x, z}) +
                          List("Outputs", {y}) + "[RuleList]\n" + rules +
                          "[~RuleList]\n[~FuzzyRules]\n");
    FileTools tools;
    return TRuleFile::LoadRules(tools, in);
}

struct Figures {
    explicit Figures(const std::string& rules)
        : Set(Rules(rules)),
          Base(*Set),
          Evaluator(Base, TConjunction::Minimum, TOutputMode::Singletons),
          Of(Base, Evaluator) {}
    std::unique_ptr<TFuzzyRuleSet> Set;
    TRuleBase Base;
    TRuleEvaluator Evaluator;
    TRuleFigures Of;
};

std::vector<std::pair<int, int>> Pairs(const std::vector<TRulePair>& pairs) {
    std::vector<std::pair<int, int>> result;
    for (const TRulePair& pair : pairs)
        result.emplace_back(pair.First + 1, pair.Second + 1);
    return result;
}

TEST(TermOverlap, ExactAreasOfTrianglesAndTheirCrossing) {
    TTriangularMF a, b, d;
    a.LeftBound = 0, a.Centre = 0.25, a.RightBound = 0.5;
    b.LeftBound = 0.25, b.Centre = 0.5, b.RightBound = 0.75;
    d.LeftBound = 0.5, d.Centre = 0.75, d.RightBound = 1;
    const TTermOverlap ab = TermOverlap(a, b, 0, 1);
    // Each has area 0.25; they cross at 0.375, height 0.5: the intersection is a triangle of
    // base 0.25.
    EXPECT_DOUBLE_EQ(ab.Intersection, 0.0625);
    EXPECT_DOUBLE_EQ(ab.Union, 0.4375);
    EXPECT_DOUBLE_EQ(ab.Jaccard(), 1.0 / 7);
    EXPECT_DOUBLE_EQ(TermOverlap(a, a, 0, 1).Jaccard(), 1);
    // Touching at a foot: no area in common.
    EXPECT_EQ(TermOverlap(a, d, 0, 1).Intersection, 0);
    // The range cuts the terms: over [0, 0.25] only A's rising half counts.
    EXPECT_DOUBLE_EQ(TermOverlap(a, a, 0, 0.25).Union, 0.125);
    TSingletonMF s;
    s.Centre = 0.25;
    EXPECT_EQ(TermOverlap(s, s, 0, 1).Jaccard(), 0);
}

TEST(TRuleFigures, ConflictsAndRedundancyOfHandMadeRules) {
    const Figures f(
        "if <X is A> and <Z is P> then <Y is Lo>\n"   // 1
        "if <X is B> then <Y is Hi>\n"                // 2: overlaps 1, 4 and 5
        "if <X is C> then <Y is Hi>\n"                // 3: agrees with 2
        "if <Z is P> and <X is A> then <Y is Lo>\n"   // 4: rule 1 again
        "if <X is A> then <Y is Lo>\n"                // 5: contains 1 and 4
        "if <X is D> then <Y is Hi>\n"                // 6: touches A only at a foot
        "if <X is A> or <Z is Q> then <Y is Hi>\n");  // 7: not an "and": left out
    const TBaseFigures base = f.Of.Base({});
    EXPECT_EQ(Pairs(base.Conflicts), (std::vector<std::pair<int, int>>{{1, 2}, {2, 4}, {2, 5}}));
    EXPECT_EQ(Pairs(base.Redundant), (std::vector<std::pair<int, int>>{{1, 5}, {4, 1}, {4, 5}}));
    EXPECT_EQ(base.Compared, 6);
    EXPECT_EQ(base.Rules, 7);
    EXPECT_EQ(base.MostConditions, 2);
    EXPECT_DOUBLE_EQ(base.MeanConditions, 10.0 / 7);
    EXPECT_EQ(base.Terms, (std::vector<int>{4, 2}));
    EXPECT_EQ(base.TermsUsed, (std::vector<int>{4, 2}));
    // P and Q (areas 0.5, crossing at 0.5) are more alike than any two terms of X.
    EXPECT_DOUBLE_EQ(base.Similarity, 1.0 / 3);
    EXPECT_EQ(base.SimilarVariable, 1);
    EXPECT_EQ(base.SimilarFirst, 0);
    EXPECT_EQ(base.SimilarSecond, 1);
}

TEST(TRuleFigures, CoverageOfSamplesAndGrid) {
    const Figures f("if <X is A> then <Y is Lo>\nif <X is C> then <Y is Hi>\n");
    TFigureRows rows;
    // 0.5 and 0.8 are feet, where nothing fires.
    rows.Inputs = {{0.1, 0}, {0.5, 0}, {0.6, 0}, {0.8, 0}, {0.85, 0}};
    const TBaseFigures base = f.Of.Base(rows);
    EXPECT_EQ(base.Samples, 5);
    EXPECT_EQ(base.Covered, 2);
    // Two inputs: 141 points each, spread over [0, 1]; X alone decides.
    EXPECT_EQ(base.GridSamples, 141 * 141);
    int covered = 0;
    for (int i = 0; i < 141; ++i) {
        const double x = i / 140.0;
        covered += (x > 0 && x < 0.5) || (x > 0.8 && x < 1);
    }
    EXPECT_EQ(base.GridCovered, covered * 141);
}

TEST(TRuleFigures, SupportDecisionsAndErrorsPerRule) {
    const Figures f("if <X is A> then <Y is Lo>\nif <X is B> then <Y is Hi>\n");
    TFigureRows rows;
    // A is 0.5 at 0.125 (not above the support limit), 1 at 0.25; at 0.375 both are 0.5 and
    // the first rule decides; at 0.45 B (0.8) outweighs A (0.2).
    rows.Inputs = {{0.125, 0}, {0.25, 0}, {0.375, 0}, {0.45, 0}, {0.9, 0}};
    rows.Reference = {{0}, {0.5}, {0.5}, {1}, {1}};
    const std::vector<TRuleFigure> figures = f.Of.PerRule(rows);
    ASSERT_EQ(figures.size(), 2u);
    EXPECT_EQ(figures[0].Supported, 1);
    EXPECT_DOUBLE_EQ(figures[0].StrengthSum, 0.5 + 1 + 0.5 + 0.2);
    EXPECT_EQ(figures[0].Decided, 3);
    EXPECT_EQ(figures[1].Supported, 1);
    EXPECT_EQ(figures[1].Decided, 1);
    // Rule 1 answers 0 on its first two samples and 0.5 (the average) on the third.
    EXPECT_DOUBLE_EQ(figures[0].Rmse(), std::sqrt(0.25 / 3));
    const double at045 = 0.8 / (0.2 + 0.8);
    EXPECT_NEAR(figures[1].Rmse(), 1 - at045, 1e-12);

    rows.Classes = true;  // one output: the class is always 0, never silent but at 0.9
    const std::vector<TRuleFigure> classes = f.Of.PerRule(rows);
    EXPECT_EQ(classes[0].Decided + classes[1].Decided, 4);
    EXPECT_EQ(classes[0].Right + classes[1].Right, 4);
    EXPECT_TRUE(std::isnan(TRuleFigure{}.Accuracy()));
}

}  // namespace
}  // namespace glean
