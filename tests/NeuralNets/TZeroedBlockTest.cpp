#include "NeuralNets/TZeroedBlock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <string>

namespace glean {
namespace {

constexpr std::size_t kLargeBytes = kHugePageSize / 2;  // from here on blocks are fresh pages

template <class T>
bool AllZero(const TZeroedBlock<T>& block) {
    return std::ranges::all_of(block.Values(), [](T value) { return value == T{}; });
}

// Makes a block of `size` values and checks it through a fill and a Zero().
template <class T>
void CheckBlock(std::size_t size) {
    TZeroedBlock<T> block(size);
    ASSERT_EQ(block.Values().size(), size);
    EXPECT_TRUE(AllZero(block));
    const auto address = reinterpret_cast<std::uintptr_t>(block.Values().data());
    if (size * sizeof(T) >= kLargeBytes) {
        EXPECT_EQ(address % kHugePageSize, 0U);
    }
    // A value on every 4 kB page and on the last one, which may be cut short.
    for (std::size_t i = 0; i < size; i += 4096 / sizeof(T))
        block.Values()[i] = T{1};
    block.Values()[size - 1] = T{1};
    EXPECT_FALSE(AllZero(block));
    block.Zero();
    EXPECT_TRUE(AllZero(block));
    block.Values()[size / 2] = T{2};  // pages given back by Zero() are usable again
    EXPECT_EQ(block.Values()[size / 2], T{2});
}

TEST(TZeroedBlock, StartsZeroAndZeroesAgainOnBothSidesOfTheLargeSize) {
    for (const std::size_t size :
         {std::size_t{1}, kLargeBytes / 8 - 1, kLargeBytes / 8, 3 * kHugePageSize / 8 + 1}) {
        SCOPED_TRACE(size);
        CheckBlock<double>(size);
    }
    for (const std::size_t size : {kLargeBytes - 1, kLargeBytes}) {
        SCOPED_TRACE(size);
        CheckBlock<std::uint8_t>(size);
    }
}

TEST(TZeroedBlock, CopiesAreDeepAndMovesLeaveTheSourceEmpty) {
    for (const std::size_t size : {std::size_t{3}, kLargeBytes / 8}) {
        TZeroedBlock<double> block(size);
        block.Values()[size - 1] = 5;
        TZeroedBlock<double> copy(block);
        block.Values()[size - 1] = 6;
        EXPECT_EQ(copy.Values()[size - 1], 5) << size;
        EXPECT_NE(copy.Values().data(), block.Values().data()) << size;
        TZeroedBlock<double> moved(std::move(block));
        EXPECT_TRUE(block.Values().empty()) << size;
        EXPECT_EQ(moved.Values()[size - 1], 6) << size;
        copy = moved;
        EXPECT_EQ(copy.Values()[size - 1], 6) << size;
        block.Zero();  // an empty block has nothing to zero
    }
}

// What making a block of `size` doubles throws, or "nothing".
std::string Failure(std::size_t size) {
    try {
        TZeroedBlock<double> block(size);
        return "nothing";
    } catch (const std::bad_array_new_length&) {
        return "bad_array_new_length";
    } catch (const std::bad_alloc&) {
        return "bad_alloc";
    }
}

TEST(TZeroedBlock, ImpossibleSizesAreRefusedAndAFailedMappingIsBadAlloc) {
    constexpr std::size_t kMost = std::numeric_limits<std::size_t>::max();
    constexpr std::size_t kLargestAsked = (kMost - 2 * kHugePageSize) / sizeof(double);
    EXPECT_EQ(Failure(kMost / 8), "bad_array_new_length");
    EXPECT_EQ(Failure(kLargestAsked + 1), "bad_array_new_length");
    // Passes the size check, but no kernel maps that much.
    EXPECT_EQ(Failure(kLargestAsked), "bad_alloc");
}

}  // namespace
}  // namespace glean
