// Training a fuzzy network by gradient descent on the mean squared error, with an optional weight
// penalty of the library's error measures ("QUADPENALTY", "LWF") on the condition-to-rule and
// rule-to-action weights.
//
// Objective: J = mean over patterns of sum_o (y_o - t_o)^2 / outputs + Penalty(weights of layers
// 2 and 3). Each pattern, in an order shuffled anew every epoch, takes one step
// v = momentum * v - rate * grad(pattern error + penalty), w += v, on the trainable parameters
// (centres with their own rate when one is set); centres are then moved back into order inside
// [0, 1], at least the centre gap apart, and, when asked for, negative rule-to-action weights
// back to 0.
//
// Reproducible: every random number comes from a std::mt19937_64 seeded with the settings' seed
// and is turned into a number or an index by this unit's own arithmetic, so the same settings and
// data give the same weights bit for bit with any standard library.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "DataObject/Data.h"
#include "KQmessage/TKQstructure.h"
#include "Ombra/TOmbra.h"

namespace glean {

class TOmbraModel;

struct TTrainingSettings {
    int Epochs = 1000;
    double LearningRate = 0.1;
    double Momentum = 0.9;
    std::uint64_t Seed = 1;
    double InitialMinimum = -1.0;  // range of the random condition-to-rule and
    double InitialMaximum = 1.0;   // rule-to-action weights
    bool TrainInputCentres = false;
    bool TrainOutputCentres = false;
    // The step size of the MF centres, 0 for the learning rate. A centre's slope grows with the
    // inverse square of its MFs' widths, so centres usually want a smaller step than weights.
    double CentreRate = 0.0;
    // The least distance between neighbouring trained centres of a variable: MFs that move
    // onto each other leave a step where their slopes vanish, and training cannot part them.
    double CentreGap = 0.0;
    // Keeps the rule-to-action weights at 0 or above, so that a rule only ever asserts its
    // consequents: the rules that extraction reads off then carry the network's whole reasoning.
    bool NonNegativeConsequents = false;
    TKQstructure Penalty{"NONE"};  // "NONE", "QUADPENALTY" or "LWF" with their parameters
};

// The shape of a network to train.
struct TOmbraShape {
    std::vector<int> MFPerInput;
    int Rules = 0;
    std::vector<int> MFPerOutput;
};

// Inputs and expected outputs of the rows in use of a data set, oldest first.
struct TSamples {
    int Inputs = 0;
    int Outputs = 0;
    std::vector<std::vector<double>> Input;
    std::vector<std::vector<double>> Target;
    // True when every target row is one 1 among 0s: the outputs code classes.
    bool OneHot() const;
};

// The rows of `data`. Throws TException ("Data set has no rows", "Data set has no inputs",
// "Data set has no expected outputs", "Data set value is not a number" with the row and column,
// "Expected output outside [0, 1]", kind "Bad Data", operation "TSamples") for data the network
// cannot learn from.
TSamples ReadSamples(const Data& data);

// How well a network fits samples: the root mean square error (TErrorRMSObj) and, for one-hot
// targets, the share of rows whose largest output is the expected class (else negative).
struct TFit {
    double Rms = 0.0;
    double Accuracy = -1.0;
};
// Recalls every sample with the network itself (TOmbra::Recall). Throws TException ("Data set
// does not fit the network", "Bad Data", "TFit") when the column counts differ.
TFit MeasureFit(TOmbra& network, const TSamples& samples);

class TOmbraTrainer {
public:
    // Checks the settings; throws TException (kind "Bad Parameter", operation
    // "TOmbraTrainer::TOmbraTrainer"): "Epochs must be >= 1", "Learning rate must be > 0",
    // "Momentum must be in [0, 1)", "Initial weight range is empty", "Initial weight range is
    // too wide" (its width beyond the largest double), "Unknown penalty: <name>",
    // "Penalty parameter is not a number" (a parameter the library's measure cannot read),
    // "Centre rate must be >= 0", "Centre gap must be >= 0".
    explicit TOmbraTrainer(TTrainingSettings settings);

    // A new network of `shape` for `samples`' column counts, initialised from the seed. Throws
    // TException ("Must be >= 1 rule", "MF counts do not fit the data set", "Bad Parameter",
    // "TOmbraTrainer::CreateNetwork"), those of RequireShapeFits before anything is allocated,
    // and TOmbra's own for MF counts below 2.
    std::unique_ptr<TOmbra> CreateNetwork(const TOmbraShape& shape, const TSamples& samples);
    // Applies the network file reader's limits (FileHandler/NetworkFile.h) to a shape, so that
    // no network is trained that could not be read back. Throws TException ("Bad Parameter",
    // "TOmbraTrainer::CreateNetwork"): "Too many <inputs | input MFs | rules | output MFs |
    // outputs>: N, more than the 1048576 neurons of a layer", "Too many neurons: ...", "Too many
    // weights: N <condition-to-rule | rule-to-action> weights ...".
    static void RequireShapeFits(const TOmbraShape& shape, int inputs, int outputs);
    // Evenly placed centres, condition-to-rule and rule-to-action weights uniform in the
    // settings' range, drawn from the seeded generator.
    void Initialise(TOmbra& network);
    // Trains `network` on `samples`; one progress line per epoch on `progress` (none when null):
    // "epoch N error E penalty P" plus " accuracy A" for one-hot targets. Returns the fit on
    // the samples at the end. Throws TException ("Data set does not fit the network", "Bad
    // Data", "TOmbraTrainer::Train"), and ("Centre gap too wide for N MFs", "Bad Parameter",
    // "TOmbraTrainer::Train") when N trained centres of one variable cannot keep it in [0, 1].
    TFit Train(TOmbra& network, const TSamples& samples, std::ostream* progress);

    // The penalty of the settings on `weights` (the library's measure) and its gradient, added
    // to `gradient`.
    double Penalty(std::span<const double> weights) const;
    void AddPenaltyGradient(std::span<const double> weights, std::span<double> gradient) const;

    const TTrainingSettings& Settings() const { return settings_; }

private:
    // A number in [0, 1) from the top 53 bits of the next draw.
    double Uniform();
    // An index in [0, n) (n >= 1).
    std::size_t Index(std::size_t n);
    // Fisher-Yates with this unit's Index.
    void Shuffle(std::vector<std::size_t>& order);
    // Whether the settings let training change the parameters of weight layer `layer`.
    bool LayerTrained(int layer) const;
    // Throws when the centre gap cannot fit the MFs of a variable whose centres are trained.
    void RequireGapFits(const TOmbraModel& model) const;
    // The projections after every step: ordered centres, and the consequent sign when asked for.
    void Project(TOmbraModel& model, const std::vector<bool>& step) const;

    TTrainingSettings settings_;
    std::mt19937_64 generator_;
};

}  // namespace glean
