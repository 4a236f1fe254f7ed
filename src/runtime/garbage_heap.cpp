#include "runtime/garbage_heap.h"

#include <sys/mman.h>

#include <algorithm>
#include <limits>
#include <new>

namespace cfgout {

namespace {

// Header rounded up so that chunk data keep the alignment of the allocation.
constexpr std::size_t kHeaderBytes =
    (sizeof(GarbageChunk) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
    alignof(std::max_align_t);

// Chunks of at least this many bytes are mapped on their own instead of
// taken from the heap. A chunk is large and mostly left unused (a message
// bundle's takes a few dozen kilobytes of its 500,000 bytes); mapped, its
// untouched pages cost nothing, while on the heap it would stretch the
// region a request works in (which huge pages back, each cleared whole).
constexpr std::size_t kMappedChunkBytes = std::size_t{256} << 10;

bool IsMapped(std::size_t allocationBytes) { return allocationBytes >= kMappedChunkBytes; }

void* AllocateChunk(std::size_t bytes) {
  if (!IsMapped(bytes)) return ::operator new(bytes, std::nothrow);
  void* raw = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return raw == MAP_FAILED ? nullptr : raw;
}

// A chunk of exactly `dataBytes` data bytes, or null.
GarbageChunk* MakeChunk(std::size_t dataBytes) {
  if (dataBytes > std::numeric_limits<std::size_t>::max() - kHeaderBytes) return nullptr;
  void* raw = AllocateChunk(kHeaderBytes + dataBytes);
  if (raw == nullptr) return nullptr;
  auto* chunk = ::new (raw) GarbageChunk{};
  chunk->data = static_cast<unsigned char*>(raw) + kHeaderBytes;
  chunk->size = dataBytes;
  chunk->remaining = dataBytes;
  chunk->next = nullptr;
  return chunk;
}

void* TakeFrom(GarbageChunk* chunk, std::size_t request) {
  void* block = chunk->data + (chunk->size - chunk->remaining);
  chunk->remaining -= request;
  return block;
}

}  // namespace

std::size_t GarbageHeap_RequestSize(std::size_t n) {
  std::size_t rounded = n & ~static_cast<std::size_t>(3);
  if (rounded > std::numeric_limits<std::size_t>::max() - 4) return 0;
  return rounded + 4;
}

GarbageChunk* GarbageHeap_NewChunk(std::size_t n) {
  std::size_t request = GarbageHeap_RequestSize(n);
  if (request == 0) return nullptr;
  return MakeChunk(std::max(kGarbageChunkMinimum, request));
}

void GarbageHeap_FreeChunk(GarbageChunk* chunk) {
  if (chunk == nullptr) return;
  const std::size_t bytes = kHeaderBytes + chunk->size;
  chunk->~GarbageChunk();
  if (IsMapped(bytes)) {
    ::munmap(static_cast<void*>(chunk), bytes);
  } else {
    ::operator delete(static_cast<void*>(chunk));
  }
}

GarbageHeap* GarbageHeap_Create(std::size_t size) {
  auto* heap = new (std::nothrow) GarbageHeap{};
  if (heap == nullptr) return nullptr;
  if (size != 0) heap->newest = GarbageHeap_NewChunk(size);
  return heap;
}

void* GarbageHeap_Alloc(GarbageHeap* heap, std::size_t n) {
  if (heap == nullptr) return nullptr;
  std::size_t request = GarbageHeap_RequestSize(n);
  if (request == 0) return nullptr;
  for (GarbageChunk* chunk = heap->newest; chunk != nullptr; chunk = chunk->next) {
    if (chunk->remaining >= request) return TakeFrom(chunk, request);
  }
  // A new chunk keeps four bytes to spare beyond the request.
  if (request > std::numeric_limits<std::size_t>::max() - 4) return nullptr;
  GarbageChunk* chunk = MakeChunk(std::max(kGarbageChunkMinimum, request + 4));
  if (chunk == nullptr) return nullptr;
  chunk->next = heap->newest;
  heap->newest = chunk;
  return TakeFrom(chunk, request);
}

void* GarbageHeap_Calloc(GarbageHeap* heap, std::size_t count, std::size_t size) {
  if (size != 0 && count > std::numeric_limits<std::size_t>::max() / size) return nullptr;
  return GarbageHeap_Alloc(heap, count * size);
}

void GarbageHeap_Dump(GarbageHeap* heap) {
  if (heap == nullptr) return;
  for (GarbageChunk* chunk = heap->newest; chunk != nullptr; chunk = chunk->next) {
    chunk->remaining = chunk->size;
  }
}

void GarbageHeap_Destroy(GarbageHeap* heap) {
  if (heap == nullptr) return;
  GarbageChunk* chunk = heap->newest;
  while (chunk != nullptr) {
    GarbageChunk* older = chunk->next;
    GarbageHeap_FreeChunk(chunk);
    chunk = older;
  }
  delete heap;
}

}  // namespace cfgout
