#include "FileHandler/NetworkFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "FileHandler/SaveOmbra.h"
#include "FileHandler/TAtomicFile.h"
#include "KQmessage/Check.h"
#include "KQmessage/TException.h"
#include "NeuralNets/TConnectedConnections.h"
#include "NeuralNets/TPrunedConnections.h"
#include "Ombra/TConditionLayer.h"
#include "Ombra/TOmbra.h"
#include "Ombra/TOmbraOutputLayer.h"
#include "Ombra/TToConditionConnections.h"
#include "Ombra/TToOutputConnections.h"

namespace glean {

namespace {

// The numbers of the NetworkInformation block.
struct Header {
    std::optional<int> numLayers;
    int inLayer = 1;
    std::optional<int> outLayer;
    std::optional<int> numInputs;
    std::optional<int> numOutputs;
};

// A layer block's state while its statements are read.
struct LayerState {
    int layernum = 0;
    std::optional<std::string> type;
    int numneurons = -1;              // not given yet
    TActFunction function = nullptr;  // the layer-level function, when given
    TBasicLayer* layer = nullptr;     // created by this block
    std::vector<double> parameters;   // one per neuron parameter
    std::vector<bool> given;          // parameter given at layer level
};

// Index of parameter `name` of `neuron`, or -1.
int ParameterIndex(const TBasicNeuron& neuron, const std::string& name) {
    for (int i = 0; i < neuron.GetNumParameters(); ++i) {
        if (SameText(neuron.GetParameterName(i), name)) return i;
    }
    return -1;
}

// Whether `token` is the one-letter trainable mark `mark` (upper case) in any letter case, as
// SameText compares; asked once per matrix cell, so without building a text to compare with.
bool IsMark(std::string_view token, char mark) {
    // Upper-casing as the C locale does, without a library call per mark of a large matrix.
    return token.size() == 1 && (token[0] == mark || token[0] == mark - 'A' + 'a');
}

// Reads one network file; one object per file.
class NetworkReader {
public:
    NetworkReader(FileTools& tools, std::istream& in) : tools_(tools), in_(in) {}

    std::unique_ptr<TBasicNetwork> Read();

private:
    [[noreturn]] void Fail(const char* message) const { throw FileTools::Error(message, in_); }
    void Next(const std::string& block, bool noBracket = false) {
        tools_.ReadItem(in_, item_, &block, noBracket);
    }
    bool AtStartTag(const char* name) const {
        return item_.kind == BlockItem::StartTag && SameText(item_.name, name);
    }
    bool AtStatement(const char* key) const {
        return item_.kind == BlockItem::Statement && SameText(item_.name, key);
    }

    Header ReadHeader(const std::string& block);
    void CreateNetwork(const std::string& type, const Header& header);
    void ReadLayer();
    bool ReadLayerStatement(LayerState& state, const std::string& block);
    void ApplyLayerStatement(LayerState& state);
    void CreateLayer(LayerState& state);
    void ReadNeurons(LayerState& state);
    void ReadNeuron(LayerState& state, std::vector<bool>& defined, const std::string& block);
    void SetParameter(LayerState& state, const TBasicNeuron& neuron);
    void CheckLayerSlots() const;
    void ReadConnections(const std::string& block);
    std::unique_ptr<TBasicConnections> NewConnections(const std::string& type, int from, int to);
    enum class MatrixAttribute { Weights, TrainableInfo };
    void ReadMatrix(TBasicConnections& set, const std::string& block);
    template <class Set>
    void ReadMatrixCells(Set& set, std::span<const MatrixAttribute> columns,
                         const std::string& block);
    template <class Set>
    void ReadMatrixWeight(Set& set, int from, int to, std::string_view token);
    template <class Set>
    void ReadMatrixMark(Set& set, int from, int to, std::string_view token);
    void ReadWeightList(TBasicConnections& set, const std::string& block);
    void ReadWeightListEntry(TBasicConnections& set, const std::string& block);

