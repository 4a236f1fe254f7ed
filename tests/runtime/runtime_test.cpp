#include <errno.h>
#include <signal.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cctype>
#include <cstring>
#include <limits>
#include <thread>

#include "runtime/ascii.h"
#include "runtime/garbage_heap.h"
#include "runtime/page_output.h"
#include "runtime/small_blocks.h"
#include "runtime/sorted_name_table.h"
#include "runtime/strong_hash.h"
#include "runtime/threading.h"

namespace cfgout {
namespace {

using std::string_view;

// The "C" locale's <cctype> classes are the contract.
TEST(Ascii, ClassesCaseTrimAndCompare) {
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    EXPECT_EQ(std::tuple(IsAsciiDigit(ch), IsAsciiLetter(ch), IsAsciiSpace(ch), int{static_cast<unsigned char>(AsciiUpper(ch))},
                         int{static_cast<unsigned char>(AsciiLower(ch))}),
              std::tuple(std::isdigit(c) != 0, std::isalpha(c) != 0, std::isspace(c) != 0, std::toupper(c), std::tolower(c))) << c;
  }
  for (auto [in, out] : {std::pair<string_view, string_view>{" \t\r\n\v\f a b \n", "a b"}, {"\xA0x\x85", "\xA0x\x85"},
                         {" \t ", ""}, {"", ""}, {string_view("\0 x \0", 5), string_view("\0 x \0", 5)}}) {
    EXPECT_EQ(TrimAsciiSpace(in), out);
  }
  EXPECT_EQ(UpperCaseCopy(std::string("a-z{`@[\xE9\0q", 10)), std::string("A-Z{`@[\xE9\0Q", 10));
  std::string text = "MiXeD \xC9";
  EXPECT_EQ(LowerCaseInPlace(text), "mixed \xC9");
  EXPECT_EQ(UpperCaseInPlace(text), "MIXED \xC9");
  struct Row { string_view a, b; bool equal, starts; };
  for (const Row& r : {Row{"Post", "POST", true, true}, Row{"", "", true, true}, Row{"POSTS", "POST", false, true},
                       Row{"\xE9", "\xC9", false, false}, Row{"@", "`", false, false}, Row{"x", "", false, true},
                       Row{string_view("a\0b", 3), string_view("A\0B", 3), true, true},
                       Row{string_view("a\0b", 3), string_view("a\0c", 3), false, false},
                       Row{"fo", "for", false, false}, Row{"fur", "for", false, false}}) {
    EXPECT_EQ(EqualsIgnoringCase(r.a, r.b), r.equal) << r.a << "|" << r.b;
    EXPECT_EQ(StartsWithIgnoringCase(r.a, r.b), r.starts) << r.a << "|" << r.b;
  }
  // Every pair of bytes inside an eight-byte word and in the tail after it.
  for (int c = 0; c < 256; ++c) {
    for (int d = 0; d < 256; ++d) {
      for (std::size_t at : {std::size_t{3}, std::size_t{8}}) {
        std::string a = "Ab-Z@[`{Q", b = "aB-z@[`{q";
        a[at] = static_cast<char>(c);
        b[at] = static_cast<char>(d);
        ASSERT_EQ(EqualsIgnoringCase(a, b), std::tolower(c) == std::tolower(d)) << c << " " << d << " at " << at;
      }
    }
  }
}

struct NameRow { const char* name; int value; };
// Byte order: "AB" < "ABC" < "B_C" < "Z" < "\xC9T\xC9" (a byte above 127).
constexpr std::array<NameRow, 5> kNameRows = {{{"AB", 1}, {"ABC", 2}, {"B_C", 3}, {"Z", 4}, {"\xC9T\xC9", 5}}};

TEST(SortedNameTable, FindsAnyAsciiCaseAndNothingElse) {
  // Only ASCII letters change case (0xE9 stays); a NUL inside a name matches no row.
  for (auto [name, index] : std::initializer_list<std::pair<string_view, int>>{
           {"AB", 0}, {"abc", 1}, {"b_C", 2}, {"z", 3}, {"\xC9t\xC9", 4}, {"", -1}, {"A", -1}, {"ABCD", -1},
           {"B", -1}, {"ZZ", -1}, {"\xFF", -1}, {"\xE9T\xE9", -1}, {string_view("AB\0", 3), -1},
           {string_view("ABC\0X", 5), -1}, {string_view("\0", 1), -1}}) {
    EXPECT_EQ(FindRowByUpperCaseName(std::span<const NameRow>(kNameRows), name), index) << name;
  }
  EXPECT_EQ(FindRowByUpperCaseName(std::span<const NameRow>(), "AB"), -1);
}

TEST(PageCapture, CollectsOutputAndNests) {
  PageCapture outer;
  PageWrite("a");
  if (PageCapture inner; true) {
    PageWrite("b");
    EXPECT_EQ(inner.Take(), "b");
    PageWrite("c");
    EXPECT_EQ(inner.Text(), "c");
  }
  PageWrite("d");
  EXPECT_EQ(outer.Take(), "ad");
  EXPECT_EQ(outer.Text(), "");
}

unsigned char* Bytes(void* p) { return static_cast<unsigned char*>(p); }

TEST(SmallBlocks, AlignedDistinctBlocksReusedWithinTheirClass) {
  // `sameClass`: a size whose freed block the next request of `size` reuses.
  for (auto [size, sameClass] : {std::pair<std::size_t, std::size_t>{0, 1}, {1, 16}, {17, 32}, {56, 64}, {200, 208},
                                 {256, 241}}) {
    std::vector<unsigned char*> held;
    for (int i = 0; i < 5000; ++i) {  // several runs of the class
      held.push_back(Bytes(SmallBlockAllocate(size)));
      ASSERT_NE(held.back(), nullptr);
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(held.back()) % 16, 0u);
      std::memset(held.back(), i & 0xff, size);
    }
    for (int i = 0; i < 5000; ++i) {
      for (std::size_t k = 0; k < size; ++k) ASSERT_EQ(held[i][k], i & 0xff) << size;
    }
    void* other = SmallBlockAllocate(sameClass);
    ASSERT_TRUE(SmallBlockRelease(other));
    EXPECT_EQ(SmallBlockAllocate(size), other) << size;
    held.push_back(Bytes(other));
    for (unsigned char* block : held) EXPECT_TRUE(SmallBlockRelease(block));
  }
  EXPECT_EQ(SmallBlockAllocate(kSmallBlockMax + 1), nullptr);
  int onStack = 0;
  std::vector<char> fromHeap(32);
  for (void* foreign : {static_cast<void*>(nullptr), static_cast<void*>(&onStack), static_cast<void*>(fromHeap.data())}) {
    EXPECT_FALSE(SmallBlockRelease(foreign));
  }
  std::atomic<int> bad{0};  // threads never share a block
  std::vector<std::thread> threads;
  for (int mark = 1; mark <= 4; ++mark) threads.emplace_back([&bad, mark] {
    for (int round = 0; round < 200; ++round) {
      std::vector<unsigned char*> held;
      for (std::size_t n = 1; n <= kSmallBlockMax; n += 37) std::memset(held.emplace_back(Bytes(SmallBlockAllocate(n))), mark, n);
      for (unsigned char* block : held) bad += block[0] != mark || !SmallBlockRelease(block);
    }
  });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(bad, 0);
}

