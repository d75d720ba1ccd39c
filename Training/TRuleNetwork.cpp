#include "Training/TRuleNetwork.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <random>

#include "KQmessage/Check.h"
#include "RuleEngine/TRuleEvaluator.h"
#include "Training/TMinimiser.h"
#include "Training/TOmbraModel.h"

namespace glean {

namespace {

// Training rows and jittered copies of them, up to about this many rows in all: the network
// learns the rules' answers around the rows too, not only on them.
constexpr double kDistilledRows = 1200;
constexpr int kMostCopies = 4;
constexpr double kJitter = 0.03;  // in scaled units
// Classes: besides the squared difference, every other class's output is pushed at least
// kMargin below the output of the class the rules pick, with this weight, so that the network
// picks the rules' class also where their outputs lie close together.
constexpr double kMargin = 0.05;
constexpr double kMarginWeight = 1.0;
// Enough for the network to settle on the rules' answers; more changed no decision in trials.
constexpr int kDistillingSteps = 100;

std::size_t At(int i) {
    return static_cast<std::size_t>(i);
}

// Where the trained quantities sit among the network's parameters. Every condition of a rule
// has its own weight exp(u) from its term, and each other term of its input exp(u) - exp(v) with
// a v of its own, so the chosen term stays the strongest whatever training does.
class TRuleNetworkLayout {
public:
    TRuleNetworkLayout(const TLearnedRuleBase& base, const TOmbraModel& model)
        : base_(base), rules_(int(base.Rules.size())), actions_(base.Actions()) {
        std::vector<int> firstCondition;
        int first = 0;
        for (const std::vector<double>& centres : base.InputCentres) {
            firstCondition.push_back(first);
            first += int(centres.size());
        }
        const int w2 = model.Offset(kConditionWeights);
        const int allRules = rules_ + 1;
        for (int r = 0; r < rules_; ++r) {
            for (const TInputTerm& condition : base.Rules[At(r)].Conditions) {
                const std::size_t chosen = variables_++;
                const int terms = int(base.InputCentres[At(condition.Input)].size());
                for (int t = 0; t < terms; ++t) {
                    const int parameter =
                        w2 + (firstCondition[At(condition.Input)] + t) * allRules + r;
                    slots_.push_back(
                        {parameter, r, chosen, t == condition.Term ? 0 : variables_++});
                }
            }
        }
        gain_ = variables_++;
        firstBias_ = variables_;
        variables_ += std::size_t(actions_);
        w3_ = model.Offset(kActionWeights);
    }

    // Variables: the u and v of every condition weight, log G, and one bias per action.
    std::size_t Variables() const { return variables_; }

    // The network's parameters for the variables `x`, written over `parameters`.
    void Write(std::span<const double> x, std::span<double> parameters) const {
        for (const TSlot& slot : slots_) {
            double weight = std::exp(x[slot.Chosen]);
            if (slot.Other) weight -= std::exp(x[slot.Other]);
            parameters[At(slot.Parameter)] = weight;
        }
        const double gain = std::exp(x[gain_]);
        for (int r = 0; r < rules_; ++r) {
            for (int a = 0; a < actions_; ++a)
                parameters[At(w3_ + r * actions_ + a)] =
                    gain * base_.Rules[At(r)].ActionWeights[At(a)];
        }
        for (int a = 0; a < actions_; ++a)
            parameters[At(w3_ + rules_ * actions_ + a)] = x[firstBias_ + At(a)];
    }

    // The slope by the variables from the slope by the network's parameters.
    void Chain(std::span<const double> x, std::span<const double> byParameter,
               std::span<double> byVariable) const {
        std::fill(byVariable.begin(), byVariable.end(), 0.0);
        for (const TSlot& slot : slots_) {
            const double slope = byParameter[At(slot.Parameter)];
            byVariable[slot.Chosen] += slope * std::exp(x[slot.Chosen]);
            if (slot.Other) byVariable[slot.Other] -= slope * std::exp(x[slot.Other]);
        }
        const double gain = std::exp(x[gain_]);
        for (int r = 0; r < rules_; ++r) {
            for (int a = 0; a < actions_; ++a)
                byVariable[gain_] += byParameter[At(w3_ + r * actions_ + a)] * gain *
                                     base_.Rules[At(r)].ActionWeights[At(a)];
        }
        for (int a = 0; a < actions_; ++a)
            byVariable[firstBias_ + At(a)] = byParameter[At(w3_ + rules_ * actions_ + a)];
    }

    // A soft "and" that passes half way between all conditions met and one missed, a gain that
    // spans the sigmoids' steep part, and biases that keep the actions low while no rule fires.
    std::vector<double> Start() const {
        constexpr double kSlope = 8.0;
        std::vector<double> x(variables_, -2.0);
        for (const TSlot& slot : slots_) {
            const double conditions = double(base_.Rules[At(slot.Rule)].Conditions.size());
            x[slot.Chosen] = std::log(kSlope * 0.5 / conditions);
            if (slot.Other) x[slot.Other] = std::log(kSlope);
        }
        x[gain_] = std::log(5.0);
        return x;
    }

private:
    struct TSlot {
        int Parameter;  // among the network's parameters
        int Rule;
        std::size_t Chosen;  // the variable u of the condition's weight
        std::size_t Other;   // the variable v of another term's weight; 0 for the term itself
    };

