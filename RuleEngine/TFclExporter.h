// Fuzzy control language (IEC 61131-7). Input terms as point lists "(x, degree) ...", which keep
// the degree of their first and last points beyond them. Singleton mode: singleton output terms
// with "COGS"; triangle mode: point lists with "COG", "ACT : MIN" and "ACCU : MAX". Keywords of
// rules are written in lower case, which the language allows and fuzzylite requires. An output
// no rule activates has no value, written "DEFAULT := nan".
#pragma once

#include "RuleEngine/TRuleExporter.h"

namespace glean {

class TFclExporter : public TRuleExporter {
public:
    void Write(const TRuleBase& rules, const TExportOptions& options,
               std::ostream& out) const override;
    // "(x1, d1) (x2, d2) ..." of a point list.
    static std::string Shape(const std::vector<TTermPoint>& points);
};

}  // namespace glean
