// Threads, events, critical sections and waits of the simulated machine,
// and its clock: Sleep and the timed waits run on the virtual clock (see
// scheduler.h).
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "sim/handles.h"
#include "sim/machine.h"
#include "sim/scheduler.h"
#include "sim/win32_api.h"

namespace sim {

namespace {

// An event: manual-reset events stay set until reset, the others reset as
// one wait is satisfied.
class EventItem : public KernelItem {
 public:
  EventItem(bool manual_reset, bool set) : manual_reset_(manual_reset), set_(set) {}
  bool Signaled() const override { return set_; }
  void Acquired() override {
    if (!manual_reset_) set_ = false;
  }
  void Set() { set_ = true; }

 private:
  bool manual_reset_;
  bool set_;
};

// A thread the program created: signaled once its function has returned.
class ThreadItem : public KernelItem {
 public:
  bool Signaled() const override { return ended; }
  bool ended = false;
};

// What a CRITICAL_SECTION stands for: its owner and how often it entered.
struct Section {
  std::thread::id owner;
  int count = 0;
};

std::atomic<DWORD> next_thread_id{0x200};

}  // namespace

}  // namespace sim

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, size_t dwStackSize,
                           LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("CreateThread")) return nullptr;
  if (!lpStartAddress || dwCreationFlags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto thread = std::make_shared<sim::ThreadItem>();
  HANDLE handle = sim::NewItemHandle("thread", thread,
                                     lpThreadAttributes && lpThreadAttributes->bInheritHandle);
  const DWORD id = sim::next_thread_id += 4;
  if (lpThreadId) *lpThreadId = id;
  sim::StartMachineThread([thread, lpStartAddress, lpParameter] {
    lpStartAddress(lpParameter);
    sim::ApiLock lock;
    thread->ended = true;
  });
  return handle;
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset,
                           BOOL bInitialState, LPCSTR lpName) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("CreateEventA")) return nullptr;
  if (lpName) {  // named events are not modelled: no test needs them
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  SetLastError(ERROR_SUCCESS);
  return sim::NewItemHandle("event", std::make_shared<sim::EventItem>(bManualReset, bInitialState),
                            lpEventAttributes && lpEventAttributes->bInheritHandle);
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
  sim::ApiLock lock;
  auto event = std::dynamic_pointer_cast<sim::EventItem>(sim::ItemOf(hEvent));
  if (!event) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  event->Set();
  return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  sim::ApiLock lock;
  std::shared_ptr<sim::KernelItem> item = sim::ItemOf(hHandle);
  if (!item) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  if (!sim::WaitUntil([&] { return item->Signaled(); }, sim::DeadlineAfter(dwMilliseconds)))
    return WAIT_TIMEOUT;
  item->Acquired();
  return WAIT_OBJECT_0;
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  sim::ApiLock lock;
  sim::M().Note("Sleep " + std::to_string(dwMilliseconds));
  sim::WaitUntil([] { return false; }, sim::DeadlineAfter(dwMilliseconds));
}

DWORD WINAPI GetTickCount(void) {
  sim::ApiLock lock;
  return static_cast<DWORD>(sim::M().now_ms);
}

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  lpCriticalSection->impl = new sim::Section;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  sim::ApiLock lock;
  auto* section = static_cast<sim::Section*>(lpCriticalSection->impl);
  const std::thread::id me = std::this_thread::get_id();
  if (section->count > 0 && section->owner == me) {
    ++section->count;
    return;
  }
  sim::WaitUntil([&] { return section->count == 0; }, sim::kForever);
  section->owner = me;
  section->count = 1;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  sim::ApiLock lock;
  auto* section = static_cast<sim::Section*>(lpCriticalSection->impl);
  if (section->count > 0 && --section->count == 0) section->owner = std::thread::id();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  delete static_cast<sim::Section*>(lpCriticalSection->impl);
  lpCriticalSection->impl = nullptr;
}

LONG WINAPI InterlockedIncrement(LONG volatile* Addend) {
  return __atomic_add_fetch(const_cast<LONG*>(Addend), 1, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedDecrement(LONG volatile* Addend) {
  return __atomic_sub_fetch(const_cast<LONG*>(Addend), 1, __ATOMIC_SEQ_CST);
}

LONG WINAPI InterlockedExchange(LONG volatile* Target, LONG Value) {
  return __atomic_exchange_n(const_cast<LONG*>(Target), Value, __ATOMIC_SEQ_CST);
}

PVOID WINAPI InterlockedCompareExchangePointer(PVOID volatile* Destination, PVOID Exchange,
                                               PVOID Comperand) {
  __atomic_compare_exchange_n(const_cast<PVOID*>(Destination), &Comperand, Exchange, false,
                              __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
  return Comperand;
}

void WINAPI OutputDebugStringA(LPCSTR lpOutputString) {
  sim::ApiLock lock;
  sim::M().debug_output.push_back(lpOutputString ? lpOutputString : "");
  sim::M().LeaveError("OutputDebugStringA");
}
