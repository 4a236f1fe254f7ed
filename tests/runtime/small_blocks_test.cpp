#include "runtime/small_blocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace cfgout {
namespace {

TEST(SmallBlocks, EverySizeGetsAnAlignedBlockOfItsOwnThatComesBackForItsClass) {
  struct Case {
    std::size_t size;
    std::size_t sameClassAs;  // a size whose freed block the next request of `size` reuses
  };
  for (const Case c : {Case{0, 1}, Case{1, 16}, Case{17, 32}, Case{56, 64}, Case{200, 208}, Case{256, 241}}) {
    SCOPED_TRACE(c.size);
    std::vector<unsigned char*> held;
    for (int i = 0; i < 5000; ++i) {  // several runs of the class
      auto* block = static_cast<unsigned char*>(SmallBlockAllocate(c.size));
      ASSERT_NE(block, nullptr);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 16, 0u);
      std::memset(block, i & 0xff, c.size);
      held.push_back(block);
    }
    // No block overlaps another: each still holds its own pattern.
    for (int i = 0; i < 5000; ++i) {
      for (std::size_t k = 0; k < c.size; ++k) ASSERT_EQ(held[i][k], i & 0xff);
    }
    void* other = SmallBlockAllocate(c.sameClassAs);
    ASSERT_TRUE(SmallBlockRelease(other));
    EXPECT_EQ(SmallBlockAllocate(c.size), other);
    held.push_back(static_cast<unsigned char*>(other));
    for (unsigned char* block : held) EXPECT_TRUE(SmallBlockRelease(block));
  }
}

TEST(SmallBlocks, LargerRequestsAndForeignPointersAreNotServed) {
  EXPECT_EQ(SmallBlockAllocate(kSmallBlockMax + 1), nullptr);
  EXPECT_EQ(SmallBlockAllocate(std::size_t{1} << 20), nullptr);
  int onStack = 0;
  void* fromHeap = std::malloc(32);
  EXPECT_FALSE(SmallBlockRelease(nullptr));
  EXPECT_FALSE(SmallBlockRelease(&onStack));
  EXPECT_FALSE(SmallBlockRelease(fromHeap));
  std::free(fromHeap);
}

TEST(SmallBlocks, ThreadsTakeAndGiveBackBlocksWithoutSharingOne) {
  auto work = [](unsigned char mark, bool* ok) {
    std::vector<unsigned char*> held;
    for (int round = 0; round < 200; ++round) {
      for (std::size_t size = 1; size <= kSmallBlockMax; size += 37) {
        auto* block = static_cast<unsigned char*>(SmallBlockAllocate(size));
        if (block == nullptr) {
          *ok = false;
          return;
        }
        std::memset(block, mark, size);
        held.push_back(block);
      }
      for (unsigned char* block : held) {
        if (block[0] != mark) *ok = false;
        SmallBlockRelease(block);
      }
      held.clear();
    }
  };
  bool ok[4] = {true, true, true, true};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back(work, static_cast<unsigned char>(t + 1), &ok[t]);
  for (std::thread& thread : threads) thread.join();
  for (bool each : ok) EXPECT_TRUE(each);
}

}  // namespace
}  // namespace cfgout
