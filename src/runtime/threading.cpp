#include "runtime/threading.h"

#include <errno.h>
#include <signal.h>
#include <sys/time.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

namespace cfgout {

// ---- Plain mutex ---------------------------------------------------------

pmutex* pmutex_create() {
  auto* m = new (std::nothrow) pmutex;
  if (m == nullptr) return nullptr;
  if (pthread_mutex_init(m, nullptr) != 0) {
    delete m;
    return nullptr;
  }
  return m;
}

void pmutex_destroy(pmutex* m) {
  if (m == nullptr) return;
  if (pthread_mutex_destroy(m) != 0) return;
  delete m;
}

int pmutex_request(pmutex* m) { return pthread_mutex_lock(m); }
int pmutex_requestNoBlock(pmutex* m) { return pthread_mutex_trylock(m); }
int pmutex_release(pmutex* m) { return pthread_mutex_unlock(m); }

int pmutex_request_timeout(pmutex* m, long ms) {
  if (ms <= 0) return 1;
  const long seconds = ms / 1000 + (ms % 1000 != 0 ? 1 : 0);
  for (long i = 0; i < seconds; ++i) {
    if (pthread_mutex_trylock(m) == 0) return 0;
  }
  for (long waited = 0; waited < ms; waited += 1000) {
    if (pthread_mutex_trylock(m) == 0) return 0;
    millisleep(1000);
  }
  return 1;
}

// ---- Event -----------------------------------------------------------------

pevent* pevent_create() {
  auto* e = new (std::nothrow) pevent;
  if (e == nullptr) return nullptr;
  if (pthread_mutex_init(&e->mutex, nullptr) != 0) {
    delete e;
    return nullptr;
  }
  if (pthread_cond_init(&e->condition, nullptr) != 0) {
    pthread_mutex_destroy(&e->mutex);
    delete e;
    return nullptr;
  }
  return e;
}

void pevent_destroy(pevent* e) {
  if (e == nullptr) return;
  pthread_cond_destroy(&e->condition);
  pthread_mutex_destroy(&e->mutex);
  delete e;
}

namespace {

// Waits with e->mutex held. A waiter only leaves once a set granted it a
// wake-up (or its deadline passed), so spurious condition wake-ups are not
// taken for a set.
int WaitLocked(pevent* e, const timespec* deadline) {
  if (e->signalled) {
    e->signalled = 0;
    return 0;
  }
  ++e->waiting;
  int rc = 0;
  while (e->wakeups == 0) {
    rc = deadline == nullptr ? pthread_cond_wait(&e->condition, &e->mutex)
                             : pthread_cond_timedwait(&e->condition, &e->mutex, deadline);
    if (rc != 0 && e->wakeups == 0) {
      --e->waiting;
      return rc;
    }
  }
  --e->wakeups;
  return 0;
}

int WaitUntil(pevent* e, const timespec* deadline) {
  pthread_mutex_lock(&e->mutex);
  int rc = WaitLocked(e, deadline);
  pthread_mutex_unlock(&e->mutex);
  return rc;
}

}  // namespace

int pevent_wait(pevent* e) { return WaitUntil(e, nullptr); }

int pevent_set(pevent* e) {
  pthread_mutex_lock(&e->mutex);
  if (e->waiting == 0) {
    e->signalled = 1;
  } else {
    --e->waiting;
    ++e->wakeups;
    pthread_cond_broadcast(&e->condition);
  }
  pthread_mutex_unlock(&e->mutex);
  return 0;
}

int pevent_setall(pevent* e) {
  pthread_mutex_lock(&e->mutex);
  if (e->waiting == 0) {
    e->signalled = 1;
  } else {
    e->wakeups += static_cast<unsigned>(e->waiting);
    e->waiting = 0;
    pthread_cond_broadcast(&e->condition);
  }
  pthread_mutex_unlock(&e->mutex);
  return 0;
}

int pevent_reset(pevent* e) {
  pthread_mutex_lock(&e->mutex);
  e->signalled = 0;
  pthread_mutex_unlock(&e->mutex);
  return 0;
}

int pevent_wait_timeout(pevent* e, long ms) {
  if (ms < 0) return pevent_wait(e);
  timespec when{};
  clock_gettime(CLOCK_REALTIME, &when);
  when.tv_sec += ms / 1000;
  return WaitUntil(e, &when);
}

int pevent_wait_timeout_ts(pevent* e, const timespec* when) { return WaitUntil(e, when); }

// ---- Recursive mutex -------------------------------------------------------

rmutex* rmutex_create() {
  auto* r = new (std::nothrow) rmutex;
  if (r == nullptr) return nullptr;
  r->state = pmutex_create();
  r->hold = pmutex_create();
  r->released = pevent_create();
  if (r->state == nullptr || r->hold == nullptr || r->released == nullptr) {
    pmutex_destroy(r->state);
    pmutex_destroy(r->hold);
    pevent_destroy(r->released);
    delete r;
    return nullptr;
  }
  return r;
}

int rmutex_destroy(rmutex* r) {
  if (r == nullptr) return 0;
  pmutex_request(r->state);
  const bool held = r->count != 0;
  pmutex_release(r->state);
  if (held) return -1;
  pmutex_destroy(r->state);
  pmutex_destroy(r->hold);
  pevent_destroy(r->released);
  delete r;
  return 0;
}

namespace {

bool OwnedByCaller(const rmutex* r) {
  return r->count > 0 && pthread_equal(r->owner, pthread_self()) != 0;
}

// Takes ownership; `ms` < 0 waits without limit. 0 = owned, 1 = timed out.
int RequestRecursive(rmutex* r, long ms) {
  pmutex_request(r->state);
  if (OwnedByCaller(r)) {
    ++r->count;
    pmutex_release(r->state);
    return 0;
  }
  while (r->count != 0) {
    pmutex_release(r->state);
    int rc;
    if (ms < 0) {
      rc = pevent_wait(r->released);
    } else {
      timespec when{};
      when.tv_sec = time(nullptr) + ms / 1000;
      rc = pevent_wait_timeout_ts(r->released, &when);
    }
    pmutex_request(r->state);
    if (rc != 0 && r->count != 0) {
      pmutex_release(r->state);
      return 1;
    }
  }
  r->owner = pthread_self();
  r->count = 1;
  pmutex_release(r->state);
  pmutex_request(r->hold);
  return 0;
}

}  // namespace

int rmutex_request(rmutex* r) { return RequestRecursive(r, -1); }

int rmutex_request_timeout(rmutex* r, long ms) { return RequestRecursive(r, ms == -1 ? -1 : (ms < 0 ? 0 : ms)); }

int rmutex_release(rmutex* r) {
  int result = -1;
  pmutex_request(r->state);
  if (OwnedByCaller(r)) {
    result = 0;
    if (--r->count == 0) {
      r->owner = pthread_t{};
      pmutex_release(r->hold);
    }
  }
  pmutex_release(r->state);
  pevent_setall(r->released);
  return result;
}

int rmutex_held_count(rmutex* r) {
  pmutex_request(r->state);
  int count = OwnedByCaller(r) ? r->count : 0;
  pmutex_release(r->state);
  return count;
}

// ---- Clock, sleep, random --------------------------------------------------

void millisleep(long ms) {
  if (ms <= 0) return;
  timespec request{ms / 1000, (ms % 1000) * 1000000L};
  timespec left{};
  while (nanosleep(&request, &left) != 0 && errno == EINTR) request = left;
}

void gettimecounts(long* sec, long* usec) {
  timeval now{};
  gettimeofday(&now, nullptr);
  if (sec != nullptr) *sec = now.tv_sec;
  if (usec != nullptr) *usec = now.tv_usec;
}

unsigned long getmillicount() {
  timeval now{};
  gettimeofday(&now, nullptr);
  return static_cast<unsigned long>(now.tv_sec % 4290000) * 1000UL +
         static_cast<unsigned long>(now.tv_usec) / 1000UL;
}

long getsecondcount() { return static_cast<long>(time(nullptr)); }

namespace {

std::mutex& RandomLock() {
  static std::mutex lock;
  return lock;
}
unsigned int g_random_state = 1;

}  // namespace

void random_init(unsigned int seed) {
  std::lock_guard<std::mutex> guard(RandomLock());
  std::srand(seed);
  g_random_state = seed;
}

int random_next(unsigned int* state) {
  if (state != nullptr) return rand_r(state);
  std::lock_guard<std::mutex> guard(RandomLock());
  return rand_r(&g_random_state);
}

// ---- Managed threads -------------------------------------------------------

namespace {

struct ThreadSlot {
  bool inUse = false;
  pthread_t thread{};
  ManagedThreadFunction function = nullptr;
  void* argument = nullptr;
};

struct CleanupEntry {
  bool used = false;
  pthread_t thread{};
  ThreadCleanupFunction function = nullptr;
  void* argument = nullptr;
  int priority = 0;
  unsigned long order = 0;  // registration order among equal priorities
};

constexpr std::size_t kSlotStep = 32;

// Set while a managed thread runs its function. Callbacks are only taken from
// such threads: an ended unmanaged thread's id can be reused by a later
// managed thread, which would then run callbacks that are not its own.
thread_local bool t_is_managed = false;

struct AllThreads {
  pmutex* lock = nullptr;
  std::vector<ThreadSlot> slots;
  std::size_t freeHint = 0;
  std::vector<CleanupEntry> callbacks;
  unsigned long nextOrder = 0;
};

// Never destroyed: managed threads may still end while the process exits.
AllThreads& Registry() {
  static AllThreads* registry = new AllThreads;
  return *registry;
}

class RegistryGuard {
 public:
  RegistryGuard() { pmutex_request(Registry().lock); }
  ~RegistryGuard() { pmutex_release(Registry().lock); }
  RegistryGuard(const RegistryGuard&) = delete;
  RegistryGuard& operator=(const RegistryGuard&) = delete;
};

void RunCleanups(AllThreads& all, pthread_t thread) {
  for (;;) {
    CleanupEntry* next = nullptr;
    for (CleanupEntry& entry : all.callbacks) {
      if (!entry.used || pthread_equal(entry.thread, thread) == 0) continue;
      if (next == nullptr || entry.priority > next->priority ||
          (entry.priority == next->priority && entry.order < next->order)) {
        next = &entry;
      }
    }
    if (next == nullptr) return;
    ThreadCleanupFunction function = next->function;
    void* argument = next->argument;
    *next = CleanupEntry{};
    function(argument);
  }
}

void* ManagedEntry(void* slotIndex) {
  const auto index = static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(slotIndex));
  AllThreads& all = Registry();
  ManagedThreadFunction function;
  void* argument;
  pthread_t self;
  {
    RegistryGuard guard;
    function = all.slots[index].function;
    argument = all.slots[index].argument;
    self = all.slots[index].thread;
  }
  t_is_managed = true;
  void* result = function(argument);
  t_is_managed = false;
  {
    RegistryGuard guard;
    RunCleanups(all, self);
    all.slots[index] = ThreadSlot{};
    if (all.freeHint > index) all.freeHint = index;
  }
  return result;
}

// The signals that arrive from outside; faults stay deliverable.
sigset_t AsynchronousSignals() {
  sigset_t set;
  sigfillset(&set);
  for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT}) sigdelset(&set, fault);
  return set;
}

}  // namespace

