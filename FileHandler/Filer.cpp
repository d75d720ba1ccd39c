#include "FileHandler/Filer.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

#include "FileHandler/TAtomicFile.h"
#include "KQmessage/Check.h"
#include "KQmessage/TException.h"

namespace glean {

namespace {

// Header keys, in the order the header must give them (Rows aside).
constexpr const char* kOrderedKeys[] = {"INPUTS", "EXPECTEDOUTPUTS", "GENERATEDOUTPUTS", "ERROR"};
constexpr int kOrderedKeyCount = 4;

// What one row of the file holds, and which objects it fills.
struct RowLayout {
    int inputs = 0;
    int expectedOutputs = 0;
    int generatedOutputs = 0;
    int errors = 0;
    bool expectedLabels = false;
    bool generatedLabels = false;

    bool HasFirst() const { return inputs != 0 || expectedOutputs != 0 || expectedLabels; }
    bool HasSecond() const { return generatedOutputs != 0 || errors != 0 || generatedLabels; }
};

RowLayout LayoutOf(const DataSetCounts& counts) {
    RowLayout layout;
    layout.inputs = counts.inputs;
    layout.errors = counts.errors;
    layout.expectedLabels = counts.expectedOutputs == -1;
    layout.generatedLabels = counts.generatedOutputs == -1;
    layout.expectedOutputs = layout.expectedLabels ? 0 : counts.expectedOutputs;
    layout.generatedOutputs = layout.generatedLabels ? 0 : counts.generatedOutputs;
    return layout;
}

// The objects hold rows times the columns (a label list costs about three values, the row
// itself one), the row buffers of the reader one row even when there are no rows.
bool FitsInMemory(int rows, const RowLayout& layout) {
    const std::int64_t columns = std::int64_t{layout.inputs} + layout.expectedOutputs +
                                 layout.generatedOutputs + layout.errors + 1 +
                                 3 * (int{layout.expectedLabels} + int{layout.generatedLabels});
    return std::int64_t{std::max(rows, 1)} * columns <= DataSetValueLimit;
}

bool IsWhite(int ch) {
    return ch < 33 || ch > 126 || ch == ',';
}

bool IsWordCharacter(char ch) {
    return !IsWhite(static_cast<unsigned char>(ch)) &&
           std::string_view("[]/*=<>").find(ch) == std::string_view::npos;
}

// A label name the reader gives back unchanged: one word of the block text syntax.
bool IsWord(const std::string& name) {
    return !name.empty() && name.size() <= FileTools::TokenBufferSize &&
           std::all_of(name.begin(), name.end(), IsWordCharacter);
}

bool HasWritableLabels(const Data* data) {
    if (data == nullptr || !data->HasLabels()) return true;
    for (int row = 0; row < data->DataRows(); ++row) {
        for (const TLabel& label : data->GetLabels(row)->labels) {
            if (!IsWord(label.name)) return false;
        }
    }
    return true;
}

// The start of a data set, read up to and including its DATA start tag.
struct DataSetStart {
    std::string dataSetName;
    std::string dataName;
    DataSetCounts counts;
};

// Reads the header and the DATA start tag. The row count is checked only where the caller needs
// it, before the DATA start tag.
DataSetStart ReadDataSetStart(FileTools& tools, std::istream& in, bool needRows) {
    DataSetStart start;
    BlockItem item = tools.ReadItem(in);
    start.dataSetName = tools.ExpectBlockStart(in, item, "DATASET");
    // A bad header hands back the offending statement, on which the DATA start tag check fails.
    ReadDataSetHeader(tools, in, start.counts, item);
    if (needRows) GLEAN_CHECK_TEXT(start.counts.rows >= 0, "LngRows>=0");
    start.dataName = tools.ExpectBlockStart(in, item, "DATA");
    return start;
}

void ReadNumbers(FileTools& tools, std::istream& in, const std::string& blockdef,
                 std::vector<double>& values) {
    BlockItem item;
    for (double& value : values) {
        tools.ReadItem(in, item, &blockdef);
        value = tools.ReadNumberToken(in, item);
    }
}

// Reads rows into new objects of capacity rows, as the layout asks for them.
void ReadRows(FileTools& tools, std::istream& in, const std::string& dataName,
              const RowLayout& layout, int rows, std::unique_ptr<Data>& first,
              std::unique_ptr<Data>& second) {
    if (layout.HasFirst()) {
        first = std::make_unique<Data>(rows, layout.inputs, layout.expectedOutputs,
                                       layout.expectedLabels);
    }
    if (layout.HasSecond()) {
        second = std::make_unique<Data>(rows, layout.generatedOutputs, layout.errors,
                                        layout.generatedLabels);
    }
    std::vector<double> inputs(static_cast<std::size_t>(layout.inputs));
    std::vector<double> expected(static_cast<std::size_t>(layout.expectedOutputs));
    std::vector<double> generated(static_cast<std::size_t>(layout.generatedOutputs));
    std::vector<double> errors(static_cast<std::size_t>(layout.errors));
    for (int row = 0; row < rows; ++row) {
        for (auto* values : {&inputs, &expected, &generated, &errors}) {
            ReadNumbers(tools, in, dataName, *values);
        }
        const TLabelList expectedLabels =
            layout.expectedLabels ? ReadLabelList(tools, in) : TLabelList();
        const TLabelList generatedLabels =
            layout.generatedLabels ? ReadLabelList(tools, in) : TLabelList();
        if (first) first->AppendRow(inputs, expected, &expectedLabels);
        if (second) second->AppendRow(generated, errors, &generatedLabels);
    }
}

void ExpectEndTags(FileTools& tools, std::istream& in, const DataSetStart& start) {
    BlockItem item;
    tools.ReadItem(in, item, &start.dataName);
    tools.ExpectBlockEnd(in, item);
    tools.ReadItem(in, item, &start.dataSetName);
    tools.ExpectBlockEnd(in, item);
    tools.ReadItem(in, item);
    tools.ExpectBlockEnd(in, item);
}

int Load(FileTools& tools, std::istream& in, std::unique_ptr<Data>& first,
         std::unique_ptr<Data>* second) {
    first.reset();
    if (second) second->reset();
    const DataSetStart start = ReadDataSetStart(tools, in, true);
    const RowLayout layout = LayoutOf(start.counts);
    if (second == nullptr && layout.HasSecond()) return BAD_HEADER;
    if (!FitsInMemory(start.counts.rows, layout)) return DATA_TOO_LARGE;
    std::unique_ptr<Data> loadedFirst;
    std::unique_ptr<Data> loadedSecond;
    ReadRows(tools, in, start.dataName, layout, start.counts.rows, loadedFirst, loadedSecond);
    ExpectEndTags(tools, in, start);
    first = std::move(loadedFirst);
    if (second) *second = std::move(loadedSecond);
    return SUCCESS;
}

int LoadBlock(FileTools& tools, std::istream& in, std::int64_t& offset, int rows,
              std::unique_ptr<Data>& first, std::unique_ptr<Data>* second) {
    GLEAN_CHECK_TEXT(rows >= 0, "LngRows>=0");
    GLEAN_CHECK_TEXT(offset >= 0, "offset >= 0");
    first.reset();
    if (second) second->reset();
    const DataSetStart start = ReadDataSetStart(tools, in, false);
    const RowLayout layout = LayoutOf(start.counts);
    if (second == nullptr && layout.HasSecond()) return BAD_HEADER;
    if (!FitsInMemory(rows, layout)) return DATA_TOO_LARGE;
    // Positions come from the buffer itself: the stream's own tellg fails once end of input
    // has been seen.
    std::streambuf& buffer = *in.rdbuf();
    const std::streamoff begin = buffer.pubseekoff(0, std::ios::cur, std::ios::in);
    buffer.pubseekpos(begin + std::streamoff(offset), std::ios::in);
    std::unique_ptr<Data> loadedFirst;
    std::unique_ptr<Data> loadedSecond;
    ReadRows(tools, in, start.dataName, layout, rows, loadedFirst, loadedSecond);
    offset = std::int64_t(buffer.pubseekoff(0, std::ios::cur, std::ios::in) - begin);
    first = std::move(loadedFirst);
    if (second) *second = std::move(loadedSecond);
    return SUCCESS;
}

// Runs a stream loader on the opened file; FILE_READ_ERROR, and no objects, when it cannot be
// opened.
template <typename Loader>
int LoadFromFile(const std::string& fileName, std::unique_ptr<Data>& first,
                 std::unique_ptr<Data>* second, Loader load) {
    std::ifstream in(fileName, std::ios::binary);
    if (in) return load(in);
    first.reset();
    if (second) second->reset();
    return FILE_READ_ERROR;
}

// The value of a header statement: a count, or LABELS for -1.
int HeaderCount(FileTools& tools, std::istream& in, const BlockItem& item) {
    return SameText(item.value, "LABELS") ? -1 : tools.ParseInteger(in, item.value);
}

// The value formatted "%.*f", however wide.
std::string Fixed(double value, int decimals) {
    const int length = std::snprintf(nullptr, 0, "%.*f", decimals, value);
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, "%.*f", decimals, value);
    return text;
}

// Finishes a write: everything must have reached the file.
int Finish(std::ofstream& out) {
    out.close();
    return out ? SUCCESS : FILE_WRITE_ERROR;
}

// The values of a row, each followed by a blank.
void WriteInputs(std::ostream& out, const Data& data, int row) {
    for (int i = 0; i < data.Inputs(); ++i)
        out << data.GetInputDatum(row, i) << ' ';
}

void WriteOutputs(std::ostream& out, const Data& data, int row) {
    for (int i = 0; i < data.Outputs(); ++i)
        out << data.GetOutputDatum(row, i) << ' ';
}

void WriteCount(FileTools& tools, std::ostream& out, std::string_view key, int count) {
    if (count == -1) {
        tools.WriteString(out, key, "Labels");
    } else {
        tools.WriteInteger(out, key, count);
    }
}

void WriteHeader(FileTools& tools, std::ostream& out, const DataSetCounts& counts) {
    tools.WriteFormatVersion(out);
    tools.WriteStartTag(out, "DataSet");
    tools.WriteInteger(out, "Rows", counts.rows);
    tools.WriteInteger(out, "Inputs", counts.inputs);
    WriteCount(tools, out, "ExpectedOutputs", counts.expectedOutputs);
    WriteCount(tools, out, "GeneratedOutputs", counts.generatedOutputs);
    tools.WriteInteger(out, "Error", counts.errors);
    tools.WriteNewline(out);
    tools.WriteStartTag(out, "Data");
}

// The first `rows` rows of first and/or second, which hold that many.
void WriteRows(FileTools& tools, std::ostream& out, const Data* first, const Data* second,
               int rows) {
    out.precision(15);
    for (int row = 0; row < rows; ++row) {
        if (first) {
            WriteInputs(out, *first, row);
            out << "  ";
            WriteOutputs(out, *first, row);
        }
        if (second) {
            out << "  ";
            WriteInputs(out, *second, row);
            out << "  ";
            WriteOutputs(out, *second, row);
        }
        // Label lists follow all numbers of the row, in the order the reader takes them.
        for (const Data* data : {first, second}) {
            if (data && data->HasLabels()) WriteLabelList(tools, out, *data->GetLabels(row));
        }
        tools.WriteNewline(out);
    }
}

void WriteTrailer(FileTools& tools, std::ostream& out) {
    tools.WriteEndTag(out, "Data");
    tools.WriteNewline(out);
    tools.WriteEndTag(out, "DataSet");
}

}  // namespace

