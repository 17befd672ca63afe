// The service control manager of the NT family with its one service of
// interest, "Spooler", and the advapi32 functions that reach it. The service
// state moves on the virtual clock: a stop or start request puts the service
// into a pending state that ends once M().now_ms has reached its deadline.
// The state is brought up to date lazily, whenever anything looks at it, and
// the spooler is told the moment the service stops or runs again.
#include <cstdint>
#include <map>
#include <string>

#include "sim/machine.h"
#include "sim/win32_api.h"

namespace sim {

namespace {

const char kSpoolerName[] = "Spooler";

// What a user without administrative rights may ask of the service control
// manager and of the service "Spooler".
constexpr DWORD kUserManagerRights = SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE |
                                     SC_MANAGER_QUERY_LOCK_STATUS | READ_CONTROL | SYNCHRONIZE;
constexpr DWORD kUserServiceRights = SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS |
                                     SERVICE_ENUMERATE_DEPENDENTS | SERVICE_INTERROGATE |
                                     SERVICE_USER_DEFINED_CONTROL | READ_CONTROL | SYNCHRONIZE;

}  // namespace

struct Services::Impl {
  struct Handle {
    bool manager = false;  // a service control manager handle, else the service's
    DWORD access = 0;      // rights granted, generic rights mapped
  };

  bool nt = true;
  DWORD state = SERVICE_RUNNING;
  uint64_t pending_until = 0;  // when a pending state ends, in M().now_ms
  DWORD check_point = 0;
  DWORD stop_time = 0;
  DWORD start_time = 0;
  std::map<uintptr_t, Handle> handles;
  uintptr_t next_handle = 0x5C000010;
};

namespace {

Services::Impl& State() { return M().services.impl(); }

// Ends a pending state whose time has come and tells the spooler about it.
void Settle(Services::Impl& s) {
  bool pending = s.state == SERVICE_STOP_PENDING || s.state == SERVICE_START_PENDING;
  if (!pending || M().now_ms < s.pending_until) return;
  bool stopped = s.state == SERVICE_STOP_PENDING;
  s.state = stopped ? SERVICE_STOPPED : SERVICE_RUNNING;
  s.check_point = 0;
  if (stopped) {
    M().spooler.OnServiceStopped();
  } else {
    M().spooler.OnServiceStarted();
  }
}

// Enters a pending state that lasts `ms` on the virtual clock (0: over at once).
void BeginTransition(Services::Impl& s, DWORD pending_state, DWORD ms) {
  s.state = pending_state;
  s.pending_until = M().now_ms + ms;
  s.check_point = 0;
  Settle(s);
}

// The status record of the service as a query reports it now.
SERVICE_STATUS StatusOf(Services::Impl& s) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
  status.dwCurrentState = s.state;
  status.dwControlsAccepted =
      s.state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  if (s.state == SERVICE_STOP_PENDING || s.state == SERVICE_START_PENDING) {
    status.dwCheckPoint = ++s.check_point;
    status.dwWaitHint = static_cast<DWORD>(s.pending_until - M().now_ms);
  }
  return status;
}

// Generic rights turned into the specific rights of a manager or service.
DWORD MapManagerRights(DWORD access) {
  if (access & GENERIC_READ)
    access |= READ_CONTROL | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS;
  if (access & GENERIC_WRITE)
    access |= READ_CONTROL | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG;
  if (access & GENERIC_EXECUTE) access |= READ_CONTROL | SC_MANAGER_CONNECT | SC_MANAGER_LOCK;
  if (access & GENERIC_ALL) access |= SC_MANAGER_ALL_ACCESS;
  return (access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL)) |
         SC_MANAGER_CONNECT;
}

DWORD MapServiceRights(DWORD access) {
  if (access & GENERIC_READ)
    access |= READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
              SERVICE_ENUMERATE_DEPENDENTS;
  if (access & GENERIC_WRITE) access |= READ_CONTROL | SERVICE_CHANGE_CONFIG;
  if (access & GENERIC_EXECUTE)
    access |= READ_CONTROL | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE |
              SERVICE_USER_DEFINED_CONTROL;
  if (access & GENERIC_ALL) access |= SERVICE_ALL_ACCESS;
  return access & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
}

SC_HANDLE NewHandle(Services::Impl& s, bool manager, DWORD access) {
  uintptr_t value = s.next_handle;
  s.next_handle += 4;
  s.handles[value] = Services::Impl::Handle{manager, access};
  return reinterpret_cast<SC_HANDLE>(value);
}

