#include "DataObject/Data.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "KQmessage/Check.h"
#include "KQmessage/TException.h"
#include "KQmessage/TKQstructure.h"

namespace glean {

namespace {
const char* const kBadParameter = "Bad Parameter";
const char* const kInvalidRow = "Invalid Data Row";
const char* const kInvalidInputColumn = "Invalid Input Data Column";
const char* const kInvalidOutputColumn = "Invalid Output Data Column";

[[noreturn]] void Fail(const char* message, const char* operation) {
    throw TException(message, kBadParameter, std::string("Data::") + operation);
}

// Sizes a value array; a size the memory cannot hold fails the named check instead of throwing
// bad_alloc through the caller.
void Allocate(std::vector<double>& values, int rows, int columns, const char* check) {
    try {
        values.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns), 0.0);
    } catch (const std::bad_alloc&) {
        GLEAN_FAIL(check);
    } catch (const std::length_error&) {
        GLEAN_FAIL(check);
    }
}

// The change counter wraps instead of overflowing.
int Incremented(int counter) {
    return static_cast<int>(static_cast<unsigned>(counter) + 1U);
}
}  // namespace

// ---- TLabelList ----

TLabelList::TLabelList(const std::string& name, double value) : labels{{value, name}} {}

void TLabelList::AddLabel(const std::string& name, double value) {
    auto same = std::find_if(labels.begin(), labels.end(),
                             [&name](const TLabel& label) { return label.name == name; });
    if (same != labels.end()) {
        same->value += value;
    } else {
        labels.push_back({value, name});
    }
}

// ---- Data: construction ----

Data::Data(int rows, int inputs, int outputs, bool labels) {
    if (rows < 0 || inputs < 0 || outputs < 0) Fail("Invalid Data Size", "Data");
    Allocate(MbrDyaRtpInputs, rows, inputs, "MbrDyaRtpInputs != 0");
    Allocate(MbrDyaRtpOutputs, rows, outputs, "MbrDyaRtpOutputs != 0");
    if (labels) {
        try {
            MbrDyaLabels.resize(static_cast<std::size_t>(rows));
        } catch (const std::bad_alloc&) {
            GLEAN_FAIL("MbrDyaLabels != 0");
        }
    }
    MbrNdxRows = rows;
    MbrNdxInputs = inputs;
    MbrNdxOutputs = outputs;
    MbrFlgLabels = labels;
}

Data::~Data() = default;

std::unique_ptr<Data> Data::Clone() const {
    // Slots not in use were never written, so copying every slot copies exactly the valid rows.
    try {
        return std::unique_ptr<Data>(new Data(*this));
    } catch (const std::bad_alloc&) {
        GLEAN_FAIL("PtrDatClone != 0");
    }
}

// ---- Data: checks ----

bool Data::IsValidRow(int row) const {
    // The rows in use always fill slots 0 .. MbrNdxDataRows - 1: the ring only starts to wrap
    // once every slot holds a row.
    return row >= 0 && row < MbrNdxDataRows;
}

void Data::CheckRow(int row, const char* operation) const {
    if (!IsValidRow(row)) Fail(kInvalidRow, operation);
}

void Data::CheckInputColumn(int column, const char* operation) const {
    if (column < 0 || column >= MbrNdxInputs) Fail(kInvalidInputColumn, operation);
}

void Data::CheckOutputColumn(int column, const char* operation) const {
    if (column < 0 || column >= MbrNdxOutputs) Fail(kInvalidOutputColumn, operation);
}

void Data::CheckLabelled(const char* operation) const {
    if (!MbrFlgLabels) Fail("No Data Labels", operation);
}

void Data::CheckRowSources(std::span<const double> inputs, std::span<const double> outputs,
                           const char* operation) const {
    if (!inputs.empty() && inputs.size() != static_cast<std::size_t>(MbrNdxInputs)) {
        Fail(kInvalidInputColumn, operation);
    }
    if (!outputs.empty() && outputs.size() != static_cast<std::size_t>(MbrNdxOutputs)) {
        Fail(kInvalidOutputColumn, operation);
    }
}

// ---- Data: storage ----

