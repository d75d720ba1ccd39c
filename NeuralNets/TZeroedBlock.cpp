#include "NeuralNets/TZeroedBlock.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace glean {

namespace {

std::size_t WholeHugePages(std::size_t bytes) {
    return (bytes + kHugePageSize - 1) / kHugePageSize * kHugePageSize;
}

// Blocks from half a huge page up take whole huge pages: one page fault instead of hundreds.
bool IsLarge(std::size_t bytes) {
    return bytes >= kHugePageSize / 2;
}

}  // namespace

#if defined(__linux__)

void* AllocateZeroedBlock(std::size_t bytes) {
    if (!IsLarge(bytes)) {
        void* block = std::calloc(bytes, 1);
        if (block == nullptr) throw std::bad_alloc();
        return block;
    }
    // One huge page more than needed, then the ends beyond the aligned block are given back.
    const std::size_t size = WholeHugePages(bytes);
    const std::size_t mapped = size + kHugePageSize;
    void* area = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(area);
    const std::uintptr_t aligned = (start + kHugePageSize - 1) & ~(kHugePageSize - 1);
    if (aligned > start) munmap(area, aligned - start);
    const std::uintptr_t end = aligned + size;
    if (start + mapped > end) munmap(reinterpret_cast<void*>(end), start + mapped - end);
    auto* block = reinterpret_cast<void*>(aligned);
    // Only advice: where the kernel has no huge pages the block keeps its normal pages.
    madvise(block, size, MADV_HUGEPAGE);
    return block;
}

void ZeroBlock(void* block, std::size_t bytes) noexcept {
    if (!IsLarge(bytes)) {
        std::memset(block, 0, bytes);
    } else {
        // Private anonymous pages read as zero again once dropped.
        madvise(block, WholeHugePages(bytes), MADV_DONTNEED);
    }
}

void ReleaseZeroedBlock(void* block, std::size_t bytes) noexcept {
    if (!IsLarge(bytes)) {
        std::free(block);
    } else {
        munmap(block, WholeHugePages(bytes));
    }
}

#else

void* AllocateZeroedBlock(std::size_t bytes) {
    void* block = std::calloc(bytes, 1);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void ZeroBlock(void* block, std::size_t bytes) noexcept {
    std::memset(block, 0, bytes);
}

void ReleaseZeroedBlock(void* block, std::size_t /*bytes*/) noexcept {
    std::free(block);
}

#endif

}  // namespace glean
