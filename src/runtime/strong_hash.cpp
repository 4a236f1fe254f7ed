#include "runtime/strong_hash.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <vector>

namespace cfgout {

namespace {

struct StrongHashNode {
  void* object = nullptr;
  StrongHashNode* next = nullptr;
  bool fromBlock = false;  // part of a pool block: never freed on its own
};

struct NodeBlock {
  std::unique_ptr<StrongHashNode[]> nodes;
  std::size_t size;
};

}  // namespace

struct StrongHash {
  std::unique_ptr<StrongHashNode*[]> buckets;
  unsigned bucketCount = 0;
  StrongHashCompare compare = nullptr;
  StrongHashFunction hash = nullptr;

  StrongHashNode* freeNodes = nullptr;
  std::size_t freelistLength = 0;
  std::size_t freeCount = 0;
  std::vector<NodeBlock> nodeBlocks;
  // With striped locks, operations on different stripes share the pool; it
  // gets a lock of its own then. (With one lock, the table lock covers it.)
  std::mutex poolLock;

  std::atomic<std::size_t> objectCount{0};

  unsigned lockCount = 0;
  std::vector<pmutex*> locks;
  std::unique_ptr<std::atomic<unsigned long>[]> lockUses;

  ~StrongHash() {
    for (pmutex* m : locks) pmutex_destroy(m);
  }
};

namespace {

unsigned BucketOf(const StrongHash* table, const void* object) {
  return table->hash(table->bucketCount, object) % table->bucketCount;
}

long LockIndexFor(const StrongHash* table, unsigned bucket) {
  if (table->lockCount == 0) return -1;
  return table->lockCount == 1 ? 0 : static_cast<long>(bucket % table->lockCount);
}

void TakeLock(StrongHash* table, long index) {
  if (index < 0) return;
  pmutex_request(table->locks[static_cast<std::size_t>(index)]);
  table->lockUses[static_cast<std::size_t>(index)].fetch_add(1, std::memory_order_relaxed);
}

void DropLock(StrongHash* table, long index) {
  if (index < 0) return;
  pmutex_release(table->locks[static_cast<std::size_t>(index)]);
}

// Holds the lock that guards one bucket (the table lock when there is one).
class BucketGuard {
 public:
  BucketGuard(StrongHash* table, unsigned bucket)
      : table_(table), index_(LockIndexFor(table, bucket)) {
    TakeLock(table_, index_);
  }
  ~BucketGuard() { DropLock(table_, index_); }
  BucketGuard(const BucketGuard&) = delete;
  BucketGuard& operator=(const BucketGuard&) = delete;

 private:
  StrongHash* table_;
  long index_;
};

// Holds the pool lock when the pool is shared between stripes.
class PoolGuard {
 public:
  explicit PoolGuard(StrongHash* table) : table_(table), locked_(table->lockCount > 1) {
    if (locked_) table_->poolLock.lock();
  }
  ~PoolGuard() {
    if (locked_) table_->poolLock.unlock();
  }
  PoolGuard(const PoolGuard&) = delete;
  PoolGuard& operator=(const PoolGuard&) = delete;

