// The MF list block: how a TMFSetList is written to, and read from, a block text file.
//
// Grammar (keywords ignoring case; "[k=v ...]" is one open-form line, its items without blanks
// around "=", each followed by one blank):
//
//   mf-list    = "[MFList]" list-info { mf-set } "[~MFList]" ;       (VariablesRepresented sets)
//   list-info  = "[MFListInfo]" "[VariablesRepresented =" int "]" "[ListName =" text "]"
//                "[~MFListInfo]" ;
//   mf-set     = "[MFSet]" set-info { mf } "[~MFSet]" ;                (NumberOfMF MFs)
//   set-info   = "[MFSetInfo]" "[Name=" text "Index=" int "Type=" text "]"
//                "[LowerBound=" number "UpperBound=" number "]" "[NumberOfMF =" int "]"
//                "[~MFSetInfo]" ;
//   mf         = "[MF]" "[Name=" text "Index=" int "Type=" type "]" parameters "[~MF]" ;
//   parameters = "[Centre =" number "]"                                    (Singleton)
//              | "[LeftBound=" number "Centre=" number "RightBound=" number "]"   (Triangular)
//              | "[LeftBound=" number "RightBound=" number "]"                   (Rectangular)
//              | "[Centre=" number "RightBound=" number "]"       (LeftShoulderedTriangular)
//              | "[LeftBound=" number "Centre=" number "]" ;     (RightShoulderedTriangular)
//
// Sets take their positions from the order of their blocks (the set's Index is not used); each MF
// lands in the slot its Index names. Numbers are written with seven decimals.
#pragma once

#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FuzzySets/TMFSetList.h"

namespace glean {

class TFuzzyMFFiler {
public:
    // Writes one MFList block. Requires every slot filled, every set named and typed, and every
    // MF of one of the five types (internal checks).
    static void SaveMFList(std::ostream& out, const TMFSetList& list);
    // Writes one MFSet block with index as the set's Index.
    static void SaveMFSet(std::ostream& out, const TBasicMFSet& set, int index);
    // Reads one MFList block. `enclosing` is the name of the block around it, if any, so that its
    // end tag in place of the list is a syntax error rather than a malformed file.
    // Throws FileTools::Error for the block syntax, and TException (kind "Bad File Data") for
    // "NumberOfMF must be > 0", "UpperBound must be > LowerBound", an MF type outside the five, an
    // MF slot that no block fills; TException "Bad MF Number" from SetMF for an MF Index out of
    // range. Nothing read is kept when it throws.
    static std::unique_ptr<TMFSetList> LoadMFList(std::istream& in,
                                                  const std::string* enclosing = nullptr);
    // The parameters of mf under the keys of its parameter line, in that order; empty for an MF
    // of none of the five types.
    static std::vector<std::pair<std::string_view, double>> Parameters(const TBasicMF& mf);
};

}  // namespace glean
