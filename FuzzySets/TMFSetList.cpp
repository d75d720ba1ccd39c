#include "FuzzySets/TMFSetList.h"

#include <cstddef>
#include <utility>

#include "KQmessage/Check.h"
#include "KQmessage/TException.h"

namespace glean {

namespace {

int CheckedCount(int count) {
    GLEAN_CHECK(count >= 0);
    return count;
}

void CheckMFIndex(int index, int count, const char* operation) {
    if (index < 0 || index >= count)
        throw TException("Bad MF Number", "Invalid Parameter", operation);
}

void CheckSetIndex(int index, int count, const char* operation) {
    if (index < 0 || index >= count) {
        throw TException("Invalid MF set number", "Bad Parameter", operation);
    }
}

// The content of a sparse slot, null when empty.
template <typename T>
T* Slot(const std::map<int, std::unique_ptr<T>>& slots, int index) {
    const auto found = slots.find(index);
    return found == slots.end() ? nullptr : found->second.get();
}

// Stores content in a sparse slot, destroying what was there; null empties the slot.
template <typename T>
void Store(std::map<int, std::unique_ptr<T>>& slots, int index, std::unique_ptr<T> content) {
    if (content) {
        slots[index] = std::move(content);
    } else {
        slots.erase(index);
    }
}

}  // namespace

TBasicMFSet::TBasicMFSet(std::string type, std::string name, int numberOfMF, double lowerBound,
                         double upperBound)
    : Name(std::move(name)),
      Type(std::move(type)),
      NumberOfMF(CheckedCount(numberOfMF)),
      LowerBound(lowerBound),
      UpperBound(upperBound) {}

TBasicMFSet::~TBasicMFSet() = default;

TBasicMF* TBasicMFSet::GetMF(int index) const {
    CheckMFIndex(index, NumberOfMF, "TBasicMFSet::GetMF");
    return Slot(MFs, index);
}

void TBasicMFSet::SetMF(int index, std::unique_ptr<TBasicMF> mf) {
    CheckMFIndex(index, NumberOfMF, "TBasicMFSet::SetMF");
    Store(MFs, index, std::move(mf));
}

void TBasicMFSet::Fuzzify(double x, std::span<double> degrees) const {
    GLEAN_CHECK(degrees.size() >= static_cast<std::size_t>(NumberOfMF));
    for (int i = 0; i < NumberOfMF; ++i) {
        const TBasicMF* mf = Slot(MFs, i);
        GLEAN_CHECK_TEXT(mf != nullptr, "MFs[i]!=NULL");
        degrees[static_cast<std::size_t>(i)] = mf->Membership(x);
    }
}

TMFSetList::TMFSetList(int count, std::string listName)
    : VariablesRepresented(CheckedCount(count)), ListName(std::move(listName)) {}

TBasicMFSet* TMFSetList::GetMFSet(int index) const {
    CheckSetIndex(index, VariablesRepresented, "TMFSetList::GetMFSet");
    return Slot(Sets, index);
}

void TMFSetList::SetMFSet(int index, std::unique_ptr<TBasicMFSet> set) {
    CheckSetIndex(index, VariablesRepresented, "TMFSetList::SetMFSet");
    Store(Sets, index, std::move(set));
}

}  // namespace glean
