#pragma once
// Strong hash: a chained hash table of caller-owned objects, with caller-given
// hash and equality functions, optional locking and a recycled pool of chain
// nodes. The table only links objects; it never copies or frees them.
//
// Locking (`lockCount` at creation): 0 = none; 1 = one lock held by every
// operation for its whole run (and from StartEnum to FinishEnum); more =
// striped, bucket b guarded by lock b mod lockCount. With striped locks an
// enumeration holds the current bucket's lock while the caller looks at that
// bucket's objects, so the caller must not change the table meanwhile.

#include <cstddef>
#include <memory>

#include "runtime/threading.h"

namespace cfgout {

// 0 when `object` matches `key`, non-zero otherwise.
using StrongHashCompare = int (*)(const void* object, const void* key);
// The bucket, below `bucketCount`, of an object (or of a key).
using StrongHashFunction = unsigned (*)(unsigned bucketCount, const void* object);

struct StrongHash;

struct StrongHashIterator {
  StrongHash* table = nullptr;
  long bucket = -1;
  void* node = nullptr;  // the chain node returned last
};

// A table of `bucketCount` empty buckets and `lockCount` mutexes; null when
// out of memory or `bucketCount` is 0.
StrongHash* StrongHash_Create(unsigned bucketCount, StrongHashCompare compare,
                              StrongHashFunction hash, unsigned lockCount);
// Drops every node and the pool, destroys the mutexes, frees the table. The
// objects are not touched.
void StrongHash_Destroy(StrongHash* table);

// Links `object` at the front of its bucket: 1, or 0 when out of memory.
// Equal objects are not looked for: a second one is linked too.
int StrongHash_Insert(StrongHash* table, void* object);
// The first object in chain order (the most recently inserted) of `key`'s
// bucket that compares equal to `key`, or null.
void* StrongHash_FindObject(StrongHash* table, const void* key);
// Unlinks that same object and returns it; null when there is none.
void* StrongHash_Remove(StrongHash* table, const void* key);
void StrongHash_RemoveAll(StrongHash* table);

// Target size of the node pool; 0 = no pool, nodes are allocated and freed
// one by one.
void StrongHash_SetFreelistLength(StrongHash* table, std::size_t n);
// Fills the pool up to the target: when it holds fewer nodes, one block of
// max(10, missing) nodes is added.
void StrongHash_Preallocate(StrongHash* table);

// Enumerates all objects, bucket by bucket, each chain from its front.
// EnumNext returns null at the end. FinishEnum frees the iterator.
StrongHashIterator* StrongHash_StartEnum(StrongHash* table);
void* StrongHash_EnumNext(StrongHashIterator* iterator);
void StrongHash_FinishEnum(StrongHashIterator* iterator);

// Take and release the table lock when lockCount is 1; nothing otherwise.
void StrongHash_Enter(StrongHash* table);
void StrongHash_Leave(StrongHash* table);

// Observation, for tests and diagnostics.
struct StrongHashStats {
  unsigned bucketCount;
  unsigned lockCount;
  std::size_t freelistLength;  // pool target
  std::size_t freeCount;       // nodes now in the pool
  std::size_t nodeBlockCount;  // node blocks allocated for the pool
  std::size_t lastBlockSize;   // nodes in the newest block (0 when none)
  std::size_t objectCount;     // objects linked now
};
StrongHashStats StrongHash_GetStats(StrongHash* table);
// How many times lock `index` has been taken since creation; 0 for an index
// out of range, so a table without locks always gives 0.
unsigned long StrongHash_LockUseCount(StrongHash* table, unsigned index);

struct StrongHashDeleter {
  void operator()(StrongHash* table) const { StrongHash_Destroy(table); }
};
using StrongHashPtr = std::unique_ptr<StrongHash, StrongHashDeleter>;

}  // namespace cfgout