TEST(GarbageHeap, BlocksChunksAndDump) {
  GarbageHeapPtr empty(GarbageHeap_Create(0));
  ASSERT_EQ(empty->newest, nullptr);
  void* onDemand = GarbageHeap_Alloc(empty.get(), 10);  // the first chunk comes on demand
  ASSERT_NE(empty->newest, nullptr);
  EXPECT_EQ(onDemand, empty->newest->data);
  EXPECT_EQ(empty->newest->remaining, 500000u - 12u);
  EXPECT_EQ(GarbageHeapPtr(GarbageHeap_Create(600001))->newest->size, 600004u);
  GarbageHeapPtr heap(GarbageHeap_Create(128000));
  GarbageChunk* chunk = heap->newest;
  EXPECT_TRUE(chunk->size == 500000u && chunk->next == nullptr && reinterpret_cast<std::uintptr_t>(chunk->data) % 16 == 0);
  for (auto [n, offset] : {std::pair<std::size_t, int>{1, 0}, {4, 4}, {5, 12}, {3, 20}, {0, 24}}) {
    unsigned char* block = Bytes(GarbageHeap_Alloc(heap.get(), n));
    EXPECT_EQ(block, chunk->data + offset) << n;
    std::memset(block, 'x', n / 4 * 4 + 4);  // usable up to its full size
  }
  EXPECT_EQ(Bytes(GarbageHeap_Calloc(heap.get(), 3, 4)), chunk->data + 28);  // 12 bytes take 16
  const std::size_t max = std::numeric_limits<std::size_t>::max();
  for (void* refused : {GarbageHeap_Calloc(heap.get(), max / 2, 3), GarbageHeap_Alloc(heap.get(), max),
                        GarbageHeap_Alloc(heap.get(), max - 5), GarbageHeap_Alloc(nullptr, 4)}) {
    EXPECT_EQ(refused, nullptr);
  }
  EXPECT_EQ(chunk->remaining, 500000u - 44u);
  EXPECT_EQ(heap->newest, chunk);
  // A large request gets a chunk of its own; smaller ones still fill older chunks.
  heap.reset(GarbageHeap_Create(1));
  GarbageChunk* first = heap->newest;
  unsigned char* start = Bytes(GarbageHeap_Alloc(heap.get(), 8));
  unsigned char* big = Bytes(GarbageHeap_Alloc(heap.get(), 600000));  // a chunk of its own
  GarbageChunk* own = heap->newest;
  EXPECT_TRUE(own->next == first && big == own->data);
  EXPECT_EQ(own->size, 600008u);  // request 600004, four to spare
  std::memset(big, 0x5a, 600004);
  // The newest chunk is looked at first; what does not fit goes to an older one.
  EXPECT_EQ(Bytes(GarbageHeap_Alloc(heap.get(), 5)), start + 12);
  EXPECT_EQ(Bytes(GarbageHeap_Alloc(heap.get(), 2)), own->data + 600004);
  EXPECT_EQ(own->remaining, 0u);
  ASSERT_NE(GarbageHeap_Alloc(heap.get(), 499976), nullptr);  // fills the first chunk exactly
  EXPECT_EQ(first->remaining, 0u);
  void* more = GarbageHeap_Alloc(heap.get(), 1);
  GarbageChunk* newest = heap->newest;
  EXPECT_TRUE(newest->next == own && newest->size == 500000u && more == newest->data);
  GarbageHeap_Dump(heap.get());  // every chunk handed out again, the newest first
  EXPECT_EQ(heap->newest, newest);
  for (GarbageChunk* c = newest; c != nullptr; c = c->next) EXPECT_EQ(c->remaining, c->size);
  EXPECT_EQ(GarbageHeap_Alloc(heap.get(), 16), newest->data);
}

