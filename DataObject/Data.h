// A data set in memory: a ring of row slots of fixed capacity, each slot holding a row of input
// values, a row of output values and, optionally, a list of named labels. Appending to a full ring
// overwrites the oldest row. A cursor and optional column selections let a consumer step through
// the rows in use, oldest to newest.
//
// Row indices are slot numbers (0 .. capacity - 1), not positions counted from the oldest row.
// Every failure a caller can cause is a TException of the kind "Bad Parameter"; a failed call
// leaves the object unchanged. Value buffers are spans whose sizes are checked, so no call reads
// or writes outside the memory it is given. An empty source span means "none" (the row keeps what
// it holds); the slot a consumer reads into must be large enough for what is delivered.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace glean {

// A named number of a row; a plain label has the value 1.0.
struct TLabel {
    double value = 1.0;
    std::string name;

    bool operator==(const TLabel&) const = default;
};

// The labels of one row, in insertion order. Copies are deep.
class TLabelList {
public:
    TLabelList() = default;
    // A list holding the one label (name, value).
    TLabelList(const std::string& name, double value);

    // Adds value to the label named exactly name (letter case counts), or appends a new label.
    void AddLabel(const std::string& name, double value);
    // Number of labels.
    int length() const { return static_cast<int>(labels.size()); }

    bool operator==(const TLabelList&) const = default;

    std::vector<TLabel> labels;
};

class Data {
public:
    // Capacity `rows`, `inputs` and `outputs` values per row, label lists when `labels`; all
    // values 0.0, all lists empty, no rows in use. Negative sizes throw "Invalid Data Size";
    // sizes the memory cannot hold fail the checks "MbrDyaRtpInputs != 0" and
    // "MbrDyaRtpOutputs != 0".
    Data(int rows, int inputs, int outputs, bool labels);
    virtual ~Data();
    Data& operator=(const Data&) = delete;

    // A new object with the same sizes, rows, labels, counters, cursor and selections; no memory
    // for it fails the check "PtrDatClone != 0".
    std::unique_ptr<Data> Clone() const;

    // The sizes and the ring state.
    int Rows() const { return MbrNdxRows; }          // capacity
    int DataRows() const { return MbrNdxDataRows; }  // rows in use
    int Inputs() const { return MbrNdxInputs; }
    int Outputs() const { return MbrNdxOutputs; }
    bool HasLabels() const { return MbrFlgLabels; }
    int First() const { return MbrNdxFirst; }  // slot of the oldest row in use
    int Last() const { return MbrNdxLast; }    // slot of the newest row in use
    int Changes() const { return MbrNdxChanges; }
    int Current() const { return MbrNdxCurrent; }

    // True for exactly the slots that hold a row in use.
    bool IsValidRow(int row) const;

    // Single values; throw "Invalid Data Row" or "Invalid Input/Output Data Column".
    double GetInputDatum(int row, int column) const;
    double GetOutputDatum(int row, int column) const;
    void SetInputDatum(int row, int column, double value);
    void SetOutputDatum(int row, int column, double value);

    // Copies all values of a row, or the listed columns in list order, into destination, which
    // must have room for them; throws "Invalid Data Row", or "Invalid Input/Output Data Column"
    // for a listed column out of range or a destination too small.
    void GetInputRow(int row, std::span<double> destination) const;
    void GetInputRow(int row, std::span<double> destination, std::span<const int> columns) const;
    void GetOutputRow(int row, std::span<double> destination) const;
    void GetOutputRow(int row, std::span<double> destination, std::span<const int> columns) const;

    // Copies the given values (each either empty or a whole row) into the row; with labels,
    // copies `labels` into the row's list (none empties it). Throws "Invalid Data Row", or
    // "Invalid Input/Output Data Column" for a source of the wrong length.
    void SetRow(int row, std::span<const double> inputs, std::span<const double> outputs,
                const TLabelList* labels);

    // The row's label list, or none for an object without labels; throws "Invalid Data Row".
    const TLabelList* GetLabels(int row) const;
    // Replace, empty or extend a row's label list; throw "Invalid Data Row", or "No Data Labels"
    // for an object without labels.
    void SetLabels(int row, const TLabelList* labels);
    void ClearLabels(int row);
    void AppendLabel(int row, double value, const std::string& name);

