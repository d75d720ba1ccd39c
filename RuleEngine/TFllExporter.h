// fuzzylite's engine language (FLL). Input terms: "Ramp" for shoulders, "Triangle", "Trapezoid"
// for rectangles and singletons as narrow triangles. Singleton mode: "Constant" output terms with
// "WeightedAverage TakagiSugeno"; triangle mode: the output shapes clipped ("Minimum"), joined
// ("Maximum") and defuzzified with "Centroid" at the evaluator's resolution.
#pragma once

#include "RuleEngine/TRuleExporter.h"

namespace glean {

class TFllExporter : public TRuleExporter {
public:
    void Write(const TRuleBase& rules, const TExportOptions& options,
               std::ostream& out) const override;
    // The term statement of a point list: "Ramp a b", "Triangle a b c" or "Trapezoid a b c d".
    static std::string Shape(const std::vector<TTermPoint>& points);
};

}  // namespace glean
