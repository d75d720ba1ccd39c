#include "RuleEngine/TRuleBase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "RuleSets.h"
#include "support/TestSupport.h"

namespace glean {
namespace {

constexpr double kMin = std::numeric_limits<double>::min();

// The degree of a point list as the engines read one: the first and last degrees beyond the
// ends, linear in between, the first point of equal X deciding at that X.
double PolylineDegree(const std::vector<TTermPoint>& points, double x) {
    if (x <= points.front().X) return points.front().Degree;
    if (x >= points.back().X) return points.back().Degree;
    auto upper = std::lower_bound(points.begin(), points.end(), x,
                                  [](const TTermPoint& p, double v) { return p.X < v; });
    if (upper->X == x) return upper->Degree;
    auto lower = upper - 1;
    return lower->Degree + (upper->Degree - lower->Degree) * (x - lower->X) / (upper->X - lower->X);
}

std::unique_ptr<TBasicMF> Shape(const std::string& type, double a, double b, double c = 0) {
    if (type == "L") {
        auto mf = std::make_unique<TLShoulderTriangularMF>();
        mf->Centre = a, mf->RightBound = b;
        return mf;
    }
    if (type == "R") {
        auto mf = std::make_unique<TRShoulderTriangularMF>();
        mf->LeftBound = a, mf->Centre = b;
        return mf;
    }
    if (type == "T") {
        auto mf = std::make_unique<TTriangularMF>();
        mf->LeftBound = a, mf->Centre = b, mf->RightBound = c;
        return mf;
    }
    if (type == "S") {
        auto mf = std::make_unique<TSingletonMF>();
        mf->Centre = a;
        return mf;
    }
    auto mf = std::make_unique<TRectangularMF>();
    mf->LeftBound = a, mf->RightBound = b;
    return mf;
}

struct ShapeRow {
    const char* Type;
    double A, B, C;
};

// Every shape, regular and degenerate, drawn as points agrees with its own membership at the
// vertices, next to them and between them (up to rounding on the slopes).
TEST(TermPoints, ReproduceEveryShapeExactly) {
    const ShapeRow rows[] = {{"L", 0.2, 0.5, 0},   {"L", 0.5, 0.5, 0},   {"L", 0, 0, 0},
                             {"R", 0.2, 0.5, 0},   {"R", 0.5, 0.5, 0},   {"R", 1, 1, 0},
                             {"T", 0.1, 0.4, 0.9}, {"T", 0.4, 0.4, 0.9}, {"T", 0.1, 0.4, 0.4},
                             {"T", 0.4, 0.4, 0.4}, {"T", 0, 0, 1},       {"S", 0.3, 0, 0},
                             {"Q", 0.2, 0.6, 0},   {"Q", 0.6, 0.6, 0}};
    for (const ShapeRow& row : rows) {
        const auto mf = Shape(row.Type, row.A, row.B, row.C);
        const auto points = TermPoints(*mf, "x.t");
        for (std::size_t i = 1; i < points.size(); ++i)
            EXPECT_LT(points[i - 1].X, points[i].X);
        std::vector<double> xs{-1, 2, 0.25, 0.45, 0.75};
        for (double v : {row.A, row.B, row.C}) {
            xs.insert(xs.end(), {v, std::nextafter(v, -1.0), std::nextafter(v, 2.0)});
        }
        for (double x : xs) {
            if (std::fpclassify(x) == FP_SUBNORMAL) continue;  // documented exception
            EXPECT_NEAR(PolylineDegree(points, x), mf->Membership(x), 1e-12)
                << row.Type << " " << row.A << " " << row.B << " " << row.C << " at " << x;
        }
    }
}

TEST(TermPoints, MoveCoincidingFeetOutward) {
    const auto left = TermPoints(*Shape("L", 0.5, 0.5), "x.t");
    EXPECT_EQ(left[1].X, std::nextafter(0.5, 1.0));
    // At zero the next double is subnormal, which some readers refuse: the smallest normal one.
    EXPECT_EQ(TermPoints(*Shape("L", 0, 0), "x.t")[1].X, kMin);
    EXPECT_EQ(TermPoints(*Shape("R", 0, 0), "x.t")[0].X, -kMin);
    EXPECT_EQ(TermPoints(*Shape("L", kMin, kMin), "x.t")[1].X, std::nextafter(kMin, 1.0));
    EXPECT_EQ(TermPoints(*Shape("R", kMin, kMin), "x.t")[0].X, 0.0);
    // With a step, feet nearer than it move out to it; others stay.
    const auto stepped = TermPoints(*Shape("T", 0.4, 0.4, 0.400001), "x.t", 1e-5);
    EXPECT_DOUBLE_EQ(stepped[0].X, 0.4 - 1e-5);
    EXPECT_DOUBLE_EQ(stepped[2].X, 0.4 + 1e-5);
    EXPECT_EQ(TermPoints(*Shape("T", 0.1, 0.4, 0.9), "x.t", 1e-5)[0].X, 0.1);
}

// Kept, a vertical edge stays where the shape has it, whatever the step.
TEST(TermPoints, KeepVerticalEdgesWhereAsked) {
    const struct {
        ShapeRow Shape;
        double Step;
        std::vector<TTermPoint> Points;
    } rows[] = {
        {{"T", 0.4, 0.4, 0.400001}, 1e-5, {{0.4, 0}, {0.4, 1}, {0.400001, 0}}},
        {{"R", 0, 0, 0}, 0, {{0, 0}, {0, 1}}},
        {{"L", kMin, kMin, 0}, 0, {{kMin, 1}, {kMin, 0}}},
        {{"Q", 0.2, 0.6, 0}, 1e-5, {{0.2, 0}, {0.2, 1}, {0.6, 1}, {0.6, 0}}},
    };
    for (const auto& row : rows) {
        const auto mf = Shape(row.Shape.Type, row.Shape.A, row.Shape.B, row.Shape.C);
        const auto points = TermPoints(*mf, "x.t", row.Step, TVerticalEdge::Keep);
        ASSERT_EQ(points.size(), row.Points.size()) << row.Shape.Type;
        for (std::size_t i = 0; i < points.size(); ++i) {
            EXPECT_EQ(points[i].X, row.Points[i].X) << row.Shape.Type << " " << i;
            EXPECT_EQ(points[i].Degree, row.Points[i].Degree) << row.Shape.Type << " " << i;
        }
    }
}

TEST(TermPoints, RejectShapesNoEngineDraws) {
    EXPECT_THROW_TEXT(TermPoints(*Shape("T", 0.5, 0.4, 0.9), "In.Mid"), ExportError,
                      "In.Mid: its parameters are out of order");
    EXPECT_THROW_TEXT(TermPoints(*Shape("L", 0.5, 0.2), "In.Low"), ExportError,
                      "In.Low: its parameters are out of order");
    EXPECT_THROW_TEXT(TermPoints(*Shape("R", NAN, 0.2), "In.High"), ExportError,
                      "In.High: a parameter is not finite");
}

TEST(ExactNumber, ReadsBackAsTheSameDouble) {
    for (double value : {0.1, 1.0 / 3, kMin, 1e300, -2.5, 0.0, 0.35000000000000003}) {
        EXPECT_EQ(std::strtod(ExactNumber(value).c_str(), nullptr), value) << value;
    }
    EXPECT_EQ(ExactNumber(1), "1");
    EXPECT_EQ(ExactNumber(0.5), "0.5");
}

// fan.rul: consequence weights 0.8, 0.6, 0.2, 1.6, 0.4 and -0.2.
TEST(TRuleBase, OneEngineRulePerPositiveConsequenceOverTheLargestWeight) {
    const auto rules = test::LoadToolRules("fan.rul");
    const TRuleBase base(*rules);
    EXPECT_EQ(base.LargestWeight(), 1.6);
    ASSERT_EQ(base.Rules().size(), 5u);
    const double expected[][3] = {
        {0, 0, 0.5}, {1, 1, 0.375}, {1, 0, 0.125}, {2, 2, 1}, {3, 1, 0.25}};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(base.Rules()[i].SourceRule, expected[i][0]) << i;
        EXPECT_EQ(base.Rules()[i].Term, expected[i][1]) << i;
        EXPECT_DOUBLE_EQ(base.Rules()[i].Weight, expected[i][2]) << i;
    }
}

// A consequence counts when its weight is above 0; one of exactly 0, below 0 or not a number
// is left out and changes neither the other rules nor the largest weight.
TEST(TRuleBase, KeepsOnlyConsequencesWeighingAboveZero) {
    const struct {
        double Weight;
        std::size_t Rules;
    } rows[] = {{0.0, 4}, {-0.0, 4}, {-kMin, 4}, {NAN, 4}, {kMin, 5}, {0.6, 5}};
    for (const auto& row : rows) {
        auto rules = test::LoadToolRules("fan.rul");
        rules->RuleList->GetRule(1).ConsequenceList->SetConsequence(0, 1, row.Weight, false, 0);
        const TRuleBase base(*rules);
        ASSERT_EQ(base.Rules().size(), row.Rules) << row.Weight;
        EXPECT_EQ(base.LargestWeight(), 1.6) << row.Weight;
        EXPECT_EQ(base.Rules()[1].Term, row.Rules == 5 ? 1 : 0) << row.Weight;
    }
}

TEST(TRuleBase, RefusesWhatTheEnginesCannotRun) {
    auto rules = test::LoadToolRules("fan.rul");
    auto& consequences = *rules->RuleList->GetRule(1).ConsequenceList;
    consequences.SetConsequence(0, 1, 0.6, true, 0);
    EXPECT_THROW_TEXT(TRuleBase{*rules}, ExportError, "rule 2: a negated consequence");
    // One past the last output variable, and one past its last term.
    consequences.SetConsequence(1, 0, 0.6, false, 0);
    EXPECT_THROW_TEXT(TRuleBase{*rules}, ExportError,
                      "rule 2: a consequence outside the output list");
    consequences.SetConsequence(0, 3, 0.6, false, 0);
    EXPECT_THROW_TEXT(TRuleBase{*rules}, ExportError,
                      "rule 2: a consequence outside the output list");
    consequences.SetConsequence(0, 2, 0.6, false, 0);
    EXPECT_NO_THROW(TRuleBase{*rules});

    // Humidity has three terms: the fourth is one past them.
    TRuleAtom& humidity = rules->RuleList->GetRule(0).Antecedent->List().GetSubExpression(1).Atom();
    humidity.Term = 3;
    EXPECT_THROW_TEXT(TRuleBase{*rules}, ExportError, "rule 1: a condition outside the input list");
    humidity.Term = 2;
    humidity.Variable = 2;
    EXPECT_THROW_TEXT(TRuleBase{*rules}, ExportError, "rule 1: a condition outside the input list");
    rules->RuleList->GetRule(0).Antecedent->List().Operator = "xor";
    EXPECT_THROW_TEXT(TRuleBase{*rules}, ExportError,
                      "rule 1: the operator \"xor\" has no engine equivalent");
    rules->RuleList->GetRule(0).Antecedent->Clear();
    EXPECT_THROW_TEXT(TRuleBase{*rules}, ExportError, "rule 1: it has no condition");
    rules->OutputMFList.reset();
    EXPECT_THROW_TEXT(TRuleBase{*rules}, ExportError,
                      "the rule set lacks its input list, output list or rules");
}

TEST(TRuleBase, RefusesEmptySlots) {
    auto rules = test::LoadToolRules("fan.rul");
    rules->InputMFList->GetMFSet(1)->SetMF(2, nullptr);
    EXPECT_THROW_TEXT(TRuleBase{*rules}, ExportError, "Humidity: term 3 is missing");
    rules->InputMFList->SetMFSet(1, nullptr);
    EXPECT_THROW_TEXT(TRuleBase{*rules}, ExportError, "Inputs: variable 2 is missing");
}

}  // namespace
}  // namespace glean
