// Memory for arc values that starts all zero, cheaply for the large blocks of big networks.
//
// Guarantee: every block starts with all bytes zero, and Zero() makes them zero again. Blocks of
// 1 MB (half a huge page) and more are fresh private pages from the kernel (mmap), which arrive
// zeroed, so a new matrix of zeros costs no writes at all. They start on a huge-page boundary,
// take whole huge pages, and the kernel is asked (MADV_HUGEPAGE) to back them with huge pages:
// loading a big network then takes a few page faults instead of one per 4 kB, which on virtual
// machines costs more than parsing the weights. The request is only advice; where the kernel has
// no huge pages the block keeps its normal pages and is correct all the same.
//
// Fallbacks: blocks below 1 MB, and blocks of any size where there is no mmap (systems other
// than Linux), come from calloc and are zeroed again with memset. There is no fallback from a
// failed mmap to calloc: when mmap (or calloc) fails, the allocation fails with std::bad_alloc.
#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>
#include <new>
#include <span>
#include <type_traits>
#include <utility>

namespace glean {

inline constexpr std::size_t kHugePageSize = std::size_t{1} << 21;

// A zeroed block of `bytes` bytes, to be given back with ReleaseZeroedBlock and the same size.
// Throws std::bad_alloc.
void* AllocateZeroedBlock(std::size_t bytes);
// Makes every byte zero again: a large block gives its pages back, to get fresh ones when used.
void ZeroBlock(void* block, std::size_t bytes) noexcept;
// Gives back a block from AllocateZeroedBlock of that size.
void ReleaseZeroedBlock(void* block, std::size_t bytes) noexcept;

// A fixed number of values, all zero when made. Copies are deep.
template <class T>
class TZeroedBlock {
    static_assert(std::is_arithmetic_v<T>, "all zero bytes must be the value zero");

public:
    TZeroedBlock() = default;
    // Fails with std::bad_array_new_length for a size no memory can hold (room is left for
    // rounding up to whole huge pages and aligning to one).
    explicit TZeroedBlock(std::size_t size) : size_(size) {
        if (size > (std::numeric_limits<std::size_t>::max() - 2 * kHugePageSize) / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        if (size > 0) values_ = static_cast<T*>(AllocateZeroedBlock(size * sizeof(T)));
    }
    TZeroedBlock(const TZeroedBlock& other) : TZeroedBlock(other.size_) {
        std::copy_n(other.values_, size_, values_);
    }
    TZeroedBlock(TZeroedBlock&& other) noexcept
        : values_(std::exchange(other.values_, nullptr)), size_(std::exchange(other.size_, 0)) {}
    TZeroedBlock& operator=(TZeroedBlock other) noexcept {
        std::swap(values_, other.values_);
        std::swap(size_, other.size_);
        return *this;
    }
    ~TZeroedBlock() {
        if (values_ != nullptr) ReleaseZeroedBlock(values_, size_ * sizeof(T));
    }

    std::span<T> Values() { return {values_, size_}; }
    std::span<const T> Values() const { return {values_, size_}; }
    void Zero() noexcept {
        if (values_ != nullptr) ZeroBlock(values_, size_ * sizeof(T));
    }

private:
    T* values_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace glean