    FileTools& tools_;
    std::istream& in_;
    BlockItem item_;  // reused for every item of the file
    std::unique_ptr<TBasicNetwork> network_;
    Header header_;
};

std::unique_ptr<TBasicNetwork> NetworkReader::Read() {
    tools_.ReadItem(in_, item_);
    const std::string networkBlock = tools_.ExpectBlockStart(in_, item_, "NEURALNETWORK");
    Next(networkBlock);
    const std::string type = tools_.ReadString(in_, item_, "NETWORKTYPE");
    Next(networkBlock);
    const std::string infoBlock = tools_.ExpectBlockStart(in_, item_, "NETWORKINFORMATION");
    header_ = ReadHeader(infoBlock);
    CreateNetwork(type, header_);

    for (Next(networkBlock); AtStatement("LAYER"); Next(networkBlock))
        ReadLayer();
    CheckLayerSlots();
    for (; AtStartTag("CONNECTIONLAYER"); Next(networkBlock)) {
        const std::string block = item_.name;
        ReadConnections(block);
    }
    tools_.ExpectBlockEnd(in_, item_);
    tools_.ReadItem(in_, item_);
    tools_.ExpectBlockEnd(in_, item_);

    if (auto* ombra = dynamic_cast<TOmbra*>(network_.get())) {
        const std::string problem = ombra->StructureProblem();
        if (!problem.empty()) throw FileTools::Error("Incomplete Ombra network: " + problem, in_);
    }
    return std::move(network_);
}

Header NetworkReader::ReadHeader(const std::string& block) {
    Header header;
    for (Next(block); item_.kind == BlockItem::Statement; Next(block)) {
        const int value = tools_.ParseInteger(in_, item_.value);
        if (item_.open) Fail("Too complicated statement");
        if (SameText(item_.name, "NUMBEROFLAYERS")) {
            header.numLayers = value;
        } else if (SameText(item_.name, "INPUTLAYER")) {
            header.inLayer = value;
        } else if (SameText(item_.name, "OUTPUTLAYER")) {
            header.outLayer = value;
        } else if (SameText(item_.name, "NUMBEROFINPUTS")) {
            header.numInputs = value;
        } else if (SameText(item_.name, "NUMBEROFOUTPUTS")) {
            header.numOutputs = value;
        } else if (!SameText(item_.name, "BIASLAYER")) {
            Fail("Unknown keyword");
        }
    }
    tools_.ExpectBlockEnd(in_, item_);
    if (!header.numLayers) Fail("Must specify number of layers");
    const int numlayers = *header.numLayers;
    if (numlayers < 1 || numlayers > NetworkLayerLimit) Fail("Illegal number of layers");
    if (!header.outLayer) header.outLayer = numlayers - 1;
    GLEAN_CHECK_TEXT(header.inLayer < numlayers, "inlayer < numlayers");
    GLEAN_CHECK_TEXT(header.inLayer >= 0, "inlayer >= 0");
    GLEAN_CHECK_TEXT(*header.outLayer >= 0 && *header.outLayer < numlayers,
                     "outlayer >= 0 && outlayer < numlayers");
    return header;
}

void NetworkReader::CreateNetwork(const std::string& type, const Header& header) {
    const int numlayers = *header.numLayers;
    if (SameText(type, "BASIC")) {
        network_ = std::make_unique<TBasicNetwork>(numlayers);
    } else if (SameText(type, "CONNECTED")) {
        network_ = std::make_unique<TConnectedNetwork>(numlayers);
    } else if (SameText(type, "OMBRA")) {
        GLEAN_CHECK_TEXT(numlayers == 6, "numlayers == 6");
        network_ = std::make_unique<TOmbra>();
    } else {
        Fail("Unknown network type");
    }
    network_->inLayer = header.inLayer;
    network_->outLayer = *header.outLayer;
}

// --- Layers ---

void NetworkReader::ReadLayer() {
    if (item_.open) Fail("Too complicated statement");
    LayerState state;
    state.layernum = tools_.ParseInteger(in_, item_.value);
    GLEAN_CHECK_TEXT(state.layernum >= 0, "layernum >= 0");
    GLEAN_CHECK_TEXT(state.layernum < network_->numLayers, "layernum < numlayers");
    const std::string block = item_.name;

    Next(block);
    while (ReadLayerStatement(state, block))
        Next(block);
    // Every step below works on the layer this block created.
    GLEAN_CHECK_TEXT(state.layer != nullptr, "NN -> layers[layernum] != NULL");

    if (state.function != nullptr) state.layer->SetActivationFunction(state.function);
    if (SameText(*state.type, "FUZZYCONDITION") || SameText(*state.type, "DEFUZZIFY")) {
        const bool condition = SameText(*state.type, "FUZZYCONDITION");
        if (!AtStartTag(condition ? "INPUTMF" : "OUTPUTMF")) {
            Fail(condition ? "membership array missing in condition layer"
                           : "membership array missing in output layer");
        }
        const std::string arrayBlock = item_.name;
        ReadMembershipArray(tools_, in_, *state.layer, arrayBlock);
        Next(block);
    }
    if (AtStartTag("NEURONS")) {
        ReadNeurons(state);
        Next(block);
    } else {
        if (std::find(state.given.begin(), state.given.end(), false) != state.given.end()) {
            Fail("Incomplete Layer information");
        }
        for (int i = 0; i < state.layer->numNeurons; ++i)
            state.layer->GetNeuron(i)->SetParameters(state.parameters);
    }
    tools_.ExpectBlockEnd(in_, item_);
}

// Reads the current item as a layer statement, plain or [All Key=value]; false when the item is
// neither (it ends the statements).
bool NetworkReader::ReadLayerStatement(LayerState& state, const std::string& block) {
    if (AtStartTag("ALL")) {
        // "statment" is this message's spelling: callers match it byte for byte.
        if (!item_.open) Fail("[ALL] is incomplete statment");
        Next(block, true);
        if (item_.kind != BlockItem::Statement) Fail("Required syntax is [ALL <keyword>=<val>]");
    } else if (item_.kind != BlockItem::Statement) {
        return false;
    }
    if (item_.open) Fail("Too complicated statement");
    ApplyLayerStatement(state);
    return true;
}

void NetworkReader::ApplyLayerStatement(LayerState& state) {
    if (SameText(item_.name, "LAYERTYPE")) {
        if (state.type) Fail("Layer information repeated");
        state.type = item_.value;
    } else if (SameText(item_.name, "NUMBEROFNEURONS")) {
        if (state.numneurons != -1) Fail("Layer information repeated");
        const int n = tools_.ParseInteger(in_, item_.value);
        if (n < 0 || n > LayerNeuronLimit) Fail("Illegal number of neurons");
        state.numneurons = n;
    } else if (SameText(item_.name, "ACTIVATIONFUNCTION")) {
        state.function = network_->functions->Lookup(item_.value);
    } else {
        GLEAN_CHECK_TEXT(state.numneurons >= 0, "numneurons >= 0");
        GLEAN_CHECK_TEXT(state.layer != nullptr, "layer != NULL");
        // A layer without neurons has no parameter names to match.
        GLEAN_CHECK_TEXT(state.layer->numNeurons > 0, "found");
        const int index = ParameterIndex(*state.layer->GetNeuron(0), item_.name);
        GLEAN_CHECK_TEXT(index >= 0 && index < static_cast<int>(state.parameters.size()), "found");
        state.parameters[static_cast<std::size_t>(index)] = tools_.ParseNumber(in_, item_.value);
        state.given[static_cast<std::size_t>(index)] = true;
    }
    if (state.layer == nullptr && state.type && state.numneurons >= 0) CreateLayer(state);
}

void NetworkReader::CreateLayer(LayerState& state) {
    const int n = state.numneurons;
    if (state.layernum == network_->inLayer && header_.numInputs && *header_.numInputs != n) {
        Fail("wrong number inputs in header");
    }
    if (state.layernum == network_->outLayer && header_.numOutputs && *header_.numOutputs != n) {
        Fail("wrong number outputs in header");
    }
    std::int64_t total = n;
    for (int i = 0; i < network_->numLayers; ++i) {
        if (i != state.layernum && network_->layers[i] != nullptr) {
            total += network_->layers[i]->numNeurons;
        }
    }
    if (total > NetworkNeuronLimit) Fail("Too many neurons");

    TBasicNetwork* owner = network_.get();
    const int number = state.layernum;
    const std::string& type = *state.type;
    std::unique_ptr<TBasicLayer> layer;
    if (SameText(type, "SIMPLE")) {
        layer = std::make_unique<TSimpleLayer>(owner, number, n);
    } else if (SameText(type, "INPUT")) {
        layer = std::make_unique<TSimpleInputLayer>(owner, number, n);
    } else if (SameText(type, "GAIN")) {
        layer = std::make_unique<TGainLayer>(owner, number, n, 1.0);
    } else if (SameText(type, "FUZZYCONDITION")) {
        layer = std::make_unique<TConditionLayer>(owner, number, n);
    } else if (SameText(type, "DEFUZZIFY")) {
        layer = std::make_unique<TOmbraOutputLayer>(owner, number, n);
    } else {
        Fail("Unknown layer type");
    }
    int numParameters = 0;
    for (int i = 0; i < n; ++i)
        numParameters = std::max(numParameters, layer->GetNeuron(i)->GetNumParameters());
    state.parameters.assign(static_cast<std::size_t>(numParameters), 0.0);
    state.given.assign(static_cast<std::size_t>(numParameters), false);
    state.layer = layer.get();
    network_->InstallLayer(number, std::move(layer));
}

void NetworkReader::ReadNeurons(LayerState& state) {
    const std::string block = item_.name;
    std::vector<bool> defined(static_cast<std::size_t>(state.layer->numNeurons), false);
    for (Next(block); AtStatement("NEURON"); Next(block))
        ReadNeuron(state, defined, block);
    tools_.ExpectBlockEnd(in_, item_);
    if (std::find(defined.begin(), defined.end(), false) != defined.end()) {
        Fail("Neuron not defined");
    }
}

void NetworkReader::ReadNeuron(LayerState& state, std::vector<bool>& defined,
                               const std::string& block) {
    const int neuronnum = tools_.ParseInteger(in_, item_.value);
    GLEAN_CHECK_TEXT(neuronnum >= 0, "neuronnum>=0");
    GLEAN_CHECK_TEXT(neuronnum < state.layer->numNeurons, "neuronnum<numneurons");
    if (defined[static_cast<std::size_t>(neuronnum)]) Fail("repeated neuron");
    defined[static_cast<std::size_t>(neuronnum)] = true;

    TBasicNeuron& neuron = *state.layer->GetNeuron(neuronnum);
    TActFunction function = nullptr;
    while (item_.open) {
        Next(block, true);
        if (item_.kind != BlockItem::Statement) Fail("Equals clause expected in neuron parameter");
        if (SameText(item_.name, "ACTIVATIONFUNCTION")) {
            function = network_->functions->Lookup(item_.value);
        } else {
            SetParameter(state, neuron);
        }
    }
    neuron.SetParameters(state.parameters);
    if (state.function == nullptr) {
        if (function == nullptr) Fail("No activation function defined");
        neuron.SetActivationFunction(function);
    }
}

// The current statement names a parameter of `neuron`: its value goes to the parameter array.
void NetworkReader::SetParameter(LayerState& state, const TBasicNeuron& neuron) {
    const int index = ParameterIndex(neuron, item_.name);
    GLEAN_CHECK_TEXT(index >= 0 && index < static_cast<int>(state.parameters.size()), "found");
    state.parameters[static_cast<std::size_t>(index)] = tools_.ParseNumber(in_, item_.value);
}

void NetworkReader::CheckLayerSlots() const {
    for (int i = 0; i < network_->numLayers; ++i) {
        if (network_->layers[i] == nullptr) Fail("Layer not defined");
    }
}

// --- Connection sets ---

void NetworkReader::ReadConnections(const std::string& block) {
    std::optional<int> from;
    std::optional<int> to;
    std::optional<std::string> type;
    for (Next(block);; Next(block)) {
        if (AtStartTag("ATTRIBUTES")) {
            while (item_.open)
                Next(block, true);  // words for the reader's eye only
            continue;
        }
        if (item_.kind != BlockItem::Statement) break;
        if (item_.open) Fail("Too complicated statement");
        if (SameText(item_.name, "LAYERFROM")) {
            from = tools_.ParseInteger(in_, item_.value);
        } else if (SameText(item_.name, "LAYERTO")) {
            to = tools_.ParseInteger(in_, item_.value);
        } else if (SameText(item_.name, "CONNECTIONTYPE")) {
            type = item_.value;
        } else {
            Fail("Unknown keyword in connections");
        }
    }
    if (!from || !to || !type) Fail("Insufficient information to construct layer");
    std::unique_ptr<TBasicConnections> created = NewConnections(*type, *from, *to);
    if (network_->priv_conns_index[*to][*from]->IsConnected()) Fail("Connections already defined");
    TBasicConnections& set = *network_->InstallConnections(std::move(created));

    if (!SameText(set.GetConnectionsNType(), "FullyConnected")) set.RemoveAllArcs();
    for (;; Next(block)) {
        if (AtStartTag("MATRIX")) {
            const std::string matrixBlock = item_.name;
            ReadMatrix(set, matrixBlock);
        } else if (AtStartTag("WEIGHTLIST")) {
            const std::string listBlock = item_.name;
            ReadWeightList(set, listBlock);
        } else {
            break;
        }
    }
    tools_.ExpectBlockEnd(in_, item_);
}

// A new set of the class named `type` joining layer `from` to layer `to`, which must exist and
// fit the class. Throws "Insufficient information to construct layer" for an unknown class.
std::unique_ptr<TBasicConnections> NetworkReader::NewConnections(const std::string& type, int from,
                                                                 int to) {
    const int numlayers = network_->numLayers;
    if (from < 0 || from >= numlayers || to < 0 || to >= numlayers) {
        Fail("Connection layers out of range");
    }
    TBasicLayer& source = *network_->layers[from];
    TBasicLayer& target = *network_->layers[to];
    TBasicNetwork* owner = network_.get();
    if (SameText(type, "FULLYCONNECTED") || SameText(type, "PRUNEABLE")) {
        if (std::int64_t{source.numNeurons} * target.numNeurons > ConnectionWeightLimit) {
            Fail("Too many weights");
        }
        if (SameText(type, "FULLYCONNECTED")) {
            return std::make_unique<TConnectedConnections>(owner, from, to);
        }
        // Without arcs: the file's matrices and lists name the ones there are.
        return std::make_unique<TPrunedConnections>(owner, from, to, false);
    }
    if (SameText(type, "ToConditionConnections")) {
        const auto* conditions = dynamic_cast<const TConditionLayer*>(&target);
        if (conditions == nullptr || conditions->nInputs != source.numNeurons) {
            Fail("Connections do not fit the layers");
        }
        return std::make_unique<TToConditionConnections>(owner, from, to);
    }
    if (SameText(type, "ToOutputConnections")) {
        const auto* outputs = dynamic_cast<const TOmbraOutputLayer*>(&target);
        if (outputs == nullptr || outputs->nActions != source.numNeurons) {
            Fail("Connections do not fit the layers");
        }
        return std::make_unique<TToOutputConnections>(owner, from, to);
    }
    Fail("Insufficient information to construct layer");
}

void NetworkReader::ReadMatrix(TBasicConnections& set, const std::string& block) {
    std::array<MatrixAttribute, 9> attributes{};
    int wnum = 0;
    while (item_.open) {
        Next(block, true);
        if (item_.kind != BlockItem::StartTag) Fail("Keyword expected in matrix parameter");
        MatrixAttribute attribute = MatrixAttribute::Weights;
        if (SameText(item_.name, "TRAINABLEINFO")) {
            attribute = MatrixAttribute::TrainableInfo;
        } else if (!SameText(item_.name, "WEIGHTS")) {
            Fail("Unknown matrix attribute");
        }
        ++wnum;  // at most 9 attributes
        GLEAN_CHECK_TEXT(wnum < 10, "wnum < 10");
        attributes[static_cast<std::size_t>(wnum - 1)] = attribute;
    }
    const std::span<const MatrixAttribute> columns(attributes.data(),
                                                   static_cast<std::size_t>(wnum));
    // The pruneable set holds most weights of a large network: its arcs are set without a
    // virtual call each.
    if (auto* pruned = dynamic_cast<TPrunedConnections*>(&set)) {
        ReadMatrixCells(*pruned, columns, block);
    } else {
        ReadMatrixCells(set, columns, block);
    }
    Next(block);
    tools_.ExpectBlockEnd(in_, item_);
}

template <class Set>
void NetworkReader::ReadMatrixCells(Set& set, std::span<const MatrixAttribute> columns,
                                    const std::string& block) {
    const int nFrom = network_->layers[set.fromLayer]->numNeurons;
    const int nTo = network_->layers[set.toLayer]->numNeurons;
    for (int from = 0; from < nFrom; ++from) {
        for (int to = 0; to < nTo; ++to) {
            for (MatrixAttribute attribute : columns) {
                // Matrices are most of a large file: their plain tokens skip the item machinery.
                std::string_view token = tools_.TakeBufferedWord(in_);
                if (token.empty()) {
                    Next(block);
                    if (item_.kind != BlockItem::Token) Fail("Token Expected");
                    token = item_.name;
                }
                if (attribute == MatrixAttribute::Weights) {
                    ReadMatrixWeight(set, from, to, token);
                } else {
                    ReadMatrixMark(set, from, to, token);
                }
            }
        }
    }
}

template <class Set>
void NetworkReader::ReadMatrixWeight(Set& set, int from, int to, std::string_view token) {
    if (token == "-") {
        set.RemoveArc(from, to);
        return;
    }
    const double weight = tools_.ParseNumber(in_, token);
    set.AddArc(from, to);
    set.Weight(from, to) = weight;
}

template <class Set>
void NetworkReader::ReadMatrixMark(Set& set, int from, int to, std::string_view token) {
    if (IsMark(token, 'T')) {
        set.SetTrainable(from, to);
    } else if (IsMark(token, 'F')) {
        set.SetUntrainable(from, to);
    } else {
        GLEAN_CHECK_TEXT(!set.IsValid(from, to), "!conn -> IsValid(from,to)");
    }
}

void NetworkReader::ReadWeightList(TBasicConnections& set, const std::string& block) {
    for (Next(block); item_.kind == BlockItem::Statement || item_.kind == BlockItem::StartTag;
         Next(block)) {
        ReadWeightListEntry(set, block);
    }
    tools_.ExpectBlockEnd(in_, item_);
}

void NetworkReader::ReadWeightListEntry(TBasicConnections& set, const std::string& block) {
    std::optional<int> from;
    std::optional<int> to;
    double weight = 0.0;
    bool trainable = true;
    for (bool first = true; first || item_.open; first = false) {
        if (!first) Next(block, true);
        if (item_.kind == BlockItem::Statement) {
            if (SameText(item_.name, "FROM")) {
                from = tools_.ParseInteger(in_, item_.value);
            } else if (SameText(item_.name, "TO")) {
                to = tools_.ParseInteger(in_, item_.value);
            } else if (SameText(item_.name, "WEIGHT")) {
                weight = tools_.ParseNumber(in_, item_.value);
            } else {
                Fail("Unknown keyword in weights list");
            }
        } else if (SameText(item_.name, "TRAINABLE")) {
            trainable = true;
        } else if (SameText(item_.name, "UNTRAINABLE")) {
            trainable = false;
        } else {
            // The word goes to standard output before the error: callers read it there.
            std::cout << item_.name << std::endl;
            Fail("Unknown keyword in weights list");
        }
    }
    if (!from || !to) Fail("Insufficient information in weights list");
    set.AddArc(*from, *to);
    if (trainable) {
        set.SetTrainable(*from, *to);
    } else {
        set.SetUntrainable(*from, *to);
    }
    set.Weight(*from, *to) = weight;
}

}  // namespace

// --- Reading ---

std::unique_ptr<TBasicNetwork> LoadNetworkFile(FileTools& tools, const std::string& fileName,
                                               std::unique_ptr<TKQstructure> params) {
    params.reset();
    // Pieces of 256 kB rather than the stream library's few kilobytes, for files of hundreds of
    // megabytes. Left uninitialised, the buffer costs a small file only the pages it fills.
    constexpr std::size_t BufferSize = std::size_t{1} << 18;
    const auto buffer = std::make_unique_for_overwrite<char[]>(BufferSize);
    std::ifstream in;
    in.rdbuf()->pubsetbuf(buffer.get(), BufferSize);
    in.open(fileName, std::ios::binary);
    if (!in) throw FileTools::OpenError("Error on File Open");
    try {
        return ReadNetwork(tools, in);
    } catch (const FileTools::Error& error) {
        // The stream dies here: the error travels on without it.
        throw FileTools::Error(error.Message());
    }
}

std::unique_ptr<TBasicNetwork> ReadNetwork(FileTools& tools, std::istream& in,
                                           std::unique_ptr<TKQstructure> params) {
    params.reset();
    return NetworkReader(tools, in).Read();
}

// --- Writing ---

namespace {

constexpr int kPrecision = 15;
// A set with fewer arcs than this share of its full matrix is written as a weight list.
constexpr double WeightListShare = 0.35;

// `weight` in the stream's general notation at precision 15 ("%.15g"), in `text`.
std::string_view FormatWeight(double weight, std::array<char, 64>& text) {
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), weight,
                                            std::chars_format::general, kPrecision);
    GLEAN_CHECK(error == std::errc());
    return std::string_view(text.data(), static_cast<std::size_t>(end - text.data()));
}

