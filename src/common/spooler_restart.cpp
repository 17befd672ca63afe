// Starting and restarting the print spooler service.
#include "common/spooler_restart.h"

#include <string>
#include <utility>
#include <vector>

#include "common/setup_log.h"
#include "common/text.h"
#include "common/win32.h"

namespace {

constexpr char kSpooler[] = "Spooler";
constexpr DWORD kSettleMs = 500;         // after the stop request and after the start
constexpr DWORD kPollMs = 250;           // between two status queries
constexpr DWORD kTransitionMs = 30000;   // the longest a stop or a start is awaited
// The rights the restart is made with; without the last two (status query,
// dependents) it falls back to the plain stop, fixed waits and start.
constexpr DWORD kControlRights = SERVICE_START | SERVICE_STOP;
constexpr DWORD kWatchRights = SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS;

// An owned service control manager or service handle.
class ServiceHandle {
 public:
  explicit ServiceHandle(SC_HANDLE handle = nullptr) : handle_(handle) {}
  ~ServiceHandle() { Reset(nullptr); }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  ServiceHandle(ServiceHandle&& other) noexcept : handle_(other.handle_) {
    other.handle_ = nullptr;
  }
  ServiceHandle& operator=(ServiceHandle&& other) noexcept {
    if (this != &other) {
      Reset(other.handle_);
      other.handle_ = nullptr;
    }
    return *this;
  }
  SC_HANDLE get() const { return handle_; }
  // Closes the handle held, if any, and takes `handle` instead.
  void Reset(SC_HANDLE handle) {
    if (handle_) CloseServiceHandle(handle_);
    handle_ = handle;
  }

 private:
  SC_HANDLE handle_;
};

// A dependent service the restart has stopped and must start again.
struct StoppedService {
  std::string name;
  ServiceHandle handle;
};

// Polls the service while it is in `pending` (SERVICE_STOP_PENDING or
// SERVICE_START_PENDING), until `waited` (the time already spent since the
// request) reaches 30 s. Returns the last state read, or 0 with *error set
// when the status cannot be read.
DWORD WaitWhilePending(SC_HANDLE service, DWORD pending, DWORD waited, DWORD* error = nullptr) {
  for (;;) {
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service, &status)) {
      if (error) *error = GetLastError();
      return 0;
    }
    if (status.dwCurrentState != pending || waited >= kTransitionMs) {
      if (error) *error = status.dwWin32ExitCode;
      return status.dwCurrentState;
    }
    Sleep(kPollMs);
    waited += kPollMs;
  }
}

// The names of the running services that depend on the spooler, in the
// order to stop them (the reverse of their start order). Empty when there
// are none, or when they cannot be listed (then logged, and the failure's
// code is left as the last error). A list that was read leaves the last
// error as it was found: the size query's 234 would otherwise be logged by
// the uninstall after its next spooler call.
std::vector<std::string> ActiveDependents(SC_HANDLE spooler) {
  const DWORD found_error = GetLastError();
  std::vector<std::string> names;
  DWORD needed = 0, count = 0;
  if (EnumDependentServicesA(spooler, SERVICE_ACTIVE, nullptr, 0, &needed, &count)) {
    SetLastError(found_error);
    return names;
  }
  DWORD error = GetLastError();
  std::vector<ENUM_SERVICE_STATUSA> buffer;
  if (error == ERROR_MORE_DATA) {
    buffer.resize(needed / sizeof(ENUM_SERVICE_STATUSA) + 1);
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(ENUM_SERVICE_STATUSA));
    if (EnumDependentServicesA(spooler, SERVICE_ACTIVE, buffer.data(), size, &needed, &count)) {
      for (DWORD i = 0; i < count; ++i) names.emplace_back(buffer[i].lpServiceName);
      SetLastError(found_error);
      return names;
    }
    error = GetLastError();
  }
  LogError("EnumDependentServices", error);
  return names;
}

// Starts the dependents again, the last stopped first, logging one that
// will not start.
void StartAgain(std::vector<StoppedService>& stopped) {
  for (auto it = stopped.rbegin(); it != stopped.rend(); ++it) {
    if (!StartServiceA(it->handle.get(), 0, nullptr)) {
      LogLine(Format("Dependent service %s not started again: %lu", it->name.c_str(),
                     static_cast<unsigned long>(GetLastError())));
    }
  }
}

