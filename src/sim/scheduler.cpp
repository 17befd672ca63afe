// The machine's lock, its threads and its virtual clock (see scheduler.h).
#include "sim/scheduler.h"

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/handles.h"
#include "sim/machine.h"

namespace sim {

namespace {

// A thread in WaitUntil: the time it waits for, and whether a change of
// the machine's state (or of its clock) has woken it to look again.
struct Waiter {
  uint64_t deadline = kForever;
  bool woken = false;
};

struct Scheduler {
  std::mutex mutex;  // guards the members; the machine's lock is depth/owner
  std::condition_variable changed;
  std::thread::id owner;
  int depth = 0;
  int running = 1;  // threads that do not wait; the test's own thread counts
  std::list<Waiter*> waiters;
  std::vector<std::thread> threads;
};

// Never destroyed: threads may still use it while the process exits.
Scheduler& S() {
  static Scheduler* scheduler = new Scheduler;
  return *scheduler;
}

// The machine's state may have changed: every waiter looks again, and
// counts as running until it has.
void WakeWaiters(Scheduler& s) {
  for (Waiter* w : s.waiters) {
    if (!w->woken) {
      w->woken = true;
      ++s.running;
    }
  }
  s.changed.notify_all();
}

// Every thread waits: the clock moves on to the earliest deadline and the
// waiters look again. With none, no thread can ever move again.
void AdvanceClock(Scheduler& s) {
  uint64_t next = kForever;
  for (const Waiter* w : s.waiters)
    if (w->deadline < next) next = w->deadline;
  if (next == kForever) {
    std::fprintf(stderr,
                 "simulated machine: every thread waits and none has a time to wake at "
                 "(deadlock)\n");
    std::abort();
  }
  if (M().now_ms < next) M().now_ms = next;
  WakeWaiters(s);
}

void Lock() {
  Scheduler& s = S();
  std::unique_lock<std::mutex> hold(s.mutex);
  const std::thread::id me = std::this_thread::get_id();
  if (s.depth > 0 && s.owner == me) {
    ++s.depth;
    return;
  }
  s.changed.wait(hold, [&] { return s.depth == 0; });
  s.owner = me;
  s.depth = 1;
}

void Unlock() {
  Scheduler& s = S();
  std::unique_lock<std::mutex> hold(s.mutex);
  if (--s.depth == 0) {
    s.owner = std::thread::id();
    WakeWaiters(s);
  }
}

// The calling thread stops counting as running; the clock moves when it
// was the last one.
void StopRunning(Scheduler& s) {
  if (--s.running == 0 && !s.waiters.empty()) AdvanceClock(s);
}

}  // namespace

ApiLock::ApiLock() { Lock(); }
ApiLock::~ApiLock() { Unlock(); }

bool WaitUntil(const std::function<bool()>& ready, uint64_t deadline) {
  Scheduler& s = S();
  std::unique_lock<std::mutex> hold(s.mutex);
  const int depth = s.depth;
  const std::thread::id me = s.owner;
  s.depth = 0;
  s.owner = std::thread::id();
  WakeWaiters(s);
  Waiter self;
  self.deadline = deadline;
  bool result = false;
  for (;;) {
    s.changed.wait(hold, [&] { return s.depth == 0; });
    if (ready()) {
      result = true;
      break;
    }
    if (M().now_ms >= deadline) break;
    self.woken = false;
    s.waiters.push_back(&self);
    StopRunning(s);
    s.changed.wait(hold, [&] { return self.woken; });
    s.waiters.remove(&self);  // WakeWaiters counted it as running again
  }
  s.changed.wait(hold, [&] { return s.depth == 0; });
  s.owner = me;
  s.depth = depth;
  return result;
}

uint64_t DeadlineAfter(uint32_t ms) {
  if (ms == 0xFFFFFFFFu) return kForever;
  return M().now_ms + ms;
}

void StartMachineThread(std::function<void()> body) {
  Scheduler& s = S();
  static const bool joined_at_exit = [] {
    // The last test's programs and threads end before the machine goes.
    std::atexit([] {
      EndAllPrograms();
      JoinMachineThreads();
    });
    return true;
  }();
  (void)joined_at_exit;
  std::unique_lock<std::mutex> hold(s.mutex);
  ++s.running;
  s.threads.emplace_back([body = std::move(body)] {
    body();
    Scheduler& s = S();
    std::unique_lock<std::mutex> hold(s.mutex);
    StopRunning(s);
    s.changed.notify_all();
  });
}

void JoinMachineThreads() {
  Scheduler& s = S();
  std::vector<std::thread> threads;
  {
    std::unique_lock<std::mutex> hold(s.mutex);
    threads.swap(s.threads);
    if (threads.empty()) return;
    // While it joins, the test's thread waits too.
    StopRunning(s);
  }
  for (std::thread& t : threads) t.join();
  std::unique_lock<std::mutex> hold(s.mutex);
  ++s.running;
}

}  // namespace sim
