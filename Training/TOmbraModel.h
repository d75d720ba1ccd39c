// The trainable parameters of a fuzzy network in one flat vector, with the network's forward pass
// and the exact gradient of the squared error through it.
//
// Parameter order: weight layers 1 to 4, each in TOmbra::GetWeightLayer's order (input MF centres
// by condition neuron, condition-to-rule and rule-to-action weights from-major, output MF centres
// by action neuron).
//
// The input memberships have kinks where the input meets an MF centre. There the gradient is the
// one-sided derivative taken with the input just above the centre it meets (equivalently, with
// that centre just below the input), so the analytic gradient of a centre equals the backward
// difference (f(c) - f(c - h)) / h in the limit; everywhere else it is the ordinary derivative.
#pragma once

#include <span>
#include <vector>

#include "Ombra/TOmbra.h"

namespace glean {

class TOmbraModel {
public:
    // Reads the shape, the weights and which of them may change (existing, unfrozen arcs and
    // centres) from `network`. Throws TException ("Network unsuitable for training: <why>",
    // "Bad Format", "TOmbraModel::TOmbraModel") when it is not a complete fuzzy network.
    explicit TOmbraModel(TOmbra& network);

    // Writes every parameter back into the network's weight layers.
    void Store(TOmbra& network) const;

    // The parameters, and the position and count of weight layer `layer` (1 to 4) in them.
    std::span<double> Parameters() { return parameters_; }
    std::span<const double> Parameters() const { return parameters_; }
    int Offset(int layer) const;
    int Count(int layer) const;
    // True for each parameter the network lets training change.
    const std::vector<bool>& Trainable() const { return trainable_; }

    int Inputs() const { return nInputs_; }
    int Outputs() const { return nOutputs_; }

    // The forward pass, identical in value to TOmbra::Recall: `input` holds Inputs() values,
    // `output` receives Outputs() values (checks "input.size()>=nInputs",
    // "output.size()>=nOutputs").
    void Recall(std::span<const double> input, std::span<double> output);
    // The squared error sum over outputs of (y - t)^2 / Outputs() for one pattern; adds its
    // gradient times `scale` to `gradient` (Parameters().size() values, checked).
    double AddGradient(std::span<const double> input, std::span<const double> target,
                       std::span<double> gradient, double scale);

    // Moves the centres of the layers asked for into [0, 1] and, within each variable, up to at
    // least `gap` above its predecessor, so that the MFs keep their order and their distance.
    // Requires "gap>=0" and, for every variable projected, (MFs - 1) * gap <= 1.
    void ProjectCentres(bool inputs, bool outputs, double gap = 0.0);
    // The largest number of MFs of one variable among the inputs or the outputs.
    int MostMFs(bool inputs) const;

private:
    // The membership of condition `c` at x and its derivatives by the centres of the MF, its
    // left and its right neighbour (zero where there is no neighbour).
    struct TMembership {
        double Value = 0.0;
        double ByCentre = 0.0;
        double ByLeft = 0.0;
        double ByRight = 0.0;
    };
    TMembership Condition(int c, double x) const;
    bool HasLeft(int c) const;
    bool HasRight(int c) const;
    // Moves the centres of `count` MFs starting at parameter `first` into order inside [0, 1].
    void OrderCentres(int first, int count, double gap);

    int nInputs_ = 0;
    int nConditions_ = 0;
    int nRules_ = 0;
    int nActions_ = 0;
    int nOutputs_ = 0;
    std::vector<int> inputOf_;   // input of each condition
    std::vector<int> outputOf_;  // output of each action
    std::vector<int> mfPerInput_;
    std::vector<int> mfPerOutput_;
    std::vector<double> parameters_;
    std::vector<bool> trainable_;
    // The last forward pass.
    std::vector<double> mu_, ruleNet_, rule_, actionNet_, action_, numerator_, denominator_,
        output_;
};

}  // namespace glean
