#include "Ombra/RuleExtraction/TOmbraRule.h"

#include <span>
#include <vector>

#include "KQmessage/Check.h"
#include "KQmessage/KeyFields.h"
#include "KQmessage/TException.h"

namespace glean {

namespace {

// The thresholds and method of an extraction, with their defaults.
struct ExtractionSettings {
    double thresholdIn = 0.0;
    double thresholdOut = 0.0;
    std::string method = "Glean";
};

double NumberParameter(const TKQstructure& params, const std::string& key, double current) {
    if (params.FindParameter(key) == nullptr) return current;
    return ExpectDouble(params.RequireParameter(key).Name);
}

// "threshold" first, so that "thresholdin" and "thresholdout" override it.
ExtractionSettings ReadSettings(const TKQstructure* params) {
    ExtractionSettings settings;
    if (params == nullptr) return settings;
    const double both = NumberParameter(*params, "threshold", 0.0);
    settings.thresholdIn = NumberParameter(*params, "thresholdin", both);
    settings.thresholdOut = NumberParameter(*params, "thresholdout", both);
    if (params->FindParameter("method") != nullptr) {
        settings.method = params->RequireParameter("method").Name;
    }
    return settings;
}

// The antecedent atom of input `input` for a rule neuron whose condition weights are
// `weights`: the MF with the strongest weight above both 0 and the threshold (the first of equal
// weights). False when none qualifies. `nodes` are the input's condition neurons in MF order, so
// a node's place is its MF index.
bool ChooseCondition(std::span<const double> weights, std::span<const int> nodes, int input,
                     double threshold, TRuleAtom& atom) {
    double best = 0.0;
    int chosen = -1;
    for (std::size_t m = 0; m < nodes.size(); ++m) {
        const double weight = weights[static_cast<std::size_t>(nodes[m])];
        // The threshold first: it turns most weights of a trained network away, so that this
        // branch is the predictable one.
        if (weight > threshold && weight > best) {
            best = weight;
            chosen = static_cast<int>(m);
        }
    }
    if (chosen < 0) return false;
    atom = TRuleAtom{input, chosen, best, false};
    return true;
}

// The named MFs of one variable whose MF centres are `centres`, in neuron order.
void FillMFSet(TBasicMFSet& set, std::span<const double> centres,
               const std::vector<std::string>& names) {
    const int n = static_cast<int>(centres.size());
    for (int m = 0; m < n; ++m) {
        const double centre = centres[static_cast<std::size_t>(m)];
        if (m == 0) {
            auto mf = std::make_unique<TLShoulderTriangularMF>(names[0]);
            mf->Centre = centre;
            mf->RightBound = centres[1];
            set.SetMF(m, std::move(mf));
        } else if (m == n - 1) {
            auto mf = std::make_unique<TRShoulderTriangularMF>(names[static_cast<std::size_t>(m)]);
            mf->LeftBound = centres[static_cast<std::size_t>(m - 1)];
            mf->Centre = centre;
            set.SetMF(m, std::move(mf));
        } else {
            auto mf = std::make_unique<TTriangularMF>(names[static_cast<std::size_t>(m)]);
            mf->LeftBound = centres[static_cast<std::size_t>(m - 1)];
            mf->Centre = centre;
            mf->RightBound = centres[static_cast<std::size_t>(m + 1)];
            set.SetMF(m, std::move(mf));
        }
    }
}

// How one side (inputs or outputs) of the network is named and shaped.
struct VariableSide {
    const char* listName;
    const std::vector<int>& mfPerVariable;
    const std::vector<double>& centres;
    const std::string& (TOmbraLabel::*variableName)(int) const;
    const std::string& (TOmbraLabel::*termName)(int) const;
};

std::unique_ptr<TMFSetList> BuildMFList(const TOmbraLabel& labels, const VariableSide& side) {
    const int variables = static_cast<int>(side.mfPerVariable.size());
    auto list = std::make_unique<TMFSetList>(variables, side.listName);
    for (int v = 0; v < variables; ++v) {
        const int count = side.mfPerVariable[static_cast<std::size_t>(v)];
        list->SetMFSet(v, std::make_unique<TBasicMFSet>(
                              kTriangularType, (labels.*side.variableName)(v), count, 0.0, 1.0));
    }
    int term = 0;
    for (int v = 0; v < variables; ++v) {
        const int count = side.mfPerVariable[static_cast<std::size_t>(v)];
        std::vector<std::string> names;
        for (int m = 0; m < count; ++m)
            names.push_back((labels.*side.termName)(term + m));
        FillMFSet(*list->GetMFSet(v),
                  std::span(side.centres)
                      .subspan(static_cast<std::size_t>(term), static_cast<std::size_t>(count)),
                  names);
        term += count;
    }
    return list;
}

// The messages of SetOmbraMF for one side ("Input" or "Output").
[[noreturn]] void ThrowWrongType(const char* side, const char* shape) {
    throw TException(std::string("Inappropriate ") + side + " MF type: Should be " + shape,
                     "Bad Parameter", "TOmbraRule::SetOmbraMF");
}

void RequireMFCounts(const TMFSetList& list, const std::vector<int>& mfPerVariable,
                     const char* operation) {
    for (std::size_t v = 0; v < mfPerVariable.size(); ++v) {
        const TBasicMFSet* set = list.GetMFSet(static_cast<int>(v));
        if (set == nullptr || set->NumberOfMF != mfPerVariable[v]) {
            throw TException("Number of Fuzzy MF not appropriate for this network", "Bad Parameter",
                             operation);
        }
    }
}

// The centres of every MF of the list, in global term order, each MF checked for its shape.
std::vector<double> CollectCentres(const TMFSetList& list, const std::vector<int>& mfPerVariable,
                                   const char* side) {
    std::vector<double> centres;
    for (std::size_t v = 0; v < mfPerVariable.size(); ++v) {
        const TBasicMFSet& set = *list.GetMFSet(static_cast<int>(v));
        const int n = mfPerVariable[v];
        for (int m = 0; m < n; ++m) {
            const TBasicMF* mf = set.GetMF(m);
            const char* expected = m == 0       ? kLShoulderTriangularType
                                   : m == n - 1 ? kRShoulderTriangularType
                                                : kTriangularType;
            const auto* centred = dynamic_cast<const TCentredMF*>(mf);
            const auto* triangle = dynamic_cast<const TTriangularMF*>(mf);
            if (mf == nullptr || !SameText(mf->Type, expected) ||
                (centred == nullptr && triangle == nullptr)) {
                ThrowWrongType(side, m == 0       ? "LeftShouldered"
                                     : m == n - 1 ? "RightShouldered"
                                                  : "Centred");
            }
            centres.push_back(centred != nullptr ? centred->Centre : triangle->Centre);
        }
    }
    return centres;
}

}  // namespace

TOmbra& RequireOmbra(TBasicNetwork& network) {
    auto* ombra = dynamic_cast<TOmbra*>(&network);
    const std::string problem = ombra == nullptr ? "a network of type " + network.GetNetworkType()
                                                 : ombra->StructureProblem();
    if (!problem.empty()) {
        throw TException("Network unsuitable for rule extraction: " + problem, "Bad Format",
                         "TOmbraRule::ExtractRules");
    }
    return *ombra;
}

void ExtractRules(TOmbra& network, std::unique_ptr<TFuzzyRuleSet>& ruleSet,
                  std::unique_ptr<TKQstructure> params, const TOmbraLabel* labels) {
    const TExtractionThresholds thresholds =
        BeginExtraction(network, ruleSet, std::move(params), labels);
    ruleSet->RuleList = BuildRuleList(network, thresholds.thresholdIn, thresholds.thresholdOut);
}

TExtractionThresholds BeginExtraction(TOmbra& network, std::unique_ptr<TFuzzyRuleSet>& ruleSet,
                                      std::unique_ptr<TKQstructure> params,
                                      const TOmbraLabel* labels) {
    const ExtractionSettings settings = ReadSettings(params.get());
    RequireOmbra(network);
    std::unique_ptr<TOmbraLabel> defaultLabels;
    if (labels == nullptr) {
        defaultLabels = MakeDefaultLabels(network);
        labels = defaultLabels.get();
    }
    ruleSet = std::make_unique<TFuzzyRuleSet>();
    GetOmbraMF(network, *labels, ruleSet->InputMFList, ruleSet->OutputMFList);
    GLEAN_CHECK_TEXT(SameText(settings.method, "GLEAN"), "0");
    ruleSet->RuleList = std::make_unique<TRuleList>("Glean", 0);
    return {settings.thresholdIn, settings.thresholdOut};
}

void ForEachRule(TOmbra& network, const TExtractionThresholds& thresholds,
                 const std::function<void(TRule&)>& take) {
    const TOmbraStructure shape = network.GetStructure();
    TConditionLayer& conditions = network.ConditionLayer();
    TOmbraOutputLayer& outputs = network.OutputLayer();
    TBasicConnections& conditionToRule = network.MatrixSet(kConditionWeights);
    TBasicConnections& ruleToAction = network.MatrixSet(kActionWeights);
    std::vector<std::vector<int>> nodesOfInput;
    for (int k = 0; k < shape.nInputs; ++k)
        nodesOfInput.push_back(conditions.GetMFNodes(k));

    // The atoms of one rule are chosen first, so that its lists are made at their final size
    // (the size that growing them one by one would reach).
    std::vector<TRuleAtom> conditionAtoms;
    std::vector<TRuleAtom> actionAtoms;
    std::vector<double> conditionWeights(static_cast<std::size_t>(conditions.numNeurons));
    for (int r = 0; r < shape.nRules; ++r) {
        conditionToRule.GetInWeights(r, conditionWeights);
        conditionAtoms.clear();
        for (int k = 0; k < shape.nInputs; ++k) {
            TRuleAtom atom;
            if (ChooseCondition(conditionWeights, nodesOfInput[static_cast<std::size_t>(k)], k,
                                thresholds.thresholdIn, atom)) {
                conditionAtoms.push_back(atom);
            }
        }
        actionAtoms.clear();
        for (int a = 0; a < shape.nActions; ++a) {
            const double weight = ruleToAction.Weight(r, a);
            if (weight > thresholds.thresholdOut) {
                actionAtoms.push_back(TRuleAtom{outputs.outputOf[static_cast<std::size_t>(a)],
                                                outputs.GetMFIndex(a), weight, false});
            }
        }
        if (conditionAtoms.empty() || actionAtoms.empty()) continue;
        auto antecedent =
            std::make_unique<TRuleExprList>("and", static_cast<int>(conditionAtoms.size()));
        for (const TRuleAtom& atom : conditionAtoms)
            antecedent->InsertSubExpression(TRuleExpression(atom), -1);
        auto consequences =
            std::make_unique<TRuleConsequenceList>(static_cast<int>(actionAtoms.size()));
        for (const TRuleAtom& atom : actionAtoms)
            consequences->InsertConsequence(atom.Variable, atom.Term, atom.Weight, false, -1);
        TRule rule(std::make_unique<TRuleExpression>(std::move(antecedent)),
                   std::move(consequences));
        take(rule);
    }
}

std::unique_ptr<TRuleList> BuildRuleList(TOmbra& network, double thresholdIn, double thresholdOut) {
    auto rules = std::make_unique<TRuleList>("Glean", 0);
    ForEachRule(network, {thresholdIn, thresholdOut},
                [&](TRule& rule) { rules->InsertRule(std::move(rule), -1); });
    return rules;
}

std::unique_ptr<TOmbraLabel> MakeDefaultLabels(TOmbra& network) {
    const TOmbraStructure shape = network.GetStructure();
    auto labels = std::make_unique<TOmbraLabel>(shape.nInputs, shape.mfPerInput, shape.nOutputs,
                                                shape.mfPerOutput);
    int condition = 0;
    for (int i = 0; i < shape.nInputs; ++i) {
        labels->SetInputName(i, "Input" + Trim(LetterName(i)));
        for (int m = 0; m < shape.mfPerInput[static_cast<std::size_t>(i)]; ++m) {
            labels->SetConditionName(condition++, Trim(LetterName(m)));
        }
    }
    int action = 0;
    for (int o = 0; o < shape.nOutputs; ++o) {
        labels->SetOutputName(o, "Output" + Trim(LetterName(o)));
        for (int m = 0; m < shape.mfPerOutput[static_cast<std::size_t>(o)]; ++m) {
            labels->SetActionName(action++, Trim(LetterName(m)));
        }
    }
    return labels;
}

std::string LetterName(long n) {
    GLEAN_CHECK(n >= 0);
    std::string name(5, 'A');
    for (int position = 4; position >= 0; --position) {
        name[static_cast<std::size_t>(position)] = static_cast<char>('A' + n % 26);
        n /= 26;
    }
    for (std::size_t position = 0; position < 4 && name[position] == 'A'; ++position) {
        name[position] = ' ';
    }
    return name;
}

void GetOmbraMF(TOmbra& network, const TOmbraLabel& labels, std::unique_ptr<TMFSetList>& inputList,
                std::unique_ptr<TMFSetList>& outputList) {
    const TOmbraStructure shape = network.GetStructure();
    if (labels.Inputs != shape.nInputs || labels.Outputs != shape.nOutputs ||
        labels.NumConditions != shape.nConditions || labels.NumActions != shape.nActions) {
        throw TException("Labels unsuitable for this network", "Bad Format",
                         "TOmbraRule::GetOmbraMF");
    }
    const std::vector<double> conditionCentres = network.GetWeightLayer(kInputCentres);
    const std::vector<double> outputCentres = network.GetWeightLayer(kOutputCentres);
    inputList = BuildMFList(labels, {"Inputs", shape.mfPerInput, conditionCentres,
                                     &TOmbraLabel::GetInputName, &TOmbraLabel::GetConditionName});
    outputList = BuildMFList(labels, {"Outputs", shape.mfPerOutput, outputCentres,
                                      &TOmbraLabel::GetOutputName, &TOmbraLabel::GetActionName});
}

void SetOmbraMF(TOmbra& network, const TMFSetList& inputList, const TMFSetList& outputList) {
    const TOmbraStructure shape = network.GetStructure();
    RequireMFCounts(inputList, shape.mfPerInput, "TOmbraRule::SetOmbraMF");
    // One colon here, unlike the other operations: stored reports and callers match it as is.
    RequireMFCounts(outputList, shape.mfPerOutput, "TOmbraRule:SetOmbraMF");
    const std::vector<double> conditionCentres =
        CollectCentres(inputList, shape.mfPerInput, "Input");
    const std::vector<double> outputCentres =
        CollectCentres(outputList, shape.mfPerOutput, "Output");
    network.SetWeightLayer(kInputCentres, conditionCentres);
    network.SetWeightLayer(kOutputCentres, outputCentres);
}

}  // namespace glean
