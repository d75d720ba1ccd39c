#include "FuzzySets/TMFSetList.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/TestSupport.h"

namespace glean {
namespace {

// An MF that counts its own destruction, to observe ownership.
class TCountedMF : public TSingletonMF {
public:
    explicit TCountedMF(int& destroyed) : destroyed_(destroyed) {}
    ~TCountedMF() override { ++destroyed_; }

private:
    int& destroyed_;
};

std::unique_ptr<TBasicMFSet> SetWithCountedMFs(int count, int& destroyed) {
    auto set = std::make_unique<TBasicMFSet>("Singleton", "X", count, 0, 1);
    for (int i = 0; i < count; ++i)
        set->SetMF(i, std::make_unique<TCountedMF>(destroyed));
    return set;
}

TEST(TBasicMFSet, IndexChecksOfGetAndSet) {
    TBasicMFSet set("Triangular", "InputA", 3, 0, 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(set.GetMF(i), nullptr);
        set.SetMF(i, std::make_unique<TTriangularMF>("T" + std::to_string(i)));
        EXPECT_EQ(set.GetMF(i)->Name, "T" + std::to_string(i));
    }
    for (int bad : {-1, 3}) {
        EXPECT_TEXCEPTION(set.GetMF(bad), "Bad MF Number", "Invalid Parameter",
                          "TBasicMFSet::GetMF");
        EXPECT_TEXCEPTION(set.SetMF(bad, std::make_unique<TSingletonMF>()), "Bad MF Number",
                          "Invalid Parameter", "TBasicMFSet::SetMF");
    }
    EXPECT_EQ(set.GetMF(2)->Name, "T2");  // a failed SetMF changes nothing
}

TEST(TBasicMFSet, FieldsFromTheConstructor) {
    const TBasicMFSet set("Triangular", "InputA", 2, -1, 4);
    EXPECT_EQ(set.Type, "Triangular");
    EXPECT_EQ(set.Name, "InputA");
    EXPECT_EQ(set.NumberOfMF, 2);
    EXPECT_EQ(set.LowerBound, -1);
    EXPECT_EQ(set.UpperBound, 4);
    const TBasicMFSet unnamed("", "", 0, 0, 0);
    EXPECT_TRUE(unnamed.Name.empty());
    EXPECT_TRUE(unnamed.Type.empty());
}

TEST(TBasicMFSet, SetMFOnAFilledSlotDestroysTheOldMF) {
    int destroyed = 0;
    auto set = SetWithCountedMFs(2, destroyed);
    set->SetMF(1, std::make_unique<TSingletonMF>("new"));
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(set->GetMF(1)->Name, "new");
    set.reset();
    EXPECT_EQ(destroyed, 2);
}

TEST(TBasicMFSet, FuzzifyFillsOneDegreePerSlot) {
    TBasicMFSet set("Triangular", "X", 2, 0, 1);
    auto low = std::make_unique<TLShoulderTriangularMF>("Low");
    low->Centre = 0;
    low->RightBound = 1;
    auto high = std::make_unique<TRShoulderTriangularMF>("High");
    high->LeftBound = 0;
    high->Centre = 1;
    set.SetMF(0, std::move(low));
    set.SetMF(1, std::move(high));
    std::vector<double> degrees(2, -1);
    set.Fuzzify(0.25, degrees);
    EXPECT_DOUBLE_EQ(degrees[0], 0.75);
    EXPECT_DOUBLE_EQ(degrees[1], 0.25);
}

TEST(TBasicMFSet, FuzzifyRefusesEmptySlotsAndShortArrays) {
    TBasicMFSet set("Singleton", "X", 2, 0, 1);
    set.SetMF(0, std::make_unique<TSingletonMF>());
    std::vector<double> degrees(2);
    EXPECT_CHECK_FIRES(set.Fuzzify(0, degrees));
    set.SetMF(1, std::make_unique<TSingletonMF>());
    std::vector<double> tooShort(1);
    EXPECT_CHECK_FIRES(set.Fuzzify(0, tooShort));
}

TEST(TMFSetList, IndexChecksOfGetAndSet) {
    TMFSetList list(2, "Inputs");
    EXPECT_EQ(list.VariablesRepresented, 2);
    EXPECT_EQ(list.ListName, "Inputs");
    EXPECT_EQ(list.GetMFSet(0), nullptr);
    EXPECT_EQ(list.GetMFSet(1), nullptr);
    for (int bad : {-1, 2}) {
        EXPECT_TEXCEPTION(list.GetMFSet(bad), "Invalid MF set number", "Bad Parameter",
                          "TMFSetList::GetMFSet");
        EXPECT_TEXCEPTION(list.SetMFSet(bad, nullptr), "Invalid MF set number", "Bad Parameter",
                          "TMFSetList::SetMFSet");
    }
}

TEST(TMFSetList, OwnsItsSetsAndTheirMFs) {
    int destroyed = 0;
    auto list = std::make_unique<TMFSetList>(3, "Outputs");
    list->SetMFSet(0, SetWithCountedMFs(2, destroyed));
    list->SetMFSet(2, SetWithCountedMFs(1, destroyed));  // slot 1 stays empty

    list->SetMFSet(0, SetWithCountedMFs(1, destroyed));  // replacing destroys the old set
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(list->GetMFSet(0)->NumberOfMF, 1);

    list.reset();
    EXPECT_EQ(destroyed, 4);
}

TEST(TMFSetList, HugeSlotCountsCostNothingUntilFilled) {
    TMFSetList list(2147483647, "Inputs");
    auto set = std::make_unique<TBasicMFSet>("Triangular", "X", 2147483647, 0, 1);
    set->SetMF(2147483646, std::make_unique<TSingletonMF>("last"));
    list.SetMFSet(2147483646, std::move(set));
    EXPECT_EQ(list.GetMFSet(2147483646)->GetMF(2147483646)->Name, "last");
    EXPECT_EQ(list.GetMFSet(0), nullptr);
    list.SetMFSet(2147483646, nullptr);  // storing nothing empties the slot
    EXPECT_EQ(list.GetMFSet(2147483646), nullptr);
}

}  // namespace
}  // namespace glean
