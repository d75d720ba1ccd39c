#include "Training/TMinimiser.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

namespace glean {

namespace {

double Dot(std::span<const double> a, std::span<const double> b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += a[i] * b[i];
    return sum;
}

struct TCorrection {
    std::vector<double> S, Y;  // the step and the change of gradient it brought
    double Rho = 0;            // 1 / (y . s)
};

// The quasi-Newton direction -H g from the kept corrections (the two-loop recursion).
std::vector<double> Direction(std::span<const double> gradient,
                              const std::deque<TCorrection>& history) {
    std::vector<double> d(gradient.begin(), gradient.end());
    std::vector<double> alpha(history.size());
    for (std::size_t k = history.size(); k-- > 0;) {
        alpha[k] = history[k].Rho * Dot(history[k].S, d);
        for (std::size_t i = 0; i < d.size(); ++i)
            d[i] -= alpha[k] * history[k].Y[i];
    }
    if (!history.empty()) {
        const TCorrection& last = history.back();
        const double scale = Dot(last.S, last.Y) / Dot(last.Y, last.Y);
        for (double& value : d)
            value *= scale;
    }
    for (std::size_t k = 0; k < history.size(); ++k) {
        const double beta = history[k].Rho * Dot(history[k].Y, d);
        for (std::size_t i = 0; i < d.size(); ++i)
            d[i] += (alpha[k] - beta) * history[k].S[i];
    }
    for (double& value : d)
        value = -value;
    return d;
}

}  // namespace

double Minimise(const TObjective& f, std::span<double> x, const TMinimiserSettings& settings) {
    const std::size_t n = x.size();
    std::vector<double> gradient(n), next(n), nextGradient(n);
    double value = f(x, gradient);
    std::deque<TCorrection> history;
    for (int iteration = 0; iteration < settings.Iterations; ++iteration) {
        std::vector<double> d = Direction(gradient, history);
        double slope = Dot(d, gradient);
        if (!(slope < 0)) {  // not a descent direction: start again from the gradient
            history.clear();
            d = Direction(gradient, history);
            slope = Dot(d, gradient);
        }
        if (!(slope < 0)) break;  // a stationary point
        double step = history.empty() ? 1.0 / std::max(1.0, std::sqrt(-slope)) : 1.0;
        double nextValue = 0;
        bool lowered = false;
        for (int halving = 0; halving < 50; ++halving, step *= 0.5) {
            for (std::size_t i = 0; i < n; ++i)
                next[i] = x[i] + step * d[i];
            nextValue = f(next, nextGradient);
            if (std::isfinite(nextValue) && nextValue <= value + 1e-4 * step * slope) {
                lowered = true;
                break;
            }
        }
        if (!lowered) break;
        TCorrection correction{std::vector<double>(n), std::vector<double>(n), 0};
        for (std::size_t i = 0; i < n; ++i) {
            correction.S[i] = next[i] - x[i];
            correction.Y[i] = nextGradient[i] - gradient[i];
        }
        const double curvature = Dot(correction.S, correction.Y);
        if (curvature > 1e-12) {
            correction.Rho = 1 / curvature;
            history.push_back(std::move(correction));
            if (history.size() > static_cast<std::size_t>(settings.Memory)) history.pop_front();
        }
        const double gain = value - nextValue;
        std::copy(next.begin(), next.end(), x.begin());
        gradient.swap(nextGradient);
        value = nextValue;
        if (settings.Observer) settings.Observer(iteration + 1, value);
        if (gain <= settings.Tolerance * (std::abs(value) + 1)) break;
    }
    return value;
}

}  // namespace glean