// The open handle, or null when `h` is no handle of the right kind.
const Services::Impl::Handle* Find(Services::Impl& s, SC_HANDLE h, bool manager) {
  auto it = s.handles.find(reinterpret_cast<uintptr_t>(h));
  if (it == s.handles.end() || it->second.manager != manager) return nullptr;
  return &it->second;
}

// The name a journal line gives the service behind a handle.
std::string NameOf(Services::Impl& s, SC_HANDLE h) {
  if (!h) return "NULL";
  return Find(s, h, false) ? kSpoolerName : "<invalid handle>";
}

// Adds a journal line, with the error appended when the call failed.
void Journal(const std::string& line, DWORD error) {
  M().Note(error ? line + " -> " + std::to_string(error) : line);
}

BOOL Finish(DWORD error) {
  if (error == 0) return TRUE;
  SetLastError(error);
  return FALSE;
}

// The checks every call on a service handle makes: the handle itself and the
// right it needs. Returns 0 or the error.
DWORD CheckService(Services::Impl& s, SC_HANDLE h, DWORD right) {
  const Services::Impl::Handle* handle = Find(s, h, false);
  if (!handle) return ERROR_INVALID_HANDLE;
  if ((handle->access & right) != right) return ERROR_ACCESS_DENIED;
  return 0;
}

}  // namespace

Services::Services() : impl_(std::make_unique<Impl>()) {}
Services::~Services() = default;

DWORD Services::SpoolerState() const {
  Impl& s = const_cast<Services*>(this)->impl();
  if (!s.nt) return SERVICE_RUNNING;  // the 9x spooler is no service; it always runs
  Settle(s);
  return s.state;
}

void Services::SetSpoolerStopTime(DWORD ms) { impl_->stop_time = ms; }

void Services::SetSpoolerStartTime(DWORD ms) { impl_->start_time = ms; }

void Services::StopSpooler() {
  Impl& s = *impl_;
  if (!s.nt) return;
  Settle(s);
  if (s.state == SERVICE_STOPPED) return;
  s.state = SERVICE_STOPPED;
  s.check_point = 0;
  M().spooler.OnServiceStopped();
}

int Services::OpenHandles() const { return static_cast<int>(impl_->handles.size()); }

void Services::Reset(const Platform& platform) {
  Impl& s = *impl_;
  s.nt = platform.family == Family::NT;
  s.state = SERVICE_RUNNING;
  s.pending_until = 0;
  s.check_point = 0;
  s.stop_time = 0;
  s.start_time = 0;
  s.handles.clear();
}

}  // namespace sim

using sim::M;

// Opens the local service control manager; fails with 120 on the 9x family
// and with 5 when a user without administrative rights asks for more than
// connecting, enumerating and querying the lock.
SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName,
                                DWORD dwDesiredAccess) {
  if (M().TakeFault("OpenSCManagerA")) return nullptr;
  sim::Services::Impl& s = sim::State();
  DWORD error = 0;
  DWORD access = sim::MapManagerRights(dwDesiredAccess);
  if (!s.nt) {
    error = ERROR_CALL_NOT_IMPLEMENTED;
  } else if (lpMachineName && *lpMachineName) {
    error = RPC_S_SERVER_UNAVAILABLE;  // no other computer is reachable
  } else if (lpDatabaseName && !sim::EqualNoCase(lpDatabaseName, "ServicesActive")) {
    error = ERROR_DATABASE_DOES_NOT_EXIST;
  } else if (!M().administrator && (access & ~sim::kUserManagerRights) != 0) {
    error = ERROR_ACCESS_DENIED;
  }
  if (error) {
    SetLastError(error);
    return nullptr;
  }
  return sim::NewHandle(s, true, access);
}

// Opens the service "Spooler" (the only one simulated; others fail with 1060).
SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) {
  if (M().TakeFault("OpenServiceA")) return nullptr;
  sim::Services::Impl& s = sim::State();
  DWORD error = 0;
  DWORD access = sim::MapServiceRights(dwDesiredAccess);
  if (!sim::Find(s, hSCManager, true)) {
    error = ERROR_INVALID_HANDLE;
  } else if (!lpServiceName) {
    error = RPC_X_NULL_REF_POINTER;
  } else if (!sim::EqualNoCase(lpServiceName, sim::kSpoolerName)) {
    error = ERROR_SERVICE_DOES_NOT_EXIST;
  } else if (!M().administrator && (access & ~sim::kUserServiceRights) != 0) {
    error = ERROR_ACCESS_DENIED;
  }
  if (error) {
    SetLastError(error);
    return nullptr;
  }
  return sim::NewHandle(s, false, access);
}

