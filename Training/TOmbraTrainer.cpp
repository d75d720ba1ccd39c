#include "Training/TOmbraTrainer.h"

#include <cmath>
#include <cstdint>
#include <numeric>
#include <ostream>
#include <sstream>

#include "FileHandler/NetworkFile.h"
#include "KQmessage/Check.h"
#include "KQmessage/TException.h"
#include "NeuralNets/TErrorObj.h"
#include "Training/TOmbraModel.h"

namespace glean {

namespace {
std::size_t At(int i) {
    return static_cast<std::size_t>(i);
}

double Parameter(const TKQstructure& params, const std::string& key, double absent) {
    const TKQstructure* value = params.FindParameter(key);
    return value ? ExpectDouble(value->Name) : absent;
}

void RequireSetting(bool ok, const char* message) {
    if (!ok) throw TException(message, "Bad Parameter", "TOmbraTrainer::TOmbraTrainer");
}

// The first position of the largest value.
std::size_t ArgMax(std::span<const double> values) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < values.size(); ++i) {
        if (values[i] > values[best]) best = i;
    }
    return best;
}

void RequireFit(TOmbra& network, const TSamples& samples, const char* operation) {
    const TOmbraStructure shape = network.GetStructure();
    if (shape.nInputs != samples.Inputs || shape.nOutputs != samples.Outputs) {
        throw TException("Data set does not fit the network", "Bad Data", operation);
    }
}
}  // namespace

// ---- Samples ----

bool TSamples::OneHot() const {
    if (Target.empty()) return false;
    for (const std::vector<double>& row : Target) {
        int ones = 0;
        for (double t : row) {
            if (t == 1.0) {
                ++ones;
            } else if (t != 0.0) {
                return false;
            }
        }
        if (ones != 1) return false;
    }
    return true;
}

TSamples ReadSamples(const Data& data) {
    auto fail = [](const std::string& message) {
        throw TException(message, "Bad Data", "TSamples");
    };
    if (data.DataRows() <= 0) fail("Data set has no rows");
    if (data.Inputs() <= 0) fail("Data set has no inputs");
    if (data.Outputs() <= 0) fail("Data set has no expected outputs");
    TSamples samples;
    samples.Inputs = data.Inputs();
    samples.Outputs = data.Outputs();
    for (int k = 0; k < data.DataRows(); ++k) {
        const int slot = (data.First() + k) % data.Rows();
        std::vector<double> input(At(data.Inputs()));
        std::vector<double> target(At(data.Outputs()));
        data.GetInputRow(slot, input);
        data.GetOutputRow(slot, target);
        for (std::size_t i = 0; i < input.size(); ++i) {
            if (!std::isfinite(input[i])) {
                fail("Data set value is not a number: row " + std::to_string(k + 1) + ", input " +
                     std::to_string(i + 1));
            }
        }
        for (std::size_t o = 0; o < target.size(); ++o) {
            if (!(target[o] >= 0.0 && target[o] <= 1.0)) {
                fail("Expected output outside [0, 1]: row " + std::to_string(k + 1) + ", output " +
                     std::to_string(o + 1));
            }
        }
        samples.Input.push_back(std::move(input));
        samples.Target.push_back(std::move(target));
    }
    return samples;
}

TFit MeasureFit(TOmbra& network, const TSamples& samples) {
    RequireFit(network, samples, "TFit");
    TErrorRMSObj rms(samples.Outputs);
    const bool classes = samples.OneHot();
    int correct = 0;
    std::vector<double> output(At(samples.Outputs));
    for (std::size_t k = 0; k < samples.Input.size(); ++k) {
        network.Recall(samples.Input[k], output);
        rms.Accumulate(samples.Target[k], output);
        if (classes && ArgMax(output) == ArgMax(samples.Target[k])) ++correct;
    }
    TFit fit;
    fit.Rms = rms.GetError();
    if (classes) fit.Accuracy = static_cast<double>(correct) / samples.Input.size();
    return fit;
}

// ---- Trainer ----

TOmbraTrainer::TOmbraTrainer(TTrainingSettings given)
    : settings_(std::move(given)), generator_(settings_.Seed) {
    RequireSetting(settings_.Epochs >= 1, "Epochs must be >= 1");
    RequireSetting(std::isfinite(settings_.LearningRate) && settings_.LearningRate > 0.0,
                   "Learning rate must be > 0");
    RequireSetting(settings_.Momentum >= 0.0 && settings_.Momentum < 1.0,
                   "Momentum must be in [0, 1)");
    RequireSetting(std::isfinite(settings_.InitialMinimum) &&
                       std::isfinite(settings_.InitialMaximum) &&
                       settings_.InitialMinimum <= settings_.InitialMaximum,
                   "Initial weight range is empty");
    // A range wider than the largest double draws weights that are not numbers.
    RequireSetting(std::isfinite(settings_.InitialMaximum - settings_.InitialMinimum),
                   "Initial weight range is too wide");
    RequireSetting(std::isfinite(settings_.CentreRate) && settings_.CentreRate >= 0.0,
                   "Centre rate must be >= 0");
    RequireSetting(std::isfinite(settings_.CentreGap) && settings_.CentreGap >= 0.0,
                   "Centre gap must be >= 0");
    const std::string& name = settings_.Penalty.Name;
    if (!SameText(name, "NONE") && !SameText(name, "QUADPENALTY") && !SameText(name, "LWF")) {
        throw TException("Unknown penalty: " + name, "Bad Parameter",
                         "TOmbraTrainer::TOmbraTrainer");
    }
    try {
        const double probe = Penalty(std::vector<double>{1.0});
        RequireSetting(std::isfinite(probe), "Penalty parameter is not a number");
    } catch (const TKQstructure::Error&) {
        RequireSetting(false, "Penalty parameter is not a number");
    }
}

