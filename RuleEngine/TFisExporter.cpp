#include "RuleEngine/TFisExporter.h"

#include <algorithm>

namespace glean {

namespace {

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string Range(const TBasicMFSet& set) {
    return "Range=[" + ExactNumber(set.LowerBound) + " " + ExactNumber(set.UpperBound) + "]\n";
}

// The rule line: one term number per input (negative for "not", 0 when absent), one per output,
// the weight and 1 for "and", 2 for "or".
std::string RuleLine(const TEngineRule& rule, const TRuleBase& rules) {
    const TCondition condition = TRuleExporter::Condition(*rule.Antecedent, rule.SourceRule);
    const std::vector<TCondition> atoms =
        condition.IsAtom ? std::vector<TCondition>{condition} : condition.Parts;
    std::vector<int> inputs(rules.Inputs(), 0);
    for (const TCondition& atom : atoms) {
        const std::string where = "rule " + std::to_string(rule.SourceRule + 1);
        if (!atom.IsAtom) throw ExportError(where + ": FIS cannot mix \"and\" with \"or\"");
        if (inputs[atom.Variable] != 0) {
            throw ExportError(where + ": FIS cannot hold two conditions on one input");
        }
        inputs[atom.Variable] = (atom.Term + 1) * (atom.Negated ? -1 : 1);
    }
    std::string line;
    for (int term : inputs)
        line += (line.empty() ? "" : " ") + std::to_string(term);
    line += ",";
    for (int o = 0; o < rules.Outputs(); ++o) {
        line += " " + std::to_string(o == rule.Output ? rule.Term + 1 : 0);
    }
    const bool isOr = !condition.IsAtom && condition.IsOr;
    return line + " (" + ExactNumber(rule.Weight) + ") : " + (isOr ? "2" : "1") + "\n";
}

}  // namespace

std::string TFisExporter::Shape(const std::vector<TTermPoint>& points, double lower, double upper) {
    const double width = std::max(upper - lower, 1.0);
    std::vector<double> x;
    for (const TTermPoint& point : points)
        x.push_back(point.X);
    if (points.size() == 2 && points[0].Degree > points[1].Degree) {
        const double inner = std::min(points[0].X, lower) - width;
        x.insert(x.begin(), {inner - width, inner});
    } else if (points.size() == 2) {
        const double inner = std::max(points[1].X, upper) + width;
        x.insert(x.end(), {inner, inner + width});
    }
    std::string text = x.size() == 3 ? "'trimf',[" : "'trapmf',[";
    for (std::size_t i = 0; i < x.size(); ++i)
        text += (i ? " " : "") + ExactNumber(x[i]);
    return text + "]";
}

void TFisExporter::Write(const TRuleBase& rules, const TExportOptions& options,
                         std::ostream& out) const {
    const TEngineNames names = Names(rules);
    const bool singletons = options.Mode == TOutputMode::Singletons;
    const bool minimum = options.Conjunction == TConjunction::Minimum;
    std::string ruleLines;  // built first, so that a rule FIS cannot hold writes nothing
    for (const TEngineRule& rule : rules.Rules())
        ruleLines += RuleLine(rule, rules);

    out << "[System]\nName=" << Quoted(EngineName(options.EngineName))
        << "\nType=" << Quoted(singletons ? "sugeno" : "mamdani") << "\nVersion=2.0\n"
        << "NumInputs=" << rules.Inputs() << "\nNumOutputs=" << rules.Outputs()
        << "\nNumRules=" << rules.Rules().size()
        << "\nAndMethod=" << Quoted(minimum ? "min" : "prod")
        << "\nOrMethod='max'\nImpMethod=" << Quoted(singletons ? "prod" : "min")
        << "\nAggMethod=" << Quoted(singletons ? "sum" : "max")
        << "\nDefuzzMethod=" << Quoted(singletons ? "wtaver" : "centroid") << "\n";
    for (int v = 0; v < rules.Inputs(); ++v) {
        const TBasicMFSet& set = rules.InputSet(v);
        out << "\n[Input" << v + 1 << "]\nName=" << Quoted(names.Inputs[v]) << '\n'
            << Range(set) << "NumMFs=" << set.NumberOfMF << '\n';
        for (int t = 0; t < set.NumberOfMF; ++t) {
            const std::string& term = names.InputTerms[v][t];
            out << "MF" << t + 1 << "=" << Quoted(term) << ":"
                << Shape(TermPoints(rules.InputTerm(v, t), names.Inputs[v] + "." + term),
                         set.LowerBound, set.UpperBound)
                << '\n';
        }
    }
    for (int v = 0; v < rules.Outputs(); ++v) {
        const TBasicMFSet& set = rules.OutputSet(v);
        out << "\n[Output" << v + 1 << "]\nName=" << Quoted(names.Outputs[v]) << '\n'
            << Range(set) << "NumMFs=" << set.NumberOfMF << '\n';
        for (int t = 0; t < set.NumberOfMF; ++t) {
            const std::string& term = names.OutputTerms[v][t];
            const TBasicMF& mf = rules.OutputTerm(v, t);
            const std::string where = names.Outputs[v] + "." + term;
            out << "MF" << t + 1 << "=" << Quoted(term) << ":"
                << (singletons ? "'constant',[" + ExactNumber(SingletonPeak(mf, where)) + "]"
                               : Shape(TermPoints(mf, where), set.LowerBound, set.UpperBound))
                << '\n';
        }
    }
    out << "\n[Rules]\n" << ruleLines;
}

}  // namespace glean