// ---- Loading ----

int LoadDataSet(FileTools& tools, const std::string& fileName, std::unique_ptr<Data>& first,
                std::unique_ptr<Data>& second) {
    return LoadFromFile(fileName, first, &second,
                        [&](std::istream& in) { return Load(tools, in, first, &second); });
}

int LoadInputDataSet(FileTools& tools, const std::string& fileName, std::unique_ptr<Data>& first) {
    return LoadFromFile(fileName, first, nullptr,
                        [&](std::istream& in) { return Load(tools, in, first, nullptr); });
}

int LoadDataSetBlock(FileTools& tools, const std::string& fileName, std::int64_t& offset, int rows,
                     std::unique_ptr<Data>& first, std::unique_ptr<Data>& second) {
    return LoadFromFile(fileName, first, &second, [&](std::istream& in) {
        return LoadBlock(tools, in, offset, rows, first, &second);
    });
}

int LoadInputDataSetBlock(FileTools& tools, const std::string& fileName, std::int64_t& offset,
                          int rows, std::unique_ptr<Data>& first) {
    return LoadFromFile(fileName, first, nullptr, [&](std::istream& in) {
        return LoadBlock(tools, in, offset, rows, first, nullptr);
    });
}

int LoadDataSet(FileTools& tools, std::istream& in, std::unique_ptr<Data>& first,
                std::unique_ptr<Data>& second) {
    return Load(tools, in, first, &second);
}

