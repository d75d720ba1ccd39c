// The network (weight) file: a whole network in the block text syntax, read and written.
//
//   [NeuralNetwork]
//   [NetworkType = Basic | Connected | Ombra]
//   [NetworkInformation]  NumberOfLayers (required), InputLayer (1), OutputLayer (layers - 1),
//                         NumberOfInputs, NumberOfOutputs (checked when given), BiasLayer
//   [~NetworkInformation]
//   { [Layer = n]         LayerType, NumberOfNeurons, ActivationFunction, neuron parameters,
//                         each as Key = value or [All Key=value]
//                         [InputMF] ... [~InputMF] (FuzzyCondition), [OutputMF] ... (Defuzzify)
//                         optionally [Neurons] [Neuron=i Key=value ... ] ... [~Neurons]
//     [~Layer] }
//   { [ConnectionLayer]   LayerFrom, LayerTo, ConnectionType, [Attributes ...]
//                         { [Matrix Weights TrainableInfo] tokens [~Matrix]
//                         | [WeightList] [From=s To=t Weight=w Trainable] ... [~WeightList] }
//     [~ConnectionLayer] }
//   [~NeuralNetwork]
//
// The reader trusts no count of the file: sizes beyond the limits below, layer slots left
// empty, membership arrays that do not fit their layers and connection sets that do not fit the
// layers they join end in a FileTools::Error or a failed internal check before anything is built
// on them.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>

#include "FileHandler/ParseTools.h"
#include "KQmessage/TKQstructure.h"
#include "NeuralNets/TBasicNetwork.h"

namespace glean {

// Limits far above any real network; a file beyond them is refused before anything is
// allocated ("Illegal number of layers", "Illegal number of neurons", "Too many neurons",
// "Too many weights").
inline constexpr int NetworkLayerLimit = 256;
inline constexpr int LayerNeuronLimit = 1 << 20;
inline constexpr std::int64_t NetworkNeuronLimit = std::int64_t{1} << 21;
inline constexpr std::int64_t ConnectionWeightLimit = std::int64_t{1} << 26;

// --- Reading ---

// Opens and reads the network file `fileName`; the caller owns the network. `params` is taken
// over and released unread. Throws FileTools::OpenError ("Error on File Open") when the file
// cannot be opened, FileTools::Error (every message of ReadNetwork) when it cannot be read, both
// without a stream: the file is closed when the error leaves.
std::unique_ptr<TBasicNetwork> LoadNetworkFile(FileTools& tools, const std::string& fileName,
                                               std::unique_ptr<TKQstructure> params = nullptr);
// Reads a network from `in` up to the end of input; the caller owns the network. `params` is
// taken over and released unread. Throws FileTools::Error; a file that breaks one of the
// reader's internal checks fails it.
std::unique_ptr<TBasicNetwork> ReadNetwork(FileTools& tools, std::istream& in,
                                           std::unique_ptr<TKQstructure> params = nullptr);

// --- Writing ---

// Writes `network` to the file `fileName`, replacing it whole (FileHandler/TAtomicFile.h): a
// failure leaves an earlier file as it was. `params` is taken over and released unread. Throws
// FileTools::Error "Error on File Open" when the file cannot be created, "Error on File Write"
// when a write fails, and the errors of WriteNetwork.
void SaveNetworkFile(FileTools& tools, const std::string& fileName, TBasicNetwork& network,
                     std::unique_ptr<TKQstructure> params = nullptr);
// Writes `network` to `out` in the layout that ReadNetwork reads back. `params` is taken over and
// released unread. Throws FileTools::Error "Illegal number of bias nodes" for a "bias" layer of
// more than one neuron (the output is then incomplete).
void WriteNetwork(FileTools& tools, std::ostream& out, TBasicNetwork& network,
                  std::unique_ptr<TKQstructure> params = nullptr);

// Counts the visited arcs (how many arcs a set has, to choose between matrix and weight list).
class TIterateObjCount : public TIterateObj {
public:
    void Visit() override;
    int count = 0;
};

// Writes one weight-list entry per visited arc: "[From=s To=t Weight=w Trainable ]", the mark
// ("Trainable" / "UnTrainable") only when `marks` is set.
class TIterateObjSaveWeights : public TIterateObj {
public:
    TIterateObjSaveWeights(const FileTools& tools, std::ostream& out, int precision, bool marks)
        : tools(tools), out(out), precision(precision), marks(marks) {}
    void Visit() override;

    const FileTools& tools;
    std::ostream& out;
    int precision;
    bool marks;
};

}  // namespace glean
