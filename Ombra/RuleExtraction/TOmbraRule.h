// Rule extraction ("Glean"): reads fuzzy if-then rules off a trained fuzzy network, and converts
// between the network's MF centres and explicit, named MF lists.
//
// Every rule neuron yields at most one rule. Its antecedent takes, for each input, the one input
// MF whose condition-to-rule weight is the strongest above thresholdIn (and above 0); its
// consequents are every output MF whose rule-to-action weight exceeds thresholdOut. Weights are
// compared as stored: nothing is normalised, merged or sorted.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "FuzzySets/TMFSetList.h"
#include "KQmessage/TKQstructure.h"
#include "Ombra/TOmbra.h"
#include "Ombra/TOmbraLabel.h"
#include "RuleObject/RuleObject.h"

namespace glean {

// The fuzzy network inside `network`, whose layers and sets must have the six-layer shape.
// Throws TException ("Network unsuitable for rule extraction: <why>", "Bad Format",
// "TOmbraRule::ExtractRules") for any other network.
TOmbra& RequireOmbra(TBasicNetwork& network);

// Extracts the rule set of `network` into `ruleSet` (stored as soon as it exists, so the caller
// owns it even when a later step throws). `params` (taken over, may be null) may hold
// "threshold", "thresholdin", "thresholdout" (numbers, default 0.0) and "method" ("Glean", the
// only one: anything else fails the check "0"). Without `labels`, default names are used.
// Throws TKQstructure::Error for a threshold that is not a number, the TException of GetOmbraMF
// for labels that do not fit, and that of RequireOmbra for a network of another shape.
void ExtractRules(TOmbra& network, std::unique_ptr<TFuzzyRuleSet>& ruleSet,
                  std::unique_ptr<TKQstructure> params, const TOmbraLabel* labels);

// The thresholds an extraction compares the weights with.
struct TExtractionThresholds {
    double thresholdIn = 0.0;
    double thresholdOut = 0.0;
};

// ExtractRules up to the first rule: reads the parameters, checks the network and stores in
// `ruleSet` the two named MF lists and an empty rule list named "Glean". Throws as ExtractRules.
// With ForEachRule after it, a rule file can be written a rule at a time.
TExtractionThresholds BeginExtraction(TOmbra& network, std::unique_ptr<TFuzzyRuleSet>& ruleSet,
                                      std::unique_ptr<TKQstructure> params,
                                      const TOmbraLabel* labels);

// Calls take(rule) with the rule of each rule neuron that yields one, in rule-neuron order; the
// rule is the caller's to keep or drop.
void ForEachRule(TOmbra& network, const TExtractionThresholds& thresholds,
                 const std::function<void(TRule&)>& take);

// The rules of `network`, in rule-neuron order, in a list named "Glean".
std::unique_ptr<TRuleList> BuildRuleList(TOmbra& network, double thresholdIn, double thresholdOut);

// Names for every variable and term: inputs InputA, InputB, ..., outputs OutputA, ..., and the
// terms of each variable A, B, C, ...
std::unique_ptr<TOmbraLabel> MakeDefaultLabels(TOmbra& network);

// The five-character letter code of n >= 0: base 26 with digits A to Z, up to four leading "A"
// shown as blanks (0 gives "    A", 26 gives "   BA").
std::string LetterName(long n);

// The input list ("Inputs") and output list ("Outputs") of `network`, one "Triangular" set on
// [0, 1] per variable, named from `labels`; a variable's MFs have their feet on the neighbouring
// centres, with shoulders at both ends. Throws TException ("Labels unsuitable for this network",
// "Bad Format", "TOmbraRule::GetOmbraMF") when the label counts differ from the network's.
void GetOmbraMF(TOmbra& network, const TOmbraLabel& labels, std::unique_ptr<TMFSetList>& inputList,
                std::unique_ptr<TMFSetList>& outputList);

// Loads the centres of the MFs of the two lists into weight layers 1 and 4 of `network`; the
// network is changed only when every check passes. Throws TException ("Number of Fuzzy MF not
// appropriate for this network" or "Inappropriate Input|Output MF type: Should be
// LeftShouldered|Centred|RightShouldered", "Bad Parameter", "TOmbraRule::SetOmbraMF"), and the
// exceptions of GetMFSet and GetMF for missing sets and MFs.
void SetOmbraMF(TOmbra& network, const TMFSetList& inputList, const TMFSetList& outputList);

}  // namespace glean