bool IsFullyConnected(const TBasicConnections& set) {
    return SameText(set.GetConnectionsNType(), "FullyConnected");
}

// Writes one network; one object per file.
class NetworkWriter {
public:
    NetworkWriter(const FileTools& tools, std::ostream& out, TBasicNetwork& network)
        : tools_(tools), out_(out), network_(network) {}

    void Write();

private:
    void WriteHeader();
    void WriteLayer(TBasicLayer& layer);
    void WriteNeurons(TBasicLayer& layer, bool ownFunctions, const std::vector<bool>& common);
    void WriteConnections(TBasicConnections& set);
    void WriteMatrix(TBasicConnections& set);
    // `text` right-aligned in a matrix cell of 20 characters, then a blank.
    void WriteCell(std::string_view text);
    // "[All key=value ]" and a line end.
    template <class WriteValue>
    void WriteAllLine(WriteValue writeValue);

    const FileTools& tools_;
    std::ostream& out_;
    TBasicNetwork& network_;
};

void NetworkWriter::Write() {
    for (int i = 0; i < network_.numLayers; ++i)
        GLEAN_CHECK_TEXT(network_.layers[i] != nullptr, "layers[i] != NULL");
    out_.precision(kPrecision);
    tools_.WriteFormatVersion(out_);
    tools_.WriteStartTag(out_, "NeuralNetwork");
    tools_.WriteString(out_, "NetworkType", network_.GetNetworkType());
    tools_.WriteNewline(out_);
    WriteHeader();
    for (int i = 0; i < network_.numLayers; ++i) {
        tools_.WriteNewline(out_);
        WriteLayer(*network_.layers[i]);
    }
    for (int from = 0; from < network_.numLayers; ++from) {
        for (int to = 0; to < network_.numLayers; ++to) {
            TBasicConnections* set = network_.priv_conns_index[to][from];
            if (!set->IsConnected()) continue;
            tools_.WriteNewline(out_);
            WriteConnections(*set);
        }
    }
    tools_.WriteNewline(out_);
    tools_.WriteEndTag(out_, "NeuralNetwork");
}

