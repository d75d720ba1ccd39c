// How faithfully a rule base reproduces the network it was read from: both run on the same
// samples (a data set's inputs or a grid over the input ranges), compared output by output.
#pragma once

#include <ostream>
#include <vector>

#include "DataObject/Data.h"
#include "Ombra/TOmbra.h"
#include "RuleEngine/TRuleEvaluator.h"
#include "RuleEngine/TRuleExporter.h"

namespace glean {

// The agreement on one output, over the samples on which some rule is active for it.
struct TOutputFidelity {
    double Rms = 0;      // root mean square of the differences
    double Largest = 0;  // the largest difference
    int Silent = 0;      // samples on which no rule is active for this output
};

// Counts per rule of the source rule list, over all rules.
struct TRuleStatistics {
    int Rules = 0;
    int EngineRules = 0;  // rules as the engines hold them (one per kept consequence)
    int MinAntecedents = 0, MaxAntecedents = 0;
    double MeanAntecedents = 0;
    int MinConsequents = 0, MaxConsequents = 0;
    double MeanConsequents = 0;
};

// Whether the rule base picks the network's class: on a sample it does when the largest of its
// outputs (outputs no rule activates aside) is the network's largest output, the first of equals.
struct TClassAgreement {
    bool Compared = false;  // the outputs were taken for classes
    int Agreeing = 0;       // samples on which both pick the same class
    int Silent = 0;         // samples on which no rule is active for any output
};

// The rule base and the network against a data set's expected outputs: for classes, the samples
// on which each picks the expected class; otherwise per output the root mean square error and R^2
// (the rule base's over the samples on which some rule is active for that output; NaN where none
// is).
struct TTruthFit {
    bool Compared = false;
    int RulesRight = 0, NetworkRight = 0;
    std::vector<double> RulesRmse, RulesR2, NetworkRmse, NetworkR2;
};

struct TFidelityReport {
    int Samples = 0;
    std::vector<TOutputFidelity> Outputs;
    TRuleStatistics Statistics;
    TClassAgreement Classes;
    TTruthFit Truth;
};

class TFidelity {
public:
    // Borrows both for its whole life. Throws ExportError when the network's numbers of inputs
    // and outputs differ from the rule set's.
    TFidelity(TOmbra& network, const TRuleEvaluator& evaluator, const TRuleBase& rules);

    // pointsPerInput evenly spaced values over every input's range, all combinations, the last
    // input varying fastest. Throws ExportError for fewer than 2 points or more than 10^6 samples.
    static std::vector<std::vector<double>> Grid(const TRuleBase& rules, int pointsPerInput);
    // The input rows of a data set, oldest first. Throws ExportError ("the data set has N
    // inputs, the rules M") when its input columns are not exactly the rule set's inputs.
    static std::vector<std::vector<double>> Samples(const Data& data, const TRuleBase& rules);
    // The same for a number of inputs, inputs >= 0.
    static std::vector<std::vector<double>> Samples(const Data& data, int inputs);
    static TRuleStatistics Statistics(const TRuleBase& rules);
    // True when the data set has at least two expected outputs and every row of them is one 1
    // among 0s: the outputs name classes.
    static bool OneHotClasses(const Data& data);

    // The expected outputs of a data set's rows, oldest first; empty when it has none.
    static std::vector<std::vector<double>> Expected(const Data& data);
    // Expected, for outputs compared with the rules': throws ExportError ("the data set has N
    // outputs, the rules M") when there are outputs, but not as many as the rules have.
    static std::vector<std::vector<double>> ComparedOutputs(const Data& data,
                                                            const TRuleBase& rules);

    // The agreement of the rule base's outputs with the network's, sample by sample (NaN where
    // no rule activates an output), and with `classes` the class agreement; Statistics and Truth
    // are left empty. Requires rows of at least `outputs` values, as many of one as of the other
    // (checked).
    static TFidelityReport Compare(const std::vector<std::vector<double>>& ruleOutputs,
                                   const std::vector<std::vector<double>>& networkOutputs,
                                   int outputs, bool classes);

    // Runs both on every sample, and with `classes` also counts the class agreement; with
    // `expected` (one row per sample, as many values as the rules have outputs) also compares
    // both with them. When table is given, writes a CSV header and per sample the inputs, the
    // rule base's outputs and the network's outputs, comma separated, exactly.
    TFidelityReport Measure(const std::vector<std::vector<double>>& samples,
                            std::ostream* table = nullptr, bool classes = false,
                            const std::vector<std::vector<double>>* expected = nullptr);
    // The report as text, one line per output ("n/a" where no rule is active on any sample), the
    // class agreement when counted, the fit to the expected outputs when compared, and the rule
    // statistics.
    void WriteReport(const TFidelityReport& report, std::ostream& out) const;

private:
    void WriteTruth(const TFidelityReport& report, const TEngineNames& names,
                    std::ostream& out) const;

    TOmbra& network_;
    const TRuleEvaluator& evaluator_;
    const TRuleBase& rules_;
};

}  // namespace glean
