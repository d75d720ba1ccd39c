// The membership arrays of the fuzzy network's file: the InputMF block of a condition layer and
// the OutputMF block of a defuzzify layer, one entry per input or output with its MF count.
//
//   [InputMF]                     [OutputMF]
//   [Input=0 MF=3 ]               [Output=0 MF=3 ]
//   ...                           ...
//   [~InputMF]                    [~OutputMF]
#pragma once

#include <istream>
#include <ostream>
#include <string>

#include "FileHandler/ParseTools.h"
#include "NeuralNets/TBasicNetwork.h"

namespace glean {

// Reads the entries of the block `blockName` ("INPUTMF" for a condition layer, "OUTPUTMF" for a
// defuzzify layer, any case) whose start tag was just read, up to its end tag, and gives `layer`
// its MF structure. Every index from 0 to the largest (INPUTMF) or to the last output (OUTPUTMF)
// must be given exactly once, every count must be at least 2 and the counts of an INPUTMF block
// must add up to the layer's size. Throws FileTools::Error; an index outside the layer fails
// "i<numnodes".
void ReadMembershipArray(FileTools& tools, std::istream& in, TBasicLayer& layer,
                         const std::string& blockName);

// Writes the InputMF block of a condition layer or the OutputMF block of a defuzzify layer;
// writes nothing for other layers.
void WriteMembershipArray(const FileTools& tools, std::ostream& out, TBasicLayer& layer);

}  // namespace glean
