// The membership chart of one fuzzy variable as an SVG picture: every term of its set drawn as a
// polyline over the set's range, the term names at their peaks, axes with ticks, a legend.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "FuzzySets/TMFSetList.h"
#include "RuleEngine/TRuleBase.h"

namespace glean {

class TSvgWriter;

// The corners of an MF: its TermPoints with vertical edges kept (a vertical edge is two corners
// with the same X). Empty where TermPoints refuses the MF (a parameter not finite, parameters
// out of order, an unknown shape), which no polyline can show faithfully.
std::vector<TTermPoint> CornerPoints(const TBasicMF& mf);

// The corners' polyline restricted to [low, high]: where it enters and leaves the range, and the
// corners in between. Requires corners from CornerPoints, not empty, and low < high.
std::vector<TTermPoint> ClipToRange(const std::vector<TTermPoint>& corners, double low,
                                    double high);

// The plot area of a chart in SVG units, and the range of values it shows.
struct TChartFrame {
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
    double Low = 0, High = 1;  // values at Left and Right

    // Halved before subtracting, so that any finite range maps without overflow.
    double X(double value) const {
        return Left + (value * 0.5 - Low * 0.5) / (High * 0.5 - Low * 0.5) * (Right - Left);
    }
    double Y(double degree) const { return Bottom - degree * (Bottom - Top); }
};

// Where value ticks go over [low, high]: 1, 2 or 5 times a power of ten apart, three to ten
// of them. Requires low < high, both finite.
std::vector<double> TickValues(double low, double high);

class TMembershipChart {
public:
    static constexpr double kWidth = 640;
    static constexpr double kHeight = 360;

    // A chart of set with `caption` above it. The range shown is the set's bounds; when they are
    // not finite or not increasing, the span of its terms' parameters; failing that, a unit
    // around the one value known. Terms of empty slots are left out; terms without corners stay
    // in the legend and are named in a note below the plot.
    TMembershipChart(const TBasicMFSet& set, std::string caption);
    // The same chart showing samples as well: every value of the variable as a tick on the value
    // axis and, for every term drawn, a dot at the value's membership. Values outside the range
    // or not numbers are only counted; of more than kMostSamples values, every k-th is shown,
    // k the smallest that keeps them within kMostSamples.
    TMembershipChart(const TBasicMFSet& set, std::string caption, std::span<const double> samples);

    static constexpr std::size_t kMostSamples = 2000;

    const TChartFrame& Frame() const { return frame_; }
    // The whole SVG document: one <path class="mf"> per term drawn, in slot order, and one
    // <circle class="sample"> per sample shown and term drawn.
    std::string Svg() const;

private:
    struct TTerm {
        std::string Name;
        std::vector<TTermPoint> Corners;  // empty: not drawable
        std::vector<double> Degrees;      // of the samples shown
    };

    static TChartFrame FrameFor(const std::vector<TTerm>& terms, double lower, double upper);
    void DrawAxes(TSvgWriter& svg) const;
    void DrawTerms(TSvgWriter& svg) const;
    void DrawSamples(TSvgWriter& svg) const;
    void DrawLegend(TSvgWriter& svg) const;

    std::string caption_;
    std::vector<TTerm> terms_;
    TChartFrame frame_;
    std::vector<double> shown_;  // the sample values drawn
    std::size_t samples_ = 0, outside_ = 0, every_ = 1;
};

// The colour of the i-th term or rule column (i >= 0), cycling through a palette that readers
// with colour blindness can tell apart.
std::string ChartColour(int i);

}  // namespace glean
