#include "RuleEngine/TFclExporter.h"

namespace glean {

namespace {

std::string Range(const TBasicMFSet& set) {
    return "    RANGE := (" + ExactNumber(set.LowerBound) + " .. " + ExactNumber(set.UpperBound) +
           ");\n";
}

void WriteVariables(const char* block, const std::vector<std::string>& names, std::ostream& out) {
    out << block << '\n';
    for (const std::string& name : names)
        out << "    " << name << " : REAL;\n";
    out << "END_VAR\n\n";
}

}  // namespace

std::string TFclExporter::Shape(const std::vector<TTermPoint>& points) {
    std::string text;
    for (const TTermPoint& point : points) {
        text += (text.empty() ? "(" : " (") + ExactNumber(point.X) + ", " +
                ExactNumber(point.Degree) + ")";
    }
    return text;
}

void TFclExporter::Write(const TRuleBase& rules, const TExportOptions& options,
                         std::ostream& out) const {
    const TEngineNames names = Names(rules);
    const bool singletons = options.Mode == TOutputMode::Singletons;
    const bool minimum = options.Conjunction == TConjunction::Minimum;
    out << "// Rules exported by GleanTool (" << OutputModeName(options.Mode) << ", "
        << ConjunctionName(options.Conjunction) << ")\n\nFUNCTION_BLOCK "
        << EngineName(options.EngineName) << "\n\n";
    WriteVariables("VAR_INPUT", names.Inputs, out);
    WriteVariables("VAR_OUTPUT", names.Outputs, out);
    for (int v = 0; v < rules.Inputs(); ++v) {
        const TBasicMFSet& set = rules.InputSet(v);
        out << "FUZZIFY " << names.Inputs[v] << '\n' << Range(set);
        for (int t = 0; t < set.NumberOfMF; ++t) {
            const std::string& term = names.InputTerms[v][t];
            out << "    TERM " << term << " := "
                << Shape(TermPoints(rules.InputTerm(v, t), names.Inputs[v] + "." + term,
                                    kFclFootStep))
                << ";\n";
        }
        out << "END_FUZZIFY\n\n";
    }
    for (int v = 0; v < rules.Outputs(); ++v) {
        const TBasicMFSet& set = rules.OutputSet(v);
        out << "DEFUZZIFY " << names.Outputs[v] << '\n' << Range(set);
        for (int t = 0; t < set.NumberOfMF; ++t) {
            const std::string& term = names.OutputTerms[v][t];
            const TBasicMF& mf = rules.OutputTerm(v, t);
            const std::string where = names.Outputs[v] + "." + term;
            out << "    TERM " << term << " := "
                << (singletons ? ExactNumber(SingletonPeak(mf, where))
                               : Shape(TermPoints(mf, where, kFclFootStep)))
                << ";\n";
        }
        if (!singletons) out << "    ACCU : MAX;\n";
        out << "    METHOD : " << (singletons ? "COGS" : "COG") << ";\n    DEFAULT := nan;\n"
            << "END_DEFUZZIFY\n\n";
    }
    out << "RULEBLOCK rules\n    AND : " << (minimum ? "MIN" : "PROD") << ";\n    OR : MAX;\n";
    if (!singletons) out << "    ACT : MIN;\n";
    for (const TEngineRule& rule : rules.Rules()) {
        out << "    // rule " << rule.SourceRule + 1 << ", condition weights: "
            << WeightComment(Condition(*rule.Antecedent, rule.SourceRule), names) << '\n';
        out << "    RULE " << &rule - rules.Rules().data() + 1 << " : " << RuleText(rule, names)
            << ";\n";
    }
    out << "END_RULEBLOCK\n\nEND_FUNCTION_BLOCK\n";
}

}  // namespace glean