struct Item { int key; int tag; };
int Compare(const void* o, const void* k) { return static_cast<const Item*>(o)->key == static_cast<const Item*>(k)->key ? 0 : 1; }
unsigned Hash(unsigned n, const void* o) { return static_cast<unsigned>(static_cast<const Item*>(o)->key) % n; }
StrongHashPtr Table(unsigned buckets, unsigned locks) { return StrongHashPtr(StrongHash_Create(buckets, Compare, Hash, locks)); }
const void* Find(const StrongHashPtr& t, int key) { Item probe{key, 0}; return StrongHash_FindObject(t.get(), &probe); }
const void* Remove(const StrongHashPtr& t, int key) { Item probe{key, 0}; return StrongHash_Remove(t.get(), &probe); }
std::vector<int> Tags(const StrongHashPtr& t) {
  std::vector<int> tags;
  StrongHashIterator* it = StrongHash_StartEnum(t.get());
  while (void* object = StrongHash_EnumNext(it)) tags.push_back(static_cast<Item*>(object)->tag);
  StrongHash_FinishEnum(it);
  return tags;
}
// Uses of locks 0..3, or the pool: free nodes, blocks, size of the last block; and objects.
std::vector<std::size_t> Locks(const StrongHashPtr& t) {
  return {StrongHash_LockUseCount(t.get(), 0), StrongHash_LockUseCount(t.get(), 1), StrongHash_LockUseCount(t.get(), 2),
          StrongHash_LockUseCount(t.get(), 3)};
}
std::vector<std::size_t> Pool(const StrongHashPtr& t) {
  const StrongHashStats s = StrongHash_GetStats(t.get());
  return {s.freeCount, s.nodeBlockCount, s.lastBlockSize, s.objectCount};
}
using V = std::vector<std::size_t>;

