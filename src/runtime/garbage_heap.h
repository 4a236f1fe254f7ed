#pragma once
// Garbage heap: an arena for many small blocks that are never freed one by
// one. Blocks are carved from the front of large chunks; the whole heap is
// emptied (Dump) or released (Destroy) at once.
//
// Sizes: a request of n bytes takes (n rounded down to a multiple of 4) + 4
// bytes, so every block is a multiple of 4 and at least n + 1 bytes long.
// Chunks hold at least kGarbageChunkMinimum data bytes; a larger request gets
// a chunk of its own. Chunk data start on a 16-byte boundary, so a caller
// that only asks for sizes whose request size is a multiple of 8 gets blocks
// aligned for pointers.

#include <cstddef>
#include <memory>

namespace cfgout {

inline constexpr std::size_t kGarbageChunkMinimum = 500000;

// One allocation of this header followed by `size` data bytes.
struct GarbageChunk {
  unsigned char* data;  // first data byte, right after the header
  std::size_t size;     // data bytes
  std::size_t remaining;  // bytes not yet handed out (the tail of the data)
  GarbageChunk* next;     // the next older chunk, null at the end
};

struct GarbageHeap {
  GarbageChunk* newest = nullptr;
};

// The bytes a request of n takes from a chunk; 0 when n is too large to
// represent (such a request always fails).
std::size_t GarbageHeap_RequestSize(std::size_t n);

// A new heap; when `size` is not 0 it starts with one chunk of
// max(kGarbageChunkMinimum, request size of `size`) bytes (no chunk if that
// allocation fails). Null when out of memory.
GarbageHeap* GarbageHeap_Create(std::size_t size);

// A block of the request size of n from the newest chunk with room, or from a
// new chunk put in front; null when memory runs out or heap is null.
void* GarbageHeap_Alloc(GarbageHeap* heap, std::size_t n);

// The same for count * size bytes; the block is not cleared. Null when the
// product overflows.
void* GarbageHeap_Calloc(GarbageHeap* heap, std::size_t count, std::size_t size);

// Empties the heap: every chunk is kept for reuse and handed out again from
// its start. Every block handed out before becomes invalid.
void GarbageHeap_Dump(GarbageHeap* heap);

// Frees every chunk and the heap. Null: nothing.
void GarbageHeap_Destroy(GarbageHeap* heap);

// A fresh chunk, not linked to any heap, of max(kGarbageChunkMinimum,
// request size of n) data bytes, or null. Release it with
// GarbageHeap_FreeChunk unless it is handed to a heap.
GarbageChunk* GarbageHeap_NewChunk(std::size_t n);
void GarbageHeap_FreeChunk(GarbageChunk* chunk);

// Owning handle for C++ callers.
struct GarbageHeapDeleter {
  void operator()(GarbageHeap* heap) const { GarbageHeap_Destroy(heap); }
};
using GarbageHeapPtr = std::unique_ptr<GarbageHeap, GarbageHeapDeleter>;

}  // namespace cfgout
