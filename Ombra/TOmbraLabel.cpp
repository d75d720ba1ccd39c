#include "Ombra/TOmbraLabel.h"

#include <algorithm>
#include <climits>

#include "KQmessage/Check.h"
#include "KQmessage/TException.h"
#include "KQmessage/TKQstructure.h"  // completes the details type of the throws

namespace glean {

namespace {
constexpr const char* kInputBounds = "Input number out of bounds";
constexpr const char* kConditionBounds = "Condition number out of bounds";
constexpr const char* kOutputBounds = "Output number out of bounds";
constexpr const char* kActionBounds = "Action number out of bounds";

// The number of terms over all variables, after checking the structure.
int TermCount(int variables, std::span<const int> termsPerVariable) {
    long long total = 0;
    bool valid = variables >= 0 && termsPerVariable.size() == static_cast<std::size_t>(variables);
    for (const int terms : termsPerVariable) {
        valid = valid && terms >= 0;
        total += terms;
    }
    if (!valid || total > INT_MAX) {
        throw TException("Label structure out of bounds", "Bad Parameter",
                         "TOmbraLabel::TOmbraLabel");
    }
    return static_cast<int>(total);
}

// The place of name index, after checking the index.
template <typename Names>
auto& Slot(Names& names, int index, const char* message, const char* operation) {
    if (index < 0 || static_cast<std::size_t>(index) >= names.size()) {
        throw TException(message, "Bad Parameter", std::string("TOmbraLabel::") + operation);
    }
    return names[static_cast<std::size_t>(index)];
}

const std::string& Stored(const std::optional<std::string>& name) {
    GLEAN_CHECK_TEXT(name.has_value(), "name != NULL");
    return *name;
}

bool AllSet(const std::vector<std::optional<std::string>>& names) {
    return std::all_of(names.begin(), names.end(),
                       [](const auto& name) { return name.has_value(); });
}
}  // namespace

TOmbraLabel::TOmbraLabel(int inputs, std::span<const int> inputMF, int outputs,
                         std::span<const int> outputMF)
    : Inputs(inputs),
      NumConditions(TermCount(inputs, inputMF)),
      InputMF(inputMF.begin(), inputMF.end()),
      Outputs(outputs),
      NumActions(TermCount(outputs, outputMF)),
      OutputMF(outputMF.begin(), outputMF.end()),
      inputNames_(static_cast<std::size_t>(Inputs)),
      outputNames_(static_cast<std::size_t>(Outputs)),
      conditionNames_(static_cast<std::size_t>(NumConditions)),
      actionNames_(static_cast<std::size_t>(NumActions)) {}

void TOmbraLabel::SetInputName(int index, const std::string& name) {
    Slot(inputNames_, index, kInputBounds, "SetInputName") = name;
}

const std::string& TOmbraLabel::GetInputName(int index) const {
    return Stored(Slot(inputNames_, index, kInputBounds, "GetInputName"));
}

void TOmbraLabel::SetConditionName(int index, const std::string& name) {
    Slot(conditionNames_, index, kConditionBounds, "SetConditionName") = name;
}

const std::string& TOmbraLabel::GetConditionName(int index) const {
    return Stored(Slot(conditionNames_, index, kConditionBounds, "GetConditionName"));
}

void TOmbraLabel::SetOutputName(int index, const std::string& name) {
    Slot(outputNames_, index, kOutputBounds, "SetOutputName") = name;
}

const std::string& TOmbraLabel::GetOutputName(int index) const {
    return Stored(Slot(outputNames_, index, kOutputBounds, "GetOutputName"));
}

void TOmbraLabel::SetActionName(int index, const std::string& name) {
    Slot(actionNames_, index, kActionBounds, "SetActionName") = name;
}

const std::string& TOmbraLabel::GetActionName(int index) const {
    return Stored(Slot(actionNames_, index, kActionBounds, "GetActionName"));
}

bool TOmbraLabel::Complete() const {
    return AllSet(inputNames_) && AllSet(outputNames_) && AllSet(conditionNames_) &&
           AllSet(actionNames_);
}

}  // namespace glean
