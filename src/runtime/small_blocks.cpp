#include "runtime/small_blocks.h"

#include <sys/mman.h>
#include <sys/single_threaded.h>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace cfgout {

namespace {

constexpr std::size_t kGranule = 16;                          // class c holds blocks of (c + 1) * 16 bytes
constexpr std::size_t kClasses = kSmallBlockMax / kGranule;
constexpr std::size_t kRunBytes = std::size_t{64} << 10;      // one class per run
constexpr std::size_t kRangeBytes = std::size_t{1} << 30;     // address space reserved, not memory
constexpr std::size_t kRuns = kRangeBytes / kRunBytes;
constexpr std::size_t kCommitStep = std::size_t{2} << 20;     // made usable this much at a time: one huge page

struct FreeBlock {
  FreeBlock* next;
};

// All zero before any constructor runs: blocks may be asked for by static
// initialisers of any translation unit.
struct State {
  char* base = nullptr;          // start of the reserved range; null until reserved
  bool unavailable = false;      // the range could not be reserved
  std::size_t runsUsed = 0;      // runs handed to classes, from base on
  std::size_t committed = 0;     // bytes from base that may be read and written
  FreeBlock* free[kClasses] = {};
  char* carve[kClasses] = {};    // next uncut byte of the class's current run
  char* carveEnd[kClasses] = {};
  unsigned char runClass[kRuns] = {};
};

constinit State g_state;
// Read without the lock to tell whether a pointer is in the range: set once.
constinit std::atomic<std::uintptr_t> g_base{0};
constinit std::mutex g_lock;

// Takes the lock unless the process has a single thread (no other thread
// can then start while this one is inside the allocator).
class Guard {
 public:
  Guard() : locked_(__libc_single_threaded == 0) {
    if (locked_) g_lock.lock();
  }
  ~Guard() {
    if (locked_) g_lock.unlock();
  }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;

 private:
  bool locked_;
};

bool Reserve(State& s) {
  if (s.unavailable) return false;
  // PROT_NONE: no memory is committed until runs are made usable. One step
  // more than the range, so that the range can start on a huge page.
  void* range =
      ::mmap(nullptr, kRangeBytes + kCommitStep, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (range == MAP_FAILED) {
    s.unavailable = true;
    return false;
  }
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(range);
  const std::uintptr_t aligned = (start + kCommitStep - 1) & ~(std::uintptr_t{kCommitStep} - 1);
  s.base = reinterpret_cast<char*>(aligned);
  g_base.store(aligned, std::memory_order_release);
  return true;
}

// Starts a new run for class `c`; false when the range is used up.
bool NewRun(State& s, std::size_t c) {
  if (s.base == nullptr && !Reserve(s)) return false;
  if (s.runsUsed == kRuns) return false;
  const std::size_t start = s.runsUsed * kRunBytes;
  if (start + kRunBytes > s.committed) {
    if (::mprotect(s.base + s.committed, kCommitStep, PROT_READ | PROT_WRITE) != 0) return false;
    // A fresh process touches every page of the step through a fault; a
    // huge page makes that one fault, but it also clears all of its 2 MiB
    // at once, which costs as much as faulting in a few hundred ordinary
    // pages. A request's first step is mostly a few dozen pages (the lines
    // themselves live elsewhere): only the steps after it are advised.
    // Advice only: refused, the step works with ordinary pages.
    if (s.committed > 0) (void)::madvise(s.base + s.committed, kCommitStep, MADV_HUGEPAGE);
    s.committed += kCommitStep;
  }
  s.runClass[s.runsUsed] = static_cast<unsigned char>(c);
  ++s.runsUsed;
  s.carve[c] = s.base + start;
  s.carveEnd[c] = s.base + start + kRunBytes;
  return true;
}

// A block of class `c` under the lock if needed; a new run when the class
// has neither a freed block nor room in its run. Kept out of line so that
// the common path below stays a few instructions without saved registers.
[[gnu::noinline]] void* AllocateLocked(std::size_t c, std::size_t bytes) noexcept {
  State& s = g_state;
  Guard guard;
  if (FreeBlock* block = s.free[c]) {
    s.free[c] = block->next;
    return block;
  }
  if (static_cast<std::size_t>(s.carveEnd[c] - s.carve[c]) < bytes && !NewRun(s, c)) return nullptr;
  void* block = s.carve[c];
  s.carve[c] += bytes;
  return block;
}

[[gnu::noinline]] void ReleaseLocked(void* block, std::size_t c) noexcept {
  State& s = g_state;
  Guard guard;
  auto* freed = static_cast<FreeBlock*>(block);
  freed->next = s.free[c];
  s.free[c] = freed;
}

}  // namespace

void* SmallBlockAllocate(std::size_t size) noexcept {
  if (size > kSmallBlockMax) return nullptr;
  const std::size_t c = size == 0 ? 0 : (size - 1) / kGranule;
  const std::size_t bytes = (c + 1) * kGranule;
  if (__libc_single_threaded != 0) {
    State& s = g_state;
    if (FreeBlock* block = s.free[c]) {
      s.free[c] = block->next;
      return block;
    }
    char* carve = s.carve[c];
    if (static_cast<std::size_t>(s.carveEnd[c] - carve) >= bytes) {
      s.carve[c] = carve + bytes;
      return carve;
    }
  }
  return AllocateLocked(c, bytes);
}

bool SmallBlockRelease(void* block) noexcept {
  const std::uintptr_t base = g_base.load(std::memory_order_acquire);
  const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(block);
  // Unsigned: an address below the range wraps to a large offset.
  if (base == 0 || address - base >= kRangeBytes) return false;
  State& s = g_state;
  const std::size_t c = s.runClass[(address - base) / kRunBytes];
  if (__libc_single_threaded != 0) {
    auto* freed = static_cast<FreeBlock*>(block);
    freed->next = s.free[c];
    s.free[c] = freed;
  } else {
    ReleaseLocked(block, c);
  }
  return true;
}

}  // namespace cfgout
