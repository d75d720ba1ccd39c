#include "FileHandler/SaveOmbra.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FileHandler/NetworkFile.h"
#include "KQmessage/Check.h"
#include "KQmessage/TException.h"
#include "Ombra/TConditionLayer.h"
#include "Ombra/TOmbraOutputLayer.h"

namespace glean {

namespace {

// The MF counts of an array, by index; -1 marks an index the file has not given.
struct MembershipCounts {
    std::vector<int> counts;
    int largest = -1;
};

// Reads the entries "[key=k MF=count ]" up to the block's end tag.
MembershipCounts ReadEntries(FileTools& tools, std::istream& in, const std::string& blockName,
                             const char* key, int numnodes) {
    MembershipCounts result;
    result.counts.assign(static_cast<std::size_t>(numnodes), -1);
    BlockItem item;
    for (tools.ReadItem(in, item, &blockName); item.kind == BlockItem::Statement && item.open;
         tools.ReadItem(in, item, &blockName)) {
        if (!SameText(item.name, key)) throw FileTools::Error("invalid tag in membership1", in);
        const int i = tools.ParseInteger(in, item.value);
        GLEAN_CHECK_TEXT(i >= 0, "i>=0");
        GLEAN_CHECK_TEXT(i < numnodes, "i<numnodes");
        tools.ReadItem(in, item, &blockName, true);
        if (item.kind != BlockItem::Statement || item.open || !SameText(item.name, "MF")) {
            throw FileTools::Error("invalid tag in membership2", in);
        }
        const int count = tools.ParseInteger(in, item.value);
        int& slot = result.counts[static_cast<std::size_t>(i)];
        if (slot != -1) throw FileTools::Error("repeated index in membership array", in);
        slot = count;
        if (i > result.largest) result.largest = i;
    }
    tools.ExpectBlockEnd(in, item);
    return result;
}

// The counts of indices 0 .. n-1, each given and at least 2; returns their sum.
std::int64_t CheckCounts(std::istream& in, const std::vector<int>& counts, int n) {
    std::int64_t sum = 0;
    for (int i = 0; i < n; ++i) {
        const int count = counts[static_cast<std::size_t>(i)];
        if (count == -1) throw FileTools::Error("index missing in membership array", in);
        GLEAN_CHECK_TEXT(count >= 2, "NdxMF >= 2");
        sum += count;
    }
    return sum;
}

void ReadInputMF(FileTools& tools, std::istream& in, TConditionLayer& layer,
                 const std::string& blockName) {
    const MembershipCounts entries = ReadEntries(tools, in, blockName, "INPUT", layer.numNeurons);
    const int nInputs = entries.largest + 1;
    if (CheckCounts(in, entries.counts, nInputs) != layer.numNeurons) {
        throw FileTools::Error("membership counts do not match the layer", in);
    }
    layer.SetInputMF(nInputs,
                     std::span<const int>(entries.counts).first(static_cast<std::size_t>(nInputs)));
}

void ReadOutputMF(FileTools& tools, std::istream& in, TOmbraOutputLayer& layer,
                  const std::string& blockName) {
    const MembershipCounts entries = ReadEntries(tools, in, blockName, "OUTPUT", layer.numNeurons);
    const std::int64_t nActions = CheckCounts(in, entries.counts, layer.numNeurons);
    if (nActions > LayerNeuronLimit) {
        throw FileTools::Error("Illegal number of membership functions", in);
    }
    layer.SetOutputMF(static_cast<int>(nActions), entries.counts);
}

// "[key=k MF=count ]" for every count.
void WriteEntries(const FileTools& tools, std::ostream& out, const char* block, const char* key,
                  const std::vector<int>& counts) {
    tools.WriteStartTag(out, block);
    for (std::size_t k = 0; k < counts.size(); ++k) {
        out << '[';
        tools.WriteInteger(out, key, static_cast<int>(k), false);
        tools.WriteInteger(out, "MF", counts[k], false);
        out << ']';
        tools.WriteNewline(out);
    }
    tools.WriteEndTag(out, block);
}

}  // namespace

void ReadMembershipArray(FileTools& tools, std::istream& in, TBasicLayer& layer,
                         const std::string& blockName) {
    if (SameText(blockName, "INPUTMF")) {
        auto* conditions = dynamic_cast<TConditionLayer*>(&layer);
        GLEAN_CHECK_TEXT(conditions != nullptr, "condition layer");
        ReadInputMF(tools, in, *conditions, blockName);
    } else {
        GLEAN_CHECK_TEXT(SameText(blockName, "OUTPUTMF"), "INPUTMF or OUTPUTMF");
        auto* outputs = dynamic_cast<TOmbraOutputLayer*>(&layer);
        GLEAN_CHECK_TEXT(outputs != nullptr, "output layer");
        ReadOutputMF(tools, in, *outputs, blockName);
    }
}

void WriteMembershipArray(const FileTools& tools, std::ostream& out, TBasicLayer& layer) {
    if (auto* conditions = dynamic_cast<TConditionLayer*>(&layer)) {
        WriteEntries(tools, out, "InputMF", "Input", conditions->mfPerInput);
    } else if (auto* outputs = dynamic_cast<TOmbraOutputLayer*>(&layer)) {
        WriteEntries(tools, out, "OutputMF", "Output", outputs->mfPerOutput);
    }
}

}  // namespace glean
