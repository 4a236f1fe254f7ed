#include "runtime/strong_hash.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace cfgout {
namespace {

struct Item {
  int key;
  int tag;
};

int CompareItems(const void* object, const void* key) {
  return static_cast<const Item*>(object)->key == static_cast<const Item*>(key)->key ? 0 : 1;
}

unsigned HashItem(unsigned bucketCount, const void* object) {
  return static_cast<unsigned>(static_cast<const Item*>(object)->key) % bucketCount;
}

StrongHashPtr MakeTable(unsigned buckets, unsigned locks) {
  return StrongHashPtr(StrongHash_Create(buckets, CompareItems, HashItem, locks));
}

const Item* Find(StrongHash* table, int key) {
  Item probe{key, 0};
  return static_cast<const Item*>(StrongHash_FindObject(table, &probe));
}

const Item* Remove(StrongHash* table, int key) {
  Item probe{key, 0};
  return static_cast<const Item*>(StrongHash_Remove(table, &probe));
}

std::vector<int> EnumerateTags(StrongHash* table) {
  std::vector<int> tags;
  StrongHashIterator* it = StrongHash_StartEnum(table);
  while (void* object = StrongHash_EnumNext(it)) tags.push_back(static_cast<Item*>(object)->tag);
  StrongHash_FinishEnum(it);
  return tags;
}

unsigned long TotalLockUses(StrongHash* table) {
  unsigned long total = 0;
  for (unsigned i = 0; i < StrongHash_GetStats(table).lockCount; ++i) {
    total += StrongHash_LockUseCount(table, i);
  }
  return total;
}

// Waits (bounded) until `flag` is set; false when it never was.
bool WaitFor(const std::atomic<bool>& flag, std::chrono::milliseconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (!flag.load()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(StrongHash, CreateRefusesZeroBuckets) {
  EXPECT_EQ(StrongHash_Create(0, CompareItems, HashItem, 0), nullptr);
}

TEST(StrongHash, EqualObjectsAreBothKeptAndTheLastInsertedComesFirst) {
  StrongHashPtr table = MakeTable(8, 0);
  Item older{5, 1}, newer{5, 2}, other{13, 3};  // 13 shares bucket 5
  EXPECT_EQ(StrongHash_Insert(table.get(), &older), 1);
  EXPECT_EQ(StrongHash_Insert(table.get(), &other), 1);
  EXPECT_EQ(StrongHash_Insert(table.get(), &newer), 1);
  EXPECT_EQ(StrongHash_GetStats(table.get()).objectCount, 3u);

  EXPECT_EQ(Find(table.get(), 5), &newer);
  EXPECT_EQ(Find(table.get(), 13), &other);
  EXPECT_EQ(Find(table.get(), 21), nullptr);

  EXPECT_EQ(Remove(table.get(), 5), &newer);
  EXPECT_EQ(Find(table.get(), 5), &older);
  EXPECT_EQ(Remove(table.get(), 5), &older);
  EXPECT_EQ(Remove(table.get(), 5), nullptr);
  EXPECT_EQ(Find(table.get(), 13), &other);
  EXPECT_EQ(StrongHash_GetStats(table.get()).objectCount, 1u);
}

TEST(StrongHash, EnumerationGoesBucketByBucketEachChainFromItsFront) {
  StrongHashPtr table = MakeTable(4, 0);
  EXPECT_TRUE(EnumerateTags(table.get()).empty());
  Item a{1, 10}, b{5, 11}, c{2, 12}, d{6, 13}, e{3, 14}, f{0, 15};
  for (Item* item : {&a, &b, &c, &d, &e, &f}) StrongHash_Insert(table.get(), item);
  // bucket 0: f; bucket 1: b a; bucket 2: d c; bucket 3: e
  EXPECT_EQ(EnumerateTags(table.get()), (std::vector<int>{15, 11, 10, 13, 12, 14}));

  StrongHash_RemoveAll(table.get());
  EXPECT_TRUE(EnumerateTags(table.get()).empty());
  EXPECT_EQ(Find(table.get(), 1), nullptr);
  EXPECT_EQ(StrongHash_GetStats(table.get()).objectCount, 0u);
}

TEST(StrongHash, ATableWithoutLocksTakesNone) {
  StrongHashPtr table = MakeTable(16, 0);
  Item a{1, 1};
  StrongHash_Insert(table.get(), &a);
  Find(table.get(), 1);
  EnumerateTags(table.get());
  StrongHash_Enter(table.get());
  StrongHash_Leave(table.get());
  Remove(table.get(), 1);
  StrongHash_RemoveAll(table.get());
  EXPECT_EQ(StrongHash_GetStats(table.get()).lockCount, 0u);
  EXPECT_EQ(TotalLockUses(table.get()), 0u);

  // The same calls on a locked table take the table lock once each.
  StrongHashPtr locked = MakeTable(16, 1);
  StrongHash_Insert(locked.get(), &a);
  Find(locked.get(), 1);
  EnumerateTags(locked.get());
  StrongHash_Enter(locked.get());
  StrongHash_Leave(locked.get());
  Remove(locked.get(), 1);
  StrongHash_RemoveAll(locked.get());
  EXPECT_EQ(StrongHash_LockUseCount(locked.get(), 0), 6u);
}

TEST(StrongHash, TheTableLockIsHeldFromStartEnumToFinishEnum) {
  StrongHashPtr table = MakeTable(16, 1);
  Item a{1, 1}, b{2, 2};
  StrongHash_Insert(table.get(), &a);
  StrongHashIterator* it = StrongHash_StartEnum(table.get());
  ASSERT_NE(StrongHash_EnumNext(it), nullptr);

  std::atomic<bool> inserted{false};
  std::thread writer([&] {
    StrongHash_Insert(table.get(), &b);
    inserted = true;
  });
  EXPECT_FALSE(WaitFor(inserted, std::chrono::milliseconds(100)));
  StrongHash_FinishEnum(it);
  writer.join();
  EXPECT_TRUE(inserted);
  EXPECT_EQ(Find(table.get(), 2), &b);
}

TEST(StrongHash, StripedLocksGuardBucketModuloLockCount) {
  StrongHashPtr table = MakeTable(16, 4);
  Item a{5, 1}, b{9, 2}, c{6, 3};
  StrongHash_Insert(table.get(), &a);  // bucket 5, lock 1
  Find(table.get(), 9);                // bucket 9, lock 1
  StrongHash_Insert(table.get(), &c);  // bucket 6, lock 2
  EXPECT_EQ(StrongHash_LockUseCount(table.get(), 0), 0u);
  EXPECT_EQ(StrongHash_LockUseCount(table.get(), 1), 2u);
  EXPECT_EQ(StrongHash_LockUseCount(table.get(), 2), 1u);
  EXPECT_EQ(StrongHash_LockUseCount(table.get(), 3), 0u);

  // RemoveAll takes each bucket's lock in turn: 16 buckets over 4 locks.
  StrongHash_RemoveAll(table.get());
  EXPECT_EQ(StrongHash_LockUseCount(table.get(), 0), 4u);
  EXPECT_EQ(StrongHash_LockUseCount(table.get(), 1), 6u);
  EXPECT_EQ(StrongHash_LockUseCount(table.get(), 2), 5u);
  EXPECT_EQ(StrongHash_LockUseCount(table.get(), 3), 4u);
  (void)b;
}

TEST(StrongHash, StripedEnumerationHoldsOnlyTheCurrentBucketsLock) {
  StrongHashPtr table = MakeTable(16, 4);
  Item a{5, 1}, sameStripe{13, 2}, otherStripe{6, 3};
  StrongHash_Insert(table.get(), &a);
  StrongHashIterator* it = StrongHash_StartEnum(table.get());
  ASSERT_EQ(StrongHash_EnumNext(it), &a);  // now in bucket 5, lock 1 held

  std::atomic<bool> otherDone{false}, sameDone{false};
  std::thread other([&] {
    StrongHash_Insert(table.get(), &otherStripe);
    otherDone = true;
  });
  std::thread same([&] {
    StrongHash_Insert(table.get(), &sameStripe);
    sameDone = true;
  });
  EXPECT_TRUE(WaitFor(otherDone, std::chrono::seconds(5)));
  EXPECT_FALSE(WaitFor(sameDone, std::chrono::milliseconds(100)));
  StrongHash_FinishEnum(it);
  other.join();
  same.join();
  EXPECT_TRUE(sameDone);
  EXPECT_EQ(Find(table.get(), 13), &sameStripe);
}

TEST(StrongHash, StripedTableStaysConsistentUnderConcurrentUse) {
  StrongHashPtr table = MakeTable(64, 8);
  StrongHash_SetFreelistLength(table.get(), 32);
  constexpr int kThreads = 4;
  constexpr int kPerThread = 500;
  std::vector<Item> items(kThreads * kPerThread);
  for (int i = 0; i < kThreads * kPerThread; ++i) items[i] = Item{i, i};
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = t * kPerThread; i < (t + 1) * kPerThread; ++i) {
        StrongHash_Insert(table.get(), &items[i]);
        if (i % 2 == 0) Remove(table.get(), i);
      }
    });
  }
  for (std::thread& w : workers) w.join();
  EXPECT_EQ(StrongHash_GetStats(table.get()).objectCount, static_cast<std::size_t>(kThreads * kPerThread / 2));
  for (int i = 0; i < kThreads * kPerThread; ++i) {
    EXPECT_EQ(Find(table.get(), i), i % 2 == 0 ? nullptr : &items[i]) << i;
  }
  EXPECT_EQ(EnumerateTags(table.get()).size(), static_cast<std::size_t>(kThreads * kPerThread / 2));
}