    // Copies rows first .. last (ascending slots, last lowered to the newest slot) into the next
    // buffers of inputRows and outputRows; count is the number of rows copied. Throws "Data Block
    // Fault" (count 0) for an invalid first row or too few buffers.
    void GetBlock(int first, int last, std::span<std::vector<double>> inputRows,
                  std::span<std::vector<double>> outputRows, int& count) const;

    // Appends a row as the newest, overwriting the oldest when the ring is full. Sources as
    // SetRow; a failure names "Data::AppendRow".
    void AppendRow(std::span<const double> inputs, std::span<const double> outputs,
                   const TLabelList* labels);
    // Appends count rows, taking row i from each non-empty list; every list given must hold
    // count entries. All rows are checked before the first is appended ("Data::AppendRows").
    void AppendRows(int count, std::span<const std::vector<double>> inputRows,
                    std::span<const std::vector<double>> outputRows,
                    std::span<const TLabelList> labels);

    // Column selections used by GetCurrentRow (empty: none). Columns are checked on delivery.
    void SetInputSelection(std::span<const int> columns);
    std::vector<int> GetInputSelection() const;
    void SetSelection(std::span<const int> inputColumns, std::span<const int> outputColumns);
    std::vector<int> GetOutputSelection() const;

    // Moves the cursor to a slot in use (or to the newest slot, so that the next Next delivers
    // the oldest row); throws "Invalid Data Row".
    void SetCurrent(int row);
    // Moves the cursor step rows along the ring order of the rows in use, wrapping both ways.
    void Advance(int step);
    // Delivers the row at the cursor into the non-empty spans: without an input selection all
    // inputs and outputs, with one the selected inputs and the selected (or all) outputs.
    // Returns the row's label list (none without labels). Throws "Invalid Data Row" for a cursor
    // on no row, "Invalid Input/Output Data Column" for a bad selection or a short span.
    const TLabelList* GetCurrentRow(std::span<double> inputs, std::span<double> outputs) const;
    // Advance(1), then GetCurrentRow; the labels only when no input selection is set.
    virtual const TLabelList* Next(std::span<double> inputs, std::span<double> outputs);
    // Advance(-1), then GetCurrentRow without labels.
    void Previous(std::span<double> inputs, std::span<double> outputs);

protected:
    Data(const Data&) = default;

private:
    void CheckRow(int row, const char* operation) const;
    void CheckInputColumn(int column, const char* operation) const;
    void CheckOutputColumn(int column, const char* operation) const;
    void CheckLabelled(const char* operation) const;
    void CheckRowSources(std::span<const double> inputs, std::span<const double> outputs,
                         const char* operation) const;
    void WriteRow(int row, std::span<const double> inputs, std::span<const double> outputs,
                  const TLabelList* labels);
    void CopyAll(std::span<const double> values, std::span<double> destination,
                 const char* columnMessage, const char* operation) const;
    void CopyColumns(std::span<const double> values, std::span<double> destination,
                     std::span<const int> columns, const char* columnMessage,
                     const char* operation) const;
    const TLabelList* Step(int step, std::span<double> inputs, std::span<double> outputs);
    std::span<double> InputsOf(int row);
    std::span<const double> InputsOf(int row) const;
    std::span<double> OutputsOf(int row);
    std::span<const double> OutputsOf(int row) const;

    std::vector<double> MbrDyaRtpInputs;   // MbrNdxRows rows of MbrNdxInputs values
    std::vector<double> MbrDyaRtpOutputs;  // MbrNdxRows rows of MbrNdxOutputs values
    std::vector<TLabelList> MbrDyaLabels;  // one list per slot, only with MbrFlgLabels
    int MbrNdxRows = 0;
    int MbrNdxDataRows = 0;
    int MbrNdxInputs = 0;
    int MbrNdxOutputs = 0;
    bool MbrFlgLabels = false;
    int MbrNdxFirst = 0;
    int MbrNdxLast = 0;
    int MbrNdxChanges = 0;
    int MbrNdxCurrent = 0;
    int MbrNdxSelInputs = 0;  // 0: no input selection
    std::vector<int> MbrDyaSelInputs;
    int MbrNdxSelOutputs = 0;  // 0: no output selection
    std::vector<int> MbrDyaSelOutputs;
};

}  // namespace glean
