// The service control manager of the NT family with the service "Spooler"
// and the services that depend on it, and the advapi32 functions that reach
// them. Service states move on the virtual clock: a stop or start request
// puts the service into a pending state that ends once M().now_ms has reached
// its deadline. States are brought up to date lazily, whenever anything looks
// at them, and the spooler is told the moment its service stops or runs again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "sim/machine.h"
#include "sim/scheduler.h"
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
  struct Service {
    std::string name;
    std::string depends_on;  // empty for "Spooler"
    DWORD state = SERVICE_RUNNING;
    uint64_t pending_until = 0;  // when a pending state ends, in M().now_ms
    DWORD check_point = 0;
    DWORD stop_time = 0;
    DWORD start_time = 0;
    bool accepts_stop = true;
    bool disabled = false;
    DWORD start_failure = 0;  // exit code of a start that does not come up
    DWORD exit_code = 0;      // dwWin32ExitCode while stopped
  };
  struct Handle {
    bool manager = false;  // a service control manager handle, else a service's
    DWORD access = 0;      // rights granted, generic rights mapped
    size_t service = 0;    // index into `services`
  };

  bool nt = true;
  std::vector<Service> services;  // in start order; [0] is "Spooler"
  std::map<uintptr_t, Handle> handles;
  uintptr_t next_handle = 0x5C000010;
};

