#include "RuleEngine/TFllExporter.h"

namespace glean {

namespace {

void WriteRange(const TBasicMFSet& set, std::ostream& out) {
    out << "  enabled: true\n  range: " << ExactNumber(set.LowerBound) << ' '
        << ExactNumber(set.UpperBound) << "\n  lock-range: false\n";
}

}  // namespace

std::string TFllExporter::Shape(const std::vector<TTermPoint>& points) {
    if (points.size() == 2) {
        const bool rising = points[1].Degree > points[0].Degree;
        // fuzzylite takes a ramp whose ends lie closer than its tolerance for a zero function,
        // so such a shoulder becomes a triangle whose outer vertex lies at infinity.
        if (points[1].X - points[0].X < kFuzzyliteTolerance) {
            return rising ? "Triangle " + ExactNumber(points[0].X) + " " +
                                ExactNumber(points[1].X) + " inf"
                          : "Triangle -inf " + ExactNumber(points[0].X) + " " +
                                ExactNumber(points[1].X);
        }
        // A ramp rises from its start to its end, so a falling shoulder starts on the right.
        return "Ramp " + ExactNumber(points[rising ? 0 : 1].X) + " " +
               ExactNumber(points[rising ? 1 : 0].X);
    }
    std::string text = points.size() == 3 ? "Triangle" : "Trapezoid";
    for (const TTermPoint& point : points)
        text += " " + ExactNumber(point.X);
    return text;
}

void TFllExporter::Write(const TRuleBase& rules, const TExportOptions& options,
                         std::ostream& out) const {
    const TEngineNames names = Names(rules);
    const bool singletons = options.Mode == TOutputMode::Singletons;
    out << "# Rules exported by GleanTool (" << OutputModeName(options.Mode) << ", "
        << ConjunctionName(options.Conjunction) << ")\n";
    out << "Engine: " << EngineName(options.EngineName) << '\n';
    for (int v = 0; v < rules.Inputs(); ++v) {
        out << "InputVariable: " << names.Inputs[v] << '\n';
        WriteRange(rules.InputSet(v), out);
        for (int t = 0; t < rules.InputSet(v).NumberOfMF; ++t) {
            const std::string& term = names.InputTerms[v][t];
            out << "  term: " << term << ' '
                << Shape(TermPoints(rules.InputTerm(v, t), names.Inputs[v] + "." + term)) << '\n';
        }
    }
    for (int v = 0; v < rules.Outputs(); ++v) {
        out << "OutputVariable: " << names.Outputs[v] << '\n';
        WriteRange(rules.OutputSet(v), out);
        out << (singletons ? "  aggregation: none\n  defuzzifier: WeightedAverage TakagiSugeno\n"
                           : "  aggregation: Maximum\n  defuzzifier: Centroid " +
                                 std::to_string(kCentroidResolution) + "\n");
        out << "  default: nan\n  lock-previous: false\n";
        for (int t = 0; t < rules.OutputSet(v).NumberOfMF; ++t) {
            const std::string& term = names.OutputTerms[v][t];
            const TBasicMF& mf = rules.OutputTerm(v, t);
            const std::string where = names.Outputs[v] + "." + term;
            out << "  term: " << term << ' '
                << (singletons ? "Constant " + ExactNumber(SingletonPeak(mf, where))
                               : Shape(TermPoints(mf, where)))
                << '\n';
        }
    }
    out << "RuleBlock: rules\n  enabled: true\n  conjunction: "
        << (options.Conjunction == TConjunction::Minimum ? "Minimum" : "AlgebraicProduct")
        << "\n  disjunction: Maximum\n  implication: " << (singletons ? "none" : "Minimum")
        << "\n  activation: General\n";
    for (const TEngineRule& rule : rules.Rules()) {
        out << "  # rule " << rule.SourceRule + 1 << ", condition weights: "
            << WeightComment(Condition(*rule.Antecedent, rule.SourceRule), names) << '\n';
        out << "  rule: " << RuleText(rule, names) << '\n';
    }
}

}  // namespace glean
