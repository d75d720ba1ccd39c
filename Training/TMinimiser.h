// Unconstrained minimisation of a smooth function of many variables: limited-memory BFGS with a
// backtracking line search. Deterministic: the same function and start give the same result.
#pragma once

#include <functional>
#include <span>

namespace glean {

// The function to minimise: returns f(x) and writes its gradient into `gradient` (as many values
// as x).
using TObjective = std::function<double(std::span<const double> x, std::span<double> gradient)>;

struct TMinimiserSettings {
    int Iterations = 300;      // at most this many steps
    int Memory = 8;            // correction pairs kept
    double Tolerance = 1e-10;  // stop when a step lowers f by less than this, relative to |f| + 1
    // Called after every step with its number (from 1) and f; none when empty.
    std::function<void(int step, double value)> Observer;
};

// Moves x to a (local) minimum of f; returns f there. Stops early when no step along the search
// direction lowers f.
double Minimise(const TObjective& f, std::span<double> x, const TMinimiserSettings& settings = {});

}  // namespace glean
