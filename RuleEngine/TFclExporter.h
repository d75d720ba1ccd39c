// Fuzzy control language (IEC 61131-7). Input terms as point lists "(x, degree) ...", which keep
// the degree of their first and last points beyond them. Singleton mode: singleton output terms
// with "COGS"; triangle mode: point lists with "COG", "ACT : MIN" and "ACCU : MAX"
// (in the DEFUZZIFY block, where fuzzylite reads it). Keywords of
// rules are written in lower case, which the language allows and fuzzylite requires. An output
// no rule activates has no value, written "DEFAULT := nan". Comments are "//" lines, which
// fuzzylite reads and the bracket-star form it refuses.
#pragma once

#include "RuleEngine/TRuleExporter.h"

namespace glean {

// fuzzylite reads point lists as functions that take inputs within 1e-6 of a point for the point
// itself, so a vertical edge is drawn over this width instead.
inline constexpr double kFclFootStep = 1e-5;

class TFclExporter : public TRuleExporter {
public:
    void Write(const TRuleBase& rules, const TExportOptions& options,
               std::ostream& out) const override;
    // "(x1, d1) (x2, d2) ..." of a point list.
    static std::string Shape(const std::vector<TTermPoint>& points);
};

}  // namespace glean
