#include "NeuralNets/TErrorObj.h"

#include <cmath>
#include <limits>
#include <string>

#include "KQmessage/Check.h"
#include "KQmessage/TException.h"
#include "KQmessage/TKQstructure.h"

namespace glean {

namespace {
// The value of an optional number parameter.
double Parameter(const TKQstructure& params, const std::string& key, double absent) {
    const TKQstructure* value = params.FindParameter(key);
    return value ? ExpectDouble(value->Name) : absent;
}

double QuadPenalty(std::span<const double> weights, const TKQstructure& params, double scale) {
    const double epsilon1 = Parameter(params, "EPSILON1", 0.0);
    const double epsilon2 = Parameter(params, "EPSILON2", 0.0);
    const double beta = Parameter(params, "BETA", 1.0);
    double penalty = 0.0;
    for (double w : weights) {
        const double d = w * w;
        penalty += scale * (epsilon1 * beta * d / (beta * d + 1.0) + epsilon2 * d);
    }
    return penalty;
}

double LwfPenalty(std::span<const double> weights, const TKQstructure& params) {
    double magnitude = 0.0;
    for (double w : weights)
        magnitude += std::fabs(w);
    return Parameter(params, "LEARNINGRATE", 0.0) * Parameter(params, "FORGETTINGRATE", 0.0) *
           magnitude;
}

// A saturated output (exactly 0 or 1) costs nothing when the target agrees, and a large fixed
// amount otherwise, instead of an infinite logarithm.
double CrossEntropyTerm(double t, double o) {
    if (o == 1.0 || o == 0.0) return t == o ? 0.0 : 1000000.0;
    const double first = -t * std::log(o);
    return first - (1.0 - t) * std::log(1.0 - o);
}
}  // namespace

// ---- TErrorObj ----

TErrorObj::TErrorObj(int numOutputs) : numOutputs(numOutputs) {
    GLEAN_CHECK(numOutputs >= 0);
}

TErrorObj::~TErrorObj() = default;

double TErrorObj::Penalty(std::span<const double> weights, const TKQstructure* params,
                          double scale) const {
    if (params == nullptr || SameText(params->Name, "NONE")) return 0.0;
    if (SameText(params->Name, "QUADPENALTY")) return QuadPenalty(weights, *params, scale);
    if (SameText(params->Name, "LWF")) return LwfPenalty(weights, *params);
    GLEAN_FAIL("false");
}

// ---- TSummedErrorObj ----

TSummedErrorObj::TSummedErrorObj(int numOutputs) : TErrorObj(numOutputs) {}

void TSummedErrorObj::Reset() {
    count = 0;
    sum = 0.0;
}

void TSummedErrorObj::AddPenalty(std::span<const double> weights, const TKQstructure* params) {
    sum += Penalty(weights, params, 1.0);
}

void TSummedErrorObj::CheckPattern(std::span<const double> target,
                                   std::span<const double> output) const {
    const auto needed = static_cast<std::size_t>(numOutputs);
    GLEAN_CHECK_TEXT(target.size() >= needed && output.size() >= needed,
                     "target.size() >= numOutputs && output.size() >= numOutputs");
    // The pattern counter must not overflow; no training run comes near.
    GLEAN_CHECK_TEXT(count < std::numeric_limits<int>::max(), "count < INT_MAX");
}

// ---- TErrorRMSObj ----

TErrorRMSObj::TErrorRMSObj(int numOutputs) : TSummedErrorObj(numOutputs) {}

void TErrorRMSObj::Accumulate(std::span<const double> target, std::span<const double> output) {
    CheckPattern(target, output);
    for (std::size_t i = 0; i < static_cast<std::size_t>(numOutputs); ++i) {
        const double difference = target[i] - output[i];
        sum += difference * difference;
    }
    ++count;
}

double TErrorRMSObj::GetError() const {
    // Without patterns (or without outputs) there is nothing to average.
    if (count == 0 || numOutputs == 0) return 0.0;
    return std::sqrt(sum / numOutputs / count);
}

// ---- TErrorCrossEntropyObj ----

TErrorCrossEntropyObj::TErrorCrossEntropyObj(int numOutputs) : TSummedErrorObj(numOutputs) {}

void TErrorCrossEntropyObj::Accumulate(std::span<const double> target,
                                       std::span<const double> output) {
    CheckPattern(target, output);
    for (std::size_t i = 0; i < static_cast<std::size_t>(numOutputs); ++i) {
        sum += CrossEntropyTerm(target[i], output[i]);
    }
    ++count;
}

double TErrorCrossEntropyObj::GetError() const {
    return sum;
}

}  // namespace glean
