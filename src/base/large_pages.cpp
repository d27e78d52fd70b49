#include "base/large_pages.h"

#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace vant {

void preferLargePages() {
    constexpr size_t Reserve = size_t(256) << 20;  // address space only until touched
    constexpr uintptr_t HugePage = uintptr_t(2) << 20;
    // Keep every allocation, large ones included, on one heap that grows in
    // one step, then mark that heap for huge pages.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TOP_PAD, int(Reserve));
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    // One large block makes the heap grow now; freed, it stays as the top of
    // the heap (nothing is trimmed) for the allocations that follow.
    void* block = std::malloc(Reserve / 4);
    if (!block) return;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(block) + HugePage - 1) & ~(HugePage - 1);
    const uintptr_t end = reinterpret_cast<uintptr_t>(sbrk(0)) & ~(HugePage - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    std::free(block);
}

}  // namespace vant