std::unique_ptr<TOmbra> TOmbraTrainer::CreateNetwork(const TOmbraShape& shape,
                                                     const TSamples& samples) {
    const char* operation = "TOmbraTrainer::CreateNetwork";
    if (shape.Rules < 1) throw TException("Must be >= 1 rule", "Bad Parameter", operation);
    if (shape.MFPerInput.size() != At(samples.Inputs) ||
        shape.MFPerOutput.size() != At(samples.Outputs)) {
        throw TException("MF counts do not fit the data set", "Bad Parameter", operation);
    }
    RequireShapeFits(shape, samples.Inputs, samples.Outputs);
    auto network = std::make_unique<TOmbra>(samples.Inputs, shape.MFPerInput, shape.Rules,
                                            shape.MFPerOutput, samples.Outputs);
    Initialise(*network);
    return network;
}

void TOmbraTrainer::RequireShapeFits(const TOmbraShape& shape, int inputs, int outputs) {
    const auto sum = [](const std::vector<int>& counts) {
        return std::accumulate(counts.begin(), counts.end(), std::int64_t{0});
    };
    const std::int64_t conditions = sum(shape.MFPerInput);
    const std::int64_t actions = sum(shape.MFPerOutput);
    const auto fail = [](const std::string& message) {
        throw TException(message, "Bad Parameter", "TOmbraTrainer::CreateNetwork");
    };
    const std::pair<const char*, std::int64_t> layers[] = {{"inputs", inputs},
                                                           {"input MFs", conditions},
                                                           {"rules", shape.Rules},
                                                           {"output MFs", actions},
                                                           {"outputs", outputs}};
    for (const auto& [what, neurons] : layers) {
        if (neurons > LayerNeuronLimit) {
            fail(std::string("Too many ") + what + ": " + std::to_string(neurons) +
                 ", more than the " + std::to_string(LayerNeuronLimit) + " neurons of a layer");
        }
    }
    const std::int64_t neurons = inputs + conditions + shape.Rules + actions + outputs;
    if (neurons > NetworkNeuronLimit) {
        fail("Too many neurons: " + std::to_string(neurons) + " of inputs, MFs and rules, more " +
             "than the " + std::to_string(NetworkNeuronLimit) + " of a network");
    }
    const std::pair<const char*, std::int64_t> sets[] = {
        {"condition-to-rule weights (input MFs times rules)", conditions * shape.Rules},
        {"rule-to-action weights (rules times output MFs)", shape.Rules * actions}};
    for (const auto& [what, weights] : sets) {
        if (weights > ConnectionWeightLimit) {
            fail("Too many weights: " + std::to_string(weights) + " " + what + ", more than the " +
                 std::to_string(ConnectionWeightLimit) + " of a set");
        }
    }
}

void TOmbraTrainer::Initialise(TOmbra& network) {
    network.ConditionLayer().InitialiseCentres();
    network.OutputSet().InitialiseCentres();
    TOmbraModel model(network);
    const double low = settings_.InitialMinimum;
    const double high = settings_.InitialMaximum;
    std::span<double> parameters = model.Parameters();
    for (int layer = kConditionWeights; layer <= kActionWeights; ++layer) {
        for (int k = model.Offset(layer); k < model.Offset(layer) + model.Count(layer); ++k) {
            if (model.Trainable()[At(k)]) parameters[At(k)] = low + (high - low) * Uniform();
        }
    }
    model.Store(network);
}

