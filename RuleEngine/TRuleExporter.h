// Engine exporters: a rule base written as a file that a fuzzy engine loads. The concrete
// formats live in TFllExporter (fuzzylite), TFisExporter (MATLAB-style, also Octave) and
// TFclExporter (IEC 61131-7); this unit holds what they share and picks one by file extension.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "RuleEngine/TRuleBase.h"
#include "RuleEngine/TRuleEvaluator.h"

namespace glean {

struct TExportOptions {
    TConjunction Conjunction = kDefaultConjunction;
    TOutputMode Mode = TOutputMode::Singletons;
    std::string EngineName = "Glean";
};

// An antecedent in the engines' terms: "not" pushed onto the atoms, nested lists of the same
// operator merged into one, one-element lists dissolved.
struct TCondition {
    bool IsAtom = true;
    int Variable = 0;  // atom: input variable and term
    int Term = 0;
    double Weight = 1.0;  // atom: the source atom's weight, for the comment
    bool Negated = false;
    bool IsOr = false;  // list: "or" (maximum) rather than "and"
    std::vector<TCondition> Parts;
};

// The names the engine file uses: the rule set's names with every character that is not a
// letter, digit or underscore replaced by "_", and "_" put before a leading digit.
struct TEngineNames {
    std::vector<std::string> Inputs, Outputs;
    std::vector<std::vector<std::string>> InputTerms, OutputTerms;
};

class TRuleExporter {
public:
    virtual ~TRuleExporter() = default;

    // Writes the whole engine file. Throws ExportError for a rule or term the format cannot
    // express, naming it.
    virtual void Write(const TRuleBase& rules, const TExportOptions& options,
                       std::ostream& out) const = 0;

    // The exporter for the extension of fileName: ".fll", ".fis" or ".fcl", any letter case;
    // null for any other.
    static std::unique_ptr<TRuleExporter> ForFile(const std::string& fileName);

    // The engine form of an antecedent. Throws ExportError ("rule N: ...") for "not" before
    // an "and" or "or" list, which no engine can negate.
    static TCondition Condition(const TRuleExpression& expression, int rule);
    // The engine's names for the rule base. Throws ExportError when two variables, or two terms
    // of one variable, end up with the same name.
    static TEngineNames Names(const TRuleBase& rules);
    // A name as the engines accept it (see TEngineNames).
    static std::string EngineName(const std::string& name);
    // "if <condition> then <output> is <term> with <weight>", the rule text that fuzzylite
    // and FCL share; lists inside lists are bracketed.
    static std::string RuleText(const TEngineRule& rule, const TEngineNames& names);
    static std::string ConditionText(const TCondition& condition, const TEngineNames& names);
    // "Temperature is Cold 0.8, Humidity is Dry 0.6": the condition weights of a rule, which the
    // engines cannot hold, for a comment.
    static std::string WeightComment(const TCondition& condition, const TEngineNames& names);
};

}  // namespace glean
