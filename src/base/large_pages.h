#pragma once

namespace vant {

// Asks for transparent huge pages on the heap. A minimap run touches some
// fifty megabytes of fresh memory once; on virtual machines the cost of
// faulting it in 4 KiB pages is larger than all the drawing.
void preferLargePages();

}  // namespace vant