TEST(StrongHash, InsertFindRemoveAndEnumerationOrder) {
  EXPECT_EQ(StrongHash_Create(0, Compare, Hash, 0), nullptr);
  StrongHashPtr table = Table(4, 0);
  EXPECT_TRUE(Tags(table).empty());
  Item a{1, 10}, b{5, 11}, c{2, 12}, d{6, 13}, e{3, 14}, f{0, 15}, b2{5, 16};
  for (Item* item : {&a, &b, &c, &d, &e, &f, &b2}) EXPECT_EQ(StrongHash_Insert(table.get(), item), 1);
  // Bucket by bucket, each chain from its front (the last inserted); equal objects are all kept.
  EXPECT_EQ(Tags(table), (std::vector<int>{15, 16, 11, 10, 13, 12, 14}));
  for (auto [key, found] : {std::pair<int, const void*>{5, &b2}, {9, nullptr}, {1, &a}}) EXPECT_EQ(Find(table, key), found);
  for (const void* removed : std::initializer_list<const void*>{&b2, &b, nullptr}) EXPECT_EQ(Remove(table, 5), removed);
  EXPECT_EQ(Pool(table), (V{0, 0, 0, 5}));
  StrongHash_RemoveAll(table.get());
  EXPECT_TRUE(Tags(table).empty());
  EXPECT_EQ(Find(table, 1), nullptr);
  EXPECT_EQ(Pool(table), (V{0, 0, 0, 0}));  // without a pool nodes are not kept
}

TEST(StrongHash, LocksPerCallAndPerStripe) {
  Item a{5, 1}, c{6, 3};
  StrongHashPtr none = Table(16, 0), one = Table(16, 1), four = Table(16, 4);
  for (const StrongHashPtr* t : {&none, &one}) {
    StrongHash_Insert(t->get(), &a), Find(*t, 5), Tags(*t);
    StrongHash_Enter(t->get()), StrongHash_Leave(t->get());
    Remove(*t, 5), StrongHash_RemoveAll(t->get());
  }
  EXPECT_EQ(Locks(none), (V{0, 0, 0, 0}));
  EXPECT_EQ(Locks(one), (V{6, 0, 0, 0}));
  StrongHash_Insert(four.get(), &a);  // bucket 5, lock 1
  Find(four, 9);                      // bucket 9, lock 1
  StrongHash_Insert(four.get(), &c);  // bucket 6, lock 2
  EXPECT_EQ(Locks(four), (V{0, 2, 1, 0}));
  StrongHash_RemoveAll(four.get());  // each bucket's lock in turn: 16 buckets over 4 locks
  EXPECT_EQ(Locks(four), (V{4, 6, 5, 4}));
}

TEST(StrongHash, NodePool) {
  Item items[11];
  for (int i = 0; i < 11; ++i) items[i] = Item{i, i};
  StrongHashPtr table = Table(256, 0);
  StrongHash_SetFreelistLength(table.get(), 512);
  StrongHash_Preallocate(table.get()), StrongHash_Preallocate(table.get());  // already full: no second block
  EXPECT_EQ(Pool(table), (V{512, 1, 512, 0}));
  for (Item* item : {&items[1], &items[2]}) StrongHash_Insert(table.get(), item);
  EXPECT_EQ(Pool(table), (V{510, 1, 512, 2}));
  Remove(table, 1);
  EXPECT_EQ(Pool(table), (V{511, 1, 512, 1}));
  StrongHash_RemoveAll(table.get());
  EXPECT_EQ(Pool(table), (V{512, 1, 512, 0}));
  // Blocks of ten nodes at least; the pool grows by blocks and is never trimmed.
  StrongHashPtr small = Table(8, 0);
  StrongHash_SetFreelistLength(small.get(), 3), StrongHash_Preallocate(small.get());
  EXPECT_EQ(Pool(small), (V{10, 1, 10, 0}));
  for (Item& item : items) StrongHash_Insert(small.get(), &item);
  EXPECT_EQ(Pool(small), (V{9, 2, 10, 11}));
  StrongHash_SetFreelistLength(small.get(), 0), StrongHash_RemoveAll(small.get());
  EXPECT_EQ(Pool(small)[0], 20u);
}

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long MsSince(Clock::time_point since) { return static_cast<long>(std::chrono::duration_cast<milliseconds>(Clock::now() - since).count()); }
template <typename Predicate>
bool WaitUntil(Predicate done) {
  for (int i = 0; i < 5000 && !done(); ++i) std::this_thread::sleep_for(milliseconds(1));
  return done();
}
int Waiting(pevent* e) {
  pthread_mutex_lock(&e->mutex);
  const int waiting = e->waiting;
  pthread_mutex_unlock(&e->mutex);
  return waiting;
}
template <typename F>
auto InOtherThread(F f) {
  decltype(f()) result{};
  std::thread([&] { result = f(); }).join();
  return result;
}

