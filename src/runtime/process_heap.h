#pragma once
// Start-up tuning of the process heap for a short-lived request process.
//
// A request reads the whole configuration into many small heap blocks. On a
// fresh process every 4 KiB page of that heap is first touched through a page
// fault, and on virtual machines a fault costs several microseconds: for a
// large configuration the faults cost more than the reading. Letting the heap
// grow inside a region advised for transparent huge pages turns hundreds of
// faults into a few. Nothing changes in what the program computes; where the
// kernel offers no huge pages the advice is simply ignored.

#include <cstddef>

namespace cfgout {

// Reserves `bytes` of heap for the rest of the request and advises the
// kernel to back it with huge pages. Call once, first thing in main.
void PrepareRequestHeap(std::size_t bytes);

}  // namespace cfgout