TEST(StrongHash, PreallocateAddsOneBlockUpToTheFreelistLength) {
  StrongHashPtr table = MakeTable(256, 0);
  StrongHash_SetFreelistLength(table.get(), 512);
  StrongHash_Preallocate(table.get());
  StrongHashStats stats = StrongHash_GetStats(table.get());
  EXPECT_EQ(stats.freeCount, 512u);
  EXPECT_EQ(stats.nodeBlockCount, 1u);
  EXPECT_EQ(stats.lastBlockSize, 512u);

  StrongHash_Preallocate(table.get());
  EXPECT_EQ(StrongHash_GetStats(table.get()).nodeBlockCount, 1u);
  EXPECT_EQ(StrongHash_GetStats(table.get()).freeCount, 512u);

  // Nodes are taken from the pool and go back to it.
  Item a{1, 1}, b{2, 2};
  StrongHash_Insert(table.get(), &a);
  StrongHash_Insert(table.get(), &b);
  EXPECT_EQ(StrongHash_GetStats(table.get()).freeCount, 510u);
  Remove(table.get(), 1);
  EXPECT_EQ(StrongHash_GetStats(table.get()).freeCount, 511u);
  StrongHash_RemoveAll(table.get());
  EXPECT_EQ(StrongHash_GetStats(table.get()).freeCount, 512u);
  EXPECT_EQ(StrongHash_GetStats(table.get()).nodeBlockCount, 1u);
}

