#include "RuleEngine/TFidelity.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "KQmessage/Check.h"
#include "RuleEngine/TRuleExporter.h"

namespace glean {

namespace {

constexpr double kMostSamples = 1e6;

// Atoms of an antecedent, whatever its operators.
int AtomCount(const TRuleExpression& expression) {
    if (expression.ExprKind() != 2) return expression.ExprKind();
    int count = 0;
    for (int i = 0; i < expression.List().numSubExpressions(); ++i) {
        count += AtomCount(expression.List().GetSubExpression(i));
    }
    return count;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Sums towards TTruthFit over the samples.
class TTruthTally {
public:
    explicit TTruthTally(int outputs)
        : rules_(std::size_t(outputs)), network_(std::size_t(outputs)) {}

    void Add(const std::vector<double>& expected, const std::vector<double>& rules,
             const std::vector<double>& network, bool classes) {
        if (classes) {
            const int truth = LargestOutput(expected);
            rulesRight_ += LargestOutput(rules) == truth;
            networkRight_ += LargestOutput(network) == truth;
            return;
        }
        for (std::size_t o = 0; o < rules.size(); ++o) {
            network_[o].Add(expected[o], network[o]);
            if (!std::isnan(rules[o])) rules_[o].Add(expected[o], rules[o]);
        }
    }

    void Into(TTruthFit& fit) const {
        fit.RulesRight = rulesRight_;
        fit.NetworkRight = networkRight_;
        for (std::size_t o = 0; o < rules_.size(); ++o) {
            fit.RulesRmse.push_back(rules_[o].Rmse());
            fit.RulesR2.push_back(rules_[o].R2());
            fit.NetworkRmse.push_back(network_[o].Rmse());
            fit.NetworkR2.push_back(network_[o].R2());
        }
    }

private:
    struct TSums {
        int N = 0;
        double Squares = 0, Sum = 0, SumOfSquares = 0;
        void Add(double truth, double answer) {
            ++N;
            Squares += (answer - truth) * (answer - truth);
            Sum += truth;
            SumOfSquares += truth * truth;
        }
        double Rmse() const { return N ? std::sqrt(Squares / N) : kNaN; }
        double R2() const {
            const double spread = SumOfSquares - Sum * Sum / N;
            return N && spread > 0 ? 1 - Squares / spread : kNaN;
        }
    };
    std::vector<TSums> rules_, network_;
    int rulesRight_ = 0, networkRight_ = 0;
};

// The agreement of two sets of outputs, a sample at a time.
class TFidelityTally {
public:
    TFidelityTally(int outputs, bool classes) : squares_(std::size_t(outputs), 0.0) {
        report_.Classes.Compared = classes;
        report_.Outputs.resize(std::size_t(outputs));
    }

    void Add(std::span<const double> rule, std::span<const double> network) {
        ++report_.Samples;
        for (std::size_t o = 0; o < squares_.size(); ++o) {
            TOutputFidelity& output = report_.Outputs[o];
            if (std::isnan(rule[o])) {
                ++output.Silent;
                continue;
            }
            const double difference = std::fabs(rule[o] - network[o]);
            output.Largest = std::max(output.Largest, difference);
            squares_[o] += difference * difference;
        }
        if (!report_.Classes.Compared) return;
        const int chosen = LargestOutput(rule);
        if (chosen < 0) {
            ++report_.Classes.Silent;
        } else if (chosen == LargestOutput(network)) {
            ++report_.Classes.Agreeing;
        }
    }

    TFidelityReport Report() const {
        TFidelityReport report = report_;
        for (std::size_t o = 0; o < squares_.size(); ++o) {
            const int active = report.Samples - report.Outputs[o].Silent;
            report.Outputs[o].Rms = active > 0 ? std::sqrt(squares_[o] / active) : kNaN;
        }
        return report;
    }

private:
    TFidelityReport report_;
    std::vector<double> squares_;
};

}  // namespace

TFidelity::TFidelity(TOmbra& network, const TRuleEvaluator& evaluator, const TRuleBase& rules)
    : network_(network), evaluator_(evaluator), rules_(rules) {
    const TOmbraStructure shape = network.GetStructure();
    if (shape.nInputs != rules.Inputs() || shape.nOutputs != rules.Outputs()) {
        throw ExportError("the network has " + std::to_string(shape.nInputs) + " inputs and " +
                          std::to_string(shape.nOutputs) + " outputs, the rules " +
                          std::to_string(rules.Inputs()) + " and " +
                          std::to_string(rules.Outputs()));
    }
}

std::vector<std::vector<double>> TFidelity::Grid(const TRuleBase& rules, int pointsPerInput) {
    if (pointsPerInput < 2) throw ExportError("a grid needs at least 2 points per input");
    if (std::pow(double(pointsPerInput), rules.Inputs()) > kMostSamples) {
        throw ExportError("the grid would exceed 1000000 samples");
    }
    std::vector<std::vector<double>> samples(1);
    for (int v = 0; v < rules.Inputs(); ++v) {
        const TBasicMFSet& set = rules.InputSet(v);
        std::vector<std::vector<double>> longer;
        for (const std::vector<double>& sample : samples) {
            for (int i = 0; i < pointsPerInput; ++i) {
                longer.push_back(sample);
                longer.back().push_back(set.LowerBound + (set.UpperBound - set.LowerBound) * i /
                                                             (pointsPerInput - 1));
            }
        }
        samples = std::move(longer);
    }
    return samples;
}

std::vector<std::vector<double>> TFidelity::Samples(const Data& data, const TRuleBase& rules) {
    return Samples(data, rules.Inputs());
}

std::vector<std::vector<double>> TFidelity::Samples(const Data& data, int inputs) {
    // Extra columns are no samples of these inputs: the first ones would be taken for them.
    if (data.Inputs() != inputs) {
        throw ExportError("the data set has " + std::to_string(data.Inputs()) +
                          " inputs, the rules " + std::to_string(inputs));
    }
    std::vector<std::vector<double>> samples;
    for (int i = 0, row = data.First(); i < data.DataRows(); ++i, row = (row + 1) % data.Rows()) {
        std::vector<double> values(data.Inputs());
        data.GetInputRow(row, values);
        values.resize(std::size_t(inputs));
        samples.push_back(std::move(values));
    }
    return samples;
}

TRuleStatistics TFidelity::Statistics(const TRuleBase& rules) {
    TRuleStatistics statistics;
    const TRuleList& list = rules.SourceRules();
    statistics.Rules = list.numRules();
    statistics.EngineRules = static_cast<int>(rules.Rules().size());
    for (int r = 0; r < list.numRules(); ++r) {
        const TRule& rule = list.GetRule(r);
        const int antecedents = AtomCount(*rule.Antecedent);
        const int consequents = rule.ConsequenceList ? rule.ConsequenceList->numConsequences() : 0;
        const bool first = r == 0;
        statistics.MinAntecedents =
            first ? antecedents : std::min(statistics.MinAntecedents, antecedents);
        statistics.MaxAntecedents = std::max(statistics.MaxAntecedents, antecedents);
        statistics.MinConsequents =
            first ? consequents : std::min(statistics.MinConsequents, consequents);
        statistics.MaxConsequents = std::max(statistics.MaxConsequents, consequents);
        statistics.MeanAntecedents += antecedents;
        statistics.MeanConsequents += consequents;
    }
    if (statistics.Rules > 0) {
        statistics.MeanAntecedents /= statistics.Rules;
        statistics.MeanConsequents /= statistics.Rules;
    }
    return statistics;
}

bool TFidelity::OneHotClasses(const Data& data) {
    if (data.Outputs() < 2 || data.DataRows() < 1) return false;
    std::vector<double> outputs(data.Outputs());
    for (int i = 0, row = data.First(); i < data.DataRows(); ++i, row = (row + 1) % data.Rows()) {
        data.GetOutputRow(row, outputs);
        const auto ones = std::count(outputs.begin(), outputs.end(), 1.0);
        const auto zeros = std::count(outputs.begin(), outputs.end(), 0.0);
        if (ones != 1 || ones + zeros != data.Outputs()) return false;
    }
    return true;
}

std::vector<std::vector<double>> TFidelity::Expected(const Data& data) {
    std::vector<std::vector<double>> expected;
    if (data.Outputs() < 1) return expected;
    for (int i = 0, row = data.First(); i < data.DataRows(); ++i, row = (row + 1) % data.Rows()) {
        std::vector<double> values(data.Outputs());
        data.GetOutputRow(row, values);
        expected.push_back(std::move(values));
    }
    return expected;
}

std::vector<std::vector<double>> TFidelity::ComparedOutputs(const Data& data,
                                                            const TRuleBase& rules) {
    if (data.Outputs() != 0 && data.Outputs() != rules.Outputs()) {
        throw ExportError("the data set has " + std::to_string(data.Outputs()) +
                          " outputs, the rules " + std::to_string(rules.Outputs()));
    }
    return Expected(data);
}

TFidelityReport TFidelity::Measure(const std::vector<std::vector<double>>& samples,
                                   std::ostream* table, bool classes,
                                   const std::vector<std::vector<double>>* expected) {
    GLEAN_CHECK(!expected || expected->size() == samples.size());
    const TEngineNames names = TRuleExporter::Names(rules_);
    if (table) {
        std::string header;
        for (const std::string& name : names.Inputs)
            header += name + ",";
        for (const std::string& name : names.Outputs)
            header += name + ",";
        for (const std::string& name : names.Outputs)
            header += name + "@network,";
        header.pop_back();
        *table << header << '\n';
    }
    TFidelityTally tally(rules_.Outputs(), classes);
    std::vector<double> ruleOutputs(rules_.Outputs()), networkOutputs(rules_.Outputs());
    TTruthTally truth(rules_.Outputs());
    for (std::size_t s = 0; s < samples.size(); ++s) {
        const std::vector<double>& sample = samples[s];
        evaluator_.Evaluate(sample, ruleOutputs);
        network_.Recall(sample, networkOutputs);
        if (expected) truth.Add((*expected)[s], ruleOutputs, networkOutputs, classes);
        tally.Add(ruleOutputs, networkOutputs);
        if (!table) continue;
        std::string line;
        for (double value : sample)
            line += ExactNumber(value) + ",";
        for (double value : ruleOutputs)
            line += ExactNumber(value) + ",";
        for (double value : networkOutputs)
            line += ExactNumber(value) + ",";
        line.pop_back();
        *table << line << '\n';
    }
    TFidelityReport report = tally.Report();
    report.Truth.Compared = expected != nullptr;
    if (expected) truth.Into(report.Truth);
    report.Statistics = Statistics(rules_);
    return report;
}

void TFidelity::WriteTruth(const TFidelityReport& report, const TEngineNames& names,
                           std::ostream& out) const {
    const TTruthFit& truth = report.Truth;
    if (report.Classes.Compared) {
        const double samples = std::max(report.Samples, 1);
        out << "expected class: rules " << truth.RulesRight << " of " << report.Samples << " ("
            << FixedNumber(100.0 * truth.RulesRight / samples, 1) << "%), network "
            << truth.NetworkRight << " (" << FixedNumber(100.0 * truth.NetworkRight / samples, 1)
            << "%)\n";
        return;
    }
    out << "output  rules rmse  rules r2  network rmse  network r2 (against the expected "
           "outputs)\n";
    for (int o = 0; o < rules_.Outputs(); ++o) {
        const std::size_t k = std::size_t(o);
        out << names.Outputs[k] << "  " << FixedNumber(truth.RulesRmse[k], 6) << "  "
            << FixedNumber(truth.RulesR2[k], 4) << "  " << FixedNumber(truth.NetworkRmse[k], 6)
            << "  " << FixedNumber(truth.NetworkR2[k], 4) << '\n';
    }
}

TFidelityReport TFidelity::Compare(const std::vector<std::vector<double>>& ruleOutputs,
                                   const std::vector<std::vector<double>>& networkOutputs,
                                   int outputs, bool classes) {
    GLEAN_CHECK(ruleOutputs.size() == networkOutputs.size());
    TFidelityTally tally(outputs, classes);
    for (std::size_t n = 0; n < ruleOutputs.size(); ++n) {
        GLEAN_CHECK(ruleOutputs[n].size() >= std::size_t(outputs) &&
                    networkOutputs[n].size() >= std::size_t(outputs));
        tally.Add(std::span(ruleOutputs[n].data(), std::size_t(outputs)),
                  std::span(networkOutputs[n].data(), std::size_t(outputs)));
    }
    return tally.Report();
}

void TFidelity::WriteReport(const TFidelityReport& report, std::ostream& out) const {
    const TEngineNames names = TRuleExporter::Names(rules_);
    out << "Fidelity of the rules to the network (" << OutputModeName(evaluator_.Mode()) << ", "
        << ConjunctionName(evaluator_.Conjunction()) << "), " << report.Samples << " samples\n";
    out << "output  rms  largest  no rule active\n";
    for (int o = 0; o < rules_.Outputs(); ++o) {
        const TOutputFidelity& output = report.Outputs[o];
        const double share = report.Samples > 0 ? 100.0 * output.Silent / report.Samples : 0;
        const bool silent = output.Silent == report.Samples;
        out << names.Outputs[o] << "  " << FixedNumber(output.Rms, 6) << "  "
            << (silent ? "n/a" : FixedNumber(output.Largest, 6)) << "  " << FixedNumber(share, 1)
            << "%\n";
    }
    if (report.Classes.Compared) {
        const TClassAgreement& c = report.Classes;
        const double share = report.Samples > 0 ? 100.0 * c.Agreeing / report.Samples : 0;
        out << "class agreement " << c.Agreeing << " of " << report.Samples << " ("
            << FixedNumber(share, 1) << "%), no rule active " << c.Silent << '\n';
    }
    if (report.Truth.Compared) WriteTruth(report, names, out);
    const TRuleStatistics& s = report.Statistics;
    out << "rules " << s.Rules << " (" << s.EngineRules << " engine rules)\n";
    out << "antecedents per rule: min " << s.MinAntecedents << ", mean "
        << FixedNumber(s.MeanAntecedents, 2) << ", max " << s.MaxAntecedents << '\n';
    out << "consequents per rule: min " << s.MinConsequents << ", mean "
        << FixedNumber(s.MeanConsequents, 2) << ", max " << s.MaxConsequents << '\n';
}

}  // namespace glean
