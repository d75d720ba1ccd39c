#include "Training/CsvConverter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <istream>
#include <limits>
#include <ostream>
#include <sstream>

#include "FileHandler/Filer.h"
#include "FileHandler/TAtomicFile.h"
#include "KQmessage/TException.h"
#include "RuleEngine/TRuleBase.h"

namespace glean {

namespace {
[[noreturn]] void Fail(const std::string& message) {
    throw TException(message, "Bad Data", "ReadCsv");
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const auto last = text.find_last_not_of(" \t");
    std::string field = text.substr(first, last - first + 1);
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"') {
        field = field.substr(1, field.size() - 2);
    }
    return field;
}

std::vector<std::string> SplitLine(const std::string& line, char delimiter) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        const auto at = line.find(delimiter, start);
        fields.push_back(Trim(line.substr(start, at - start)));
        if (at == std::string::npos) return fields;
        start = at + 1;
    }
}

bool Missing(const std::string& field) {
    for (const char* marker : {"", "NA", "N/A", "NaN", "?"}) {
        if (SameText(field, marker)) return true;
    }
    return false;
}

std::vector<std::string> CheckedHeader(std::vector<std::string> names) {
    for (std::size_t c = 0; c < names.size(); ++c) {
        if (names[c].empty()) Fail("CSV column " + std::to_string(c + 1) + " has no name");
        for (std::size_t d = 0; d < c; ++d) {
            if (names[d] == names[c]) Fail("CSV column " + names[c] + " appears twice");
        }
    }
    return names;
}

std::vector<std::string> NumberedNames(std::size_t count) {
    std::vector<std::string> names;
    for (std::size_t c = 1; c <= count; ++c)
        names.push_back("Column" + std::to_string(c));
    return names;
}

bool HeldOut(std::size_t row, const TCsvOptions& options) {
    return options.HoldoutEvery > 0 &&
           (row + 1) % static_cast<std::size_t>(options.HoldoutEvery) == 0;
}

double Scaled(double value, const TColumnScale& scale) {
    if (scale.Maximum == scale.Minimum) return 0.0;
    if (!std::isfinite(scale.Maximum - scale.Minimum)) {
        // A span beyond the largest double (-1.7e308 to 1.7e308): the same ratio of halves,
        // which never overflow. Halving is exact, so every other column keeps its bytes.
        return std::clamp((value / 2 - scale.Minimum / 2) / (scale.Maximum / 2 - scale.Minimum / 2),
                          0.0, 1.0);
    }
    // A held-out value far outside the span overflows to an infinity, which the clamp takes.
    return std::clamp((value - scale.Minimum) / (scale.Maximum - scale.Minimum), 0.0, 1.0);
}
}  // namespace

