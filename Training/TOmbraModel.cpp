#include "Training/TOmbraModel.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "KQmessage/Check.h"
#include "KQmessage/TException.h"

namespace glean {

namespace {
// The network's "sigmoid", with its replacement below -500, and the slope of what it computes.
double Sigmoid(double net) {
    return net < -500.0 ? 1e-300 : 1.0 / (1.0 + std::exp(-net));
}
double SigmoidSlope(double net, double value) {
    return net < -500.0 ? 0.0 : value * (1.0 - value);
}
std::size_t At(int i) {
    return static_cast<std::size_t>(i);
}
// One layer of sigmoid neurons fed by `from` through from-major `weights`: the net input and
// the value of each of its net.size() neurons.
void SigmoidLayer(const double* weights, const std::vector<double>& from, std::vector<double>& net,
                  std::vector<double>& value) {
    const std::size_t count = net.size();
    for (std::size_t to = 0; to < count; ++to) {
        double sum = 0.0;
        for (std::size_t source = 0; source < from.size(); ++source)
            sum += weights[source * count + to] * from[source];
        net[to] = sum;
        value[to] = Sigmoid(sum);
    }
}
}  // namespace

TOmbraModel::TOmbraModel(TOmbra& network) {
    const std::string problem = network.StructureProblem();
    if (!problem.empty()) {
        throw TException("Network unsuitable for training: " + problem, "Bad Format",
                         "TOmbraModel::TOmbraModel");
    }
    const TOmbraStructure shape = network.GetStructure();
    nInputs_ = shape.nInputs;
    nConditions_ = shape.nConditions;
    nRules_ = shape.nRules;
    nActions_ = shape.nActions;
    nOutputs_ = shape.nOutputs;
    mfPerInput_ = shape.mfPerInput;
    mfPerOutput_ = shape.mfPerOutput;
    inputOf_ = network.ConditionLayer().inputOf;
    outputOf_ = network.OutputLayer().outputOf;
    for (int layer = kInputCentres; layer <= kOutputCentres; ++layer) {
        const std::vector<double> values = network.GetWeightLayer(layer);
        parameters_.insert(parameters_.end(), values.begin(), values.end());
    }
    GLEAN_CHECK_TEXT(parameters_.size() == At(Offset(kOutputCentres) + Count(kOutputCentres)),
                     "parameter count");
    for (int c = 0; c < nConditions_; ++c)
        trainable_.push_back(network.ConditionLayer().Condition(c).trainable != 0);
    for (int layer = kConditionWeights; layer <= kActionWeights; ++layer) {
        TBasicConnections& set = network.MatrixSet(layer);
        const int nFrom = layer == kConditionWeights ? nConditions_ : nRules_;
        const int nTo = layer == kConditionWeights ? nRules_ : nActions_;
        for (int from = 0; from < nFrom; ++from) {
            for (int to = 0; to < nTo; ++to)
                trainable_.push_back(set.IsValid(from, to) && set.IsTrainable(from, to));
        }
    }
    for (int a = 0; a < nActions_; ++a)
        trainable_.push_back(network.OutputSet().IsTrainable(a, outputOf_[At(a)]));
    mu_.resize(At(nConditions_));
    rule_.resize(At(nRules_));
    ruleNet_.resize(At(nRules_));
    actionNet_.resize(At(nActions_));
    action_.resize(At(nActions_));
    numerator_.resize(At(nOutputs_));
    denominator_.resize(At(nOutputs_));
    output_.resize(At(nOutputs_));
}

void TOmbraModel::Store(TOmbra& network) const {
    for (int layer = kInputCentres; layer <= kOutputCentres; ++layer) {
        network.SetWeightLayer(
            layer,
            std::span<const double>(parameters_).subspan(At(Offset(layer)), At(Count(layer))));
    }
}

int TOmbraModel::Offset(int layer) const {
    GLEAN_CHECK_TEXT(layer >= kInputCentres && layer <= kOutputCentres, "layer>=1 && layer<=4");
    int offset = 0;
    for (int before = kInputCentres; before < layer; ++before)
        offset += Count(before);
    return offset;
}

int TOmbraModel::Count(int layer) const {
    switch (layer) {
        case kInputCentres:
            return nConditions_;
        case kConditionWeights:
            return nConditions_ * nRules_;
        case kActionWeights:
            return nRules_ * nActions_;
        case kOutputCentres:
            return nActions_;
        default:
            GLEAN_FAIL("layer>=1 && layer<=4");
    }
}

bool TOmbraModel::HasLeft(int c) const {
    return c > 0 && inputOf_[At(c - 1)] == inputOf_[At(c)];
}

bool TOmbraModel::HasRight(int c) const {
    return c + 1 < nConditions_ && inputOf_[At(c + 1)] == inputOf_[At(c)];
}

TOmbraModel::TMembership TOmbraModel::Condition(int c, double x) const {
    // The value follows TConditionNeuron::MembershipDegree branch for branch; the slopes come
    // from the piece that holds just above x (see the header), so that they never divide by a
    // zero width either.
    const double centre = parameters_[At(c)];
    const bool left = HasLeft(c);
    const bool right = HasRight(c);
    const double l = left ? parameters_[At(c - 1)] : 0.0;
    const double r = right ? parameters_[At(c + 1)] : 0.0;
    TMembership m;
    if ((!left && x <= centre) || (!right && x >= centre)) {
        m.Value = 1.0;
    } else if (right && x >= centre && x < r) {
        m.Value = 1.0 - (x - centre) / (r - centre);
    } else if (left && x <= centre && x > l) {
        m.Value = 1.0 - (centre - x) / (centre - l);
    }
    if (right && x >= centre && x < r) {
        const double width2 = (r - centre) * (r - centre);
        m.ByCentre = (r - x) / width2;
        m.ByRight = (x - centre) / width2;
    } else if (left && x >= l && x < centre) {
        const double width2 = (centre - l) * (centre - l);
        m.ByCentre = -(x - l) / width2;
        m.ByLeft = (x - centre) / width2;
    }
    return m;
}

void TOmbraModel::Recall(std::span<const double> input, std::span<double> out) {
    GLEAN_CHECK_TEXT(input.size() >= At(nInputs_), "input.size()>=nInputs");
    GLEAN_CHECK_TEXT(out.size() >= At(nOutputs_), "output.size()>=nOutputs");
    const double* w2 = parameters_.data() + Offset(kConditionWeights);
    const double* w3 = parameters_.data() + Offset(kActionWeights);
    const double* centres = parameters_.data() + Offset(kOutputCentres);
    for (int c = 0; c < nConditions_; ++c)
        mu_[At(c)] = Condition(c, input[At(inputOf_[At(c)])]).Value;
    SigmoidLayer(w2, mu_, ruleNet_, rule_);
    SigmoidLayer(w3, rule_, actionNet_, action_);
    std::fill(numerator_.begin(), numerator_.end(), 0.0);
    std::fill(denominator_.begin(), denominator_.end(), 0.0);
    for (int a = 0; a < nActions_; ++a) {
        const std::size_t o = At(outputOf_[At(a)]);
        numerator_[o] += action_[At(a)] * centres[a];
        denominator_[o] += action_[At(a)];
    }
    for (std::size_t o = 0; o < At(nOutputs_); ++o) {
        output_[o] =
            numerator_[o] != 0.0 && denominator_[o] != 0.0 ? numerator_[o] / denominator_[o] : 0.0;
        out[o] = output_[o];
    }
}

double TOmbraModel::AddGradient(std::span<const double> input, std::span<const double> target,
                                std::span<double> gradient, double scale) {
    GLEAN_CHECK_TEXT(target.size() >= At(nOutputs_), "target.size()>=nOutputs");
    GLEAN_CHECK_TEXT(gradient.size() == parameters_.size(), "gradient.size()==parameters.size()");
    std::vector<double> y(At(nOutputs_));
    Recall(input, y);
    const double* w2 = parameters_.data() + Offset(kConditionWeights);
    const double* w3 = parameters_.data() + Offset(kActionWeights);
    const double* centres = parameters_.data() + Offset(kOutputCentres);
    double* g1 = gradient.data() + Offset(kInputCentres);
    double* g2 = gradient.data() + Offset(kConditionWeights);
    double* g3 = gradient.data() + Offset(kActionWeights);
    double* g4 = gradient.data() + Offset(kOutputCentres);

    double error = 0.0;
    std::vector<double> byOutput(At(nOutputs_));
    for (std::size_t o = 0; o < At(nOutputs_); ++o) {
        const double difference = y[o] - target[o];
        error += difference * difference / nOutputs_;
        byOutput[o] = scale * 2.0 * difference / nOutputs_;
    }
    // Centre of gravity: y = sum(alpha z) / sum(alpha); nothing flows while no action fires.
    std::vector<double> byActionNet(At(nActions_));
    for (int a = 0; a < nActions_; ++a) {
        const std::size_t o = At(outputOf_[At(a)]);
        if (denominator_[o] == 0.0) continue;
        const double alpha = action_[At(a)];
        g4[a] += byOutput[o] * alpha / denominator_[o];
        const double byAlpha = byOutput[o] * (centres[a] - y[o]) / denominator_[o];
        byActionNet[At(a)] = byAlpha * SigmoidSlope(actionNet_[At(a)], alpha);
    }
    std::vector<double> byMu(At(nConditions_), 0.0);
    for (int r = 0; r < nRules_; ++r) {
        double byRule = 0.0;
        for (int a = 0; a < nActions_; ++a) {
            g3[r * nActions_ + a] += byActionNet[At(a)] * rule_[At(r)];
            byRule += byActionNet[At(a)] * w3[r * nActions_ + a];
        }
        const double byRuleNet = byRule * SigmoidSlope(ruleNet_[At(r)], rule_[At(r)]);
        for (int c = 0; c < nConditions_; ++c) {
            g2[c * nRules_ + r] += byRuleNet * mu_[At(c)];
            byMu[At(c)] += byRuleNet * w2[c * nRules_ + r];
        }
    }
    for (int c = 0; c < nConditions_; ++c) {
        const TMembership m = Condition(c, input[At(inputOf_[At(c)])]);
        g1[c] += byMu[At(c)] * m.ByCentre;
        if (HasLeft(c)) g1[c - 1] += byMu[At(c)] * m.ByLeft;
        if (HasRight(c)) g1[c + 1] += byMu[At(c)] * m.ByRight;
    }
    return error;
}

void TOmbraModel::ProjectCentres(bool inputs, bool outputs, double gap) {
    GLEAN_CHECK_TEXT(gap >= 0.0, "gap>=0");
    GLEAN_CHECK_TEXT((MostMFs(true) - 1) * gap <= 1.0 || !inputs, "(MFs-1)*gap<=1");
    GLEAN_CHECK_TEXT((MostMFs(false) - 1) * gap <= 1.0 || !outputs, "(MFs-1)*gap<=1");
    if (inputs) {
        int first = Offset(kInputCentres);
        for (int count : mfPerInput_) {
            OrderCentres(first, count, gap);
            first += count;
        }
    }
    if (outputs) {
        int first = Offset(kOutputCentres);
        for (int count : mfPerOutput_) {
            OrderCentres(first, count, gap);
            first += count;
        }
    }
}

int TOmbraModel::MostMFs(bool inputs) const {
    const std::vector<int>& counts = inputs ? mfPerInput_ : mfPerOutput_;
    return counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
}

void TOmbraModel::OrderCentres(int first, int count, double gap) {
    // Each centre goes between its predecessor plus the gap and the highest place that leaves
    // room for its successors; min after max, so that a rounding error never inverts the two.
    double floor = 0.0;
    for (int k = 0; k < count; ++k) {
        double& centre = parameters_[At(first + k)];
        const double ceiling = 1.0 - (count - 1 - k) * gap;
        centre = std::min(std::max(centre, floor), ceiling);
        floor = centre + gap;
    }
}

}  // namespace glean
