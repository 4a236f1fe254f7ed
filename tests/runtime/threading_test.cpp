#include "runtime/threading.h"

#include <errno.h>
#include <signal.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cfgout {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<milliseconds>(Clock::now() - since).count());
}

// Waits (bounded) until `done()` holds.
template <typename Predicate>
bool WaitUntil(Predicate done, milliseconds limit = milliseconds(5000)) {
  auto end = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return true;
}

int Waiting(pevent* e) {
  pthread_mutex_lock(&e->mutex);
  int waiting = e->waiting;
  pthread_mutex_unlock(&e->mutex);
  return waiting;
}

// ---- Plain mutex ---------------------------------------------------------

TEST(Pmutex, LockTryLockAndRelease) {
  pmutex* m = pmutex_create();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(pmutex_request(m), 0);
  int fromOtherThread = -1;
  std::thread([&] { fromOtherThread = pmutex_requestNoBlock(m); }).join();
  EXPECT_EQ(fromOtherThread, EBUSY);
  EXPECT_EQ(pmutex_release(m), 0);
  std::thread([&] {
    fromOtherThread = pmutex_requestNoBlock(m);
    pmutex_release(m);
  }).join();
  EXPECT_EQ(fromOtherThread, 0);
  pmutex_destroy(m);
  pmutex_destroy(nullptr);
}

TEST(Pmutex, TimeoutOfZeroOrLessFailsWithoutTrying) {
  pmutex* m = pmutex_create();
  EXPECT_EQ(pmutex_request_timeout(m, 0), 1);
  EXPECT_EQ(pmutex_request_timeout(m, -5), 1);
  // Nothing was locked by those calls.
  EXPECT_EQ(pmutex_requestNoBlock(m), 0);
  pmutex_release(m);
  pmutex_destroy(m);
}

TEST(Pmutex, TimeoutLocksAFreeMutexAtOnce) {
  pmutex* m = pmutex_create();
  auto start = Clock::now();
  EXPECT_EQ(pmutex_request_timeout(m, 5000), 0);
  EXPECT_LT(ElapsedMs(start), 500);
  pmutex_release(m);
  pmutex_destroy(m);
}

TEST(Pmutex, TimeoutGivesUpAfterWholeSecondsWhileHeldElsewhere) {
  pmutex* m = pmutex_create();
  std::atomic<bool> locked{false}, finish{false};
  std::thread holder([&] {
    pmutex_request(m);
    locked = true;
    WaitUntil([&] { return finish.load(); });
    pmutex_release(m);
  });
  ASSERT_TRUE(WaitUntil([&] { return locked.load(); }));
  auto start = Clock::now();
  EXPECT_EQ(pmutex_request_timeout(m, 300), 1);
  long elapsed = ElapsedMs(start);
  EXPECT_GE(elapsed, 900);  // one attempt, then one second of sleep
  EXPECT_LT(elapsed, 3000);
  finish = true;
  holder.join();
  pmutex_destroy(m);
}

TEST(Pmutex, TimeoutSucceedsWhenTheHolderLetsGoInTime) {
  pmutex* m = pmutex_create();
  std::atomic<bool> locked{false};
  std::thread holder([&] {
    pmutex_request(m);
    locked = true;
    std::this_thread::sleep_for(milliseconds(200));
    pmutex_release(m);
  });
  ASSERT_TRUE(WaitUntil([&] { return locked.load(); }));
  EXPECT_EQ(pmutex_request_timeout(m, 3000), 0);
  pmutex_release(m);
  holder.join();
  pmutex_destroy(m);
}

// ---- Event -----------------------------------------------------------------

