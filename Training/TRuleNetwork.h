// A fuzzy network that carries a learned rule base: Glean, with both thresholds at 0, extracts
// from it exactly the learned rules, and its forward pass is trained to answer as they do.
//
//   rule neuron r   weight a_r from each of its conditions, a_r - b_r (below a_r) from the other
//                   terms of the inputs it names, 0 from every other input; as the terms of an
//                   input add up to 1, its net input is b_r * (sum of its conditions' degrees)
//                   - (b_r - a_r) * conditions: a soft "and" whose threshold training sets.
//   actions         weight G * w from rule r to every action its rule gives weight w (0 for the
//                   others), and a bias from one more rule neuron that no condition weight
//                   reaches, so that it yields no rule and always fires at 0.5.
//   centres         the rule base's input and output centres, as they are.
// Training (the network's exact gradient, limited-memory BFGS) changes only the condition weights
// (each other term's a_r - b_r on its own, always below a_r), G > 0 and the biases, on the
// squared difference between the network's outputs and the rules' outputs over the rows, and
// jittered copies of the rows, where some rule fires; for classes also on a squared hinge that
// keeps the rules' class ahead of the others. The rule base, its weights up to the common factor
// G, and so what Glean reads off, stay as they were learned.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>

#include "Ombra/TOmbra.h"
#include "Training/TRuleLearner.h"

namespace glean {

// How the network's training runs and reports.
struct TDistilling {
    std::uint64_t Seed = 1;            // draws the jitter of the copied rows
    std::ostream* Progress = nullptr;  // "network step N: difference D" every ReportEvery steps
    int ReportEvery = 25;
};

// The network for `base`, trained on the inputs of `rows` (scaled, as the rule base's).
std::unique_ptr<TOmbra> MakeRuleNetwork(const TLearnedRuleBase& base, const TLearningRows& rows,
                                        const TDistilling& distilling = {});

}  // namespace glean
