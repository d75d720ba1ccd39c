// The data set file reader. A file the whole-file loader accepts must give the same rows when
// loaded in two blocks, the second starting where the first one ended.

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "FileHandler/Filer.h"
#include "fuzz/FuzzSupport.h"

namespace glean::fuzz {
namespace {

// Every value and label of row `row` of data (null: nothing), exactly.
std::string RowText(const Data* data, int row) {
    if (data == nullptr) return {};
    std::string text;
    char number[40];
    for (int i = 0; i < data->Inputs(); ++i) {
        std::snprintf(number, sizeof number, "%a ", data->GetInputDatum(row, i));
        text += number;
    }
    for (int i = 0; i < data->Outputs(); ++i) {
        std::snprintf(number, sizeof number, "%a ", data->GetOutputDatum(row, i));
        text += number;
    }
    if (data->HasLabels()) {
        for (const TLabel& label : data->GetLabels(row)->labels) {
            std::snprintf(number, sizeof number, "=%a ", label.value);
            text += label.name + number;
        }
    }
    return text + '\n';
}

std::string RowsText(const Data* first, const Data* second, int begin, int end) {
    std::string text;
    for (int row = begin; row < end; ++row)
        text += RowText(first, row) + RowText(second, row);
    return text;
}

// Loads rows [0, rows) of the file in two blocks.
std::string BlockRows(const std::string& file, int rows) {
    FileTools tools;
    std::unique_ptr<Data> first;
    std::unique_ptr<Data> second;
    std::int64_t offset = 0;
    std::string text;
    for (const int count : {rows / 2, rows - rows / 2}) {
        std::istringstream in(file);
        if (LoadDataSetBlock(tools, in, offset, count, first, second) != SUCCESS) {
            Finding("a block of a loadable data set was refused");
        }
        text += RowsText(first.get(), second.get(), 0, count);
    }
    return text;
}

void Check(const std::string& file, const std::unique_ptr<Data>& first,
           const std::unique_ptr<Data>& second) {
    FileTools tools;
    const int rows = (first ? first : second)->DataRows();
    RequireSame("data set loaded whole and in blocks", RowsText(first.get(), second.get(), 0, rows),
                BlockRows(file, rows));

    // The input loader agrees with the whole loader.
    std::istringstream again(file);
    std::unique_ptr<Data> inputs;
    const int result = LoadInputDataSet(tools, again, inputs);
    if (result != (second ? BAD_HEADER : SUCCESS)) Finding("input loader disagrees");
}

}  // namespace
}  // namespace glean::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace glean;
    const std::string file = fuzz::Text(data, size);
    std::istringstream in(file);
    FileTools tools;
    std::unique_ptr<Data> first;
    std::unique_ptr<Data> second;
    int result = 0;
    if (!fuzz::Accepting([&] { result = LoadDataSet(tools, in, first, second); })) return 0;
    if (result == SUCCESS && (first || second)) fuzz::Check(file, first, second);
    return 0;
}
