// fuzzylite's engine language (FLL). Input terms: "Ramp" for shoulders (a steep one as "Triangle"
// with an infinite outer vertex), "Triangle", "Trapezoid"
// for rectangles and singletons as narrow triangles. Singleton mode: "Constant" output terms with
// "WeightedAverage TakagiSugeno"; triangle mode: the output shapes clipped ("Minimum"), joined
// ("Maximum") and defuzzified with "Centroid" at the evaluator's resolution.
#pragma once

#include "RuleEngine/TRuleExporter.h"

namespace glean {

// Below this distance fuzzylite treats two numbers as equal.
inline constexpr double kFuzzyliteTolerance = 1e-6;

class TFllExporter : public TRuleExporter {
public:
    void Write(const TRuleBase& rules, const TExportOptions& options,
               std::ostream& out) const override;
    // The term statement of a point list: "Ramp a b", "Triangle a b c" or "Trapezoid a b c d".
    static std::string Shape(const std::vector<TTermPoint>& points);
};

}  // namespace glean