int LoadInputDataSet(FileTools& tools, std::istream& in, std::unique_ptr<Data>& first) {
    return Load(tools, in, first, nullptr);
}

int LoadDataSetBlock(FileTools& tools, std::istream& in, std::int64_t& offset, int rows,
                     std::unique_ptr<Data>& first, std::unique_ptr<Data>& second) {
    return LoadBlock(tools, in, offset, rows, first, &second);
}

int LoadInputDataSetBlock(FileTools& tools, std::istream& in, std::int64_t& offset, int rows,
                          std::unique_ptr<Data>& first) {
    return LoadBlock(tools, in, offset, rows, first, nullptr);
}

int ReadDataSetHeader(FileTools& tools, std::istream& in, DataSetCounts& counts, BlockItem& next) {
    counts = DataSetCounts();
    int state = 0;  // index of the first ordered key still allowed
    for (;;) {
        tools.ReadItem(in, next);
        if (next.kind != BlockItem::Statement) return SUCCESS;
        if (next.open) return BAD_HEADER;
        const bool rows = SameText(next.name, "ROWS");
        int key = 0;
        while (key < kOrderedKeyCount && !SameText(next.name, kOrderedKeys[key])) {
            ++key;
        }
        if (!rows && (key == kOrderedKeyCount || key < state)) return BAD_HEADER;
        const int count = HeaderCount(tools, in, next);
        const bool mayBeLabels = !rows && (key == 1 || key == 2);
        if (count == -1 && !mayBeLabels) throw FileTools::Error("No labels in inputs", in);
        if (count < -1) return BAD_HEADER;
        if (rows) {
            counts.rows = count;
            continue;
        }
        state = key + 1;
        int* const places[] = {&counts.inputs, &counts.expectedOutputs, &counts.generatedOutputs,
                               &counts.errors};
        *places[key] = count;
    }
}