TFit TOmbraTrainer::Train(TOmbra& network, const TSamples& samples, std::ostream* progress) {
    RequireFit(network, samples, "TOmbraTrainer::Train");
    TOmbraModel model(network);
    RequireGapFits(model);
    std::span<double> parameters = model.Parameters();
    std::vector<bool> step(parameters.size());
    std::vector<double> rate(parameters.size(), settings_.LearningRate);
    const double centreRate =
        settings_.CentreRate > 0.0 ? settings_.CentreRate : settings_.LearningRate;
    for (int layer = kInputCentres; layer <= kOutputCentres; ++layer) {
        for (int k = model.Offset(layer); k < model.Offset(layer) + model.Count(layer); ++k) {
            step[At(k)] = LayerTrained(layer) && model.Trainable()[At(k)];
            if (layer == kInputCentres || layer == kOutputCentres) rate[At(k)] = centreRate;
        }
    }
    const std::size_t firstWeight = At(model.Offset(kConditionWeights));
    const std::size_t weightCount =
        At(model.Count(kConditionWeights) + model.Count(kActionWeights));
    std::vector<double> gradient(parameters.size());
    std::vector<double> velocity(parameters.size(), 0.0);
    std::vector<std::size_t> order(samples.Input.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const bool classes = samples.OneHot();
    Project(model, step);

    for (int epoch = 1; epoch <= settings_.Epochs; ++epoch) {
        Shuffle(order);
        for (std::size_t k : order) {
            std::fill(gradient.begin(), gradient.end(), 0.0);
            model.AddGradient(samples.Input[k], samples.Target[k], gradient, 1.0);
            AddPenaltyGradient(parameters.subspan(firstWeight, weightCount),
                               std::span<double>(gradient).subspan(firstWeight, weightCount));
            for (std::size_t p = 0; p < parameters.size(); ++p) {
                if (!step[p]) continue;
                velocity[p] = settings_.Momentum * velocity[p] - rate[p] * gradient[p];
                parameters[p] += velocity[p];
            }
            Project(model, step);
        }
        if (progress != nullptr) {
            model.Store(network);
            const TFit fit = MeasureFit(network, samples);
            *progress << "epoch " << epoch << " error " << fit.Rms << " penalty "
                      << Penalty(parameters.subspan(firstWeight, weightCount));
            if (classes) *progress << " accuracy " << fit.Accuracy;
            *progress << '\n';
        }
    }
    model.Store(network);
    return MeasureFit(network, samples);
}

double TOmbraTrainer::Penalty(std::span<const double> weights) const {
    return TErrorRMSObj(0).Penalty(weights, &settings_.Penalty, 1.0);
}

void TOmbraTrainer::AddPenaltyGradient(std::span<const double> weights,
                                       std::span<double> gradient) const {
    GLEAN_CHECK_TEXT(gradient.size() >= weights.size(), "gradient.size()>=weights.size()");
    const TKQstructure& params = settings_.Penalty;
    if (SameText(params.Name, "QUADPENALTY")) {
        const double epsilon1 = Parameter(params, "EPSILON1", 0.0);
        const double epsilon2 = Parameter(params, "EPSILON2", 0.0);
        const double beta = Parameter(params, "BETA", 1.0);
        for (std::size_t i = 0; i < weights.size(); ++i) {
            const double w = weights[i];
            const double shrink = beta * w * w + 1.0;
            gradient[i] += 2.0 * w * (epsilon1 * beta / (shrink * shrink) + epsilon2);
        }
    } else if (SameText(params.Name, "LWF")) {
        // The magnitude has no slope at 0; a weight that reached 0 is left there.
        const double strength =
            Parameter(params, "LEARNINGRATE", 0.0) * Parameter(params, "FORGETTINGRATE", 0.0);
        for (std::size_t i = 0; i < weights.size(); ++i) {
            if (weights[i] != 0.0) gradient[i] += weights[i] > 0.0 ? strength : -strength;
        }
    }
}

double TOmbraTrainer::Uniform() {
    return static_cast<double>(generator_() >> 11) * 0x1.0p-53;
}

std::size_t TOmbraTrainer::Index(std::size_t n) {
    return static_cast<std::size_t>(generator_() % n);
}

void TOmbraTrainer::Shuffle(std::vector<std::size_t>& order) {
    for (std::size_t i = order.size(); i > 1; --i)
        std::swap(order[i - 1], order[Index(i)]);
}

void TOmbraTrainer::Project(TOmbraModel& model, const std::vector<bool>& step) const {
    if (settings_.TrainInputCentres || settings_.TrainOutputCentres) {
        model.ProjectCentres(settings_.TrainInputCentres, settings_.TrainOutputCentres,
                             settings_.CentreGap);
    }
    if (!settings_.NonNegativeConsequents) return;
    std::span<double> parameters = model.Parameters();
    for (int k = model.Offset(kActionWeights);
         k < model.Offset(kActionWeights) + model.Count(kActionWeights); ++k) {
        if (step[At(k)] && parameters[At(k)] < 0.0) parameters[At(k)] = 0.0;
    }
}

void TOmbraTrainer::RequireGapFits(const TOmbraModel& model) const {
    for (const bool inputs : {true, false}) {
        if (!(inputs ? settings_.TrainInputCentres : settings_.TrainOutputCentres)) continue;
        const int most = model.MostMFs(inputs);
        if ((most - 1) * settings_.CentreGap > 1.0) {
            throw TException("Centre gap too wide for " + std::to_string(most) + " MFs",
                             "Bad Parameter", "TOmbraTrainer::Train");
        }
    }
}

bool TOmbraTrainer::LayerTrained(int layer) const {
    if (layer == kInputCentres) return settings_.TrainInputCentres;
    if (layer == kOutputCentres) return settings_.TrainOutputCentres;
    return true;
}

}  // namespace glean