namespace {

Services::Impl& State() { return M().services.impl(); }

// The index of the service named, or -1.
long IndexOf(const Services::Impl& s, const std::string& name) {
  for (size_t i = 0; i < s.services.size(); ++i) {
    if (EqualNoCase(s.services[i].name, name)) return static_cast<long>(i);
  }
  return -1;
}

Services::Impl::Service* Named(Services::Impl& s, const std::string& name) {
  long i = IndexOf(s, name);
  return i < 0 ? nullptr : &s.services[static_cast<size_t>(i)];
}

// Ends every pending state whose time has come, in start order (a service's
// dependencies settle before it), and tells the spooler about its service.
// A start ends in failure when the service is set to fail or when what it
// depends on did not come up.
void Settle(Services::Impl& s) {
  for (Services::Impl::Service& service : s.services) {
    bool pending = service.state == SERVICE_STOP_PENDING || service.state == SERVICE_START_PENDING;
    if (!pending || M().now_ms < service.pending_until) continue;
    bool spooler = EqualNoCase(service.name, kSpoolerName);
    service.check_point = 0;
    if (service.state == SERVICE_STOP_PENDING) {
      service.state = SERVICE_STOPPED;
      service.exit_code = 0;
      if (spooler) M().spooler.OnServiceStopped();
      continue;
    }
    const Services::Impl::Service* dependency =
        service.depends_on.empty() ? nullptr : Named(s, service.depends_on);
    if (service.start_failure != 0) {
      service.state = SERVICE_STOPPED;
      service.exit_code = service.start_failure;
    } else if (dependency && dependency->state != SERVICE_RUNNING) {
      service.state = SERVICE_STOPPED;
      service.exit_code = ERROR_SERVICE_DEPENDENCY_FAIL;
    } else {
      service.state = SERVICE_RUNNING;
      if (spooler) M().spooler.OnServiceStarted();
    }
  }
}

// Enters a pending state that ends at `until` on the virtual clock.
void BeginTransition(Services::Impl& s, Services::Impl::Service& service, DWORD pending_state,
                     uint64_t until) {
  service.state = pending_state;
  service.pending_until = until;
  service.check_point = 0;
  Settle(s);
}

// Whether a service other than a stopped one depends directly on `name`.
bool HasActiveDependents(const Services::Impl& s, const std::string& name) {
  for (const Services::Impl::Service& service : s.services) {
    if (EqualNoCase(service.depends_on, name) && service.state != SERVICE_STOPPED) return true;
  }
  return false;
}

// Every service that depends on services[index], directly or through others,
// in the reverse of their start order (the order in which to stop them).
std::vector<size_t> DependentsOf(const Services::Impl& s, size_t index) {
  std::vector<bool> depends(s.services.size(), false);
  for (size_t i = index + 1; i < s.services.size(); ++i) {
    long on = IndexOf(s, s.services[i].depends_on);
    depends[i] = on == static_cast<long>(index) || (on > static_cast<long>(index) &&
                                                     depends[static_cast<size_t>(on)]);
  }
  std::vector<size_t> out;
  for (size_t i = s.services.size(); i-- > index + 1;) {
    if (depends[i]) out.push_back(i);
  }
  return out;
}

// The status record of a service as a query reports it now.
SERVICE_STATUS StatusOf(Services::Impl::Service& service) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
  status.dwCurrentState = service.state;
  if (service.state == SERVICE_RUNNING && service.accepts_stop)
    status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
  if (service.state == SERVICE_STOPPED) status.dwWin32ExitCode = service.exit_code;
  if (service.state == SERVICE_STOP_PENDING || service.state == SERVICE_START_PENDING) {
    status.dwCheckPoint = ++service.check_point;
    uint64_t left = service.pending_until > M().now_ms ? service.pending_until - M().now_ms : 0;
    status.dwWaitHint = static_cast<DWORD>(left);
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

SC_HANDLE NewHandle(Services::Impl& s, bool manager, DWORD access, size_t service = 0) {
  uintptr_t value = s.next_handle;
  s.next_handle += 4;
  s.handles[value] = Services::Impl::Handle{manager, access, service};
  return reinterpret_cast<SC_HANDLE>(value);
}

// The open handle, or null when `h` is no handle of the right kind.
const Services::Impl::Handle* Find(Services::Impl& s, SC_HANDLE h, bool manager) {
  auto it = s.handles.find(reinterpret_cast<uintptr_t>(h));
  if (it == s.handles.end() || it->second.manager != manager) return nullptr;
  return &it->second;
}

// The service behind a service handle, or null.
Services::Impl::Service* ServiceOf(Services::Impl& s, SC_HANDLE h) {
  const Services::Impl::Handle* handle = Find(s, h, false);
  return handle ? &s.services[handle->service] : nullptr;
}

// The name a journal line gives the service behind a handle.
std::string NameOf(Services::Impl& s, SC_HANDLE h) {
  if (!h) return "NULL";
  const Services::Impl::Service* service = ServiceOf(s, h);
  return service ? service->name : "<invalid handle>";
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

// Starts a stopped service, and first what it depends on when that is
// stopped. The service runs once its start time is over, counted from when
// its dependency runs. Returns 0 or the error StartServiceA gives.
DWORD StartStopped(Services::Impl& s, Services::Impl::Service& service) {
  if (service.disabled) return ERROR_SERVICE_DISABLED;
  if (service.state != SERVICE_STOPPED) return ERROR_SERVICE_ALREADY_RUNNING;
  uint64_t from = M().now_ms;
  if (Services::Impl::Service* dependency = Named(s, service.depends_on)) {
    if (dependency->state == SERVICE_STOPPED && StartStopped(s, *dependency) != 0)
      return ERROR_SERVICE_DEPENDENCY_FAIL;
    if (dependency->state == SERVICE_STOP_PENDING) return ERROR_SERVICE_DEPENDENCY_FAIL;
    if (dependency->state == SERVICE_START_PENDING) from = dependency->pending_until;
  }
  BeginTransition(s, service, SERVICE_START_PENDING, from + service.start_time);
  return 0;
}

// The service a test names; an unknown name is a mistake in the test.
Services::Impl::Service& Configured(Services::Impl& s, const std::string& name) {
  Services::Impl::Service* service = Named(s, name);
  if (!service) {
    std::fprintf(stderr, "no simulated service \"%s\"\n", name.c_str());
    std::abort();
  }
  return *service;
}

}  // namespace

Services::Services() : impl_(std::make_unique<Impl>()) {}
Services::~Services() = default;

DWORD Services::SpoolerState() const { return StateOf(kSpoolerName); }

DWORD Services::StateOf(const std::string& name) const {
  Impl& s = const_cast<Services*>(this)->impl();
  if (!s.nt) return EqualNoCase(name, kSpoolerName) ? SERVICE_RUNNING : 0;  // no service on 9x
  Settle(s);
  const Impl::Service* service = Named(s, name);
  return service ? service->state : 0;
}

void Services::SetSpoolerStopTime(DWORD ms) { SetStopTime(kSpoolerName, ms); }

void Services::SetSpoolerStartTime(DWORD ms) { SetStartTime(kSpoolerName, ms); }

void Services::StopSpooler() {
  Impl& s = *impl_;
  if (!s.nt) return;
  Settle(s);
  for (size_t i : DependentsOf(s, 0)) {
    s.services[i].state = SERVICE_STOPPED;
    s.services[i].check_point = 0;
  }
  Impl::Service& spooler = s.services[0];
  if (spooler.state == SERVICE_STOPPED) return;
  spooler.state = SERVICE_STOPPED;
  spooler.check_point = 0;
  M().spooler.OnServiceStopped();
}

void Services::AddDependent(const std::string& name, const std::string& depends_on,
                            bool running) {
  Impl& s = *impl_;
  Configured(s, depends_on);
  Impl::Service service;
  service.name = name;
  service.depends_on = depends_on;
  service.state = running ? SERVICE_RUNNING : SERVICE_STOPPED;
  s.services.push_back(service);
}

void Services::SetStopTime(const std::string& name, DWORD ms) {
  Configured(*impl_, name).stop_time = ms;
}

void Services::SetStartTime(const std::string& name, DWORD ms) {
  Configured(*impl_, name).start_time = ms;
}

void Services::SetAcceptsStop(const std::string& name, bool on) {
  Configured(*impl_, name).accepts_stop = on;
}

void Services::SetDisabled(const std::string& name, bool on) {
  Configured(*impl_, name).disabled = on;
}

void Services::SetStartFailure(const std::string& name, DWORD exit_code) {
  Configured(*impl_, name).start_failure = exit_code;
}

int Services::OpenHandles() const { return static_cast<int>(impl_->handles.size()); }

void Services::Restart() {
  Impl& s = *impl_;
  s.handles.clear();
  for (Impl::Service& service : s.services) {
    const Impl::Service* dependency = Named(s, service.depends_on);
    bool up = !service.disabled && service.start_failure == 0 &&
              (!dependency || dependency->state == SERVICE_RUNNING);
    service.state = up ? SERVICE_RUNNING : SERVICE_STOPPED;
    service.exit_code = up ? 0 : service.start_failure;
    service.pending_until = 0;
    service.check_point = 0;
  }
}

void Services::Reset(const Platform& platform) {
  Impl& s = *impl_;
  s.nt = platform.family == Family::NT;
  s.services.assign(1, Impl::Service{});
  s.services[0].name = kSpoolerName;
  s.handles.clear();
}

}  // namespace sim

using sim::M;

// Opens the local service control manager; fails with 120 on the 9x family
// and with 5 when a user without administrative rights asks for more than
// connecting, enumerating and querying the lock.
SC_HANDLE WINAPI OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName,
                                DWORD dwDesiredAccess) {
  sim::ApiLock lock;
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

// Opens a simulated service ("Spooler" or one a test added); others fail
// with 1060.
SC_HANDLE WINAPI OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName, DWORD dwDesiredAccess) {
  sim::ApiLock lock;
  if (M().TakeFault("OpenServiceA")) return nullptr;
  sim::Services::Impl& s = sim::State();
  DWORD error = 0;
  DWORD access = sim::MapServiceRights(dwDesiredAccess);
  long index = -1;
  if (!sim::Find(s, hSCManager, true)) {
    error = ERROR_INVALID_HANDLE;
  } else if (!lpServiceName) {
    error = RPC_X_NULL_REF_POINTER;
  } else if ((index = sim::IndexOf(s, lpServiceName)) < 0) {
    error = ERROR_SERVICE_DOES_NOT_EXIST;
  } else if (!M().administrator && (access & ~sim::kUserServiceRights) != 0) {
    error = ERROR_ACCESS_DENIED;
  }
  if (error) {
    SetLastError(error);
    return nullptr;
  }
  return sim::NewHandle(s, false, access, static_cast<size_t>(index));
}

