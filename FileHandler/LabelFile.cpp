#include "FileHandler/LabelFile.h"

#include <climits>
#include <numeric>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "FileHandler/ParseTools.h"
#include "KQmessage/TException.h"
#include "KQmessage/TKQstructure.h"  // completes the details type of the throws

namespace glean {

namespace {
[[noreturn]] void BadFileData(const std::string& message) {
    throw TException(message, "Bad File Data", "TOmbraLabel::LoadLabels");
}

[[noreturn]] void BadLabels(const std::string& message) {
    throw TException(message, "Bad Parameter", "TOmbraLabel::SaveLabels");
}

template <typename Value>
using Entries = std::vector<std::pair<int, Value>>;

// Reads the labels file item by item with one FileTools object. Entries are gathered before the
// TOmbraLabel is built, so that memory follows the file's length, never its declared counts.
class LabelReader {
public:
    explicit LabelReader(std::istream& in) : in_(in) {}

    // The start tag `name`, read inside `parent` (null at the outermost level).
    std::string Open(std::string_view name, const std::string* parent) {
        tools_.ReadItem(in_, item_, parent);
        return tools_.ExpectBlockStart(in_, item_, name);
    }

    // The end tag of `block`.
    void Close(const std::string& block) {
        tools_.ReadItem(in_, item_, &block);
        tools_.ExpectBlockEnd(in_, item_);
    }

    // The integer statement `key` inside `block`; a count, so it must not be negative.
    int Count(const std::string& block, std::string_view key, const char* negative) {
        tools_.ReadItem(in_, item_, &block);
        const int count = tools_.ReadInteger(in_, item_, key);
        if (count < 0) BadFileData(negative);
        return count;
    }

    // The block `name` inside `parent`, holding exactly `count` lines "[key=position valueKey=
    // value ]", the value read by `read` from its statement.
    template <typename Value, typename Read>
    Entries<Value> Block(std::string_view name, const std::string& parent, int count,
                         std::string_view key, Read read) {
        const std::string block = Open(name, &parent);
        Entries<Value> entries;
        for (int i = 0; i < count; ++i) {
            tools_.ReadItem(in_, item_, &block);
            const int position = tools_.ReadInteger(in_, item_, key);
            tools_.ReadItem(in_, item_, &block, true);
            entries.emplace_back(position, read(tools_, in_, item_));
        }
        Close(block);
        return entries;
    }

    // The MF counts of a StructureInfo block, one per variable, each position exactly once.
    std::vector<int> MFCounts(std::string_view name, const std::string& parent, int count,
                              std::string_view key) {
        const Entries<int> entries =
            Block<int>(name, parent, count, key,
                       [](FileTools& tools, std::istream& in, const BlockItem& item) {
                           return tools.ReadInteger(in, item, "MF");
                       });
        std::vector<int> counts(entries.size(), -1);
        long long total = 0;
        for (const auto& [position, mf] : entries) {
            if (position < 0 || position >= count) {
                BadFileData(std::string(key) + " number out of bounds");
            }
            if (counts[static_cast<std::size_t>(position)] >= 0) {
                BadFileData(std::string(key) + " number repeated");
            }
            if (mf < 0 || (total += mf) > INT_MAX) BadFileData("MF count out of bounds");
            counts[static_cast<std::size_t>(position)] = mf;
        }
        return counts;
    }