std::span<double> Data::InputsOf(int row) {
    return std::span<double>(MbrDyaRtpInputs)
        .subspan(static_cast<std::size_t>(row) * MbrNdxInputs, MbrNdxInputs);
}

std::span<const double> Data::InputsOf(int row) const {
    return std::span<const double>(MbrDyaRtpInputs)
        .subspan(static_cast<std::size_t>(row) * MbrNdxInputs, MbrNdxInputs);
}

std::span<double> Data::OutputsOf(int row) {
    return std::span<double>(MbrDyaRtpOutputs)
        .subspan(static_cast<std::size_t>(row) * MbrNdxOutputs, MbrNdxOutputs);
}

std::span<const double> Data::OutputsOf(int row) const {
    return std::span<const double>(MbrDyaRtpOutputs)
        .subspan(static_cast<std::size_t>(row) * MbrNdxOutputs, MbrNdxOutputs);
}

// ---- Data: single values ----

double Data::GetInputDatum(int row, int column) const {
    CheckRow(row, "GetInputDatum");
    CheckInputColumn(column, "GetInputDatum");
    return InputsOf(row)[static_cast<std::size_t>(column)];
}

double Data::GetOutputDatum(int row, int column) const {
    CheckRow(row, "GetOutputDatum");
    CheckOutputColumn(column, "GetOutputDatum");
    return OutputsOf(row)[static_cast<std::size_t>(column)];
}

void Data::SetInputDatum(int row, int column, double value) {
    CheckRow(row, "SetInputDatum");
    CheckInputColumn(column, "SetInputDatum");
    InputsOf(row)[static_cast<std::size_t>(column)] = value;
    MbrNdxChanges = Incremented(MbrNdxChanges);
}

void Data::SetOutputDatum(int row, int column, double value) {
    CheckRow(row, "SetOutputDatum");
    CheckOutputColumn(column, "SetOutputDatum");
    OutputsOf(row)[static_cast<std::size_t>(column)] = value;
    MbrNdxChanges = Incremented(MbrNdxChanges);
}

// ---- Data: whole rows ----

void Data::CopyColumns(std::span<const double> values, std::span<double> destination,
                       std::span<const int> columns, const char* columnMessage,
                       const char* operation) const {
    if (destination.size() < columns.size()) Fail(columnMessage, operation);
    for (int column : columns) {
        if (column < 0 || static_cast<std::size_t>(column) >= values.size()) {
            Fail(columnMessage, operation);
        }
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        destination[i] = values[static_cast<std::size_t>(columns[i])];
    }
}

void Data::CopyAll(std::span<const double> values, std::span<double> destination,
                   const char* columnMessage, const char* operation) const {
    if (destination.size() < values.size()) Fail(columnMessage, operation);
    std::ranges::copy(values, destination.begin());
}

void Data::GetInputRow(int row, std::span<double> destination) const {
    CheckRow(row, "GetInputRow");
    CopyAll(InputsOf(row), destination, kInvalidInputColumn, "GetInputRow");
}

void Data::GetInputRow(int row, std::span<double> destination, std::span<const int> columns) const {
    CheckRow(row, "GetInputRow");
    CopyColumns(InputsOf(row), destination, columns, kInvalidInputColumn, "GetInputRow");
}

void Data::GetOutputRow(int row, std::span<double> destination) const {
    CheckRow(row, "GetOutputRow");
    CopyAll(OutputsOf(row), destination, kInvalidOutputColumn, "GetOutputRow");
}

void Data::GetOutputRow(int row, std::span<double> destination,
                        std::span<const int> columns) const {
    CheckRow(row, "GetOutputRow");
    CopyColumns(OutputsOf(row), destination, columns, kInvalidOutputColumn, "GetOutputRow");
}

void Data::SetRow(int row, std::span<const double> inputs, std::span<const double> outputs,
                  const TLabelList* labels) {
    CheckRow(row, "SetRow");
    CheckRowSources(inputs, outputs, "SetRow");
    WriteRow(row, inputs, outputs, labels);
}

