// The threads of the simulated machine and the one lock they share.
//
// The program under test, the threads it creates (CreateThread) and the
// simulated programs it starts (CreateProcessA) run on real threads. Every
// Win32 function of the machine holds the machine's lock while it touches
// the machine's state (ApiLock), so the state is never seen half-changed.
// A thread that must wait (a pipe without data, WaitForSingleObject, Sleep)
// gives the lock up entirely while it waits.
//
// Time is virtual: it moves only when every thread of the machine waits,
// and then straight to the earliest time one of them waits for. So a
// watchdog that waits ten minutes for a program that hangs wakes at once,
// and a slow host never makes a timed wait end early. When every thread
// waits with no time to wake at, nothing can ever move again: the machine
// says so on standard error and aborts the test program, which is better
// than a test that hangs.
//
// For the implementations only; tests use the machine's interface.
#pragma once

#include <cstdint>
#include <functional>

namespace sim {

// No time to wake at: the wait ends only when its condition holds.
constexpr uint64_t kForever = UINT64_MAX;

// Takes the machine's lock for the scope (recursively: a function of the
// machine may call another).
class ApiLock {
 public:
  ApiLock();
  ~ApiLock();
  ApiLock(const ApiLock&) = delete;
  ApiLock& operator=(const ApiLock&) = delete;
};

// Called with the lock held (at any depth): gives it up, waits until
// `ready()` holds or the virtual clock reaches `deadline` (kForever: no
// deadline), and takes the lock back at the depth it had. `ready` is
// called with the machine's state quiet and must not call the machine's
// functions. Returns whether `ready()` held.
bool WaitUntil(const std::function<bool()>& ready, uint64_t deadline);

// The deadline `ms` milliseconds of virtual time from now (INFINITE:
// kForever). Called with the lock held.
uint64_t DeadlineAfter(uint32_t ms);

// Starts `body` on a thread of the machine: the thread counts as running
// until it waits or ends. Called with the lock held.
void StartMachineThread(std::function<void()> body);

// Waits for every thread the machine started to end (Machine::Reset).
// Called without the lock.
void JoinMachineThreads();

}  // namespace sim
