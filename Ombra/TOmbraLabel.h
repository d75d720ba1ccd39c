// The names that make extracted rules readable: one for every input and output variable of the
// fuzzy network and one for every fuzzy term, that is every condition (input term) and every
// action (output term).
//
// Conditions are numbered across all inputs in input order: condition c of input k is number
// InputMF[0] + ... + InputMF[k-1] + c. Actions are numbered the same way across the outputs.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace glean {

class TOmbraLabel {
public:
    // Copies the counts (inputMF holds inputs entries, outputMF outputs entries); every name is
    // absent. Throws TException ("Label structure out of bounds", "Bad Parameter",
    // "TOmbraLabel::TOmbraLabel") for a negative count, an array of another size than its count,
    // or more conditions or actions than an int holds.
    TOmbraLabel(int inputs, std::span<const int> inputMF, int outputs,
                std::span<const int> outputMF);

    const int Inputs;
    const int NumConditions;  // the sum of InputMF
    const std::vector<int> InputMF;
    const int Outputs;
    const int NumActions;  // the sum of OutputMF
    const std::vector<int> OutputMF;

    // The setters store a copy of name; the getters return the stored name, which must have been
    // set (internal check "name != NULL"). An index outside 0 .. count-1 throws TException
    // ("<Input|Condition|Output|Action> number out of bounds", "Bad Parameter",
    // "TOmbraLabel::<operation>").
    void SetInputName(int index, const std::string& name);
    const std::string& GetInputName(int index) const;
    void SetConditionName(int index, const std::string& name);
    const std::string& GetConditionName(int index) const;
    void SetOutputName(int index, const std::string& name);
    const std::string& GetOutputName(int index) const;
    void SetActionName(int index, const std::string& name);
    const std::string& GetActionName(int index) const;

    // True when every name has been set.
    bool Complete() const;

private:
    using Names = std::vector<std::optional<std::string>>;

    Names inputNames_;
    Names outputNames_;
    Names conditionNames_;
    Names actionNames_;
};

}  // namespace glean