TEST(Pevent, ASetWithoutWaitersIsKeptForOneWaiter) {
  pevent* e = pevent_create();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(pevent_wait_timeout(e, 0), ETIMEDOUT);
  pevent_set(e);
  EXPECT_EQ(e->signalled, 1);
  EXPECT_EQ(pevent_wait(e), 0);
  EXPECT_EQ(e->signalled, 0);
  // Auto-reset: the next wait finds nothing.
  EXPECT_EQ(pevent_wait_timeout(e, 0), ETIMEDOUT);

  pevent_setall(e);
  EXPECT_EQ(pevent_wait_timeout(e, 0), 0);
  pevent_set(e);
  pevent_reset(e);
  EXPECT_EQ(pevent_wait_timeout(e, 0), ETIMEDOUT);
  pevent_destroy(e);
}

TEST(Pevent, TimeoutsCountWholeSeconds) {
  pevent* e = pevent_create();
  auto start = Clock::now();
  EXPECT_EQ(pevent_wait_timeout(e, 999), ETIMEDOUT);  // 0 whole seconds
  EXPECT_LT(ElapsedMs(start), 500);
  start = Clock::now();
  EXPECT_EQ(pevent_wait_timeout(e, 1200), ETIMEDOUT);
  long elapsed = ElapsedMs(start);
  EXPECT_GE(elapsed, 950);
  EXPECT_LT(elapsed, 3000);
  timespec past{};
  clock_gettime(CLOCK_REALTIME, &past);
  past.tv_sec -= 1;
  EXPECT_EQ(pevent_wait_timeout_ts(e, &past), ETIMEDOUT);
  pevent_destroy(e);
}

TEST(Pevent, SetWakesOneWaiterAndSetallWakesEveryWaiter) {
  pevent* e = pevent_create();
  std::atomic<int> woken{0};
  auto waiter = [&] {
    if (pevent_wait_timeout(e, 10000) == 0) ++woken;
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < 3; ++i) threads.emplace_back(waiter);
  ASSERT_TRUE(WaitUntil([&] { return Waiting(e) == 3; }));

  pevent_set(e);
  ASSERT_TRUE(WaitUntil([&] { return woken.load() == 1; }));
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(woken.load(), 1);
  EXPECT_EQ(e->signalled, 0);  // it went to a waiter

  pevent_setall(e);
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(woken.load(), 3);
  EXPECT_EQ(Waiting(e), 0);
  EXPECT_EQ(e->signalled, 0);
  pevent_destroy(e);
}

TEST(Pevent, AWaiterWithoutTimeoutIsWokenBySet) {
  pevent* e = pevent_create();
  std::atomic<bool> done{false};
  std::thread waiter([&] {
    pevent_wait_timeout(e, -1);
    done = true;
  });
  ASSERT_TRUE(WaitUntil([&] { return Waiting(e) == 1; }));
  EXPECT_FALSE(done.load());
  pevent_set(e);
  ASSERT_TRUE(WaitUntil([&] { return done.load(); }));
  waiter.join();
  pevent_destroy(e);
}

// ---- Recursive mutex -------------------------------------------------------

TEST(Rmutex, TheOwnerReentersAndOthersWaitUntilTheLastRelease) {
  rmutex* r = rmutex_create();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(rmutex_request(r), 0);
  EXPECT_EQ(rmutex_request(r), 0);
  EXPECT_EQ(rmutex_request_timeout(r, 0), 0);
  EXPECT_EQ(rmutex_held_count(r), 3);

  int other = -1;
  std::thread([&] { other = rmutex_request_timeout(r, 0); }).join();
  EXPECT_EQ(other, 1);
  std::thread([&] { other = rmutex_release(r); }).join();
  EXPECT_EQ(other, -1);  // not the owner: nothing changes
  EXPECT_EQ(rmutex_held_count(r), 3);

  std::atomic<bool> acquired{false};
  std::thread waiter([&] {
    if (rmutex_request_timeout(r, 10000) == 0) {
      acquired = true;
      EXPECT_EQ(rmutex_held_count(r), 1);
      rmutex_release(r);
    }
  });
  EXPECT_EQ(rmutex_release(r), 0);
  EXPECT_EQ(rmutex_release(r), 0);
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_FALSE(acquired.load());
  EXPECT_EQ(rmutex_release(r), 0);
  EXPECT_EQ(rmutex_held_count(r), 0);
  waiter.join();
  EXPECT_TRUE(acquired.load());
  EXPECT_EQ(rmutex_release(r), -1);
  EXPECT_EQ(rmutex_destroy(r), 0);
}