TEST(Pmutex, LockTryLockAndTimeouts) {
  pmutex* m = pmutex_create();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(pmutex_request_timeout(m, 0), 1);  // no try at all
  EXPECT_EQ(pmutex_request_timeout(m, -5), 1);
  EXPECT_EQ(pmutex_requestNoBlock(m), 0);  // so those locked nothing
  EXPECT_EQ(InOtherThread([m] { return pmutex_requestNoBlock(m); }), EBUSY);
  // Held elsewhere: one attempt, then a whole second of sleep before giving up.
  const auto start = Clock::now();
  EXPECT_EQ(InOtherThread([m] { return pmutex_request_timeout(m, 300); }), 1);
  EXPECT_GE(MsSince(start), 900);
  EXPECT_EQ(pmutex_release(m), 0);
  std::atomic<bool> locked{false};
  std::thread holder([&] {
    locked = pmutex_request(m) == 0;
    std::this_thread::sleep_for(milliseconds(200));
    pmutex_release(m);
  });
  ASSERT_TRUE(WaitUntil([&] { return locked.load(); }));
  EXPECT_EQ(pmutex_request_timeout(m, 3000), 0);  // the holder lets go in time
  EXPECT_EQ(InOtherThread([m] { return pmutex_requestNoBlock(m); }), EBUSY);
  EXPECT_EQ(pmutex_release(m), 0);
  holder.join();
  pmutex_destroy(m), pmutex_destroy(nullptr);
}

TEST(Pevent, ASetIsKeptForOneWaiterAndSetallWakesEveryWaiter) {
  pevent* e = pevent_create();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(pevent_wait_timeout(e, 999), ETIMEDOUT);  // 0 whole seconds
  pevent_set(e);
  EXPECT_EQ(e->signalled, 1);
  EXPECT_EQ(pevent_wait(e), 0);
  EXPECT_EQ(e->signalled, 0);
  EXPECT_EQ(pevent_wait_timeout(e, 0), ETIMEDOUT);  // auto-reset
  pevent_setall(e);
  EXPECT_EQ(pevent_wait_timeout(e, 0), 0);
  pevent_set(e), pevent_reset(e);
  const auto start = Clock::now();
  EXPECT_EQ(pevent_wait_timeout(e, 1200), ETIMEDOUT);
  EXPECT_GE(MsSince(start), 950);
  const timespec past{std::time(nullptr) - 1, 0};
  EXPECT_EQ(pevent_wait_timeout_ts(e, &past), ETIMEDOUT);
  std::atomic<int> woken{0};
  std::vector<std::thread> threads;
  for (long limit : {10000L, 10000L, -1L}) threads.emplace_back([&, limit] { woken += pevent_wait_timeout(e, limit) == 0; });
  ASSERT_TRUE(WaitUntil([&] { return Waiting(e) == 3; }));
  pevent_set(e);
  ASSERT_TRUE(WaitUntil([&] { return woken == 1; }));
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(woken, 1);
  EXPECT_EQ(e->signalled, 0);  // it went to a waiter
  pevent_setall(e);
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(std::tuple(woken.load(), Waiting(e), int{e->signalled}), std::tuple(3, 0, 0));
  pevent_destroy(e);
}

TEST(Rmutex, TheOwnerReentersAndOthersWaitUntilTheLastRelease) {
  rmutex* r = rmutex_create();
  ASSERT_NE(r, nullptr);
  for (int got : {rmutex_request(r), rmutex_request(r), rmutex_request_timeout(r, 0)}) EXPECT_EQ(got, 0);
  EXPECT_EQ(rmutex_held_count(r), 3);
  for (long limit : {0L, 1000L}) EXPECT_EQ(InOtherThread([r, limit] { return rmutex_request_timeout(r, limit); }), 1);
  EXPECT_EQ(InOtherThread([r] { return rmutex_release(r); }), -1);  // not the owner
  EXPECT_EQ(rmutex_destroy(r), -1);  // held: nothing done
  EXPECT_EQ(rmutex_held_count(r), 3);
  std::atomic<int> heldByWaiter{-1};
  std::thread waiter([&] {
    if (rmutex_request_timeout(r, 10000) == 0) heldByWaiter = rmutex_held_count(r) + rmutex_release(r);
  });
  for (int got : {rmutex_release(r), rmutex_release(r)}) EXPECT_EQ(got, 0);
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(heldByWaiter, -1);
  EXPECT_EQ(rmutex_release(r), 0);
  waiter.join();
  EXPECT_EQ(heldByWaiter, 1);
  EXPECT_EQ(rmutex_held_count(r), 0);
  EXPECT_EQ(rmutex_release(r), -1);
  EXPECT_EQ(rmutex_destroy(r), 0);
}

