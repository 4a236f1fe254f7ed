#include "runtime/process_heap.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace cfgout {

namespace {

// See PrepareRequestHeap; never freed. Volatile: the block is never used,
// and the compiler must not leave out making it.
void* volatile g_padding = nullptr;

}  // namespace

void PrepareRequestHeap(std::size_t bytes) {
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  // What the heap puts between two blocks (the next block's header).
  constexpr std::uintptr_t kPadOverhead = 2 * sizeof(std::size_t);
  // Keep blocks of every size on the main heap, and never give its top back
  // to the system: the region advised below must stay the heap's.
  if (mallopt(M_MMAP_THRESHOLD, 64 << 20) == 0) return;
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  // A second thread (the change history's, during a write-back) allocates
  // from this heap too instead of mapping a fresh arena of its own, whose
  // every page would first be faulted in.
  mallopt(M_ARENA_MAX, 1);

  void* block = std::malloc(bytes);
  if (block == nullptr) return;
  auto start = reinterpret_cast<std::uintptr_t>(block);
  // The heap's top up to the next huge page boundary is left to a block
  // that is never used: what the request allocates then starts on that
  // boundary, in memory that huge pages back, instead of in up to 2 MiB of
  // ordinary pages before it, each first touched through a fault of its
  // own. (Only the padding block's header is written; its pages stay
  // untouched.)
  const std::uintptr_t boundary = (start + kHugePage - 1) & ~(kHugePage - 1);
  if (boundary - start > kPadOverhead) {
    std::free(block);
    g_padding = std::malloc(boundary - start - kPadOverhead);  // kept for the process's life
    block = std::malloc(bytes);
    if (block == nullptr) return;
    start = reinterpret_cast<std::uintptr_t>(block);
  }
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = (start + bytes) & ~(kHugePage - 1);
  if (last > first) {
    // Advice only: a kernel without huge pages refuses it, and the heap then
    // works with ordinary pages.
    (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
  // Back to the heap's top, where the following small blocks are carved.
  std::free(block);
}

}  // namespace cfgout
