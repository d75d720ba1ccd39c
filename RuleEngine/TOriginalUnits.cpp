#include "RuleEngine/TOriginalUnits.h"

#include <cmath>
#include <string>

#include "RuleEngine/TRuleBase.h"

namespace glean {

namespace {

void MapTerm(TBasicMF& mf, const TValueRange& range) {
    if (auto* triangle = dynamic_cast<TTriangularMF*>(&mf)) {
        triangle->LeftBound = range.Original(triangle->LeftBound);
        triangle->Centre = range.Original(triangle->Centre);
        triangle->RightBound = range.Original(triangle->RightBound);
    } else if (auto* bounded = dynamic_cast<TBoundedMF*>(&mf)) {
        bounded->LeftBound = range.Original(bounded->LeftBound);
        bounded->RightBound = range.Original(bounded->RightBound);
    } else if (auto* left = dynamic_cast<TLShoulderTriangularMF*>(&mf)) {
        left->Centre = range.Original(left->Centre);
        left->RightBound = range.Original(left->RightBound);
    } else if (auto* right = dynamic_cast<TRShoulderTriangularMF*>(&mf)) {
        right->LeftBound = range.Original(right->LeftBound);
        right->Centre = range.Original(right->Centre);
    } else if (auto* centred = dynamic_cast<TCentredMF*>(&mf)) {
        centred->Centre = range.Original(centred->Centre);
    }
}

void MapList(TMFSetList* list, std::span<const TValueRange> ranges, const char* kind) {
    const int count = list ? list->VariablesRepresented : 0;
    if (std::size_t(count) != ranges.size()) {
        throw ExportError(std::string("the scaling has ") + std::to_string(ranges.size()) + " " +
                          kind + "s, the rules " + std::to_string(count));
    }
    for (int v = 0; v < count; ++v) {
        const TValueRange& range = ranges[std::size_t(v)];
        if (!std::isfinite(range.Minimum) || !std::isfinite(range.Maximum) ||
            range.Maximum < range.Minimum) {
            throw ExportError(std::string("the scaling of ") + kind + " " + std::to_string(v + 1) +
                              " is not a range");
        }
        TBasicMFSet* set = list->GetMFSet(v);
        if (!set) continue;
        set->LowerBound = range.Original(set->LowerBound);
        set->UpperBound = range.Original(set->UpperBound);
        for (int t = 0; t < set->NumberOfMF; ++t)
            if (TBasicMF* mf = set->GetMF(t)) MapTerm(*mf, range);
    }
}

}  // namespace

double TValueRange::Scaled(double original) const {
    return Maximum > Minimum ? (original - Minimum) / (Maximum - Minimum) : 0.0;
}

void ToOriginalUnits(TFuzzyRuleSet& rules, std::span<const TValueRange> inputs,
                     std::span<const TValueRange> outputs) {
    MapList(rules.InputMFList.get(), inputs, "input");
    MapList(rules.OutputMFList.get(), outputs, "output");
}

}  // namespace glean