// The unchecked body of SetRow, shared with AppendRow, whose new slot is not yet in use.
void Data::WriteRow(int row, std::span<const double> inputs, std::span<const double> outputs,
                    const TLabelList* labels) {
    if (!inputs.empty()) std::ranges::copy(inputs, InputsOf(row).begin());
    if (!outputs.empty()) std::ranges::copy(outputs, OutputsOf(row).begin());
    if (MbrFlgLabels) {
        MbrDyaLabels[static_cast<std::size_t>(row)] = labels ? *labels : TLabelList();
        MbrNdxChanges = Incremented(MbrNdxChanges);
    }
    MbrNdxChanges = Incremented(MbrNdxChanges);
}

// ---- Data: labels ----

const TLabelList* Data::GetLabels(int row) const {
    CheckRow(row, "GetLabels");
    return MbrFlgLabels ? &MbrDyaLabels[static_cast<std::size_t>(row)] : nullptr;
}

void Data::SetLabels(int row, const TLabelList* labels) {
    CheckRow(row, "SetLabels");
    CheckLabelled("SetLabels");
    MbrDyaLabels[static_cast<std::size_t>(row)] = labels ? *labels : TLabelList();
    MbrNdxChanges = Incremented(MbrNdxChanges);
}

void Data::ClearLabels(int row) {
    CheckRow(row, "ClearLabels");
    CheckLabelled("ClearLabels");
    MbrDyaLabels[static_cast<std::size_t>(row)].labels.clear();
    MbrNdxChanges = Incremented(MbrNdxChanges);
}

void Data::AppendLabel(int row, double value, const std::string& name) {
    CheckRow(row, "AppendLabel");
    CheckLabelled("AppendLabel");
    MbrDyaLabels[static_cast<std::size_t>(row)].AddLabel(name, value);
    MbrNdxChanges = Incremented(MbrNdxChanges);
}

// ---- Data: blocks and appending ----

void Data::GetBlock(int first, int last, std::span<std::vector<double>> inputRows,
                    std::span<std::vector<double>> outputRows, int& count) const {
    count = 0;
    if (!IsValidRow(first)) Fail("Data Block Fault", "GetBlock");
    last = std::min(last, MbrNdxLast);
    const std::size_t rows = last < first ? 0 : static_cast<std::size_t>(last - first) + 1;
    if (inputRows.size() < rows || outputRows.size() < rows) Fail("Data Block Fault", "GetBlock");
    for (std::size_t i = 0; i < rows; ++i) {
        const int row = first + static_cast<int>(i);
        inputRows[i].assign(InputsOf(row).begin(), InputsOf(row).end());
        outputRows[i].assign(OutputsOf(row).begin(), OutputsOf(row).end());
    }
    count = static_cast<int>(rows);
}

void Data::AppendRow(std::span<const double> inputs, std::span<const double> outputs,
                     const TLabelList* labels) {
    GLEAN_CHECK_TEXT(MbrNdxDataRows <= MbrNdxRows, "MbrNdxDataRows <= MbrNdxRows");
    CheckRowSources(inputs, outputs, "AppendRow");
    // A ring without slots has nowhere to keep a row.
    if (MbrNdxRows == 0) Fail(kInvalidRow, "AppendRow");
    MbrNdxChanges = Incremented(MbrNdxChanges);
    if (MbrNdxDataRows == 0) {
        MbrNdxDataRows = 1;
        WriteRow(0, inputs, outputs, labels);
    } else if (MbrNdxDataRows < MbrNdxRows) {
        MbrNdxLast = MbrNdxDataRows;
        ++MbrNdxDataRows;
        WriteRow(MbrNdxLast, inputs, outputs, labels);
    } else {
        MbrNdxFirst = (MbrNdxFirst + 1) % MbrNdxRows;
        MbrNdxLast = (MbrNdxLast + 1) % MbrNdxRows;
        WriteRow(MbrNdxLast, inputs, outputs, labels);
    }
}