TEST(Rmutex, DestroyWhileHeldDoesNothing) {
  rmutex* r = rmutex_create();
  rmutex_request(r);
  EXPECT_EQ(rmutex_destroy(r), -1);
  EXPECT_EQ(rmutex_held_count(r), 1);
  rmutex_release(r);
  EXPECT_EQ(rmutex_destroy(r), 0);
}

TEST(Rmutex, AWaitWithASecondLimitTimesOut) {
  rmutex* r = rmutex_create();
  rmutex_request(r);
  int result = -1;
  long elapsed = 0;
  std::thread([&] {
    auto start = Clock::now();
    result = rmutex_request_timeout(r, 1000);
    elapsed = ElapsedMs(start);
  }).join();
  EXPECT_EQ(result, 1);
  EXPECT_LT(elapsed, 3000);
  rmutex_release(r);
  rmutex_destroy(r);
}

// ---- Clock, sleep, random --------------------------------------------------

TEST(Clock, SleepAndCounters) {
  auto start = Clock::now();
  millisleep(60);
  EXPECT_GE(ElapsedMs(start), 60);

  long sec = 0, usec = -1;
  gettimecounts(&sec, &usec);
  gettimecounts(nullptr, nullptr);
  EXPECT_GE(usec, 0);
  EXPECT_LT(usec, 1000000);
  EXPECT_LE(std::labs(sec - static_cast<long>(std::time(nullptr))), 1);
  EXPECT_LE(std::labs(getsecondcount() - static_cast<long>(std::time(nullptr))), 1);

  unsigned long expected = static_cast<unsigned long>(sec % 4290000) * 1000UL +
                           static_cast<unsigned long>(usec) / 1000UL;
  unsigned long millis = getmillicount();
  EXPECT_LT(millis, 4290000UL * 1000UL);
  EXPECT_LT(millis - expected, 1000UL);  // taken just after, same wrap
}

TEST(Random, ASeedRepeatsItsSequence) {
  random_init(12345);
  std::vector<int> first{random_next(), random_next(), random_next()};
  random_init(12345);
  std::vector<int> again{random_next(), random_next(), random_next()};
  EXPECT_EQ(first, again);

  unsigned a = 99, b = 99, c = 100;
  std::vector<int> fromA{random_next(&a), random_next(&a)};
  std::vector<int> fromB{random_next(&b), random_next(&b)};
  std::vector<int> fromC{random_next(&c), random_next(&c)};
  EXPECT_EQ(fromA, fromB);
  EXPECT_NE(fromA, fromC);
}

// ---- Managed threads -------------------------------------------------------

struct Gate {
  pevent* open = pevent_create();
  std::atomic<int> started{0};
  ~Gate() { pevent_destroy(open); }
};

void* WaitAtGate(void* argument) {
  auto* gate = static_cast<Gate*>(argument);
  ++gate->started;
  pevent_wait_timeout(gate->open, 20000);
  return argument;
}

TEST(ManagedThreads, ThreadsOccupySlotsUntilTheirFunctionReturns) {
  const std::size_t before = managed_thread_active_count();
  Gate gate;
  std::vector<pthread_t> ids;
  for (int i = 0; i < 40; ++i) {
    pthread_t id = pthread_create_managed(WaitAtGate, &gate);
    ASSERT_NE(id, kManagedThreadFailed);
    ids.push_back(id);
  }
  ASSERT_TRUE(WaitUntil([&] { return gate.started.load() == 40; }));
  EXPECT_EQ(managed_thread_active_count(), before + 40);
  EXPECT_GE(managed_thread_slot_count(), before + 40);
  EXPECT_EQ(managed_thread_slot_count() % 32, 0u);

  pevent_setall(gate.open);
  for (pthread_t id : ids) {
    void* result = nullptr;
    pthread_join(id, &result);
    EXPECT_EQ(result, &gate);
  }
  EXPECT_EQ(managed_thread_active_count(), before);
}