void managed_thread_init() {
  static std::once_flag once;
  std::call_once(once, [] { Registry().lock = pmutex_create(); });
}

pthread_t pthread_create_managed_with_attr(const pthread_attr_t* attr,
                                           ManagedThreadFunction function, void* argument) {
  managed_thread_init();
  AllThreads& all = Registry();
  if (function == nullptr || all.lock == nullptr) return kManagedThreadFailed;

  sigset_t blocked = AsynchronousSignals();
  sigset_t saved;
  pthread_sigmask(SIG_BLOCK, &blocked, &saved);

  pthread_t result = kManagedThreadFailed;
  {
    RegistryGuard guard;
    std::size_t index = all.freeHint;
    while (index < all.slots.size() && all.slots[index].inUse) ++index;
    bool haveSlot = index < all.slots.size();
    if (!haveSlot) {
      try {
        all.slots.resize((index / kSlotStep + 1) * kSlotStep);
        haveSlot = true;
      } catch (const std::bad_alloc&) {
        haveSlot = false;
      }
    }
    if (haveSlot) {
      ThreadSlot& slot = all.slots[index];
      slot.inUse = true;
      slot.function = function;
      slot.argument = argument;
      void* entryArgument = reinterpret_cast<void*>(static_cast<std::uintptr_t>(index));
      if (pthread_create(&slot.thread, attr, ManagedEntry, entryArgument) == 0) {
        all.freeHint = index + 1;
        result = slot.thread;
      } else {
        slot = ThreadSlot{};
        all.freeHint = index;
      }
    }
  }

  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  return result;
}

pthread_t pthread_create_managed(ManagedThreadFunction function, void* argument) {
  return pthread_create_managed_with_attr(nullptr, function, argument);
}

int pthread_ondestroy(ThreadCleanupFunction function, void* argument, int priority) {
  if (function == nullptr || !t_is_managed) return -1;
  managed_thread_init();
  AllThreads& all = Registry();
  RegistryGuard guard;
  CleanupEntry entry;
  entry.used = true;
  entry.thread = pthread_self();
  entry.function = function;
  entry.argument = argument;
  entry.priority = priority;
  entry.order = all.nextOrder++;
  for (CleanupEntry& existing : all.callbacks) {
    if (!existing.used) {
      existing = entry;
      return 0;
    }
  }
  try {
    all.callbacks.push_back(entry);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return 0;
}

std::size_t managed_thread_active_count() {
  managed_thread_init();
  RegistryGuard guard;
  return static_cast<std::size_t>(std::count_if(Registry().slots.begin(), Registry().slots.end(),
                                                [](const ThreadSlot& s) { return s.inUse; }));
}

std::size_t managed_thread_slot_count() {
  managed_thread_init();
  RegistryGuard guard;
  return Registry().slots.size();
}

}  // namespace cfgout
