#include "NeuralNets/TArcMatrix.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace glean {

void AdviseHugePages(void* block, std::size_t bytes) noexcept {
#if defined(MADV_HUGEPAGE)
    // Only advice: where the kernel has no huge pages the block keeps its normal pages.
    madvise(block, bytes, MADV_HUGEPAGE);
#else
    (void)block;
    (void)bytes;
#endif
}

}  // namespace glean
