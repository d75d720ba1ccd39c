#include "Charts/TMembershipChart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Charts/TSvgWriter.h"
#include "KQmessage/Check.h"

namespace glean {

namespace {

constexpr double kLeft = 56, kTop = 56, kRight = 464, kBottom = 300;
constexpr double kLegendX = 484, kLegendY = 64, kLegendRow = 20;
constexpr int kLegendRows = 13;
constexpr std::size_t kLegendLength = 17;  // characters of a name in the legend
constexpr std::size_t kPeakLength = 14;    // characters of a name at its peak
constexpr std::size_t kFootnoteLength = 85;
constexpr double kCharWidth = 7;  // of 12-unit sans-serif text, about

// The degree of the segment p..q at x, which lies between their X.
double Between(const TTermPoint& p, const TTermPoint& q, double x) {
    // Halved so that a segment spanning most of the doubles cannot overflow.
    const double t = (x * 0.5 - p.X * 0.5) / (q.X * 0.5 - p.X * 0.5);
    return p.Degree + (q.Degree - p.Degree) * std::clamp(t, 0.0, 1.0);
}

void Append(std::vector<TTermPoint>& points, TTermPoint point) {
    if (points.empty() || points.back().X != point.X || points.back().Degree != point.Degree)
        points.push_back(point);
}

// Where the term's name goes: the middle of its corners of degree 1.
double Peak(const std::vector<TTermPoint>& corners) {
    double first = NAN, last = NAN;
    for (const TTermPoint& corner : corners) {
        if (corner.Degree != 1) continue;
        if (std::isnan(first)) first = corner.X;
        last = corner.X;
    }
    return first * 0.5 + last * 0.5;
}

// A tick value as its label: as many decimals as the step needs, or exponent notation where
// fixed notation would be long.
std::string TickLabel(double value, double step, double largest) {
    if (step >= 1e-6 && largest < 1e9) {
        const int decimals = std::clamp(int(-std::floor(std::log10(step) + 1e-9)), 0, 6);
        return SvgNumber(value, decimals);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string PathOf(const std::vector<TTermPoint>& points, const TChartFrame& frame) {
    std::string d;
    for (const TTermPoint& point : points) {
        d += (d.empty() ? "M " : " L ") + SvgNumber(frame.X(point.X)) + "," +
             SvgNumber(frame.Y(point.Degree));
    }
    return d;
}

TSvgAttributes Line(double x1, double y1, double x2, double y2, const std::string& stroke) {
    return {{"x1", SvgNumber(x1)},
            {"y1", SvgNumber(y1)},
            {"x2", SvgNumber(x2)},
            {"y2", SvgNumber(y2)},
            {"stroke", stroke}};
}

// Beyond the palette, dashes tell apart the terms that share a colour.
TSvgAttributes Stroke(int i) {
    TSvgAttributes stroke = {{"stroke", ChartColour(i)}, {"stroke-width", "2"}};
    if (i / 8 % 2 == 1) stroke.emplace_back("stroke-dasharray", "6 3");
    return stroke;
}

}  // namespace

std::string ChartColour(int i) {
    static const char* const kPalette[] = {"#0072B2", "#D55E00", "#009E73", "#CC79A7",
                                           "#E69F00", "#56B4E9", "#000000", "#999933"};
    GLEAN_CHECK_TEXT(i >= 0, "i>=0");
    return kPalette[i % 8];
}

std::vector<TTermPoint> CornerPoints(const TBasicMF& mf) {
    try {
        return TermPoints(mf, mf.Name, 0, TVerticalEdge::Keep);
    } catch (const ExportError&) {
        return {};
    }
}

std::vector<TTermPoint> ClipToRange(const std::vector<TTermPoint>& corners, double low,
                                    double high) {
    GLEAN_CHECK_TEXT(!corners.empty() && low < high, "!corners.empty() && low<high");
    std::vector<TTermPoint> line = corners;
    if (line.front().X > low) line.insert(line.begin(), {low, line.front().Degree});
    if (line.back().X < high) line.push_back({high, line.back().Degree});
    std::vector<TTermPoint> clipped;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        const TTermPoint& p = line[i];
        const TTermPoint& q = line[i + 1];
        if (q.X < low || p.X > high) continue;
        if (p.X == q.X) {
            Append(clipped, p);
            Append(clipped, q);
            continue;
        }
        const double a = std::max(p.X, low), b = std::min(q.X, high);
        Append(clipped, {a, Between(p, q, a)});
        Append(clipped, {b, Between(p, q, b)});
    }
    return clipped;
}

std::vector<double> TickValues(double low, double high) {
    GLEAN_CHECK_TEXT(std::isfinite(low) && std::isfinite(high) && low < high,
                     "isfinite(low) && isfinite(high) && low<high");
    const double raw = (high * 0.2 - low * 0.2);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / power;
    const double step = (norm < 1.5 ? 1 : norm < 3 ? 2 : norm < 7 ? 5 : 10) * power;
    std::vector<double> ticks;
    for (double k = std::ceil(low / step); k * step <= high && ticks.size() < 12; ++k)
        ticks.push_back(k * step);
    return ticks;
}

TMembershipChart::TMembershipChart(const TBasicMFSet& set, std::string caption)
    : TMembershipChart(set, std::move(caption), {}) {}

TMembershipChart::TMembershipChart(const TBasicMFSet& set, std::string caption,
                                   std::span<const double> samples)
    : caption_(std::move(caption)), samples_(samples.size()) {
    std::vector<const TBasicMF*> mfs;
    for (int m = 0; m < set.NumberOfMF; ++m) {
        const TBasicMF* mf = set.GetMF(m);
        if (!mf) continue;
        mfs.push_back(mf);
        terms_.push_back(
            {mf->Name.empty() ? "term " + std::to_string(m + 1) : mf->Name, CornerPoints(*mf), {}});
    }
    frame_ = FrameFor(terms_, set.LowerBound, set.UpperBound);
    every_ = std::max<std::size_t>(1, (samples.size() + kMostSamples - 1) / kMostSamples);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double value = samples[i];
        if (!(value >= frame_.Low && value <= frame_.High)) {
            ++outside_;
        } else if (i % every_ == 0) {
            shown_.push_back(value);
        }
    }
    for (std::size_t t = 0; t < terms_.size(); ++t) {
        for (double value : shown_)
            terms_[t].Degrees.push_back(mfs[t]->Membership(value));
    }
}

TChartFrame TMembershipChart::FrameFor(const std::vector<TTerm>& terms, double lower,
                                       double upper) {
    const auto usable = [](double low, double high) {
        return low < high && std::isfinite(low) && std::isfinite(high);
    };
    double low = lower, high = upper;
    if (!usable(low, high)) {
        low = INFINITY, high = -INFINITY;
        for (const TTerm& term : terms) {
            for (const TTermPoint& corner : term.Corners) {
                low = std::min(low, corner.X);
                high = std::max(high, corner.X);
            }
        }
    }
    if (!usable(low, high)) {
        // One value known at most: a unit around it, or around its magnitude.
        const double value = std::isfinite(low) ? low : std::isfinite(lower) ? lower : 0;
        const double half = std::max(0.5, std::fabs(value) / 4);
        low = value - half, high = value + half;
        if (!usable(low, high)) low = 0, high = 1;
    }
    return {kLeft, kTop, kRight, kBottom, low, high};
}

std::string TMembershipChart::Svg() const {
    TSvgWriter svg(kWidth, kHeight, caption_);
    svg.Empty("rect", {{"width", "100%"}, {"height", "100%"}, {"fill", "white"}});
    svg.Text("text",
             {{"x", SvgNumber(kLeft)}, {"y", "24"}, {"font-size", "15"}, {"font-weight", "bold"}},
             caption_);
    DrawAxes(svg);
    DrawTerms(svg);
    DrawSamples(svg);
    DrawLegend(svg);
    return svg.Finish();
}

void TMembershipChart::DrawAxes(TSvgWriter& svg) const {
    const TChartFrame& f = frame_;
    svg.Open("g", {{"class", "axes"}, {"stroke-width", "1"}});
    const std::vector<double> ticks = TickValues(f.Low, f.High);
    const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : f.High - f.Low;
    const double largest = std::max(std::fabs(f.Low), std::fabs(f.High));
    for (double tick : ticks) {
        const double x = f.X(tick);
        svg.Empty("line", Line(x, f.Top, x, f.Bottom, "#DDDDDD"));
        svg.Empty("line", Line(x, f.Bottom, x, f.Bottom + 5, "black"));
        svg.Text("text",
                 {{"x", SvgNumber(x)}, {"y", SvgNumber(f.Bottom + 18)}, {"text-anchor", "middle"}},
                 TickLabel(tick, step, largest));
    }
    for (double degree : {0.0, 0.5, 1.0}) {
        const double y = f.Y(degree);
        if (degree > 0) svg.Empty("line", Line(f.Left, y, f.Right, y, "#DDDDDD"));
        svg.Empty("line", Line(f.Left - 5, y, f.Left, y, "black"));
        svg.Text("text",
                 {{"x", SvgNumber(f.Left - 8)}, {"y", SvgNumber(y + 4)}, {"text-anchor", "end"}},
                 SvgNumber(degree, 1));
    }
    svg.Empty("line", Line(f.Left, f.Bottom, f.Right, f.Bottom, "black"));
    svg.Empty("line", Line(f.Left, f.Top, f.Left, f.Bottom, "black"));
    svg.Text("text",
             {{"x", SvgNumber(14)},
              {"y", SvgNumber((f.Top + f.Bottom) / 2)},
              {"text-anchor", "middle"},
              {"transform", "rotate(-90 14 " + SvgNumber((f.Top + f.Bottom) / 2) + ")"}},
             "membership");
    svg.Close();
}

void TMembershipChart::DrawTerms(TSvgWriter& svg) const {
    svg.Open("g", {{"class", "terms"}, {"fill", "none"}});
    for (std::size_t i = 0; i < terms_.size(); ++i) {
        if (terms_[i].Corners.empty()) continue;
        TSvgAttributes path = {
            {"class", "mf"},
            {"d", PathOf(ClipToRange(terms_[i].Corners, frame_.Low, frame_.High), frame_)}};
        const TSvgAttributes stroke = Stroke(int(i));
        path.insert(path.end(), stroke.begin(), stroke.end());
        svg.Empty("path", path);
    }
    svg.Close();
    // Names at their peaks, lifted one row where they would fall among the names of the first.
    svg.Open("g", {{"class", "names"}, {"text-anchor", "middle"}});
    double lowest[2] = {INFINITY, INFINITY}, highest[2] = {-INFINITY, -INFINITY};  // per row
    for (std::size_t i = 0; i < terms_.size(); ++i) {
        if (terms_[i].Corners.empty()) continue;
        const std::string name = ShortText(terms_[i].Name, kPeakLength);
        const double x = frame_.X(std::clamp(Peak(terms_[i].Corners), frame_.Low, frame_.High));
        const double half = kCharWidth * double(std::min(name.size(), kPeakLength)) / 2 + 2;
        const int row = x - half < highest[0] && x + half > lowest[0] ? 1 : 0;
        lowest[row] = std::min(lowest[row], x - half);
        highest[row] = std::max(highest[row], x + half);
        svg.Text("text",
                 {{"x", SvgNumber(x)},
                  {"y", SvgNumber(frame_.Top - 6 - 14 * row)},
                  {"fill", ChartColour(int(i))}},
                 name);
    }
    svg.Close();
}

void TMembershipChart::DrawSamples(TSvgWriter& svg) const {
    if (samples_ == 0) return;
    svg.Open("g", {{"class", "rug"}, {"stroke", "#444444"}, {"stroke-opacity", "0.4"}});
    for (double value : shown_) {
        const double x = frame_.X(value);
        svg.Empty("line", {{"x1", SvgNumber(x)},
                           {"y1", SvgNumber(frame_.Bottom)},
                           {"x2", SvgNumber(x)},
                           {"y2", SvgNumber(frame_.Bottom - 8)}});
    }
    svg.Close();
    svg.Open("g", {{"class", "samples"},
                   {"fill-opacity", "0.6"},
                   {"stroke", "white"},
                   {"stroke-width", "0.6"}});
    for (std::size_t i = 0; i < terms_.size(); ++i) {
        if (terms_[i].Corners.empty()) continue;
        for (std::size_t s = 0; s < shown_.size(); ++s) {
            svg.Empty("circle",
                      {{"class", "sample"},
                       {"cx", SvgNumber(frame_.X(shown_[s]))},
                       {"cy", SvgNumber(frame_.Y(std::clamp(terms_[i].Degrees[s], 0.0, 1.0)))},
                       {"r", "3"},
                       {"fill", ChartColour(int(i))}});
        }
    }
    svg.Close();
    std::string note = "ticks and dots: " + std::to_string(samples_) + " samples";
    if (every_ > 1) note += ", 1 in " + std::to_string(every_) + " shown";
    if (outside_ > 0) note += ", " + std::to_string(outside_) + " outside the range";
    svg.Text("text", {{"x", SvgNumber(kLeft)}, {"y", SvgNumber(kHeight - 26)}}, note);
}

void TMembershipChart::DrawLegend(TSvgWriter& svg) const {
    svg.Open("g", {{"class", "legend"}});
    const int count = int(terms_.size());
    const int shown = count > kLegendRows ? kLegendRows - 1 : count;
    for (int i = 0; i < shown; ++i) {
        const double y = kLegendY + kLegendRow * i;
        const bool drawn = !terms_[i].Corners.empty();
        if (drawn) {
            TSvgAttributes line = Line(kLegendX, y - 4, kLegendX + 24, y - 4, ChartColour(i));
            const TSvgAttributes stroke = Stroke(i);
            line.insert(line.end(), stroke.begin() + 1, stroke.end());
            svg.Empty("line", line);
        }
        svg.Text("text", {{"x", SvgNumber(kLegendX + 30)}, {"y", SvgNumber(y)}},
                 ShortText(terms_[i].Name, kLegendLength));
    }
    if (shown < count) {
        svg.Text("text",
                 {{"x", SvgNumber(kLegendX + 30)}, {"y", SvgNumber(kLegendY + kLegendRow * shown)}},
                 "and " + std::to_string(count - shown) + " more");
    }
    std::string missing;
    for (const TTerm& term : terms_) {
        if (term.Corners.empty()) missing += (missing.empty() ? "" : ", ") + term.Name;
    }
    if (!missing.empty()) {
        svg.Text("text", {{"x", SvgNumber(kLeft)}, {"y", SvgNumber(kHeight - 12)}},
                 ShortText("not drawn (parameters out of order or not numbers): " + missing,
                           kFootnoteLength));
    }
    if (count == 0) {
        svg.Text("text", {{"x", SvgNumber(kLegendX)}, {"y", SvgNumber(kLegendY)}}, "no terms");
    }
    svg.Close();
}

}  // namespace glean
