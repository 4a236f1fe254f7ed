#include "runtime/garbage_heap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

namespace cfgout {
namespace {

unsigned char* AsBytes(void* p) { return static_cast<unsigned char*>(p); }

TEST(GarbageHeap, RequestSizeRoundsDownToFourAndAddsFour) {
  EXPECT_EQ(GarbageHeap_RequestSize(0), 4u);
  EXPECT_EQ(GarbageHeap_RequestSize(1), 4u);
  EXPECT_EQ(GarbageHeap_RequestSize(3), 4u);
  EXPECT_EQ(GarbageHeap_RequestSize(4), 8u);
  EXPECT_EQ(GarbageHeap_RequestSize(5), 8u);
  EXPECT_EQ(GarbageHeap_RequestSize(8), 12u);
  EXPECT_EQ(GarbageHeap_RequestSize(std::numeric_limits<std::size_t>::max()), 0u);
}

TEST(GarbageHeap, CreateMakesOneChunkOfAtLeastTheMinimum) {
  GarbageHeapPtr empty(GarbageHeap_Create(0));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->newest, nullptr);

  GarbageHeapPtr small(GarbageHeap_Create(100));
  ASSERT_NE(small->newest, nullptr);
  EXPECT_EQ(small->newest->size, 500000u);
  EXPECT_EQ(small->newest->remaining, 500000u);
  EXPECT_EQ(small->newest->next, nullptr);

  GarbageHeapPtr large(GarbageHeap_Create(600001));
  EXPECT_EQ(large->newest->size, 600004u);
}

TEST(GarbageHeap, BlocksOfOneFourAndFiveBytesTakeFourEightAndEight) {
  GarbageHeapPtr heap(GarbageHeap_Create(128000));
  GarbageChunk* chunk = heap->newest;
  unsigned char* a = AsBytes(GarbageHeap_Alloc(heap.get(), 1));
  unsigned char* b = AsBytes(GarbageHeap_Alloc(heap.get(), 4));
  unsigned char* c = AsBytes(GarbageHeap_Alloc(heap.get(), 5));
  unsigned char* d = AsBytes(GarbageHeap_Alloc(heap.get(), 1));
  EXPECT_EQ(a, chunk->data);
  EXPECT_EQ(b, chunk->data + 4);
  EXPECT_EQ(c, chunk->data + 12);
  EXPECT_EQ(d, chunk->data + 20);
  EXPECT_EQ(chunk->remaining, 500000u - 24u);
  EXPECT_EQ(heap->newest, chunk);
  // Every block is usable up to its full size.
  std::memset(a, 'a', 4);
  std::memset(b, 'b', 8);
  std::memset(c, 'c', 8);
  EXPECT_EQ(a[3], 'a');
  EXPECT_EQ(b[0], 'b');
}

TEST(GarbageHeap, AnEmptyHeapGetsItsFirstChunkOnDemand) {
  GarbageHeapPtr heap(GarbageHeap_Create(0));
  void* block = GarbageHeap_Alloc(heap.get(), 10);
  ASSERT_NE(heap->newest, nullptr);
  EXPECT_EQ(block, heap->newest->data);
  EXPECT_EQ(heap->newest->size, 500000u);
  EXPECT_EQ(heap->newest->remaining, 500000u - 12u);
}

TEST(GarbageHeap, ALargeRequestGetsItsOwnChunkAndSmallOnesStillFillOlderChunks) {
  GarbageHeapPtr heap(GarbageHeap_Create(1));
  GarbageChunk* first = heap->newest;
  unsigned char* start = AsBytes(GarbageHeap_Alloc(heap.get(), 8));

  unsigned char* big = AsBytes(GarbageHeap_Alloc(heap.get(), 600000));
  GarbageChunk* own = heap->newest;
  ASSERT_NE(own, first);
  EXPECT_EQ(own->next, first);
  EXPECT_EQ(big, own->data);
  EXPECT_EQ(own->size, 600008u);  // request 600004, four to spare
  EXPECT_EQ(own->remaining, 4u);
  std::memset(big, 0x5a, 600004);

  // Eight bytes do not fit the big chunk's rest: they come from the older one.
  unsigned char* next = AsBytes(GarbageHeap_Alloc(heap.get(), 5));
  EXPECT_EQ(next, start + 12);
  // Four bytes do fit the newest chunk, which is looked at first.
  unsigned char* tail = AsBytes(GarbageHeap_Alloc(heap.get(), 2));
  EXPECT_EQ(tail, own->data + 600004);
  EXPECT_EQ(own->remaining, 0u);
}

TEST(GarbageHeap, AFullChunkMakesANewNewestChunk) {
  GarbageHeapPtr heap(GarbageHeap_Create(1));
  GarbageChunk* first = heap->newest;
  ASSERT_NE(GarbageHeap_Alloc(heap.get(), 499996), nullptr);  // takes exactly 500000
  EXPECT_EQ(first->remaining, 0u);
  void* more = GarbageHeap_Alloc(heap.get(), 1);
  ASSERT_NE(heap->newest, first);
  EXPECT_EQ(heap->newest->next, first);
  EXPECT_EQ(heap->newest->size, 500000u);
  EXPECT_EQ(more, heap->newest->data);
}

TEST(GarbageHeap, DumpHandsOutTheNewestChunkFromItsStartAgain) {
  GarbageHeapPtr heap(GarbageHeap_Create(1));
  GarbageHeap_Alloc(heap.get(), 100);
  GarbageHeap_Alloc(heap.get(), 700000);
  GarbageChunk* newest = heap->newest;
  GarbageChunk* older = newest->next;
  GarbageHeap_Dump(heap.get());
  EXPECT_EQ(heap->newest, newest);
  EXPECT_EQ(newest->remaining, newest->size);
  EXPECT_EQ(older->remaining, older->size);
  EXPECT_EQ(GarbageHeap_Alloc(heap.get(), 16), newest->data);
}

TEST(GarbageHeap, CallocMultipliesAndRefusesOverflow) {
  GarbageHeapPtr heap(GarbageHeap_Create(1));
  void* block = GarbageHeap_Calloc(heap.get(), 3, 4);  // 12 bytes take 16
  EXPECT_EQ(block, heap->newest->data);
  EXPECT_EQ(heap->newest->remaining, 500000u - 16u);
  const std::size_t max = std::numeric_limits<std::size_t>::max();
  EXPECT_EQ(GarbageHeap_Calloc(heap.get(), max / 2, 3), nullptr);
  EXPECT_EQ(GarbageHeap_Alloc(heap.get(), max), nullptr);
  EXPECT_EQ(GarbageHeap_Alloc(heap.get(), max - 5), nullptr);
  EXPECT_EQ(heap->newest->remaining, 500000u - 16u);
  EXPECT_EQ(GarbageHeap_Alloc(nullptr, 4), nullptr);
}

TEST(GarbageHeap, NewChunkIsUnlinkedAndSizedLikeCreate) {
  GarbageChunk* chunk = GarbageHeap_NewChunk(10);
  ASSERT_NE(chunk, nullptr);
  EXPECT_EQ(chunk->size, 500000u);
  EXPECT_EQ(chunk->remaining, 500000u);
  EXPECT_EQ(chunk->next, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(chunk->data) % 16, 0u);
  GarbageHeap_FreeChunk(chunk);

  chunk = GarbageHeap_NewChunk(700001);
  ASSERT_NE(chunk, nullptr);
  EXPECT_EQ(chunk->size, 700004u);
  GarbageHeap_FreeChunk(chunk);
}

}  // namespace
}  // namespace cfgout