bool ParseCsvNumber(const std::string& field, double& value) {
    const char* end = field.data() + field.size();
    const auto [ptr, ec] = std::from_chars(field.data(), end, value);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

std::size_t TCsvTable::Column(const std::string& name) const {
    const auto found = std::find(Header.begin(), Header.end(), name);
    if (found != Header.end()) return std::size_t(found - Header.begin());
    std::size_t number = 0;
    const auto [ptr, ec] = std::from_chars(name.data(), name.data() + name.size(), number);
    if (ec == std::errc() && ptr == name.data() + name.size() && number >= 1 &&
        number <= Header.size()) {
        return number - 1;
    }
    Fail("No such column: " + name);
}

TCsvTable ReadCsvTable(std::istream& in, const TCsvOptions& options) {
    TCsvTable table;
    std::string line;
    int number = 0;
    bool named = false;
    while (std::getline(in, line)) {
        ++number;
        if (number <= options.SkipLines) continue;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        std::vector<std::string> fields = SplitLine(line, options.Delimiter);
        if (!named) {
            named = true;
            if (!options.Names.empty()) {
                table.Header = CheckedHeader(options.Names);
            } else {
                table.Header = CheckedHeader(options.NoHeader ? NumberedNames(fields.size())
                                                              : std::move(fields));
            }
            if (!options.NoHeader) continue;
        }
        if (fields.size() != table.Header.size()) {
            Fail("CSV line " + std::to_string(number) + " has " + std::to_string(fields.size()) +
                 " fields, the header has " + std::to_string(table.Header.size()));
        }
        if (std::any_of(fields.begin(), fields.end(), Missing)) {
            ++table.Dropped;
            continue;
        }
        table.Rows.push_back(std::move(fields));
        table.Lines.push_back(number);
    }
    if (!named) Fail("CSV file has no header line");
    if (table.Rows.empty()) Fail("CSV file has no data rows");
    return table;
}

TConvertedData ConvertCsv(std::istream& in, const TCsvOptions& options) {
    const TCsvTable table = ReadCsvTable(in, options);
    const int nColumns = static_cast<int>(table.Header.size());
    const int classColumn =
        options.ClassColumn.empty() ? -1 : static_cast<int>(table.Column(options.ClassColumn));

    // Numeric columns: every one but the class column; the roles follow the options.
    std::vector<int> numeric;
    for (int c = 0; c < nColumns; ++c) {
        if (c != classColumn) numeric.push_back(c);
    }
    const int numericOutputs = classColumn >= 0 ? 0 : options.Outputs;
    const int nInputs = static_cast<int>(numeric.size()) - numericOutputs;
    std::vector<std::string> classes;
    if (classColumn >= 0) {
        for (const auto& row : table.Rows) {
            const std::string& value = row[static_cast<std::size_t>(classColumn)];
            if (std::find(classes.begin(), classes.end(), value) == classes.end())
                classes.push_back(value);
        }
    }
    const int nOutputs = numericOutputs + static_cast<int>(classes.size());
    if (numericOutputs < 0 || nInputs < 1 || nOutputs < 1) {
        Fail("Need at least one input and one output column");
    }

    // Values, and the range of every numeric column over the training rows.
    std::vector<std::vector<double>> values(table.Rows.size(), std::vector<double>(numeric.size()));
    std::vector<TColumnScale> scales(numeric.size());
    for (std::size_t j = 0; j < numeric.size(); ++j) {
        scales[j].Name = table.Header[static_cast<std::size_t>(numeric[j])];
        scales[j].Role = static_cast<int>(j) < nInputs ? "input" : "output";
        scales[j].Minimum = std::numeric_limits<double>::infinity();
        scales[j].Maximum = -std::numeric_limits<double>::infinity();
    }
    std::size_t trainingRows = 0;
    for (std::size_t r = 0; r < table.Rows.size(); ++r) {
        const bool training = !HeldOut(r, options);
        trainingRows += training ? 1 : 0;
        for (std::size_t j = 0; j < numeric.size(); ++j) {
            const std::string& field = table.Rows[r][static_cast<std::size_t>(numeric[j])];
            if (!ParseCsvNumber(field, values[r][j])) {
                Fail("CSV line " + std::to_string(table.Lines[r]) + ", column " + scales[j].Name +
                     ": not a number: " + field);
            }
            if (training) {
                scales[j].Minimum = std::min(scales[j].Minimum, values[r][j]);
                scales[j].Maximum = std::max(scales[j].Maximum, values[r][j]);
            }
        }
    }
    if (trainingRows == 0) Fail("No training rows left after the hold-out");

    TConvertedData result;
    result.Read = static_cast<int>(table.Rows.size()) + table.Dropped;
    result.Dropped = table.Dropped;
    const int heldOutRows = static_cast<int>(table.Rows.size() - trainingRows);
    result.Training =
        std::make_unique<Data>(static_cast<int>(trainingRows), nInputs, nOutputs, false);
    if (options.HoldoutEvery > 0) {
        result.HeldOut = std::make_unique<Data>(heldOutRows, nInputs, nOutputs, false);
    }
    for (std::size_t r = 0; r < table.Rows.size(); ++r) {
        std::vector<double> input(static_cast<std::size_t>(nInputs));
        std::vector<double> output(static_cast<std::size_t>(nOutputs), 0.0);
        for (std::size_t j = 0; j < numeric.size(); ++j) {
            const double v = Scaled(values[r][j], scales[j]);
            if (static_cast<int>(j) < nInputs) {
                input[j] = v;
            } else {
                output[j - static_cast<std::size_t>(nInputs)] = v;
            }
        }
        if (classColumn >= 0) {
            const std::string& value = table.Rows[r][static_cast<std::size_t>(classColumn)];
            const auto k = std::find(classes.begin(), classes.end(), value) - classes.begin();
            output[static_cast<std::size_t>(k)] = 1.0;
        }
        Data& target = HeldOut(r, options) ? *result.HeldOut : *result.Training;
        target.AppendRow(input, output, nullptr);
    }
    result.Columns = scales;
    for (const std::string& name : classes) {
        result.Columns.push_back(
            {table.Header[static_cast<std::size_t>(classColumn)] + "=" + name, "class", 0.0, 1.0});
    }
    return result;
}

void WriteScaling(std::ostream& out, const std::vector<TColumnScale>& columns) {
    // Shortest texts that read back as the same numbers: rules mapped through a scaling file
    // come out exactly as those mapped through the scaling in memory.
    out << "column,role,minimum,maximum\n";
    for (const TColumnScale& column : columns) {
        out << column.Name << ',' << column.Role << ',' << ExactNumber(column.Minimum) << ','
            << ExactNumber(column.Maximum) << '\n';
    }
}

std::vector<TColumnScale> ReadScaling(std::istream& in) {
    auto fail = [](const std::string& message) {
        throw TException(message, "Bad Data", "ReadScaling");
    };
    std::string line;
    if (!std::getline(in, line)) fail("Scaling has no header line");
    std::vector<TColumnScale> columns;
    for (int number = 2; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const std::string where = "Scaling line " + std::to_string(number) + ": ";
        std::vector<std::string> fields = SplitLine(line, ',');
        if (fields.size() < 4) fail(where + "expected column,role,minimum,maximum");
        TColumnScale column;
        const std::size_t n = fields.size();
        column.Role = fields[n - 3];
        if (column.Role != "input" && column.Role != "output" && column.Role != "class") {
            fail(where + "unknown role " + column.Role);
        }
        if (!ParseCsvNumber(fields[n - 2], column.Minimum) ||
            !ParseCsvNumber(fields[n - 1], column.Maximum) || column.Maximum < column.Minimum) {
            fail(where + "not a range");
        }
        const std::size_t end = line.rfind(',', line.rfind(',', line.rfind(',') - 1) - 1);
        column.Name = line.substr(0, end);
        columns.push_back(std::move(column));
    }
    return columns;
}

TConvertedData ConvertCsvFile(const std::string& csvFile, const TCsvOptions& options,
                              const std::string& dataFile, const std::string& heldOutFile) {
    const char* operation = "ConvertCsvFile";
    std::ifstream in(csvFile, std::ios::binary);
    if (!in) throw TException("Cannot open CSV file: " + csvFile, "File Error", operation);
    TConvertedData result = ConvertCsv(in, options);
    FileTools tools;
    auto save = [&](const std::string& name, const Data* data) {
        if (SaveDataSet(tools, name, data, nullptr) != SUCCESS) {
            throw TException("Cannot write file: " + name, "File Error", operation);
        }
    };
    save(dataFile, result.Training.get());
    if (result.HeldOut) save(heldOutFile, result.HeldOut.get());
    const std::string scaleFile = dataFile + ".scale";
    try {
        TAtomicFile::Write(scaleFile,
                           [&result](std::ostream& out) { WriteScaling(out, result.Columns); });
    } catch (const TAtomicFile::Error&) {
        throw TException("Cannot write file: " + scaleFile, "File Error", operation);
    }
    return result;
}

}  // namespace glean
