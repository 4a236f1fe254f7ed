#pragma once
// Thin wrappers over POSIX threads shared by every program built on the
// runtime library: a plain mutex, a recursive mutex, an auto-reset event,
// sleeping, clock and random-number helpers, and a registry of "managed"
// threads that runs registered clean-up callbacks when a thread's function
// returns.

#include <pthread.h>
#include <time.h>

#include <cstddef>

namespace cfgout {

// ---- Plain mutex ---------------------------------------------------------

using pmutex = pthread_mutex_t;

// A default (non-recursive) mutex on the heap, or null when out of memory.
pmutex* pmutex_create();
// Destroys and frees `m`; null: nothing. A mutex that cannot be destroyed
// (it is still held) is left allocated rather than freed under its holder.
void pmutex_destroy(pmutex* m);
int pmutex_request(pmutex* m);         // pthread_mutex_lock result
int pmutex_requestNoBlock(pmutex* m);  // pthread_mutex_trylock result
int pmutex_release(pmutex* m);         // pthread_mutex_unlock result
// Polls for the mutex: `ms` <= 0 gives 1 at once. Otherwise ceil(ms / 1000)
// immediate attempts, then one attempt per second until whole seconds reach
// `ms`. 0 = locked, 1 = timed out.
int pmutex_request_timeout(pmutex* m, long ms);

// ---- Event -----------------------------------------------------------------

// Auto-reset event: a waiter that finds it signalled clears it and goes on;
// a set with waiters present wakes one of them (setall: all) instead.
struct pevent {
  int signalled = 0;
  int waiting = 0;        // waiters not yet woken
  unsigned wakeups = 0;   // wake-ups granted but not yet taken by a waiter
  pthread_mutex_t mutex;
  pthread_cond_t condition;
};

pevent* pevent_create();  // not signalled; null when out of memory
void pevent_destroy(pevent* e);
int pevent_wait(pevent* e);
int pevent_set(pevent* e);
int pevent_setall(pevent* e);
// Clears `signalled`. Threads already waiting stay waiting for a set.
int pevent_reset(pevent* e);
// Deadline: now plus ms / 1000 whole seconds; negative `ms` waits without
// limit. Result as pthread_cond_timedwait: 0 = woken, ETIMEDOUT otherwise.
int pevent_wait_timeout(pevent* e, long ms);
int pevent_wait_timeout_ts(pevent* e, const timespec* when);

// ---- Recursive mutex -------------------------------------------------------

struct rmutex {
  pmutex* state = nullptr;     // guards owner and count
  pmutex* hold = nullptr;      // held while the mutex is owned
  pevent* released = nullptr;  // set at every release
  pthread_t owner{};
  int count = 0;  // recursion depth; 0 = free
};

rmutex* rmutex_create();
// 0 = destroyed; -1 = still held, nothing was done.
int rmutex_destroy(rmutex* r);
int rmutex_request(rmutex* r);  // 0 once owned
// `ms` = -1 waits without limit; otherwise every wait ends at the current
// second plus ms / 1000 whole seconds. 0 = owned, 1 = timed out while another
// thread still owns it.
int rmutex_request_timeout(rmutex* r, long ms);
// The owner lowers the count and frees the mutex at 0; every call wakes the
// waiters. 0 = the caller owned it, -1 = it did not (nothing changed).
int rmutex_release(rmutex* r);
// Recursion depth held by the calling thread (0 when it is not the owner).
int rmutex_held_count(rmutex* r);

// ---- Clock, sleep, random --------------------------------------------------

void millisleep(long ms);
// Seconds and microseconds of the wall clock into the non-null arguments.
void gettimecounts(long* sec, long* usec);
// Milliseconds of the wall clock, seconds taken modulo 4290000.
unsigned long getmillicount();
long getsecondcount();
void random_init(unsigned int seed);
// The next number of the sequence kept in `*state`; with null, of the
// sequence started by random_init.
int random_next(unsigned int* state = nullptr);

// ---- Managed threads -------------------------------------------------------

using ManagedThreadFunction = void* (*)(void*);
using ThreadCleanupFunction = void (*)(void*);

// The result of a managed thread start that failed.
inline const pthread_t kManagedThreadFailed = static_cast<pthread_t>(-1);

void managed_thread_init();
// Starts `function(argument)` through the registry with the asynchronous
// signals blocked. The thread is joinable. Result: its id, or
// kManagedThreadFailed.
pthread_t pthread_create_managed_with_attr(const pthread_attr_t* attr,
                                           ManagedThreadFunction function, void* argument);
pthread_t pthread_create_managed(ManagedThreadFunction function, void* argument);
// Registers `function(argument)` to run when the calling managed thread's
// function returns. Higher `priority` runs first; equal priorities run in
// the order registered. Callbacks run with the registry lock held, so they
// must not start threads or register callbacks. 0 = registered; -1 = the
// caller is not a managed thread (its callbacks could never run) or no memory.
int pthread_ondestroy(ThreadCleanupFunction function, void* argument, int priority);

// Registry observation: slots now in use, and the slot array's size.
std::size_t managed_thread_active_count();
std::size_t managed_thread_slot_count();

}  // namespace cfgout
