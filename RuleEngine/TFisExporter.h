// The MATLAB-style FIS file, read by Octave's fuzzy logic toolkit and by fuzzylite's importer.
// Input terms: "trimf" and "trapmf" with strictly ordered points; shoulders become trapezoids
// whose outer points lie one range width (at least 1) beyond the range. Singleton mode: a
// "sugeno" system with "constant" outputs and "wtaver"; triangle mode: "mamdani" with "min",
// "max" and "centroid". A rule's condition must be one atom, or atoms of distinct inputs joined
// all by "and" or all by "or"; any other rule fails naming it.
#pragma once

#include "RuleEngine/TRuleExporter.h"

namespace glean {

class TFisExporter : public TRuleExporter {
public:
    void Write(const TRuleBase& rules, const TExportOptions& options,
               std::ostream& out) const override;
    // "'trimf',[a b c]" or "'trapmf',[a b c d]" for a point list over [lower, upper].
    static std::string Shape(const std::vector<TTermPoint>& points, double lower, double upper);
};

}  // namespace glean