void NetworkWriter::WriteHeader() {
    const int numLayers = network_.numLayers;
    tools_.WriteStartTag(out_, "NetworkInformation");
    tools_.WriteInteger(out_, "NumberOfLayers", numLayers);
    tools_.WriteInteger(out_, "InputLayer", network_.inLayer);
    tools_.WriteInteger(out_, "OutputLayer", network_.outLayer);
    tools_.WriteInteger(out_, "NumberOfInputs", network_.layers[network_.inLayer]->numNeurons);
    tools_.WriteInteger(out_, "NumberOfOutputs", network_.layers[network_.outLayer]->numNeurons);
    for (int i = 0; i < numLayers; ++i) {
        TBasicLayer* layer = network_.layers[i];
        if (layer->numNeurons == 0 || layer->GetActivationFunction() != ActBias) continue;
        if (layer->numNeurons > 1) throw FileTools::Error("Illegal number of bias nodes");
        tools_.WriteInteger(out_, "BiasLayer", i);
    }
    tools_.WriteEndTag(out_, "NetworkInformation");
}

template <class WriteValue>
void NetworkWriter::WriteAllLine(WriteValue writeValue) {
    out_ << '[';
    tools_.WriteStartTag(out_, "All", false);
    writeValue();
    out_ << ']';
    tools_.WriteNewline(out_);
}

