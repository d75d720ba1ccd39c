// A rule set learned on scaled values, stated in the units of the data: every variable's bounds
// and every MF parameter v become minimum + v * (maximum - minimum) of its column. Memberships
// are unchanged under this map, so the rules answer the same on original values as they did on
// scaled ones, and a regression output comes out in the target's units.
#pragma once

#include <span>

#include "RuleObject/RuleObject.h"

namespace glean {

// The range a variable's values were scaled from into [0, 1].
struct TValueRange {
    double Minimum = 0;
    double Maximum = 1;

    double Original(double scaled) const { return Minimum + scaled * (Maximum - Minimum); }
    // The scaled value of an original one; a constant column scales to 0.
    double Scaled(double original) const;
};

// Maps every set of the input list with inputs[i] and of the output list with outputs[o].
// Throws ExportError when the counts differ from the lists' or a range is not finite or has
// its maximum below its minimum.
void ToOriginalUnits(TFuzzyRuleSet& rules, std::span<const TValueRange> inputs,
                     std::span<const TValueRange> outputs);

}  // namespace glean
