#include "RuleEngine/TExplanation.h"

#include <cmath>
#include <cstdio>

#include "KQmessage/Check.h"
#include "KQmessage/TException.h"

namespace glean {

namespace {

std::string Short(double value) {
    if (std::isnan(value)) return "none";
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

std::string Percent(double share) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f%%", 100 * share);
    return text;
}

std::string Named(const std::string& name, const char* kind, int position) {
    return name.empty() ? std::string(kind) + " " + std::to_string(position + 1) : name;
}

std::string ConditionText(const TRuleBase& rules, const TConditionDegree& condition) {
    return InputName(rules, condition.Variable) + " is " + (condition.Negated ? "not " : "") +
           InputTermName(rules, condition.Variable, condition.Term);
}

// A JSON string: quotes, backslashes and control characters escaped.
std::string Json(const std::string& text) {
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + '"';
}

std::string JsonNumber(double value) {
    return std::isfinite(value) ? ExactNumber(value) : "null";
}

}  // namespace

std::string InputName(const TRuleBase& rules, int variable) {
    return Named(rules.InputSet(variable).Name, "input", variable);
}

std::string OutputName(const TRuleBase& rules, int variable) {
    return Named(rules.OutputSet(variable).Name, "output", variable);
}

std::string InputTermName(const TRuleBase& rules, int variable, int term) {
    return Named(rules.InputTerm(variable, term).Name, "term", term);
}

std::string OutputTermName(const TRuleBase& rules, int variable, int term) {
    return Named(rules.OutputTerm(variable, term).Name, "term", term);
}

void WriteExplanation(const TExplanation& explanation, const TRuleEvaluator& evaluator,
                      const TRuleBase& rules, std::ostream& out) {
    out << "Explanation of the rules (" << OutputModeName(evaluator.Mode()) << ", "
        << ConjunctionName(evaluator.Conjunction()) << ") for ";
    for (std::size_t v = 0; v < explanation.Inputs.size(); ++v)
        out << (v ? ", " : "") << InputName(rules, int(v)) << " = " << Short(explanation.Inputs[v]);
    out << '\n';
    for (const TRuleFiring& firing : explanation.Rules) {
        out << "rule " << firing.Rule + 1
            << (firing.Strength > 0 ? " fires " + Short(firing.Strength) : " does not fire");
        for (std::size_t c = 0; c < firing.Conditions.size(); ++c)
            out << (c ? ", " : ": ") << ConditionText(rules, firing.Conditions[c]) << ' '
                << Short(firing.Conditions[c].Degree);
        out << '\n';
        for (const TContribution& contribution : firing.Contributions) {
            out << "  then " << OutputName(rules, contribution.Output) << " is "
                << OutputTermName(rules, contribution.Output, contribution.Term) << ": weight "
                << Short(contribution.Weight) << ", activation " << Short(contribution.Activation)
                << ", share " << Percent(contribution.Share) << '\n';
        }
    }
    for (std::size_t o = 0; o < explanation.Outputs.size(); ++o) {
        const TOutputDecision& decision = explanation.Outputs[o];
        out << OutputName(rules, int(o)) << " = " << Short(decision.Value);
        if (decision.Rule >= 0)
            out << ", decided by rule " << decision.Rule + 1 << " ("
                << OutputTermName(rules, int(o), decision.Term) << ")";
        else
            out << ", no rule active";
        out << '\n';
    }
}

void WriteExplanationJson(const TExplanation& explanation, const TRuleEvaluator& evaluator,
                          const TRuleBase& rules, std::ostream& out) {
    out << "{\n  \"conjunction\": \"" << ConjunctionName(evaluator.Conjunction())
        << "\",\n  \"outputMode\": \"" << OutputModeName(evaluator.Mode())
        << "\",\n  \"inputs\": [";
    for (std::size_t v = 0; v < explanation.Inputs.size(); ++v)
        out << (v ? ", " : "") << "{\"name\": " << Json(InputName(rules, int(v)))
            << ", \"value\": " << JsonNumber(explanation.Inputs[v]) << "}";
    out << "],\n  \"rules\": [";
    for (std::size_t r = 0; r < explanation.Rules.size(); ++r) {
        const TRuleFiring& firing = explanation.Rules[r];
        out << (r ? "," : "") << "\n    {\"rule\": " << firing.Rule + 1
            << ", \"strength\": " << JsonNumber(firing.Strength)
            << ", \"fires\": " << (firing.Strength > 0 ? "true" : "false") << ", \"conditions\": [";
        for (std::size_t c = 0; c < firing.Conditions.size(); ++c) {
            const TConditionDegree& condition = firing.Conditions[c];
            out << (c ? ", " : "") << "{\"input\": " << Json(InputName(rules, condition.Variable))
                << ", \"term\": " << Json(InputTermName(rules, condition.Variable, condition.Term))
                << ", \"negated\": " << (condition.Negated ? "true" : "false")
                << ", \"degree\": " << JsonNumber(condition.Degree) << "}";
        }
        out << "], \"consequents\": [";
        for (std::size_t c = 0; c < firing.Contributions.size(); ++c) {
            const TContribution& contribution = firing.Contributions[c];
            out << (c ? ", " : "")
                << "{\"output\": " << Json(OutputName(rules, contribution.Output)) << ", \"term\": "
                << Json(OutputTermName(rules, contribution.Output, contribution.Term))
                << ", \"weight\": " << JsonNumber(contribution.Weight)
                << ", \"activation\": " << JsonNumber(contribution.Activation)
                << ", \"share\": " << JsonNumber(contribution.Share) << "}";
        }
        out << "]}";
    }
    out << "\n  ],\n  \"outputs\": [";
    for (std::size_t o = 0; o < explanation.Outputs.size(); ++o) {
        const TOutputDecision& decision = explanation.Outputs[o];
        out << (o ? "," : "") << "\n    {\"name\": " << Json(OutputName(rules, int(o)))
            << ", \"value\": " << JsonNumber(decision.Value) << ", \"decidedBy\": ";
        if (decision.Rule < 0) {
            out << "null, \"term\": null}";
        } else {
            out << decision.Rule + 1
                << ", \"term\": " << Json(OutputTermName(rules, int(o), decision.Term)) << "}";
        }
    }
    out << "\n  ]\n}\n";
}

void ConditionAtoms(const TRuleExpression& expression, std::vector<TRuleAtom>& atoms,
                    bool negated) {
    if (expression.ExprKind() == 1) {
        TRuleAtom atom = expression.Atom();
        atom.Negated = atom.Negated != negated;
        atoms.push_back(atom);
        return;
    }
    if (expression.ExprKind() != 2) return;
    const TRuleExprList& list = expression.List();
    const bool flips = SameText(list.Operator, "not");
    for (int i = 0; i < list.numSubExpressions(); ++i)
        ConditionAtoms(list.GetSubExpression(i), atoms, negated != flips);
}

TExplanation Explain(const TRuleEvaluator& evaluator, const TRuleBase& rules,
                     std::span<const double> inputs) {
    GLEAN_CHECK(inputs.size() >= static_cast<std::size_t>(rules.Inputs()));
    TExplanation explanation;
    explanation.Inputs.assign(inputs.begin(), inputs.begin() + rules.Inputs());
    const TRuleList& list = rules.SourceRules();
    std::vector<TRuleFiring> firings(static_cast<std::size_t>(list.numRules()));
    for (int r = 0; r < list.numRules(); ++r) {
        TRuleFiring& firing = firings[std::size_t(r)];
        firing.Rule = r;
        const TRuleExpression& condition = *list.GetRule(r).Antecedent;
        firing.Strength = evaluator.Degree(condition, inputs);
        std::vector<TRuleAtom> atoms;
        ConditionAtoms(condition, atoms);
        for (const TRuleAtom& atom : atoms) {
            const double membership =
                rules.InputTerm(atom.Variable, atom.Term).Membership(inputs[atom.Variable]);
            firing.Conditions.push_back({atom.Variable, atom.Term, atom.Negated,
                                         atom.Negated ? 1 - membership : membership});
        }
    }
    // The activations in the order of the engine rules, which Combine takes.
    std::vector<double> activations;
    std::vector<double> total(std::size_t(rules.Outputs()), 0.0);
    explanation.Outputs.resize(std::size_t(rules.Outputs()));
    for (const TEngineRule& rule : rules.Rules()) {
        TRuleFiring& firing = firings[std::size_t(rule.SourceRule)];
        const double activation = rule.Weight * firing.Strength;
        activations.push_back(activation);
        total[std::size_t(rule.Output)] += activation;
        firing.Contributions.push_back({rule.Output, rule.Term, rule.Weight, activation, 0});
    }
    // The deciding rule of each output: its largest activation, the first of equals.
    std::vector<double> largest(std::size_t(rules.Outputs()), 0.0);
    for (TRuleFiring& firing : firings) {
        for (TContribution& contribution : firing.Contributions) {
            const std::size_t o = std::size_t(contribution.Output);
            if (total[o] > 0) contribution.Share = contribution.Activation / total[o];
            if (contribution.Activation > largest[o]) {
                largest[o] = contribution.Activation;
                explanation.Outputs[o].Rule = firing.Rule;
                explanation.Outputs[o].Term = contribution.Term;
            }
        }
    }
    std::vector<double> values(std::size_t(rules.Outputs()));
    evaluator.Combine(activations, values);
    for (std::size_t o = 0; o < values.size(); ++o)
        explanation.Outputs[o].Value = values[o];
    for (const bool fires : {true, false}) {
        for (const TRuleFiring& firing : firings)
            if ((firing.Strength > 0) == fires) explanation.Rules.push_back(firing);
    }
    return explanation;
}

}  // namespace glean