void NetworkWriter::WriteLayer(TBasicLayer& layer) {
    const TFnRegistry& functions = *network_.functions;
    tools_.WriteInteger(out_, "Layer", layer.layerNum);
    tools_.WriteString(out_, "LayerType", layer.GetLayerType());
    tools_.WriteInteger(out_, "NumberOfNeurons", layer.numNeurons);
    const TActFunction function = layer.GetActivationFunction();
    if (function != nullptr) {
        WriteAllLine([&] {
            tools_.WriteString(out_, "ActivationFunction", functions.NameOf(function), false);
        });
    }
    WriteMembershipArray(tools_, out_, layer);

    // Neuron 0's parameters are the reference; a parameter is common when every neuron has the
    // same name and value at its position.
    std::vector<bool> common;
    if (layer.numNeurons > 0) {
        const TBasicNeuron& first = *layer.GetNeuron(0);
        std::vector<double> reference(static_cast<std::size_t>(first.GetNumParameters()));
        first.GetParameters(reference);
        common.assign(reference.size(), true);
        std::vector<double> values;
        for (int i = 1; i < layer.numNeurons; ++i) {
            const TBasicNeuron& neuron = *layer.GetNeuron(i);
            values.assign(static_cast<std::size_t>(neuron.GetNumParameters()), 0.0);
            neuron.GetParameters(values);
            for (std::size_t j = 0; j < common.size(); ++j) {
                common[j] = common[j] && j < values.size() && values[j] == reference[j] &&
                            neuron.GetParameterName(static_cast<int>(j)) ==
                                first.GetParameterName(static_cast<int>(j));
            }
        }
        for (std::size_t j = 0; j < common.size(); ++j) {
            if (!common[j]) continue;
            WriteAllLine([&] {
                tools_.WriteNumber(out_, first.GetParameterName(static_cast<int>(j)), reference[j],
                                   kPrecision, false);
            });
        }
    }
    const bool allCommon = std::find(common.begin(), common.end(), false) == common.end();
    if (layer.numNeurons > 0 && (function == nullptr || !allCommon)) {
        WriteNeurons(layer, function == nullptr, common);
    }
    tools_.WriteEndTag(out_, "Layer");
}

