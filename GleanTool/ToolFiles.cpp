#include "GleanTool/ToolFiles.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <type_traits>

#include "FileHandler/Filer.h"
#include "FileHandler/NetworkFile.h"
#include "FileHandler/ParseTools.h"
#include "FileHandler/TAtomicFile.h"
#include "FileHandler/TRuleFile.h"
#include "Ombra/RuleExtraction/TOmbraRule.h"
#include "RuleEngine/TRuleBase.h"
#include "Training/TrainingJobs.h"

namespace glean {

namespace {
// What `read` returns; its reader's failures become ToolFailure naming the file.
template <class Read>
auto NamingTheFile(const std::string& fileName, Read read) {
    try {
        return read();
    } catch (const FileTools::Error& e) {
        throw ToolFailure(fileName + ": " + e.Message());
    } catch (const TException& e) {
        throw ToolFailure(fileName + ": " + ExceptionText(e));
    }
}
}  // namespace

std::string ExceptionText(const TException& error) {
    return error.Message + " (" + error.Kind + "; " + error.Operation + ")";
}

std::unique_ptr<TFuzzyRuleSet> ReadRuleFile(const std::string& fileName) {
    std::ifstream in(fileName);
    if (!in) throw ToolFailure("cannot open " + fileName);
    return NamingTheFile(fileName, [&in] {
        FileTools tools;
        return TRuleFile::LoadRules(tools, in);
    });
}

std::unique_ptr<TBasicNetwork> ReadWeightFile(const std::string& fileName) {
    return NamingTheFile(fileName, [&fileName] {
        FileTools tools;
        return LoadNetworkFile(tools, fileName);
    });
}

TOmbra& RecallableNetwork(TBasicNetwork& network, const std::string& fileName) {
    TOmbra& ombra = RequireOmbra(network);
    if (const std::string problem = ombra.RecallProblem(); !problem.empty()) {
        throw ToolFailure(fileName + ": " + problem);
    }
    return ombra;
}

std::unique_ptr<Data> ReadDataSet(const std::string& fileName) {
    CheckDataSetFile(fileName);
    std::unique_ptr<Data> data = LoadDataSetFile(fileName);
    if (!data) throw ToolFailure("cannot read the data set " + fileName);
    return data;
}

TScaleRanges ReadScaleFile(const std::string& fileName) {
    std::ifstream in(fileName);
    if (!in) throw ToolFailure("cannot open " + fileName);
    const std::vector<TColumnScale> columns =
        NamingTheFile(fileName, [&in] { return ReadScaling(in); });
    TScaleRanges ranges;
    for (const TColumnScale& column : columns) {
        (column.Role == "input" ? ranges.Inputs : ranges.Outputs)
            .push_back({column.Minimum, column.Maximum});
    }
    return ranges;
}

std::optional<TScaleRanges> ApplyScaleOption(const TToolArguments& arguments,
                                             TFuzzyRuleSet& rules) {
    const std::string* fileName = arguments.Value("scale");
    if (!fileName) return std::nullopt;
    TScaleRanges ranges = ReadScaleFile(*fileName);
    try {
        ToOriginalUnits(rules, ranges.Inputs, ranges.Outputs);
    } catch (const ExportError& e) {
        throw ToolFailure(*fileName + ": " + e.what());
    }
    return ranges;
}

void ToOriginal(std::vector<std::vector<double>>& rows, const std::vector<TValueRange>& ranges) {
    for (std::vector<double>& row : rows)
        for (std::size_t i = 0; i < ranges.size(); ++i)
            row[i] = ranges[i].Original(row[i]);
}

std::vector<std::vector<double>> NetworkAnswers(TOmbra& network,
                                                const std::vector<std::vector<double>>& samples,
                                                int inputs, int outputs) {
    const TOmbraStructure shape = network.GetStructure();
    if (shape.nInputs != inputs || shape.nOutputs != outputs) {
        throw ToolFailure("the network has " + std::to_string(shape.nInputs) + " inputs and " +
                          std::to_string(shape.nOutputs) + " outputs, the rules " +
                          std::to_string(inputs) + " and " + std::to_string(outputs));
    }
    std::vector<std::vector<double>> answers;
    std::vector<double> answer(static_cast<std::size_t>(outputs));
    for (const std::vector<double>& sample : samples) {
        network.Recall(sample, answer);
        answers.push_back(answer);
    }
    return answers;
}

void CheckDataSetFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    FileTools tools;
    const BlockItem first = tools.ReadItem(in);
    if (!in || first.kind != BlockItem::StartTag || !SameText(first.name, "DATASET")) return;
    DataSetCounts counts;
    BlockItem next;
    ReadDataSetHeader(tools, in, counts, next);
    // The loaders check the row count even after a header they refuse.
    if (counts.rows < 0) throw ToolFailure(fileName + ": no [Rows = ...] in the header");
    // Label lists that break their syntax stop the loaders at an internal check.
    if (counts.expectedOutputs < 0 || counts.generatedOutputs < 0) {
        throw ToolFailure(fileName + ": outputs as label lists, which GleanTool does not read");
    }
}

void WriteTextFile(const std::string& fileName, const std::string& text) {
    try {
        TAtomicFile::Write(fileName, text);
    } catch (const TAtomicFile::Error&) {
        throw ToolFailure("cannot write " + fileName);
    }
}

void RefuseInputAsOutput(const TToolFile& output, std::span<const TToolFile> inputs) {
    for (const TToolFile& input : inputs) {
        if (!input.Name.empty() && TAtomicFile::Replaces(output.Name, input.Name)) {
            throw ToolFailure(output.Role + " " + output.Name + " is the " + input.Role);
        }
    }
}

template <class Number>
Number NumberOption(const std::string& option, const std::string& text, const char* what) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end) {
        throw UsageError(option + " needs " + what + ", not \"" + text + "\"");
    }
    if constexpr (std::is_floating_point_v<Number>) {
        if (!std::isfinite(value)) throw UsageError(option + " needs a finite number");
    }
    return value;
}

template int NumberOption<int>(const std::string&, const std::string&, const char*);
template std::uint64_t NumberOption<std::uint64_t>(const std::string&, const std::string&,
                                                   const char*);
template double NumberOption<double>(const std::string&, const std::string&, const char*);

double ShareOption(const std::string& option, const std::string& text) {
    const double value = NumberOption<double>(option, text);
    if (value < 0 || value > 1) throw UsageError(option + " needs a number from 0 to 1");
    return value;
}

std::vector<std::string> ListOption(const std::string& text) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto at = text.find(',', start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

void ReadCsvFormat(const TToolArguments& arguments, TCsvOptions& options) {
    options.NoHeader = arguments.Has("no-header");
    if (const auto* v = arguments.Value("delimiter")) {
        if (*v == "tab") {
            options.Delimiter = '\t';
        } else if (v->size() == 1) {
            options.Delimiter = v->front();
        } else {
            throw UsageError("--delimiter needs one character or \"tab\", not \"" + *v + "\"");
        }
    }
    if (const auto* v = arguments.Value("skip-lines")) {
        options.SkipLines = NumberOption<int>("--skip-lines", *v, "a whole number");
        if (options.SkipLines < 0) throw UsageError("--skip-lines must be >= 0");
    }
}

}  // namespace glean
