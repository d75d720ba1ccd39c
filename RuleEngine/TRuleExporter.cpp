#include "RuleEngine/TRuleExporter.h"

#include <cctype>
#include <set>

#include "KQmessage/TException.h"
#include "RuleEngine/TFclExporter.h"
#include "RuleEngine/TFisExporter.h"
#include "RuleEngine/TFllExporter.h"

namespace glean {

std::string TRuleExporter::EngineName(const std::string& name) {
    std::string result;
    for (unsigned char c : name)
        result += std::isalnum(c) || c == '_' ? char(c) : '_';
    if (result.empty() || std::isdigit(static_cast<unsigned char>(result[0])))
        result = "_" + result;
    return result;
}

namespace {

// Names of one scope; throws when two of them coincide.
std::vector<std::string> UniqueNames(std::vector<std::string> names, std::set<std::string>& seen,
                                     const std::string& scope) {
    for (std::string& name : names) {
        name = TRuleExporter::EngineName(name);
        if (!seen.insert(name).second) {
            throw ExportError(scope + ": the name \"" + name + "\" is used twice");
        }
    }
    return names;
}

std::vector<std::string> SetNames(const TBasicMFSet& set) {
    std::vector<std::string> names;
    for (int m = 0; m < set.NumberOfMF; ++m)
        names.push_back(set.GetMF(m)->Name);
    return names;
}

void Merge(TCondition& list, TCondition part) {
    if (!part.IsAtom && part.IsOr == list.IsOr) {
        for (TCondition& inner : part.Parts)
            list.Parts.push_back(std::move(inner));
    } else {
        list.Parts.push_back(std::move(part));
    }
}

TCondition Negate(TCondition condition, int rule) {
    if (!condition.IsAtom) {
        throw ExportError("rule " + std::to_string(rule + 1) +
                          ": \"not\" before a bracketed condition cannot be exported");
    }
    condition.Negated = !condition.Negated;
    return condition;
}

}  // namespace

std::unique_ptr<TRuleExporter> TRuleExporter::ForFile(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : fileName.substr(dot);
    if (SameText(extension, ".fll")) return std::make_unique<TFllExporter>();
    if (SameText(extension, ".fis")) return std::make_unique<TFisExporter>();
    if (SameText(extension, ".fcl")) return std::make_unique<TFclExporter>();
    return nullptr;
}

TCondition TRuleExporter::Condition(const TRuleExpression& expression, int rule) {
    if (expression.ExprKind() == 1) {
        const TRuleAtom& atom = expression.Atom();
        return {true, atom.Variable, atom.Term, atom.Weight, atom.Negated, false, {}};
    }
    const TRuleExprList& list = expression.List();
    if (SameText(list.Operator, "not"))
        return Negate(Condition(list.GetSubExpression(0), rule), rule);
    TCondition result;
    result.IsAtom = false;
    result.IsOr = SameText(list.Operator, "or");
    for (int i = 0; i < list.numSubExpressions(); ++i) {
        Merge(result, Condition(list.GetSubExpression(i), rule));
    }
    if (result.Parts.size() == 1) return std::move(result.Parts.front());
    return result;
}

TEngineNames TRuleExporter::Names(const TRuleBase& rules) {
    TEngineNames names;
    std::set<std::string> variables;
    std::vector<std::string> inputs, outputs;
    for (int v = 0; v < rules.Inputs(); ++v)
        inputs.push_back(rules.InputSet(v).Name);
    for (int v = 0; v < rules.Outputs(); ++v)
        outputs.push_back(rules.OutputSet(v).Name);
    names.Inputs = UniqueNames(inputs, variables, "variables");
    names.Outputs = UniqueNames(outputs, variables, "variables");
    for (int v = 0; v < rules.Inputs(); ++v) {
        std::set<std::string> terms;
        names.InputTerms.push_back(
            UniqueNames(SetNames(rules.InputSet(v)), terms, names.Inputs[v]));
    }
    for (int v = 0; v < rules.Outputs(); ++v) {
        std::set<std::string> terms;
        names.OutputTerms.push_back(
            UniqueNames(SetNames(rules.OutputSet(v)), terms, names.Outputs[v]));
    }
    return names;
}

std::string TRuleExporter::RuleText(const TEngineRule& rule, const TEngineNames& names) {
    return "if " + ConditionText(Condition(*rule.Antecedent, rule.SourceRule), names) + " then " +
           names.Outputs[rule.Output] + " is " + names.OutputTerms[rule.Output][rule.Term] +
           " with " + ExactNumber(rule.Weight);
}

std::string TRuleExporter::ConditionText(const TCondition& condition, const TEngineNames& names) {
    if (condition.IsAtom) {
        return names.Inputs[condition.Variable] + (condition.Negated ? " is not " : " is ") +
               names.InputTerms[condition.Variable][condition.Term];
    }
    std::string text;
    for (const TCondition& part : condition.Parts) {
        if (!text.empty()) text += condition.IsOr ? " or " : " and ";
        const std::string inner = ConditionText(part, names);
        text += part.IsAtom ? inner : "(" + inner + ")";
    }
    return text;
}

std::string TRuleExporter::WeightComment(const TCondition& condition, const TEngineNames& names) {
    if (condition.IsAtom) {
        return names.Inputs[condition.Variable] + (condition.Negated ? " is not " : " is ") +
               names.InputTerms[condition.Variable][condition.Term] + " " +
               ExactNumber(condition.Weight);
    }
    std::string text;
    for (const TCondition& part : condition.Parts) {
        text += (text.empty() ? "" : ", ") + WeightComment(part, names);
    }
    return text;
}

}  // namespace glean