// Stops each running dependent of the spooler in turn and waits until it has
// stopped, adding it to *stopped. Returns false, logged, when one will not
// stop (refused, or still stopping after 30 s).
bool StopDependents(SC_HANDLE manager, SC_HANDLE spooler, std::vector<StoppedService>* stopped) {
  for (const std::string& name : ActiveDependents(spooler)) {
    ServiceHandle service(OpenServiceA(manager, name.c_str(),
                                       SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS));
    SERVICE_STATUS status{};
    DWORD error = 0;
    if (!service.get() || !ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
      error = GetLastError();
      // One that stopped by itself since the list was made is as good.
      if (error == ERROR_SERVICE_NOT_ACTIVE) error = 0;
    } else if (WaitWhilePending(service.get(), SERVICE_STOP_PENDING, 0, &error) !=
               SERVICE_STOPPED) {
      if (error == 0) error = ERROR_SERVICE_REQUEST_TIMEOUT;
    } else {
      error = 0;
    }
    if (error != 0) {
      LogLine(Format("Spooler not restarted, dependent service %s did not stop: %lu",
                     name.c_str(), static_cast<unsigned long>(error)));
      return false;
    }
    stopped->push_back(StoppedService{name, std::move(service)});
  }
  return true;
}

// Starts the spooler, found in `state`, and waits until it runs: a spooler
// still stopping is awaited first, one already starting only awaited. Each
// wait lasts at most 30 s. Returns 0, or the error: the open's or the start
// request's, the code the spooler stopped with, or 1053 when it is still not
// there in time.
DWORD StartAndAwait(SC_HANDLE manager, DWORD state) {
  ServiceHandle spooler(OpenServiceA(manager, kSpooler, SERVICE_START | SERVICE_QUERY_STATUS));
  if (!spooler.get()) return GetLastError();
  DWORD error = 0;
  if (state == SERVICE_STOP_PENDING) {
    state = WaitWhilePending(spooler.get(), SERVICE_STOP_PENDING, 0, &error);
    if (state == 0) return error;
    if (state == SERVICE_STOP_PENDING) return ERROR_SERVICE_REQUEST_TIMEOUT;
  }
  if (state == SERVICE_STOPPED && !StartServiceA(spooler.get(), 0, nullptr)) {
    error = GetLastError();
    // Started by someone else in the meantime: awaited all the same.
    if (error != ERROR_SERVICE_ALREADY_RUNNING) return error;
  }
  state = WaitWhilePending(spooler.get(), SERVICE_START_PENDING, 0, &error);
  if (state == SERVICE_RUNNING) return 0;
  if (state == 0) return error;
  if (state == SERVICE_START_PENDING) return ERROR_SERVICE_REQUEST_TIMEOUT;
  return error != 0 ? error : ERROR_SERVICE_NOT_ACTIVE;  // stopped again
}

}  // namespace

bool RestartSpooler() {
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  ServiceHandle spooler(OpenServiceA(manager.get(), kSpooler, kControlRights | kWatchRights));
  const bool watched = spooler.get() != nullptr;
  if (!watched) spooler.Reset(OpenServiceA(manager.get(), kSpooler, kControlRights));

  // A running dependent would make the spooler refuse the stop (1051).
  std::vector<StoppedService> dependents;
  if (watched && !StopDependents(manager.get(), spooler.get(), &dependents)) {
    StartAgain(dependents);
    return false;
  }

  SERVICE_STATUS status{};
  ControlService(spooler.get(), SERVICE_CONTROL_STOP, &status);
  Sleep(kSettleMs);
  // A spooler that is slow to stop would refuse the start and stay stopped.
  if (watched) WaitWhilePending(spooler.get(), SERVICE_STOP_PENDING, kSettleMs);

  bool started = StartServiceA(spooler.get(), 0, nullptr) != FALSE;
  Sleep(kSettleMs);
  // The start request returns before the spooler runs; until then it
  // answers every call with 1722.
  if (watched && started) WaitWhilePending(spooler.get(), SERVICE_START_PENDING, kSettleMs);

  StartAgain(dependents);
  return started;
}

bool StartSpoolerIfStopped() {
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  ServiceHandle query(OpenServiceA(manager.get(), kSpooler, SERVICE_QUERY_STATUS));
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(query.get(), &status)) return true;
  if (status.dwCurrentState == SERVICE_RUNNING) return true;

  LogLine("Spooler not running: starting it");
  DWORD error = StartAndAwait(manager.get(), status.dwCurrentState);
  if (error != 0) {
    LogError("StartService Spooler", error);
    return false;
  }
  LogLine("Spooler started");
  return true;
}
