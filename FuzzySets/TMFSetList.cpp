#include "FuzzySets/TMFSetList.h"

#include <cstddef>
#include <utility>

#include "KQmessage/Check.h"
#include "KQmessage/TException.h"
#include "KQmessage/TKQstructure.h"  // completes the type of TException's default argument

namespace glean {

namespace {

// Slot index after the range check every accessor makes; the exception names the caller.
std::size_t SlotIndex(int index, int count, const char* message, const char* kind,
                      const char* operation) {
    if (index < 0 || index >= count) throw TException(message, kind, operation);
    return static_cast<std::size_t>(index);
}

std::size_t MFIndex(int index, int count, const char* operation) {
    return SlotIndex(index, count, "Bad MF Number", "Invalid Parameter", operation);
}

std::size_t SetIndex(int index, int count, const char* operation) {
    return SlotIndex(index, count, "Invalid MF set number", "Bad Parameter", operation);
}

int CheckedCount(int count) {
    GLEAN_CHECK(count >= 0);
    return count;
}

}  // namespace

TBasicMFSet::TBasicMFSet(std::string type, std::string name, int numberOfMF, double lowerBound,
                         double upperBound)
    : Name(std::move(name)),
      Type(std::move(type)),
      NumberOfMF(CheckedCount(numberOfMF)),
      LowerBound(lowerBound),
      UpperBound(upperBound),
      MFs(static_cast<std::size_t>(numberOfMF)) {}

TBasicMFSet::~TBasicMFSet() = default;

TBasicMF* TBasicMFSet::GetMF(int index) const {
    return MFs[MFIndex(index, NumberOfMF, "TBasicMFSet::GetMF")].get();
}

void TBasicMFSet::SetMF(int index, std::unique_ptr<TBasicMF> mf) {
    MFs[MFIndex(index, NumberOfMF, "TBasicMFSet::SetMF")] = std::move(mf);
}

void TBasicMFSet::Fuzzify(double x, std::span<double> degrees) const {
    GLEAN_CHECK(degrees.size() >= MFs.size());
    for (std::size_t i = 0; i < MFs.size(); ++i) {
        GLEAN_CHECK_TEXT(MFs[i] != nullptr, "MFs[i]!=NULL");
        degrees[i] = MFs[i]->Membership(x);
    }
}

TMFSetList::TMFSetList(int count, std::string listName)
    : VariablesRepresented(CheckedCount(count)),
      ListName(std::move(listName)),
      Sets(static_cast<std::size_t>(count)) {}

TBasicMFSet* TMFSetList::GetMFSet(int index) const {
    return Sets[SetIndex(index, VariablesRepresented, "TMFSetList::GetMFSet")].get();
}

void TMFSetList::SetMFSet(int index, std::unique_ptr<TBasicMFSet> set) {
    Sets[SetIndex(index, VariablesRepresented, "TMFSetList::SetMFSet")] = std::move(set);
}

}  // namespace glean
