#include "Charts/TMembershipChart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>
#include <sstream>

#include "support/TestSupport.h"

namespace glean {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kHuge = 1e308;
constexpr double kMax = std::numeric_limits<double>::max();

using Points = std::vector<TTermPoint>;

std::unique_ptr<TBasicMF> Shape(const std::string& type, double a, double b = 0, double c = 0,
                                std::string name = {}) {
    if (type == "L") {
        auto mf = std::make_unique<TLShoulderTriangularMF>(name);
        mf->Centre = a, mf->RightBound = b;
        return mf;
    }
    if (type == "R") {
        auto mf = std::make_unique<TRShoulderTriangularMF>(name);
        mf->LeftBound = a, mf->Centre = b;
        return mf;
    }
    if (type == "T") {
        auto mf = std::make_unique<TTriangularMF>(name);
        mf->LeftBound = a, mf->Centre = b, mf->RightBound = c;
        return mf;
    }
    if (type == "S") {
        auto mf = std::make_unique<TSingletonMF>(name);
        mf->Centre = a;
        return mf;
    }
    auto mf = std::make_unique<TRectangularMF>(name);
    mf->LeftBound = a, mf->RightBound = b;
    return mf;
}

// A term of a set: its shape letter (see Shape), parameters and name.
struct Term {
    const char* Type;
    double A, B = 0, C = 0;
    const char* Name = "";
};

std::unique_ptr<TBasicMFSet> SetOf(const std::vector<Term>& terms, double lower, double upper,
                                   std::string name = "X") {
    auto set = std::make_unique<TBasicMFSet>("Triangular", std::move(name), int(terms.size()),
                                             lower, upper);
    for (std::size_t i = 0; i < terms.size(); ++i) {
        const Term& t = terms[i];
        set->SetMF(int(i), Shape(t.Type, t.A, t.B, t.C, t.Name));
    }
    return set;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// The corner points of every <path class="mf"> of a document, in SVG units.
std::vector<std::vector<std::pair<double, double>>> Paths(const std::string& svg) {
    std::vector<std::vector<std::pair<double, double>>> paths;
    const std::regex path("<path class=\"mf\" d=\"([^\"]*)\"");
    for (std::sregex_iterator i(svg.begin(), svg.end(), path), end; i != end; ++i) {
        std::istringstream d((*i)[1].str());
        std::vector<std::pair<double, double>> points;
        std::string command;
        double x = 0, y = 0;
        char comma = 0;
        while (d >> command >> x >> comma >> y) {
            EXPECT_EQ(command, points.empty() ? "M" : "L");
            EXPECT_EQ(comma, ',');
            points.emplace_back(x, y);
        }
        EXPECT_TRUE(d.eof()) << (*i)[1].str();
        paths.push_back(points);
    }
    return paths;
}

void ExpectPath(const std::vector<std::pair<double, double>>& path, const Points& expected,
                const TChartFrame& frame, const std::string& what) {
    ASSERT_EQ(path.size(), expected.size()) << what;
    for (std::size_t i = 0; i < path.size(); ++i) {
        EXPECT_NEAR(path[i].first, frame.X(expected[i].X), 0.005) << what << " point " << i;
        EXPECT_NEAR(path[i].second, frame.Y(expected[i].Degree), 0.005) << what << " point " << i;
    }
}

TEST(CornerPoints, FollowEachShapeAndRefuseWhatNoPolylineShows) {
    const struct {
        std::unique_ptr<TBasicMF> Mf;
        Points Corners;
    } rows[] = {
        {Shape("L", 1, 3), {{1, 1}, {3, 0}}},
        {Shape("L", 2, 2), {{2, 1}, {2, 0}}},
        {Shape("R", 1, 3), {{1, 0}, {3, 1}}},
        {Shape("T", 1, 2, 4), {{1, 0}, {2, 1}, {4, 0}}},
        {Shape("T", 2, 2, 2), {{2, 0}, {2, 1}, {2, 0}}},
        {Shape("S", 5), {{5, 0}, {5, 1}, {5, 0}}},
        {Shape("Rect", 1, 4), {{1, 0}, {1, 1}, {4, 1}, {4, 0}}},
        {Shape("Rect", 3, 3), {{3, 0}, {3, 1}, {3, 0}}},
        {Shape("L", 3, 1), {}},
        {Shape("R", 3, 1), {}},
        {Shape("T", 1, 5, 4), {}},
        {Shape("T", 2, 1, 4), {}},
        {Shape("Rect", 4, 1), {}},
        {Shape("T", kNan, 1, 2), {}},
        {Shape("S", INFINITY), {}},
        {Shape("L", -INFINITY, 0), {}},
    };
    for (const auto& row : rows) {
        const Points corners = CornerPoints(*row.Mf);
        ASSERT_EQ(corners.size(), row.Corners.size()) << row.Mf->Type;
        for (std::size_t i = 0; i < corners.size(); ++i) {
            EXPECT_EQ(corners[i].X, row.Corners[i].X) << row.Mf->Type << " " << i;
            EXPECT_EQ(corners[i].Degree, row.Corners[i].Degree) << row.Mf->Type << " " << i;
        }
    }
}

TEST(ClipToRange, ExtendsToTheEdgesAndCutsWhereTheLineLeaves) {
    const struct {
        const char* What;
        Points Corners;
        double Low, High;
        Points Clipped;
    } rows[] = {
        {"inside", {{1, 0}, {2, 1}, {3, 0}}, 0, 4, {{0, 0}, {1, 0}, {2, 1}, {3, 0}, {4, 0}}},
        {"on the edges", {{0, 0}, {2, 1}, {4, 0}}, 0, 4, {{0, 0}, {2, 1}, {4, 0}}},
        {"shoulder", {{1, 1}, {3, 0}}, 0, 4, {{0, 1}, {1, 1}, {3, 0}, {4, 0}}},
        {"cut both sides", {{-2, 0}, {2, 1}, {6, 0}}, 0, 4, {{0, 0.5}, {2, 1}, {4, 0.5}}},
        {"left of the range", {{-5, 1}, {-3, 0}}, 0, 4, {{0, 0}, {4, 0}}},
        {"right of the range", {{5, 0}, {6, 1}}, 0, 4, {{0, 0}, {4, 0}}},
        {"vertical edge on the bound",
         {{0, 0}, {0, 1}, {2, 1}, {2, 0}},
         0,
         4,
         {{0, 0}, {0, 1}, {2, 1}, {2, 0}, {4, 0}}},
        {"spike", {{1, 0}, {1, 1}, {1, 0}}, 0, 4, {{0, 0}, {1, 0}, {1, 1}, {1, 0}, {4, 0}}},
        {"spike outside", {{9, 0}, {9, 1}, {9, 0}}, 0, 4, {{0, 0}, {4, 0}}},
        {"range inside one segment", {{0, 0}, {10, 1}}, 2, 4, {{2, 0.2}, {4, 0.4}}},
        {"widest segment", {{-kHuge, 0}, {kHuge, 1}}, -1, 1, {{-1, 0.5}, {1, 0.5}}},
    };
    for (const auto& row : rows) {
        const Points clipped = ClipToRange(row.Corners, row.Low, row.High);
        ASSERT_EQ(clipped.size(), row.Clipped.size()) << row.What;
        for (std::size_t i = 0; i < clipped.size(); ++i) {
            EXPECT_DOUBLE_EQ(clipped[i].X, row.Clipped[i].X) << row.What << " " << i;
            EXPECT_DOUBLE_EQ(clipped[i].Degree, row.Clipped[i].Degree) << row.What << " " << i;
        }
    }
    EXPECT_CHECK_FAILS(ClipToRange({{0, 1}}, 1, 1), "!corners.empty() && low<high");
}

TEST(TickValues, StepOneTwoOrFiveTimesAPowerOfTen) {
    const struct {
        double Low, High;
        std::vector<double> Ticks;
    } rows[] = {
        {0, 1, {0, 0.2, 0.4, 0.6, 0.8, 1}},
        {-3, 7, {-2, 0, 2, 4, 6}},
        {0.47, 0.53, {0.47, 0.48, 0.49, 0.50, 0.51, 0.52, 0.53}},
        {0, 1000, {0, 200, 400, 600, 800, 1000}},
        {1, 1.5, {1, 1.1, 1.2, 1.3, 1.4, 1.5}},
        {-1e300, 1e300, {-1e300, -5e299, 0, 5e299, 1e300}},
        {-kMax, kMax, {-1e308, 0, 1e308}},
    };
    for (const auto& row : rows) {
        const std::vector<double> ticks = TickValues(row.Low, row.High);
        ASSERT_EQ(ticks.size(), row.Ticks.size()) << row.Low << " " << row.High;
        for (std::size_t i = 0; i < ticks.size(); ++i)
            EXPECT_NEAR(ticks[i], row.Ticks[i], 1e-9 * row.High) << i;
    }
    EXPECT_CHECK_FAILS(TickValues(1, 1), "isfinite(low) && isfinite(high) && low<high");
}

TEST(TMembershipChart, DrawsOnePathPerTermThroughItsCornersInChartUnits) {
    const auto set =
        SetOf({{"L", 0, 4, 0, "Low"}, {"T", 2, 5, 8, "Mid"}, {"R", 6, 10, 0, "High"}}, 0, 10);
    const TMembershipChart chart(*set, "X");
    const TChartFrame& frame = chart.Frame();
    EXPECT_EQ(frame.Low, 0);
    EXPECT_EQ(frame.High, 10);
    EXPECT_LT(frame.Left, frame.Right);
    EXPECT_LT(frame.Top, frame.Bottom);
    const auto paths = Paths(chart.Svg());
    ASSERT_EQ(paths.size(), 3u);
    ExpectPath(paths[0], {{0, 1}, {4, 0}, {10, 0}}, frame, "left shoulder");
    ExpectPath(paths[1], {{0, 0}, {2, 0}, {5, 1}, {8, 0}, {10, 0}}, frame, "triangle");
    ExpectPath(paths[2], {{0, 0}, {6, 0}, {10, 1}}, frame, "right shoulder");
    // Degree 1 is the top of the plot, 0 its bottom.
    EXPECT_NEAR(paths[0][0].second, frame.Top, 0.005);
    EXPECT_NEAR(paths[0][1].second, frame.Bottom, 0.005);
    EXPECT_NEAR(paths[0][0].first, frame.Left, 0.005);
    EXPECT_NEAR(paths[2][2].first, frame.Right, 0.005);
}

TEST(TMembershipChart, DrawsSingletonsAndRectanglesWithVerticalEdges) {
    const auto set = SetOf({{"S", 3}, {"Rect", 5, 7}}, -2, 8);
    const TMembershipChart chart(*set, "X");
    const auto paths = Paths(chart.Svg());
    ASSERT_EQ(paths.size(), 2u);
    ExpectPath(paths[0], {{-2, 0}, {3, 0}, {3, 1}, {3, 0}, {8, 0}}, chart.Frame(), "singleton");
    ExpectPath(paths[1], {{-2, 0}, {5, 0}, {5, 1}, {7, 1}, {7, 0}, {8, 0}}, chart.Frame(),
               "rectangle");
}

TEST(TMembershipChart, FindsARangeWhereTheBoundsGiveNone) {
    const struct {
        const char* What;
        double Lower, Upper;
        std::vector<Term> Terms;
        double Low, High;
    } rows[] = {
        {"equal bounds: the terms' span", 5, 5, {{"T", 1, 2, 9}}, 1, 9},
        {"reversed bounds", 9, 1, {{"L", 2, 4}}, 2, 4},
        {"bounds not numbers", kNan, kNan, {{"R", 0, 1}}, 0, 1},
        {"widest span", kNan, kNan, {{"S", -kMax}, {"S", kMax}}, -kMax, kMax},
        {"one value", 5, 5, {{"S", 5}}, 3.75, 6.25},
        {"no terms", 2, 2, {}, 1.5, 2.5},
        {"no terms, no bounds", kNan, INFINITY, {}, -0.5, 0.5},
        {"huge value", kMax, kMax, {}, 0, 1},
    };
    for (const auto& row : rows) {
        const TMembershipChart chart(*SetOf(row.Terms, row.Lower, row.Upper), "X");
        EXPECT_DOUBLE_EQ(chart.Frame().Low, row.Low) << row.What;
        EXPECT_DOUBLE_EQ(chart.Frame().High, row.High) << row.What;
        const std::string svg = chart.Svg();
        EXPECT_EQ(svg.find("nan"), std::string::npos) << row.What;
        EXPECT_EQ(svg.find("inf"), std::string::npos) << row.What;
    }
}

TEST(TMembershipChart, LeavesOutTermsItCannotDrawAndSaysSo) {
    const auto set =
        SetOf({{"T", 0, 0.5, 1, "Fine"}, {"T", 1, 0.5, 0, "Bad"}, {"S", kNan, 0, 0, "Lost"}}, 0, 1);
    const std::string svg = TMembershipChart(*set, "X").Svg();
    EXPECT_EQ(Paths(svg).size(), 1u);
    EXPECT_NE(svg.find(">Bad</text>"), std::string::npos);  // still in the legend
    EXPECT_NE(svg.find(">not drawn (parameters out of order or not numbers): Bad, Lost</text>"),
              std::string::npos);

    TBasicMFSet sparse("Triangular", "Sparse", 3, 0, 1);  // slots 0 and 2 stay empty
    sparse.SetMF(1, Shape("T", 0, 0.5, 1, "Only"));
    EXPECT_EQ(Paths(TMembershipChart(sparse, "X").Svg()).size(), 1u);
    EXPECT_NE(TMembershipChart(*SetOf({}, 0, 1), "X").Svg().find(">no terms</text>"),
              std::string::npos);
}

TEST(TMembershipChart, EscapesNamesAndShortensLongOnes) {
    const auto set = SetOf(
        {{"T", 0, 0.5, 1, "<script>&\"'"}, {"T", 0, 0.6, 1, "AVeryLongTermNameIndeedThatGoesOn"}},
        0, 1, "Var<&>");
    const std::string svg = TMembershipChart(*set, "Var<&> (input 1)").Svg();
    EXPECT_EQ(svg.find("<script>"), std::string::npos);
    EXPECT_NE(svg.find(">&lt;script&gt;&amp;&quot;&apos;</text>"), std::string::npos);
    EXPECT_NE(svg.find("<title>Var&lt;&amp;&gt; (input 1)</title>"), std::string::npos);
    EXPECT_NE(svg.find(">AVeryLongTermNam\xE2\x80\xA6</text>"), std::string::npos);  // legend
    EXPECT_NE(svg.find(">AVeryLongTerm\xE2\x80\xA6</text>"), std::string::npos);     // at its peak
}

// The centres of the sample dots of a document, in order.
std::vector<std::pair<double, double>> Dots(const std::string& svg) {
    std::vector<std::pair<double, double>> dots;
    const std::regex circle("<circle class=\"sample\" cx=\"([^\"]*)\" cy=\"([^\"]*)\"");
    for (std::sregex_iterator i(svg.begin(), svg.end(), circle), end; i != end; ++i)
        dots.emplace_back(std::stod((*i)[1].str()), std::stod((*i)[2].str()));
    return dots;
}

TEST(TMembershipChart, ShowsSamplesAtTheirMembershipsAndCountsThoseOutside) {
    const auto set =
        SetOf({{"T", 0, 5, 10}, {"T", 9, 5, 1}, {"L", 0, 4}}, 0, 10);  // 2nd undrawable
    const std::vector<double> samples = {2.5, 5, 11, kNan, 0};
    const TMembershipChart chart(*set, "X", samples);
    const std::string svg = chart.Svg();
    const auto dots = Dots(svg);
    const TChartFrame& f = chart.Frame();
    const std::vector<std::pair<double, double>> expected = {
        {f.X(2.5), f.Y(0.5)},   {f.X(5), f.Y(1)}, {f.X(0), f.Y(0)},   // triangle
        {f.X(2.5), f.Y(0.375)}, {f.X(5), f.Y(0)}, {f.X(0), f.Y(1)}};  // shoulder
    ASSERT_EQ(dots.size(), expected.size());
    for (std::size_t i = 0; i < dots.size(); ++i) {
        EXPECT_NEAR(dots[i].first, expected[i].first, 0.005) << i;
        EXPECT_NEAR(dots[i].second, expected[i].second, 0.005) << i;
    }
    EXPECT_NE(svg.find(">ticks and dots: 5 samples, 2 outside the range</text>"),
              std::string::npos);
    EXPECT_EQ(Count(svg, "<g class=\"rug\""), 1u);

    const std::string plain = TMembershipChart(*set, "X").Svg();
    EXPECT_EQ(plain.find("sample"), std::string::npos);
    EXPECT_EQ(plain.find("class=\"rug\""), std::string::npos);
}

TEST(TMembershipChart, ThinsOutManySamples) {
    const auto set = SetOf({{"T", 0, 0.5, 1}}, 0, 1);
    std::vector<double> samples(2 * TMembershipChart::kMostSamples + 1);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = double(i % 100) / 100;
    const std::string svg = TMembershipChart(*set, "X", samples).Svg();
    EXPECT_EQ(Dots(svg).size(), (samples.size() + 2) / 3);  // 1 in 3, the first one included
    EXPECT_NE(svg.find(">ticks and dots: 4001 samples, 1 in 3 shown</text>"), std::string::npos);
}

TEST(TMembershipChart, ManyTermsCycleColoursAndCutTheLegend) {
    TBasicMFSet set("Triangular", "Many", 20, 0, 20);
    for (int m = 0; m < 20; ++m)
        set.SetMF(m, Shape("T", m, m + 0.5, m + 1, "T" + std::to_string(m)));
    const std::string svg = TMembershipChart(set, "Many").Svg();
    EXPECT_EQ(Paths(svg).size(), 20u);
    EXPECT_NE(svg.find(">and 8 more</text>"), std::string::npos);
    EXPECT_EQ(ChartColour(0), ChartColour(8));
    EXPECT_NE(ChartColour(0), ChartColour(1));
    EXPECT_CHECK_FAILS(ChartColour(-1), "i>=0");
}

}  // namespace
}  // namespace glean