void NetworkWriter::WriteNeurons(TBasicLayer& layer, bool ownFunctions,
                                 const std::vector<bool>& common) {
    tools_.WriteStartTag(out_, "Neurons");
    std::vector<double> values;
    for (int i = 0; i < layer.numNeurons; ++i) {
        const TBasicNeuron& neuron = *layer.GetNeuron(i);
        out_ << '[';
        tools_.WriteInteger(out_, "Neuron", i, false);
        if (ownFunctions) {
            tools_.WriteString(out_, "ActivationFunction",
                               network_.functions->NameOf(neuron.GetActivationFunction()), false);
        }
        values.assign(static_cast<std::size_t>(neuron.GetNumParameters()), 0.0);
        neuron.GetParameters(values);
        for (std::size_t j = 0; j < values.size(); ++j) {
            if (j < common.size() && common[j]) continue;
            tools_.WriteNumber(out_, neuron.GetParameterName(static_cast<int>(j)), values[j],
                               kPrecision, false);
        }
        out_ << ']';
        tools_.WriteNewline(out_);
    }
    tools_.WriteEndTag(out_, "Neurons");
}

void NetworkWriter::WriteConnections(TBasicConnections& set) {
    const bool full = IsFullyConnected(set);
    tools_.WriteStartTag(out_, "ConnectionLayer");
    tools_.WriteInteger(out_, "LayerFrom", set.fromLayer);
    tools_.WriteInteger(out_, "LayerTo", set.toLayer);
    tools_.WriteString(out_, "ConnectionType", set.GetConnectionsNType());
    out_ << '[';
    tools_.WriteStartTag(out_, "Attributes", false);
    tools_.WriteStartTag(out_, full ? "UnPrunable" : "Pruneable", false);
    tools_.WriteStartTag(out_, full ? "UnFreezable" : "Freezable", false);
    out_ << ']';
    tools_.WriteNewline(out_);

    TIterateObjCount counter;
    set.ForAllArcs(counter, FMaskExists);
    const double size = static_cast<double>(network_.layers[set.fromLayer]->numNeurons) *
                        network_.layers[set.toLayer]->numNeurons;
    if (counter.count < WeightListShare * size) {
        tools_.WriteStartTag(out_, "WeightList");
        TIterateObjSaveWeights saver(tools_, out_, kPrecision, !full);
        set.ForAllArcs(saver, FMaskExists);
        tools_.WriteEndTag(out_, "WeightList");
    } else {
        WriteMatrix(set);
    }
    tools_.WriteEndTag(out_, "ConnectionLayer");
}

