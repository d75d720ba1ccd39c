// The labels file: the names of a fuzzy network's variables and terms, in the block text syntax
// of FileHandler/ParseTools.h. Keywords and tags match ignoring letter case.
//
//   labels-file = "[OmbraLabels]" structure input-labels term-labels output-labels
//                 action-labels "[~OmbraLabels]" ;
//   structure   = "[StructureInfo]"
//                   "[Inputs =" n "]"  "[InputMF]"  n * ("[Input=" i "MF=" count "]")  "[~InputMF]"
//                   "[Outputs =" m "]" "[OutputMF]" m * ("[Output=" i "MF=" count "]")
//                   "[~OutputMF]"
//                 "[~StructureInfo]" ;
//   input-labels  = "[InputLabels]"    n * ("[Input=" k "Label=" name "]")      "[~InputLabels]" ;
//   term-labels   = "[InputMFLabels]"  C * ("[Condition=" k "Label=" name "]")  "[~InputMFLabels]"
//   ; output-labels = "[OutputLabels]"   m * ("[Output=" k "Label=" name "]")     "[~OutputLabels]"
//   ; action-labels = "[OutputMFLabels]" A * ("[Action=" k "Label=" name "]") "[~OutputMFLabels]" ;
//
// C and A are the sums of the input and output MF counts. The positions i and k say where a count
// or a name goes, so entries may come in any order; each position must appear exactly once. A
// name is one word of the block syntax: no white space, comma or any of "[]/*=<>".
#pragma once

#include <istream>
#include <memory>
#include <ostream>

#include "Ombra/TOmbraLabel.h"

namespace glean {

// Reads a labels file; the caller owns the result, in which every name is set. Throws
// FileTools::Error for a syntax error; the setters' TException for a name position out of range;
// TException (kind "Bad File Data", operation "TOmbraLabel::LoadLabels") for a negative count
// ("Input count out of bounds", "Output count out of bounds", "MF count out of bounds"), a
// structure position out of range or repeated ("Input number out of bounds", "Input number
// repeated", and the same for Output) or a name left unset ("Label name missing").
std::unique_ptr<TOmbraLabel> LoadLabels(std::istream& in);

// Writes labels in the layout above, one entry a line, without a format version line. Throws
// TException (kind "Bad Parameter", operation "TOmbraLabel::SaveLabels") before writing anything
// when a name is unset ("Label name missing") or could not be read back as one word ("Label name
// not writable").
void SaveLabels(std::ostream& out, const TOmbraLabel& labels);

}  // namespace glean