// Sends a control to the service. The stop control needs SERVICE_STOP: a
// running service becomes stop-pending for the configured stop time; a stopped
// one gives 1062, a pending one 1061. The status record is filled on success
// and on the errors that report the current status (1052, 1061, 1062).
BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
  sim::Services::Impl& s = sim::State();
  std::string line =
      "ControlService " + sim::NameOf(s, hService) + ", " + std::to_string(dwControl);
  DWORD error = 0;
  if (M().TakeFault("ControlService", &error)) {
    sim::Journal(line, error);
    return FALSE;
  }
  DWORD right = dwControl == SERVICE_CONTROL_STOP          ? SERVICE_STOP
                : dwControl == SERVICE_CONTROL_INTERROGATE ? SERVICE_INTERROGATE
                : dwControl == 2 || dwControl == 3         ? SERVICE_PAUSE_CONTINUE
                : dwControl >= 128 && dwControl <= 255     ? SERVICE_USER_DEFINED_CONTROL
                                                           : 0;
  if (!sim::Find(s, hService, false)) {
    error = ERROR_INVALID_HANDLE;
  } else if (right == 0) {
    error = ERROR_INVALID_PARAMETER;
  } else if (!lpServiceStatus) {
    error = RPC_X_NULL_REF_POINTER;
  } else {
    error = sim::CheckService(s, hService, right);
  }
  bool report = false;
  if (!error) {
    sim::Settle(s);
    report = true;
    if (s.state == SERVICE_STOPPED) {
      error = ERROR_SERVICE_NOT_ACTIVE;
    } else if (s.state != SERVICE_RUNNING) {
      error = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    } else if (dwControl == SERVICE_CONTROL_STOP) {
      sim::BeginTransition(s, SERVICE_STOP_PENDING, s.stop_time);
    } else if (dwControl != SERVICE_CONTROL_INTERROGATE) {
      error = ERROR_INVALID_SERVICE_CONTROL;  // the spooler takes neither pause nor own controls
    }
  }
  if (report) *lpServiceStatus = sim::StatusOf(s);
  sim::Journal(line, error);
  return sim::Finish(error);
}

// Starts the stopped service: start-pending for the configured start time,
// then running. A service that runs or is still stopping gives 1056.
BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR* lpServiceArgVectors) {
  sim::Services::Impl& s = sim::State();
  std::string line = "StartServiceA " + sim::NameOf(s, hService);
  DWORD error = 0;
  if (M().TakeFault("StartServiceA", &error)) {
    sim::Journal(line, error);
    return FALSE;
  }
  error = sim::CheckService(s, hService, SERVICE_START);
  if (!error) {
    sim::Settle(s);
    if (s.state != SERVICE_STOPPED) {
      error = ERROR_SERVICE_ALREADY_RUNNING;
    } else {
      sim::BeginTransition(s, SERVICE_START_PENDING, s.start_time);
    }
  }
  sim::Journal(line, error);
  return sim::Finish(error);
}

// Reports the service's current status; needs SERVICE_QUERY_STATUS on the
// handle. The journal line ends in the state reported, or in the error.
BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
  sim::Services::Impl& s = sim::State();
  std::string line = "QueryServiceStatus " + sim::NameOf(s, hService);
  DWORD error = 0;
  if (M().TakeFault("QueryServiceStatus", &error)) {
    sim::Journal(line, error);
    return FALSE;
  }
  if (!sim::Find(s, hService, false)) {
    error = ERROR_INVALID_HANDLE;
  } else if (!lpServiceStatus) {
    error = RPC_X_NULL_REF_POINTER;
  } else {
    error = sim::CheckService(s, hService, SERVICE_QUERY_STATUS);
  }
  if (error) {
    sim::Journal(line, error);
    return sim::Finish(error);
  }
  sim::Settle(s);
  *lpServiceStatus = sim::StatusOf(s);
  M().Note(line + " -> " + std::to_string(lpServiceStatus->dwCurrentState));
  return TRUE;
}

// Closes a manager or service handle.
BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject) {
  if (M().TakeFault("CloseServiceHandle")) return FALSE;
  sim::Services::Impl& s = sim::State();
  if (s.handles.erase(reinterpret_cast<uintptr_t>(hSCObject)) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