// Sends a control to the service. The stop control needs SERVICE_STOP: it is
// refused with 1051 while a service that depends on this one is active, and
// with 1052 by a service that does not accept it; otherwise a running service
// becomes stop-pending for its stop time. A stopped one gives 1062, a pending
// one 1061. The status record is filled on success and on the errors that
// report the current status (1052, 1061, 1062).
BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
  sim::ApiLock lock;
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
  sim::Services::Impl::Service* service = error ? nullptr : sim::ServiceOf(s, hService);
  if (service) {
    sim::Settle(s);
    report = true;
    if (dwControl == SERVICE_CONTROL_STOP && sim::HasActiveDependents(s, service->name)) {
      error = ERROR_DEPENDENT_SERVICES_RUNNING;
      report = false;
    } else if (service->state == SERVICE_STOPPED) {
      error = ERROR_SERVICE_NOT_ACTIVE;
    } else if (service->state != SERVICE_RUNNING) {
      error = ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    } else if (dwControl == SERVICE_CONTROL_STOP && !service->accepts_stop) {
      error = ERROR_INVALID_SERVICE_CONTROL;
    } else if (dwControl == SERVICE_CONTROL_STOP) {
      sim::BeginTransition(s, *service, SERVICE_STOP_PENDING, M().now_ms + service->stop_time);
    } else if (dwControl != SERVICE_CONTROL_INTERROGATE) {
      error = ERROR_INVALID_SERVICE_CONTROL;  // the services take neither pause nor own controls
    }
  }
  if (report) *lpServiceStatus = sim::StatusOf(*service);
  sim::Journal(line, error);
  return sim::Finish(error);
}

