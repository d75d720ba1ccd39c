// The forward pass of a network over the rows of a data set, oldest row first: the engine of the
// networks' whole-data-set operations. The data set's cursor is set to its newest row, so that
// each Next delivers the following row starting with the oldest, and the rows in use are read
// once each.
//
// A data set must deliver at least as many input columns as the network has inputs (with an
// input selection: the selected columns), and, where expected outputs are read, at least as many
// output columns as the network has outputs; the network reads the first of them. A data set
// that does not fit is refused before anything is read, with TException ("Data set does not fit
// the network", "Bad Parameter", operation).
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace glean {

class Data;
class TBasicNetwork;
class TErrorObj;

class TDataRecall {
public:
    // Checks the fit of `data` (expected outputs too when `withExpected`) and positions its
    // cursor. Both objects must outlive this one.
    TDataRecall(TBasicNetwork& network, Data& data, bool withExpected, std::string operation);

    // A new data set holding, for every row, the row's network inputs (when `withInputs`) next
    // to the network's outputs; capacity the rows in use of the source, no labels.
    std::unique_ptr<Data> Run(bool withInputs);
    // Accumulates every row's (expected outputs, network outputs) into `error` (not reset
    // first) and returns its error.
    double Measure(TErrorObj& error);

private:
    // Reads the next row and runs the forward pass over it.
    void Step();
    // The neuron count of a layer; a slot without a layer fails "layers[i] != NULL".
    static std::size_t Width(const TBasicNetwork& network, int layerNum);
    // The width the cursor delivers for a selection (none: `all`).
    static std::size_t Delivered(const std::vector<int>& selection, int all);
    void RequireFit(std::size_t delivered, std::size_t needed) const;

    TBasicNetwork& network;
    Data& data;
    std::string operation;
    std::size_t nInputs;
    std::size_t nOutputs;
    bool withExpected;
    std::vector<double> inputs;    // as delivered; the network reads the first nInputs
    std::vector<double> expected;  // as delivered; compared on the first nOutputs
    std::vector<double> outputs;   // the network's outputs
};

}  // namespace glean