    const TLearnedRuleBase& base_;
    int rules_;
    int actions_;
    std::vector<TSlot> slots_;
    std::size_t variables_ = 0;
    std::size_t gain_ = 0, firstBias_ = 0;
    int w3_ = 0;
};

std::unique_ptr<TOmbra> EmptyNetwork(const TLearnedRuleBase& base) {
    std::vector<int> mfPerInput, mfPerOutput;
    for (const std::vector<double>& centres : base.InputCentres)
        mfPerInput.push_back(int(centres.size()));
    for (const std::vector<double>& centres : base.OutputCentres)
        mfPerOutput.push_back(int(centres.size()));
    auto network =
        std::make_unique<TOmbra>(int(mfPerInput.size()), mfPerInput, int(base.Rules.size()) + 1,
                                 mfPerOutput, int(mfPerOutput.size()));
    std::vector<double> centres;
    for (const std::vector<double>& input : base.InputCentres)
        centres.insert(centres.end(), input.begin(), input.end());
    network->SetWeightLayer(kInputCentres, centres);
    centres.clear();
    for (const std::vector<double>& output : base.OutputCentres)
        centres.insert(centres.end(), output.begin(), output.end());
    network->SetWeightLayer(kOutputCentres, centres);
    for (int layer : {kConditionWeights, kActionWeights}) {
        network->SetWeightLayer(layer,
                                std::vector<double>(network->GetWeightLayer(layer).size(), 0.0));
    }
    return network;
}

}  // namespace

std::unique_ptr<TOmbra> MakeRuleNetwork(const TLearnedRuleBase& base, const TLearningRows& rows,
                                        const TDistilling& distilling) {
    std::unique_ptr<TOmbra> network = EmptyNetwork(base);
    TOmbraModel model(*network);
    const TRuleNetworkLayout layout(base, model);
    // What the network is trained to answer: the rules' outputs, where some rule fires.
    std::vector<std::vector<double>> inputs, targets;
    std::mt19937_64 generator(distilling.Seed);
    const int copies = std::clamp(
        int(kDistilledRows / double(std::max<std::size_t>(rows.Size(), 1))) - 1, 0, kMostCopies);
    for (std::size_t i = 0; i < rows.Size(); ++i) {
        for (int copy = 0; copy <= copies; ++copy) {
            std::vector<double> input = rows.Inputs[i];
            if (copy > 0) {
                for (double& value : input)
                    value += kJitter * (2.0 * double(generator() >> 11) * 0x1.0p-53 - 1.0);
            }
            std::vector<double> outputs = RuleBaseOutputs(base, input);
            bool silent = false;
            for (double output : outputs)
                silent = silent || std::isnan(output);
            if (silent) continue;
            inputs.push_back(std::move(input));
            targets.push_back(std::move(outputs));
        }
    }
    std::vector<double> byParameter(model.Parameters().size());
    auto objective = [&](std::span<const double> x, std::span<double> gradient) {
        layout.Write(x, model.Parameters());
        std::fill(byParameter.begin(), byParameter.end(), 0.0);
        double error = 0;
        const double scale = inputs.empty() ? 0.0 : 1.0 / double(inputs.size());
        std::vector<double> output(targets.empty() ? 0 : targets.front().size());
        for (std::size_t k = 0; k < inputs.size(); ++k) {
            if (!rows.Classifying()) {
                error += scale * model.AddGradient(inputs[k], targets[k], byParameter, scale);
                continue;
            }
            // Classes: the squared difference, plus a squared hinge on every class whose output
            // comes within kMargin of the output of the rules' class. The sum's slope by the
            // outputs is passed on as that of a squared difference to a shifted target.
            model.Recall(inputs[k], output);
            const int chosen = LargestOutput(targets[k]);
            const double outputs = double(output.size());
            std::vector<double> slope(output.size()), shifted(output.size());
            double loss = 0;
            for (std::size_t o = 0; o < output.size(); ++o) {
                slope[o] = 2 * (output[o] - targets[k][o]) / outputs;
                loss += std::pow(output[o] - targets[k][o], 2) / outputs;
            }
            for (std::size_t o = 0; o < output.size(); ++o) {
                if (int(o) == chosen) continue;
                const double shortfall = kMargin - (output[std::size_t(chosen)] - output[o]);
                if (shortfall <= 0) continue;
                loss += kMarginWeight * shortfall * shortfall;
                slope[std::size_t(chosen)] -= 2 * kMarginWeight * shortfall;
                slope[o] += 2 * kMarginWeight * shortfall;
            }
            for (std::size_t o = 0; o < output.size(); ++o)
                shifted[o] = output[o] - slope[o] * outputs / 2;
            model.AddGradient(inputs[k], shifted, byParameter, scale);
            error += scale * loss;
        }
        layout.Chain(x, byParameter, gradient);
        return error;
    };
    std::vector<double> x = layout.Start();
    TMinimiserSettings settings;
    settings.Iterations = kDistillingSteps;
    if (distilling.Progress && distilling.ReportEvery > 0) {
        settings.Observer = [&](int step, double value) {
            if (step % distilling.ReportEvery == 0) {
                *distilling.Progress << "network step " << step << ": mean squared difference "
                                     << value << '\n';
            }
        };
    }
    Minimise(objective, x, settings);
    layout.Write(x, model.Parameters());
    model.Store(*network);
    return network;
}

}  // namespace glean