std::mutex g_order_lock;
std::vector<std::string> g_order;

void Record(void* argument) {
  std::lock_guard<std::mutex> guard(g_order_lock);
  g_order.push_back(static_cast<const char*>(argument));
}

void* RegisterCleanups(void*) {
  static char low[] = "low", first[] = "high-1", second[] = "high-2";
  pthread_ondestroy(Record, low, 1);
  pthread_ondestroy(Record, first, 5);
  pthread_ondestroy(Record, second, 5);
  std::lock_guard<std::mutex> guard(g_order_lock);
  g_order.push_back("body");
  return nullptr;
}

TEST(ManagedThreads, CleanupCallbacksRunAfterTheFunctionByPriority) {
  {
    std::lock_guard<std::mutex> guard(g_order_lock);
    g_order.clear();
  }
  pthread_t id = pthread_create_managed(RegisterCleanups, nullptr);
  ASSERT_NE(id, kManagedThreadFailed);
  pthread_join(id, nullptr);
  std::lock_guard<std::mutex> guard(g_order_lock);
  EXPECT_EQ(g_order, (std::vector<std::string>{"body", "high-1", "high-2", "low"}));
}

TEST(ManagedThreads, OnlyManagedThreadsRegisterCallbacks) {
  {
    std::lock_guard<std::mutex> guard(g_order_lock);
    g_order.clear();
  }
  static char text[] = "unmanaged";
  std::thread([] { EXPECT_EQ(pthread_ondestroy(Record, text, 0), -1); }).join();
  EXPECT_EQ(pthread_ondestroy(Record, text, 0), -1);
  pthread_t id = pthread_create_managed([](void*) -> void* { return nullptr; }, nullptr);
  pthread_join(id, nullptr);
  std::lock_guard<std::mutex> guard(g_order_lock);
  EXPECT_TRUE(g_order.empty());
}

void* ReportSignalMask(void* argument) {
  auto* mask = static_cast<sigset_t*>(argument);
  pthread_sigmask(SIG_BLOCK, nullptr, mask);
  return nullptr;
}

TEST(ManagedThreads, StartWithAsynchronousSignalsBlocked) {
  sigset_t callerBefore, callerAfter, inThread;
  pthread_sigmask(SIG_BLOCK, nullptr, &callerBefore);
  sigemptyset(&inThread);
  pthread_t id = pthread_create_managed(ReportSignalMask, &inThread);
  ASSERT_NE(id, kManagedThreadFailed);
  pthread_join(id, nullptr);
  EXPECT_EQ(sigismember(&inThread, SIGTERM), 1);
  EXPECT_EQ(sigismember(&inThread, SIGINT), 1);
  EXPECT_EQ(sigismember(&inThread, SIGHUP), 1);
  EXPECT_EQ(sigismember(&inThread, SIGSEGV), 0);
  pthread_sigmask(SIG_BLOCK, nullptr, &callerAfter);
  for (int s : {SIGTERM, SIGINT, SIGHUP, SIGUSR1}) {
    EXPECT_EQ(sigismember(&callerAfter, s), sigismember(&callerBefore, s)) << s;
  }
}

TEST(ManagedThreads, AFailedStartGivesMinusOneAndFreesItsSlot) {
  const std::size_t before = managed_thread_active_count();
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  // A stack no system can map.
  ASSERT_EQ(pthread_attr_setstacksize(&attr, static_cast<std::size_t>(1) << 46), 0);
  pthread_t id = pthread_create_managed_with_attr(&attr, ReportSignalMask, nullptr);
  pthread_attr_destroy(&attr);
  EXPECT_EQ(id, kManagedThreadFailed);
  EXPECT_EQ(managed_thread_active_count(), before);
  EXPECT_EQ(pthread_create_managed(nullptr, nullptr), kManagedThreadFailed);
}

}  // namespace
}  // namespace cfgout
