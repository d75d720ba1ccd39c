// Error measures: an error object accumulates the difference between target and actual output
// vectors over a series of patterns and reports one figure, the root mean square error or the
// summed cross-entropy. Either can add a weight penalty to its running sum, chosen by the Name of
// a keyword/value structure:
//   "NONE"         nothing
//   "QUADPENALTY"  per weight w, d = w*w: EPSILON1 * BETA * d / (BETA * d + 1) + EPSILON2 * d
//                  (defaults EPSILON1 0, EPSILON2 0, BETA 1)
//   "LWF"          LEARNINGRATE * FORGETTINGRATE * sum of |w| (an absent rate counts as 0)
#pragma once

#include <span>

namespace glean {

class TKQstructure;

class TErrorObj {
public:
    // Vectors of numOutputs values (at least 0, else the check "numOutputs >= 0").
    explicit TErrorObj(int numOutputs);
    virtual ~TErrorObj();

    // Forgets every pattern and penalty accumulated so far.
    virtual void Reset() = 0;
    // Adds one pattern; target and output must hold numOutputs values (check
    // "target.size() >= numOutputs && output.size() >= numOutputs"; more than INT_MAX patterns
    // fail the check "count < INT_MAX").
    virtual void Accumulate(std::span<const double> target, std::span<const double> output) = 0;
    // The error of what was accumulated; does not reset.
    virtual double GetError() const = 0;
    // Adds the penalty of the weights chosen by params (none: nothing) to the running sum.
    virtual void AddPenalty(std::span<const double> weights, const TKQstructure* params) = 0;

    // The penalty of the weights; an unknown penalty name fails the check "false"; a parameter
    // that is not a number throws TKQstructure::Error.
    double Penalty(std::span<const double> weights, const TKQstructure* params, double scale) const;

    int NumOutputs() const { return numOutputs; }
    int Count() const { return count; }

protected:
    int numOutputs;
    int count = 0;  // patterns accumulated since the last reset
};

// The measures that keep one running sum, to which penalties are added.
class TSummedErrorObj : public TErrorObj {
public:
    explicit TSummedErrorObj(int numOutputs);

    void Reset() override;
    void AddPenalty(std::span<const double> weights, const TKQstructure* params) override;

protected:
    // Checks the lengths of a pattern's vectors before a derived class adds its terms.
    void CheckPattern(std::span<const double> target, std::span<const double> output) const;

    double sum = 0.0;
};

// sqrt(sum of squared differences / numOutputs / patterns); 0.0 before any pattern.
class TErrorRMSObj : public TSummedErrorObj {
public:
    explicit TErrorRMSObj(int numOutputs);

    void Accumulate(std::span<const double> target, std::span<const double> output) override;
    double GetError() const override;
};

// The sum over all components of -t ln(o) - (1 - t) ln(1 - o). An output of exactly 1 (or 0)
// adds 0 when the target equals it, else 1e6.
class TErrorCrossEntropyObj : public TSummedErrorObj {
public:
    explicit TErrorCrossEntropyObj(int numOutputs);

    void Accumulate(std::span<const double> target, std::span<const double> output) override;
    double GetError() const override;
};

}  // namespace glean