TEST(StrongHash, PoolGrowsInBlocksOfAtLeastTen) {
  StrongHashPtr table = MakeTable(8, 0);
  StrongHash_SetFreelistLength(table.get(), 3);
  StrongHash_Preallocate(table.get());
  EXPECT_EQ(StrongHash_GetStats(table.get()).lastBlockSize, 10u);
  EXPECT_EQ(StrongHash_GetStats(table.get()).freeCount, 10u);

  std::vector<Item> items(11);
  for (int i = 0; i < 11; ++i) {
    items[i] = Item{i, i};
    StrongHash_Insert(table.get(), &items[i]);
  }
  // The eleventh insert found the pool empty and added a block of ten.
  StrongHashStats stats = StrongHash_GetStats(table.get());
  EXPECT_EQ(stats.nodeBlockCount, 2u);
  EXPECT_EQ(stats.freeCount, 9u);
  // The pool is not trimmed to its target when nodes come back.
  StrongHash_RemoveAll(table.get());
  EXPECT_EQ(StrongHash_GetStats(table.get()).freeCount, 20u);
}

TEST(StrongHash, WithoutAPoolNodesAreNotKept) {
  StrongHashPtr table = MakeTable(8, 0);
  Item a{1, 1};
  StrongHash_Insert(table.get(), &a);
  Remove(table.get(), 1);
  StrongHashStats stats = StrongHash_GetStats(table.get());
  EXPECT_EQ(stats.freeCount, 0u);
  EXPECT_EQ(stats.nodeBlockCount, 0u);

  // Block nodes stay in the pool even when the pool is switched off later.
  StrongHash_SetFreelistLength(table.get(), 10);
  StrongHash_Preallocate(table.get());
  StrongHash_Insert(table.get(), &a);
  StrongHash_SetFreelistLength(table.get(), 0);
  Remove(table.get(), 1);
  EXPECT_EQ(StrongHash_GetStats(table.get()).freeCount, 10u);
}

}  // namespace
}  // namespace cfgout
