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
}  // namespace

TOmbraModel::TOmbraModel(TOmbra& network) {
    const std::string problem = network.StructureProblem();
    if (!problem.empty()) {
        throw TException("Network unsuitable for training: " + problem, "Bad Format",
                         "TOmbraModel::TOmbraModel");
    }
    const TOmbraStructure shape = network.GetStructure();
    nInputs = shape.nInputs;
    nConditions = shape.nConditions;
    nRules = shape.nRules;
    nActions = shape.nActions;
    nOutputs = shape.nOutputs;
    mfPerInput = shape.mfPerInput;
    mfPerOutput = shape.mfPerOutput;
    inputOf = network.ConditionLayer().inputOf;
    outputOf = network.OutputLayer().outputOf;
    for (int layer = kInputCentres; layer <= kOutputCentres; ++layer) {
        const std::vector<double> values = network.GetWeightLayer(layer);
        parameters.insert(parameters.end(), values.begin(), values.end());
    }
    GLEAN_CHECK_TEXT(parameters.size() == At(Offset(kOutputCentres) + Count(kOutputCentres)),
                     "parameter count");
    for (int c = 0; c < nConditions; ++c)
        trainable.push_back(network.ConditionLayer().Condition(c).trainable != 0);
    for (int layer = kConditionWeights; layer <= kActionWeights; ++layer) {
        TBasicConnections& set = network.MatrixSet(layer);
        const int nFrom = layer == kConditionWeights ? nConditions : nRules;
        const int nTo = layer == kConditionWeights ? nRules : nActions;
        for (int from = 0; from < nFrom; ++from) {
            for (int to = 0; to < nTo; ++to)
                trainable.push_back(set.IsValid(from, to) && set.IsTrainable(from, to));
        }
    }
    for (int a = 0; a < nActions; ++a)
        trainable.push_back(network.OutputSet().IsTrainable(a, outputOf[At(a)]));
    mu.resize(At(nConditions));
    rule.resize(At(nRules));
    ruleNet.resize(At(nRules));
    actionNet.resize(At(nActions));
    action.resize(At(nActions));
    numerator.resize(At(nOutputs));
    denominator.resize(At(nOutputs));
    output.resize(At(nOutputs));
}

void TOmbraModel::Store(TOmbra& network) const {
    for (int layer = kInputCentres; layer <= kOutputCentres; ++layer) {
        network.SetWeightLayer(
            layer,
            std::span<const double>(parameters).subspan(At(Offset(layer)), At(Count(layer))));
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
            return nConditions;
        case kConditionWeights:
            return nConditions * nRules;
        case kActionWeights:
            return nRules * nActions;
        case kOutputCentres:
            return nActions;
        default:
            GLEAN_FAIL("layer>=1 && layer<=4");
    }
}

bool TOmbraModel::HasLeft(int c) const {
    return c > 0 && inputOf[At(c - 1)] == inputOf[At(c)];
}

bool TOmbraModel::HasRight(int c) const {
    return c + 1 < nConditions && inputOf[At(c + 1)] == inputOf[At(c)];
}

TOmbraModel::Membership TOmbraModel::Condition(int c, double x) const {
    // The value follows TConditionNeuron::MembershipDegree branch for branch; the slopes come
    // from the piece that holds just above x (see the header), so that they never divide by a
    // zero width either.
    const double centre = parameters[At(c)];
    const bool left = HasLeft(c);
    const bool right = HasRight(c);
    const double l = left ? parameters[At(c - 1)] : 0.0;
    const double r = right ? parameters[At(c + 1)] : 0.0;
    Membership m;
    if ((!left && x <= centre) || (!right && x >= centre)) {
        m.value = 1.0;
    } else if (right && x >= centre && x < r) {
        m.value = 1.0 - (x - centre) / (r - centre);
    } else if (left && x <= centre && x > l) {
        m.value = 1.0 - (centre - x) / (centre - l);
    }
    if (right && x >= centre && x < r) {
        const double width2 = (r - centre) * (r - centre);
        m.byCentre = (r - x) / width2;
        m.byRight = (x - centre) / width2;
    } else if (left && x >= l && x < centre) {
        const double width2 = (centre - l) * (centre - l);
        m.byCentre = -(x - l) / width2;
        m.byLeft = (x - centre) / width2;
    }
    return m;
}

void TOmbraModel::Recall(std::span<const double> input, std::span<double> out) {
    GLEAN_CHECK_TEXT(input.size() >= At(nInputs), "input.size()>=nInputs");
    GLEAN_CHECK_TEXT(out.size() >= At(nOutputs), "output.size()>=nOutputs");
    const double* w2 = parameters.data() + Offset(kConditionWeights);
    const double* w3 = parameters.data() + Offset(kActionWeights);
    const double* centres = parameters.data() + Offset(kOutputCentres);
    for (int c = 0; c < nConditions; ++c)
        mu[At(c)] = Condition(c, input[At(inputOf[At(c)])]).value;
    for (int r = 0; r < nRules; ++r) {
        double net = 0.0;
        for (int c = 0; c < nConditions; ++c)
            net += w2[c * nRules + r] * mu[At(c)];
        ruleNet[At(r)] = net;
        rule[At(r)] = Sigmoid(net);
    }
    for (int a = 0; a < nActions; ++a) {
        double net = 0.0;
        for (int r = 0; r < nRules; ++r)
            net += w3[r * nActions + a] * rule[At(r)];
        actionNet[At(a)] = net;
        action[At(a)] = Sigmoid(net);
    }
    std::fill(numerator.begin(), numerator.end(), 0.0);
    std::fill(denominator.begin(), denominator.end(), 0.0);
    for (int a = 0; a < nActions; ++a) {
        const std::size_t o = At(outputOf[At(a)]);
        numerator[o] += action[At(a)] * centres[a];
        denominator[o] += action[At(a)];
    }
    for (std::size_t o = 0; o < At(nOutputs); ++o) {
        output[o] =
            numerator[o] != 0.0 && denominator[o] != 0.0 ? numerator[o] / denominator[o] : 0.0;
        out[o] = output[o];
    }
}