void NetworkWriter::WriteCell(std::string_view text) {
    constexpr std::size_t Width = 20;
    if (text.size() < Width) out_ << std::string_view("                    ", Width - text.size());
    out_ << text << ' ';
}

void NetworkWriter::WriteMatrix(TBasicConnections& set) {
    const bool full = IsFullyConnected(set);
    const int nFrom = network_.layers[set.fromLayer]->numNeurons;
    const int nTo = network_.layers[set.toLayer]->numNeurons;
    out_ << '[';
    tools_.WriteStartTag(out_, "Matrix", false);
    tools_.WriteStartTag(out_, "Weights", false);
    if (!full) tools_.WriteStartTag(out_, "TrainableInfo", false);
    out_ << ']';
    tools_.WriteNewline(out_);

    // The index fields line up with the cells: 21 characters, 23 with the trainable mark.
    const int firstWidth = full ? 13 : 15;
    const int width = full ? 21 : 23;
    std::array<char, 64> text{};
    out_ << "/* To->";
    for (int to = 0; to < nTo; ++to) {
        std::snprintf(text.data(), text.size(), "%*d", to == 0 ? firstWidth : width, to);
        out_ << text.data();
    }
    out_ << "  From */";
    tools_.WriteNewline(out_);

    for (int from = 0; from < nFrom; ++from) {
        for (int to = 0; to < nTo; ++to) {
            const bool exists = set.IsValid(from, to);
            WriteCell(exists ? FormatWeight(set.Weight(from, to), text) : "-");
            if (!full) out_ << (!exists ? "- " : set.IsTrainable(from, to) ? "T " : "F ");
        }
        out_ << " /* " << from << " */";
        tools_.WriteNewline(out_);
    }
    tools_.WriteEndTag(out_, "Matrix");
}

}  // namespace