TLabelList ReadLabelList(FileTools& tools, std::istream& in) {
    const std::string open = tools.NextToken(in);
    GLEAN_CHECK_TEXT(!open.empty(), "streamOK");
    GLEAN_CHECK_TEXT(open == "[", "ch == '['");
    TLabelList labels;
    // "[]" is decided on the next character, as the reader decides after a name.
    while (in.peek() != std::char_traits<char>::eof() && IsWhite(in.peek()))
        in.get();
    if (in.peek() == ']') {
        in.get();
        return labels;
    }
    BlockItem item;
    do {
        tools.ReadItem(in, item, nullptr, true);
        if (item.kind == BlockItem::StartTag) {
            labels.AddLabel(item.name, 1.0);
        } else if (item.kind == BlockItem::Statement) {
            labels.AddLabel(item.name, tools.ParseNumber(in, item.value));
        } else {
            GLEAN_FAIL("false");
        }
    } while (item.open);
    return labels;
}

// ---- Saving ----

int SaveDataSet(FileTools& tools, const std::string& fileName, const Data* first,
                const Data* second) {
    if (first == nullptr && second == nullptr) return DATA_MISMATCH;
    const Data& any = first ? *first : *second;
    if (first && second &&
        (first->Rows() != second->Rows() || first->DataRows() != second->DataRows())) {
        return DATA_MISMATCH;
    }
    if (!HasWritableLabels(first) || !HasWritableLabels(second)) return DATA_MISMATCH;

    DataSetCounts counts;
    counts.rows = any.DataRows();
    if (first) {
        counts.inputs = first->Inputs();
        counts.expectedOutputs = first->Outputs();
        if (first->HasLabels()) {
            GLEAN_CHECK_TEXT(counts.expectedOutputs == 0, "LngExpectedOutputs == 0");
            counts.expectedOutputs = -1;
        }
    }
    if (second) {
        counts.generatedOutputs = second->Inputs();
        counts.errors = second->Outputs();
        if (second->HasLabels()) {
            GLEAN_CHECK_TEXT(counts.generatedOutputs == 0, "LngCalculatedOutputs == 0");
            counts.generatedOutputs = -1;
        }
    }
    std::optional<TAtomicFile> file;
    try {
        file.emplace(fileName);
    } catch (const TAtomicFile::Error&) {
        return FILE_WRITE_ERROR;
    }
    WriteHeader(tools, file->Stream(), counts);
    WriteRows(tools, file->Stream(), first, second, counts.rows);
    WriteTrailer(tools, file->Stream());
    try {
        file->Commit();
    } catch (const TAtomicFile::Error&) {
        return FILE_WRITE_ERROR;
    }
    return SUCCESS;
}