void Data::AppendRows(int count, std::span<const std::vector<double>> inputRows,
                      std::span<const std::vector<double>> outputRows,
                      std::span<const TLabelList> labels) {
    const auto given = [count](std::size_t size) {
        return size == 0 || size >= static_cast<std::size_t>(count);
    };
    if (count < 0 || !given(inputRows.size()) || !given(outputRows.size()) ||
        !given(labels.size())) {
        Fail(kInvalidRow, "AppendRows");
    }
    const auto row = [](std::span<const std::vector<double>> rows, int i) {
        return rows.empty() ? std::span<const double>()
                            : std::span<const double>(rows[static_cast<std::size_t>(i)]);
    };
    for (int i = 0; i < count; ++i)
        CheckRowSources(row(inputRows, i), row(outputRows, i), "AppendRows");
    if (count > 0 && MbrNdxRows == 0) Fail(kInvalidRow, "AppendRows");
    for (int i = 0; i < count; ++i) {
        const auto index = static_cast<std::size_t>(i);
        AppendRow(row(inputRows, i), row(outputRows, i), labels.empty() ? nullptr : &labels[index]);
    }
}

// ---- Data: selections and the cursor ----

void Data::SetInputSelection(std::span<const int> columns) {
    MbrDyaSelInputs.assign(columns.begin(), columns.end());
    MbrNdxSelInputs = static_cast<int>(MbrDyaSelInputs.size());
}

std::vector<int> Data::GetInputSelection() const {
    return MbrDyaSelInputs;
}

std::vector<int> Data::GetOutputSelection() const {
    return MbrDyaSelOutputs;
}

void Data::SetSelection(std::span<const int> inputColumns, std::span<const int> outputColumns) {
    SetInputSelection(inputColumns);
    MbrDyaSelOutputs.assign(outputColumns.begin(), outputColumns.end());
    MbrNdxSelOutputs = static_cast<int>(MbrDyaSelOutputs.size());
}

void Data::SetCurrent(int row) {
    if (!IsValidRow(row) && row != MbrNdxLast) Fail(kInvalidRow, "SetCurrent");
    MbrNdxCurrent = row;
}

void Data::Advance(int step) {
    if (MbrNdxDataRows == 0) return;
    // Positions count from the oldest row; every slot in use has one in 0 .. rows in use - 1.
    const long long used = MbrNdxDataRows;
    const long long slots = MbrNdxRows;
    const long long position = ((MbrNdxCurrent - MbrNdxFirst + slots) % slots) % used;
    const long long moved = ((position + step) % used + used) % used;
    MbrNdxCurrent = static_cast<int>((MbrNdxFirst + moved) % slots);
}

const TLabelList* Data::GetCurrentRow(std::span<double> inputs, std::span<double> outputs) const {
    const char* const operation = "GetCurrentRow";
    const int row = MbrNdxCurrent;
    CheckRow(row, operation);
    // An output selection only applies together with an input selection.
    const bool selectInputs = MbrNdxSelInputs > 0;
    const bool selectOutputs = selectInputs && MbrNdxSelOutputs > 0;
    if (!inputs.empty() && selectInputs) {
        CopyColumns(InputsOf(row), inputs, MbrDyaSelInputs, kInvalidInputColumn, operation);
    } else if (!inputs.empty()) {
        CopyAll(InputsOf(row), inputs, kInvalidInputColumn, operation);
    }
    if (!outputs.empty() && selectOutputs) {
        CopyColumns(OutputsOf(row), outputs, MbrDyaSelOutputs, kInvalidOutputColumn, operation);
    } else if (!outputs.empty()) {
        CopyAll(OutputsOf(row), outputs, kInvalidOutputColumn, operation);
    }
    return MbrFlgLabels ? &MbrDyaLabels[static_cast<std::size_t>(row)] : nullptr;
}

const TLabelList* Data::Step(int step, std::span<double> inputs, std::span<double> outputs) {
    const int before = MbrNdxCurrent;
    Advance(step);
    try {
        return GetCurrentRow(inputs, outputs);
    } catch (const TException&) {
        MbrNdxCurrent = before;  // a failed delivery leaves the cursor where it was
        throw;
    }
}

const TLabelList* Data::Next(std::span<double> inputs, std::span<double> outputs) {
    const TLabelList* labels = Step(1, inputs, outputs);
    return MbrNdxSelInputs == 0 ? labels : nullptr;
}

void Data::Previous(std::span<double> inputs, std::span<double> outputs) {
    Step(-1, inputs, outputs);
}

}  // namespace glean