void TIterateObjCount::Visit() {
    ++count;
}

void TIterateObjSaveWeights::Visit() {
    out << '[';
    tools.WriteInteger(out, "From", fromNode, false);
    tools.WriteInteger(out, "To", toNode, false);
    tools.WriteNumber(out, "Weight", *weight, precision, false);
    if (marks) tools.WriteStartTag(out, trainable != 0 ? "Trainable" : "UnTrainable", false);
    out << ']';
    tools.WriteNewline(out);
}

void SaveNetworkFile(FileTools& tools, const std::string& fileName, TBasicNetwork& network,
                     std::unique_ptr<TKQstructure> params) {
    params.reset();
    std::optional<TAtomicFile> file;
    try {
        file.emplace(fileName);
    } catch (const TAtomicFile::Error&) {
        throw FileTools::Error("Error on File Open");
    }
    WriteNetwork(tools, file->Stream(), network);
    try {
        file->Commit();
    } catch (const TAtomicFile::Error&) {
        throw FileTools::Error("Error on File Write");
    }
}

void WriteNetwork(FileTools& tools, std::ostream& out, TBasicNetwork& network,
                  std::unique_ptr<TKQstructure> params) {
    params.reset();
    NetworkWriter(tools, out, network).Write();
    out.flush();
    if (!out) throw FileTools::Error("Error on File Write");
}

}  // namespace glean