TEST(Clock, SleepCountersAndRandom) {
  const auto start = Clock::now();
  millisleep(60);
  EXPECT_GE(MsSince(start), 60);
  long sec = 0, usec = -1;
  gettimecounts(&sec, &usec);
  gettimecounts(nullptr, nullptr);
  const unsigned long millis = getmillicount();  // taken just after: same wrap, under a second later
  EXPECT_TRUE(usec >= 0 && usec < 1000000) << usec;
  EXPECT_LE(std::labs(sec - static_cast<long>(std::time(nullptr))), 1);
  EXPECT_LE(std::labs(getsecondcount() - static_cast<long>(std::time(nullptr))), 1);
  EXPECT_LT(millis, 4290000UL * 1000UL);
  EXPECT_LT(millis - (static_cast<unsigned long>(sec % 4290000) * 1000UL + static_cast<unsigned long>(usec) / 1000UL), 1000UL);
  auto three = [](unsigned* state) { return std::vector<int>{random_next(state), random_next(state), random_next(state)}; };
  random_init(12345);
  const std::vector<int> first = three(nullptr);
  random_init(12345);
  EXPECT_EQ(three(nullptr), first);
  unsigned a = 99, b = 99, c = 100;
  EXPECT_EQ(three(&a), three(&b));
  EXPECT_NE(three(&a), three(&c));
}

std::vector<std::string> g_order;  // touched by one thread at a time
void Record(void* text) { g_order.push_back(static_cast<const char*>(text)); }
pthread_t Start(ManagedThreadFunction f, void* argument) {
  const pthread_t id = pthread_create_managed(f, argument);
  EXPECT_NE(id, kManagedThreadFailed);
  return id;
}

TEST(ManagedThreads, SlotsCleanupsSignalsAndFailures) {
  const std::size_t before = managed_thread_active_count();
  // Cleanups run after the function, by priority; only managed threads register them.
  static char low[] = "low", high1[] = "high-1", high2[] = "high-2", other[] = "unmanaged";
  EXPECT_EQ(InOtherThread([] { return pthread_ondestroy(Record, other, 0); }), -1);
  EXPECT_EQ(pthread_ondestroy(Record, other, 0), -1);
  pthread_join(Start([](void*) -> void* {
    pthread_ondestroy(Record, low, 1);
    pthread_ondestroy(Record, high1, 5);
    pthread_ondestroy(Record, high2, 5);
    g_order.push_back("body");
    return nullptr;
  }, nullptr), nullptr);
  EXPECT_EQ(g_order, (std::vector<std::string>{"body", "high-1", "high-2", "low"}));
  EXPECT_TRUE(managed_thread_slot_count() >= 32 && managed_thread_slot_count() % 32 == 0) << managed_thread_slot_count();
  // Asynchronous signals start blocked, in the thread only.
  sigset_t callerBefore, callerAfter, inThread;
  pthread_sigmask(SIG_BLOCK, nullptr, &callerBefore);
  sigemptyset(&inThread);
  ManagedThreadFunction reportMask = [](void* mask) -> void* { pthread_sigmask(SIG_BLOCK, nullptr, static_cast<sigset_t*>(mask)); return nullptr; };
  pthread_join(Start(reportMask, &inThread), nullptr);
  pthread_sigmask(SIG_BLOCK, nullptr, &callerAfter);
  for (auto [s, blocked] : {std::pair{SIGTERM, 1}, {SIGINT, 1}, {SIGHUP, 1}, {SIGSEGV, 0}}) {
    EXPECT_EQ(sigismember(&inThread, s), blocked) << s;
    EXPECT_EQ(sigismember(&callerAfter, s), sigismember(&callerBefore, s)) << s;
  }
  // A failed start (a stack no system can map) gives -1 and frees its slot.
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, static_cast<std::size_t>(1) << 46), 0);
  EXPECT_EQ(pthread_create_managed_with_attr(&attr, reportMask, nullptr), kManagedThreadFailed);
  pthread_attr_destroy(&attr);
  EXPECT_EQ(managed_thread_active_count(), before);
  EXPECT_EQ(pthread_create_managed(nullptr, nullptr), kManagedThreadFailed);
}

}  // namespace
}  // namespace cfgout