double TOmbraModel::AddGradient(std::span<const double> input, std::span<const double> target,
                                std::span<double> gradient, double scale) {
    GLEAN_CHECK_TEXT(target.size() >= At(nOutputs), "target.size()>=nOutputs");
    GLEAN_CHECK_TEXT(gradient.size() == parameters.size(), "gradient.size()==parameters.size()");
    std::vector<double> y(At(nOutputs));
    Recall(input, y);
    const double* w2 = parameters.data() + Offset(kConditionWeights);
    const double* w3 = parameters.data() + Offset(kActionWeights);
    const double* centres = parameters.data() + Offset(kOutputCentres);
    double* g1 = gradient.data() + Offset(kInputCentres);
    double* g2 = gradient.data() + Offset(kConditionWeights);
    double* g3 = gradient.data() + Offset(kActionWeights);
    double* g4 = gradient.data() + Offset(kOutputCentres);

    double error = 0.0;
    std::vector<double> byOutput(At(nOutputs));
    for (std::size_t o = 0; o < At(nOutputs); ++o) {
        const double difference = y[o] - target[o];
        error += difference * difference / nOutputs;
        byOutput[o] = scale * 2.0 * difference / nOutputs;
    }
    // Centre of gravity: y = sum(alpha z) / sum(alpha); nothing flows while no action fires.
    std::vector<double> byActionNet(At(nActions));
    for (int a = 0; a < nActions; ++a) {
        const std::size_t o = At(outputOf[At(a)]);
        if (denominator[o] == 0.0) continue;
        const double alpha = action[At(a)];
        g4[a] += byOutput[o] * alpha / denominator[o];
        const double byAlpha = byOutput[o] * (centres[a] - y[o]) / denominator[o];
        byActionNet[At(a)] = byAlpha * SigmoidSlope(actionNet[At(a)], alpha);
    }
    std::vector<double> byMu(At(nConditions), 0.0);
    for (int r = 0; r < nRules; ++r) {
        double byRule = 0.0;
        for (int a = 0; a < nActions; ++a) {
            g3[r * nActions + a] += byActionNet[At(a)] * rule[At(r)];
            byRule += byActionNet[At(a)] * w3[r * nActions + a];
        }
        const double byRuleNet = byRule * SigmoidSlope(ruleNet[At(r)], rule[At(r)]);
        for (int c = 0; c < nConditions; ++c) {
            g2[c * nRules + r] += byRuleNet * mu[At(c)];
            byMu[At(c)] += byRuleNet * w2[c * nRules + r];
        }
    }
    for (int c = 0; c < nConditions; ++c) {
        const Membership m = Condition(c, input[At(inputOf[At(c)])]);
        g1[c] += byMu[At(c)] * m.byCentre;
        if (HasLeft(c)) g1[c - 1] += byMu[At(c)] * m.byLeft;
        if (HasRight(c)) g1[c + 1] += byMu[At(c)] * m.byRight;
    }
    return error;
}

void TOmbraModel::ProjectCentres(bool inputs, bool outputs, double gap) {
    GLEAN_CHECK_TEXT(gap >= 0.0, "gap>=0");
    GLEAN_CHECK_TEXT((MostMFs(true) - 1) * gap <= 1.0 || !inputs, "(MFs-1)*gap<=1");
    GLEAN_CHECK_TEXT((MostMFs(false) - 1) * gap <= 1.0 || !outputs, "(MFs-1)*gap<=1");
    if (inputs) {
        int first = Offset(kInputCentres);
        for (int count : mfPerInput) {
            OrderCentres(first, count, gap);
            first += count;
        }
    }
    if (outputs) {
        int first = Offset(kOutputCentres);
        for (int count : mfPerOutput) {
            OrderCentres(first, count, gap);
            first += count;
        }
    }
}

int TOmbraModel::MostMFs(bool inputs) const {
    const std::vector<int>& counts = inputs ? mfPerInput : mfPerOutput;
    return counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
}

void TOmbraModel::OrderCentres(int first, int count, double gap) {
    // Each centre goes between its predecessor plus the gap and the highest place that leaves
    // room for its successors; min after max, so that a rounding error never inverts the two.
    double floor = 0.0;
    for (int k = 0; k < count; ++k) {
        double& centre = parameters[At(first + k)];
        const double ceiling = 1.0 - (count - 1 - k) * gap;
        centre = std::min(std::max(centre, floor), ceiling);
        floor = centre + gap;
    }
}

}  // namespace glean
