#include "base/large_pages.h"

#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace vant {

void preferLargePages(size_t workingSet) {
    constexpr uintptr_t HugePage = uintptr_t(2) << 20;
    // Keep large allocations on the heap and never give its top back, so
    // the block below serves the whole run.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    // One block of the run's working set makes the heap grow now, in one
    // step and no further than the run will touch; freed, it stays as the
    // top of the heap for the allocations that follow. Under an address
    // space limit that cannot hold it, the heap simply grows as it goes.
    void* block = std::malloc(workingSet);
    if (!block) return;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + HugePage - 1) & ~(HugePage - 1);
    const uintptr_t end = reinterpret_cast<uintptr_t>(sbrk(0)) & ~(HugePage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    std::free(block);
}

}  // namespace vant
