// MF sets (the terms of one fuzzy variable) and MF set lists (one set per variable of a group).
// Both own what their slots hold; slots start empty and are filled one by one. Slots are kept
// sparsely, so a slot count read from a file costs no memory until the file fills the slots.
//
// Texts that the documentation calls "absent" are empty strings here.
#pragma once

#include <map>
#include <memory>
#include <span>
#include <string>

#include "FuzzySets/TBasicMF.h"

namespace glean {

class TBasicMFSet {
public:
    // NumberOfMF empty slots (requires numberOfMF >= 0); the bounds are stored unchecked.
    TBasicMFSet(std::string type, std::string name, int numberOfMF, double lowerBound,
                double upperBound);
    virtual ~TBasicMFSet();

    // The MF in slot index, borrowed, null for an empty slot.
    // Throws TException("Bad MF Number", "Invalid Parameter", "TBasicMFSet::GetMF") when index is
    // outside 0 .. NumberOfMF-1.
    TBasicMF* GetMF(int index) const;
    // Puts mf into slot index and owns it; an MF already there is destroyed.
    // Throws TException("Bad MF Number", "Invalid Parameter", "TBasicMFSet::SetMF") when index is
    // outside 0 .. NumberOfMF-1, leaving the set unchanged.
    void SetMF(int index, std::unique_ptr<TBasicMF> mf);
    // Writes the membership of x in the MF of slot i into degrees[i], for every slot.
    // Requires degrees to hold NumberOfMF entries and every slot to hold an MF.
    void Fuzzify(double x, std::span<double> degrees) const;

    std::string Name;  // the variable's name
    std::string Type;  // the family of the set's MFs, e.g. "Triangular"
    const int NumberOfMF;
    double LowerBound;
    double UpperBound;

private:
    std::map<int, std::unique_ptr<TBasicMF>> MFs;  // filled slots only
};

class TMFSetList {
public:
    // VariablesRepresented empty slots (requires count >= 0).
    TMFSetList(int count, std::string listName);

    // The set in slot index, borrowed, null for an empty slot.
    // Throws TException("Invalid MF set number", "Bad Parameter", "TMFSetList::GetMFSet") when
    // index is outside 0 .. VariablesRepresented-1.
    TBasicMFSet* GetMFSet(int index) const;
    // Puts set into slot index and owns it; a set already there is destroyed with its MFs.
    // Throws TException("Invalid MF set number", "Bad Parameter", "TMFSetList::SetMFSet") when
    // index is outside 0 .. VariablesRepresented-1, leaving the list unchanged.
    void SetMFSet(int index, std::unique_ptr<TBasicMFSet> set);

    const int VariablesRepresented;
    std::string ListName;  // e.g. "Inputs", "Outputs"

private:
    std::map<int, std::unique_ptr<TBasicMFSet>> Sets;  // filled slots only
};

}  // namespace glean