// Starts the stopped service, and first the one it depends on when that is
// stopped: start-pending for its start time, then running (or stopped again
// when its start fails). A disabled service gives 1058, one that runs or is
// still stopping 1056, one whose dependency cannot start 1068.
BOOL WINAPI StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCSTR* lpServiceArgVectors) {
  sim::ApiLock lock;
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
    error = sim::StartStopped(s, *sim::ServiceOf(s, hService));
  }
  sim::Journal(line, error);
  return sim::Finish(error);
}

// Reports the service's current status; needs SERVICE_QUERY_STATUS on the
// handle. The journal line ends in the state reported, or in the error.
BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
  sim::ApiLock lock;
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
  *lpServiceStatus = sim::StatusOf(*sim::ServiceOf(s, hService));
  M().Note(line + " -> " + std::to_string(lpServiceStatus->dwCurrentState));
  return TRUE;
}

// Lists the services that depend on the service, directly or through others,
// in the reverse of their start order, filtered by state (SERVICE_ACTIVE,
// SERVICE_INACTIVE or both). Needs SERVICE_ENUMERATE_DEPENDENTS. The records
// come first in the buffer, their names after them; a buffer too small gives
// 234 with the size needed.
BOOL WINAPI EnumDependentServicesA(SC_HANDLE hService, DWORD dwServiceState,
                                   LPENUM_SERVICE_STATUSA lpServices, DWORD cbBufSize,
                                   LPDWORD pcbBytesNeeded, LPDWORD lpServicesReturned) {
  sim::ApiLock lock;
  sim::Services::Impl& s = sim::State();
  std::string line = "EnumDependentServicesA " + sim::NameOf(s, hService) + ", " +
                     std::to_string(dwServiceState);
  DWORD error = 0;
  if (M().TakeFault("EnumDependentServicesA", &error)) {
    sim::Journal(line, error);
    return FALSE;
  }
  error = sim::CheckService(s, hService, SERVICE_ENUMERATE_DEPENDENTS);
  if (!error && (dwServiceState == 0 || (dwServiceState & ~SERVICE_STATE_ALL) != 0))
    error = ERROR_INVALID_PARAMETER;
  if (!error && (!pcbBytesNeeded || !lpServicesReturned)) error = RPC_X_NULL_REF_POINTER;
  if (error) {
    sim::Journal(line, error);
    return sim::Finish(error);
  }

  sim::Settle(s);
  const sim::Services::Impl::Handle* handle = sim::Find(s, hService, false);
  std::vector<size_t> listed;
  DWORD needed = 0;
  for (size_t i : sim::DependentsOf(s, handle->service)) {
    bool stopped = s.services[i].state == SERVICE_STOPPED;
    if (!(dwServiceState & (stopped ? SERVICE_INACTIVE : SERVICE_ACTIVE))) continue;
    listed.push_back(i);
    size_t names = 2 * (s.services[i].name.size() + 1);  // service and display name
    needed += static_cast<DWORD>(sizeof(ENUM_SERVICE_STATUSA) + names);
  }
  *lpServicesReturned = 0;
  if (cbBufSize < needed || (!lpServices && needed)) {
    *pcbBytesNeeded = needed;
    sim::Journal(line, ERROR_MORE_DATA);
    return sim::Finish(ERROR_MORE_DATA);
  }
  char* text = reinterpret_cast<char*>(lpServices + listed.size());
  for (size_t n = 0; n < listed.size(); ++n) {
    sim::Services::Impl::Service& service = s.services[listed[n]];
    ENUM_SERVICE_STATUSA& record = lpServices[n];
    // The display name is the service name here.
    for (LPSTR* field : {&record.lpServiceName, &record.lpDisplayName}) {
      std::memcpy(text, service.name.c_str(), service.name.size() + 1);
      *field = text;
      text += service.name.size() + 1;
    }
    record.ServiceStatus = sim::StatusOf(service);
  }
  *lpServicesReturned = static_cast<DWORD>(listed.size());
  sim::Journal(line + " -> " + std::to_string(listed.size()), 0);
  return TRUE;
}

// Closes a manager or service handle.
BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject) {
  sim::ApiLock lock;
  if (M().TakeFault("CloseServiceHandle")) return FALSE;
  sim::Services::Impl& s = sim::State();
  if (s.handles.erase(reinterpret_cast<uintptr_t>(hSCObject)) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