int WriteDataSetHeader(FileTools& tools, const std::string& fileName, const DataSetCounts& counts) {
    if (counts.rows < 0 || counts.inputs < 0 || counts.errors < 0 || counts.expectedOutputs < -1 ||
        counts.generatedOutputs < -1) {
        return DATA_MISMATCH;
    }
    try {
        TAtomicFile::Write(fileName, [&](std::ostream& out) { WriteHeader(tools, out, counts); });
    } catch (const TAtomicFile::Error&) {
        return FILE_WRITE_ERROR;
    }
    return SUCCESS;
}

int WriteDataSetRows(FileTools& tools, const std::string& fileName, const Data* first,
                     const Data* second, int rows) {
    for (const Data* data : {first, second}) {
        if (data && data->DataRows() < rows) return DATA_MISMATCH;
    }
    std::ofstream out(fileName, std::ios::binary | std::ios::app);
    if (!out) return FILE_WRITE_ERROR;
    WriteRows(tools, out, first, second, rows);
    return Finish(out);
}

int WriteDataSetTrailer(FileTools& tools, const std::string& fileName) {
    std::ofstream out(fileName, std::ios::binary | std::ios::app);
    if (!out) return FILE_WRITE_ERROR;
    WriteTrailer(tools, out);
    return Finish(out);
}

void WriteLabelList(FileTools& /*tools*/, std::ostream& out, const TLabelList& labels) {
    out << '[';
    for (const TLabel& label : labels.labels) {
        out << label.name;
        if (label.value != 1.0) out << '=' << Fixed(label.value, 9);
        out << ' ';
    }
    out << "] ";
}

// ---- Probing ----

std::unique_ptr<TKQstructure> IdentifyFile(FileTools& tools, const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return MakeError("file-read-error");
    const BlockItem first = tools.ReadItem(in);
    const std::string tag = tools.ExpectBlockStart(in, first);
    if (SameText(tag, "DATASET")) {
        DataSetCounts counts;
        BlockItem next;
        if (ReadDataSetHeader(tools, in, counts, next) == BAD_HEADER)
            return MakeError("bad-header");
        auto node = std::make_unique<TKQstructure>("data");
        node->SetInteger("rows", counts.rows);
        node->SetInteger("inputs", counts.inputs);
        node->SetInteger("actual-outputs", counts.expectedOutputs);
        node->SetInteger("calc-outputs", counts.generatedOutputs);
        node->SetInteger("errors", counts.errors);
        return node;
    }
    if (SameText(tag, "NETWORK")) return std::make_unique<TKQstructure>("network");
    auto error = MakeError("unknown-header");
    error->SetString("header", tag);
    return error;
}

}  // namespace glean