 private:
  StrongHash* table_;
  bool locked_;
};

// Adds one block of `count` nodes to the pool. Pool lock held.
bool AddBlock(StrongHash* table, std::size_t count) {
  NodeBlock block{std::unique_ptr<StrongHashNode[]>(new (std::nothrow) StrongHashNode[count]),
                  count};
  if (block.nodes == nullptr) return false;
  try {
    table->nodeBlocks.push_back(std::move(block));
  } catch (const std::bad_alloc&) {
    return false;
  }
  StrongHashNode* nodes = table->nodeBlocks.back().nodes.get();
  for (std::size_t i = count; i-- > 0;) {
    nodes[i].fromBlock = true;
    nodes[i].next = table->freeNodes;
    table->freeNodes = &nodes[i];
  }
  table->freeCount += count;
  return true;
}

StrongHashNode* NewNode(StrongHash* table) {
  PoolGuard guard(table);
  if (table->freelistLength == 0) return new (std::nothrow) StrongHashNode;
  if (table->freeNodes == nullptr && !AddBlock(table, 10)) return nullptr;
  StrongHashNode* node = table->freeNodes;
  table->freeNodes = node->next;
  --table->freeCount;
  node->next = nullptr;
  return node;
}

void ReleaseNode(StrongHash* table, StrongHashNode* node) {
  PoolGuard guard(table);
  node->object = nullptr;
  if (table->freelistLength != 0 || node->fromBlock) {
    node->next = table->freeNodes;
    table->freeNodes = node;
    ++table->freeCount;
  } else {
    delete node;
  }
}

// Empties one bucket. Its lock is held by the caller.
void ClearBucket(StrongHash* table, unsigned bucket) {
  StrongHashNode* node = table->buckets[bucket];
  table->buckets[bucket] = nullptr;
  while (node != nullptr) {
    StrongHashNode* next = node->next;
    ReleaseNode(table, node);
    table->objectCount.fetch_sub(1, std::memory_order_relaxed);
    node = next;
  }
}

// Empties every bucket, taking each bucket's lock in turn (or the table lock
// once for the whole run).
void ClearAll(StrongHash* table) {
  if (table->lockCount == 1) {
    TakeLock(table, 0);
    for (unsigned b = 0; b < table->bucketCount; ++b) ClearBucket(table, b);
    DropLock(table, 0);
    return;
  }
  for (unsigned b = 0; b < table->bucketCount; ++b) {
    BucketGuard guard(table, b);
    ClearBucket(table, b);
  }
}

}  // namespace

StrongHash* StrongHash_Create(unsigned bucketCount, StrongHashCompare compare,
                              StrongHashFunction hash, unsigned lockCount) {
  if (bucketCount == 0 || compare == nullptr || hash == nullptr) return nullptr;
  std::unique_ptr<StrongHash> table(new (std::nothrow) StrongHash);
  if (table == nullptr) return nullptr;
  table->buckets.reset(new (std::nothrow) StrongHashNode*[bucketCount]());
  if (table->buckets == nullptr) return nullptr;
  table->bucketCount = bucketCount;
  table->compare = compare;
  table->hash = hash;
  if (lockCount > 0) {
    table->lockUses.reset(new (std::nothrow) std::atomic<unsigned long>[lockCount]());
    if (table->lockUses == nullptr) return nullptr;
    try {
      table->locks.reserve(lockCount);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    for (unsigned i = 0; i < lockCount; ++i) {
      pmutex* m = pmutex_create();
      if (m == nullptr) return nullptr;
      table->locks.push_back(m);
    }
    table->lockCount = lockCount;
  }
  return table.release();
}

void StrongHash_Destroy(StrongHash* table) {
  if (table == nullptr) return;
  ClearAll(table);
  // Loose nodes that went to the pool are freed here; block nodes go with
  // their blocks.
  StrongHashNode* node = table->freeNodes;
  while (node != nullptr) {
    StrongHashNode* next = node->next;
    if (!node->fromBlock) delete node;
    node = next;
  }
  table->freeNodes = nullptr;
  delete table;
}

int StrongHash_Insert(StrongHash* table, void* object) {
  const unsigned bucket = BucketOf(table, object);
  BucketGuard guard(table, bucket);
  StrongHashNode* node = NewNode(table);
  if (node == nullptr) return 0;
  node->object = object;
  node->next = table->buckets[bucket];
  table->buckets[bucket] = node;
  table->objectCount.fetch_add(1, std::memory_order_relaxed);
  return 1;
}

void* StrongHash_FindObject(StrongHash* table, const void* key) {
  const unsigned bucket = BucketOf(table, key);
  BucketGuard guard(table, bucket);
  for (StrongHashNode* node = table->buckets[bucket]; node != nullptr; node = node->next) {
    if (table->compare(node->object, key) == 0) return node->object;
  }
  return nullptr;
}

void* StrongHash_Remove(StrongHash* table, const void* key) {
  const unsigned bucket = BucketOf(table, key);
  BucketGuard guard(table, bucket);
  StrongHashNode** link = &table->buckets[bucket];
  while (*link != nullptr) {
    StrongHashNode* node = *link;
    if (table->compare(node->object, key) == 0) {
      void* object = node->object;
      *link = node->next;
      ReleaseNode(table, node);
      table->objectCount.fetch_sub(1, std::memory_order_relaxed);
      return object;
    }
    link = &node->next;
  }
  return nullptr;
}

void StrongHash_RemoveAll(StrongHash* table) { ClearAll(table); }

void StrongHash_SetFreelistLength(StrongHash* table, std::size_t n) {
  PoolGuard guard(table);
  table->freelistLength = n;
}

void StrongHash_Preallocate(StrongHash* table) {
  if (table->lockCount == 1) TakeLock(table, 0);
  {
    PoolGuard guard(table);
    if (table->freeCount < table->freelistLength) {
      AddBlock(table, std::max<std::size_t>(10, table->freelistLength - table->freeCount));
    }
  }
  if (table->lockCount == 1) DropLock(table, 0);
}

StrongHashIterator* StrongHash_StartEnum(StrongHash* table) {
  auto* iterator = new (std::nothrow) StrongHashIterator;
  if (iterator == nullptr) return nullptr;
  iterator->table = table;
  if (table->lockCount == 1) TakeLock(table, 0);
  return iterator;
}

void* StrongHash_EnumNext(StrongHashIterator* iterator) {
  if (iterator == nullptr) return nullptr;
  StrongHash* table = iterator->table;
  auto* node = static_cast<StrongHashNode*>(iterator->node);
  if (node != nullptr && node->next != nullptr) {
    iterator->node = node->next;
    return node->next->object;
  }
  const bool striped = table->lockCount > 1;
  while (iterator->bucket + 1 < static_cast<long>(table->bucketCount)) {
    if (striped && iterator->bucket >= 0) {
      DropLock(table, LockIndexFor(table, static_cast<unsigned>(iterator->bucket)));
    }
    ++iterator->bucket;
    const auto bucket = static_cast<unsigned>(iterator->bucket);
    if (striped) TakeLock(table, LockIndexFor(table, bucket));
    if (table->buckets[bucket] != nullptr) {
      iterator->node = table->buckets[bucket];
      return table->buckets[bucket]->object;
    }
  }
  // Past the last bucket: no bucket lock stays held.
  if (striped && iterator->bucket >= 0 && iterator->bucket < static_cast<long>(table->bucketCount)) {
    DropLock(table, LockIndexFor(table, static_cast<unsigned>(iterator->bucket)));
  }
  iterator->bucket = static_cast<long>(table->bucketCount);
  iterator->node = nullptr;
  return nullptr;
}

void StrongHash_FinishEnum(StrongHashIterator* iterator) {
  if (iterator == nullptr) return;
  StrongHash* table = iterator->table;
  if (table->lockCount == 1) {
    DropLock(table, 0);
  } else if (table->lockCount > 1 && iterator->bucket >= 0 &&
             iterator->bucket < static_cast<long>(table->bucketCount)) {
    DropLock(table, LockIndexFor(table, static_cast<unsigned>(iterator->bucket)));
  }
  delete iterator;
}

void StrongHash_Enter(StrongHash* table) {
  if (table->lockCount == 1) TakeLock(table, 0);
}

void StrongHash_Leave(StrongHash* table) {
  if (table->lockCount == 1) DropLock(table, 0);
}

StrongHashStats StrongHash_GetStats(StrongHash* table) {
  PoolGuard guard(table);
  StrongHashStats stats{};
  stats.bucketCount = table->bucketCount;
  stats.lockCount = table->lockCount;
  stats.freelistLength = table->freelistLength;
  stats.freeCount = table->freeCount;
  stats.nodeBlockCount = table->nodeBlocks.size();
  stats.lastBlockSize = table->nodeBlocks.empty() ? 0 : table->nodeBlocks.back().size;
  stats.objectCount = table->objectCount.load(std::memory_order_relaxed);
  return stats;
}

unsigned long StrongHash_LockUseCount(StrongHash* table, unsigned index) {
  if (index >= table->lockCount) return 0;
  return table->lockUses[index].load(std::memory_order_relaxed);
}

}  // namespace cfgout