    // A names block: "Label" statements.
    Entries<std::string> Names(std::string_view name, const std::string& parent, int count,
                               std::string_view key) {
        return Block<std::string>(name, parent, count, key,
                                  [](FileTools& tools, std::istream& in, const BlockItem& item) {
                                      return tools.ReadString(in, item, "Label");
                                  });
    }

private:
    std::istream& in_;
    FileTools tools_;
    BlockItem item_;
};

// The reader has kept the sum within an int.
int Sum(const std::vector<int>& counts) {
    return std::accumulate(counts.begin(), counts.end(), 0);
}

void SetNames(TOmbraLabel& labels, const Entries<std::string>& entries,
              void (TOmbraLabel::*set)(int, const std::string&)) {
    for (const auto& [index, name] : entries)
        (labels.*set)(index, name);
}

// True when name reads back as the one word it is.
bool Writable(const std::string& name) {
    if (name.empty() || name.size() > FileTools::TokenBufferSize) return false;
    for (const char c : name) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 33 || code > 126 ||
            std::string_view(",[]/*=<>").find(c) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// Calls visit(name) for every name of labels, in file order.
template <typename Visit>
void ForEachName(const TOmbraLabel& labels, Visit visit) {
    for (int k = 0; k < labels.Inputs; ++k)
        visit(labels.GetInputName(k));
    for (int k = 0; k < labels.NumConditions; ++k)
        visit(labels.GetConditionName(k));
    for (int k = 0; k < labels.Outputs; ++k)
        visit(labels.GetOutputName(k));
    for (int k = 0; k < labels.NumActions; ++k)
        visit(labels.GetActionName(k));
}

// One line "[key=position valueKey=value ]".
template <typename Value>
void WriteEntry(const FileTools& tools, std::ostream& out, std::string_view key, int position,
                std::string_view valueKey, const Value& value) {
    out << '[';
    tools.WriteInteger(out, key, position, false);
    if constexpr (std::is_same_v<Value, int>) {
        tools.WriteInteger(out, valueKey, value, false);
    } else {
        tools.WriteString(out, valueKey, value, false);
    }
    out << ']';
    tools.WriteNewline(out);
}

void WriteCounts(const FileTools& tools, std::ostream& out, std::string_view countKey,
                 std::string_view block, std::string_view key, const std::vector<int>& counts) {
    tools.WriteInteger(out, countKey, static_cast<int>(counts.size()));
    tools.WriteStartTag(out, block);
    for (std::size_t i = 0; i < counts.size(); ++i) {
        WriteEntry(tools, out, key, static_cast<int>(i), "MF", counts[i]);
    }
    tools.WriteEndTag(out, block);
    tools.WriteNewline(out);
}

void WriteNames(const FileTools& tools, std::ostream& out, std::string_view block,
                std::string_view key, int count, const std::string& (TOmbraLabel::*get)(int) const,
                const TOmbraLabel& labels) {
    tools.WriteStartTag(out, block);
    for (int k = 0; k < count; ++k)
        WriteEntry(tools, out, key, k, "Label", (labels.*get)(k));
    tools.WriteEndTag(out, block);
    tools.WriteNewline(out);
}
}  // namespace

std::unique_ptr<TOmbraLabel> LoadLabels(std::istream& in) {
    LabelReader reader(in);
    const std::string top = reader.Open("OmbraLabels", nullptr);
    const std::string structure = reader.Open("StructureInfo", &top);
    const int inputs = reader.Count(structure, "Inputs", "Input count out of bounds");
    const std::vector<int> inputMF = reader.MFCounts("InputMF", structure, inputs, "Input");
    const int outputs = reader.Count(structure, "Outputs", "Output count out of bounds");
    const std::vector<int> outputMF = reader.MFCounts("OutputMF", structure, outputs, "Output");
    reader.Close(structure);

    const auto inputNames = reader.Names("InputLabels", top, inputs, "Input");
    const auto conditionNames = reader.Names("InputMFLabels", top, Sum(inputMF), "Condition");
    const auto outputNames = reader.Names("OutputLabels", top, outputs, "Output");
    const auto actionNames = reader.Names("OutputMFLabels", top, Sum(outputMF), "Action");
    reader.Close(top);

    auto labels = std::make_unique<TOmbraLabel>(inputs, inputMF, outputs, outputMF);
    SetNames(*labels, inputNames, &TOmbraLabel::SetInputName);
    SetNames(*labels, conditionNames, &TOmbraLabel::SetConditionName);
    SetNames(*labels, outputNames, &TOmbraLabel::SetOutputName);
    SetNames(*labels, actionNames, &TOmbraLabel::SetActionName);
    // Each block holds exactly as many entries as names, so a repeated position leaves a gap.
    if (!labels->Complete()) BadFileData("Label name missing");
    return labels;
}

void SaveLabels(std::ostream& out, const TOmbraLabel& labels) {
    if (!labels.Complete()) BadLabels("Label name missing");
    ForEachName(labels, [](const std::string& name) {
        if (!Writable(name)) BadLabels("Label name not writable");
    });

    const FileTools tools;
    tools.WriteStartTag(out, "OmbraLabels");
    tools.WriteNewline(out);
    tools.WriteStartTag(out, "StructureInfo");
    tools.WriteNewline(out);
    WriteCounts(tools, out, "Inputs", "InputMF", "Input", labels.InputMF);
    WriteCounts(tools, out, "Outputs", "OutputMF", "Output", labels.OutputMF);
    tools.WriteEndTag(out, "StructureInfo");
    tools.WriteNewline(out);
    WriteNames(tools, out, "InputLabels", "Input", labels.Inputs, &TOmbraLabel::GetInputName,
               labels);
    WriteNames(tools, out, "InputMFLabels", "Condition", labels.NumConditions,
               &TOmbraLabel::GetConditionName, labels);
    WriteNames(tools, out, "OutputLabels", "Output", labels.Outputs, &TOmbraLabel::GetOutputName,
               labels);
    WriteNames(tools, out, "OutputMFLabels", "Action", labels.NumActions,
               &TOmbraLabel::GetActionName, labels);
    tools.WriteEndTag(out, "OmbraLabels");
    out.flush();
}

}  // namespace glean
