#pragma once
// Small blocks for a short-lived request process.
//
// A request makes and frees tens of thousands of small blocks: one text per
// configuration line, copies of the lines a page shows, the cells of its
// rows. The general heap spends most of a request's instructions on them
// (taking fresh blocks from its top, and merging the freed ones again
// whenever a larger block is asked for). Here a block is taken from a list
// of blocks of its size class, or cut from the current run of that class,
// and given back to the front of that list: a few instructions each way.
//
// Blocks come from one reserved address range, in runs of 64 KiB that each
// hold blocks of one size class; the class of any block is found from its
// address. Memory given back stays with its class for the rest of the
// process. Thread-safe: while the process has one thread no lock is taken.
//
// Usage (the CGI program routes its operator new and delete here):
//   void* p = SmallBlockAllocate(n);         // null: use the general heap
//   ...
//   if (!SmallBlockRelease(p)) std::free(p); // false: not a small block

#include <cstddef>

namespace cfgout {

// The largest block served; larger requests get null.
inline constexpr std::size_t kSmallBlockMax = 256;

// A block of at least `size` bytes (0 < size <= kSmallBlockMax), aligned to
// 16 bytes; null when `size` is larger, or the address range is used up or
// could not be reserved.
void* SmallBlockAllocate(std::size_t size) noexcept;

// Takes back a block from SmallBlockAllocate and returns true; returns false
// (and does nothing) for any other pointer, null included.
bool SmallBlockRelease(void* block) noexcept;

}  // namespace cfgout
