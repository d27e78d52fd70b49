#pragma once

#include <cstddef>

namespace vant {

// Asks for transparent huge pages on the heap. A minimap run touches some
// thirty megabytes of fresh memory once; on virtual machines the cost of
// faulting it in 4 KiB pages is larger than all the drawing. The heap is
// grown once by workingSet bytes (address space the run uses, nothing
// reserved beyond it).
void preferLargePages(size_t workingSet = size_t(32) << 20);

}  // namespace vant
