// The entry points of NT-style spoolers: InitializePrintMonitor2 (Windows
// 2000 and later, and Wine) and InitializePrintMonitor (Windows NT 4.0).
// Both tables speak UTF-16.
#include "common/win32.h"

#include <new>

#include "monitor/barrier.h"
#include "monitor/config_registry.h"
#include "monitor/monitor_instance.h"
#include "monitor/monitor_names.h"
#include "monitor/port_calls.h"
#include "monitor/port_handle.h"
#include "monitor/port_management.h"
#include "monitor/process_instance.h"
#include "monitor/trace.h"

namespace {

// --- MONITOR2: every monitor-level call carries the instance's handle. ---

BOOL WINAPI EnumPorts2(HANDLE monitor, LPWSTR name, DWORD level, LPBYTE ports, DWORD size,
                       LPDWORD needed, LPDWORD returned) {
  (void)name;  // the ports are those of this machine
  return Guarded([&] {
    if (!needed || !returned) return Fail(ERROR_INVALID_PARAMETER);
    MonitorInstance* instance = MonitorInstance::FromHandle(monitor);
    if (!instance) return FALSE;
    return instance->EnumPorts<wchar_t>(level, ports, size, needed, returned);
  });
}

BOOL WINAPI OpenPort2(HANDLE monitor, LPWSTR name, PHANDLE port) {
  return Guarded([&] {
    if (!port) return Fail(ERROR_INVALID_PARAMETER);
    *port = nullptr;
    MonitorInstance* instance = MonitorInstance::FromHandle(monitor);
    if (!instance) return FALSE;
    *port = PortHandle::Open(*instance, name);
    return *port ? TRUE : FALSE;
  });
}

BOOL WINAPI AddPort2(HANDLE, LPWSTR, HWND, LPWSTR) { return RefusePortManagement(); }
BOOL WINAPI ConfigurePort2(HANDLE, LPWSTR, HWND, LPWSTR) { return RefusePortManagement(); }
BOOL WINAPI DeletePort2(HANDLE, LPWSTR, HWND, LPWSTR) { return RefusePortManagement(); }

BOOL WINAPI XcvOpenPort2(HANDLE monitor, LPCWSTR object, ACCESS_MASK access, PHANDLE xcv) {
  return Guarded([&] {
    MonitorInstance* instance = MonitorInstance::FromHandle(monitor);
    if (!instance) return FALSE;
    return OpenXcv(*instance, object, access, xcv);
  });
}

DWORD WINAPI XcvDataPort(HANDLE xcv, LPCWSTR request, PBYTE input, DWORD input_size, PBYTE output,
                         DWORD output_size, PDWORD needed) {
  (void)input;
  (void)input_size;
  return GuardedStatus([&] { return XcvData(xcv, request, output, output_size, needed); });
}

BOOL WINAPI XcvClosePort(HANDLE xcv) { return CloseXcv(xcv); }

// Shutdown: the spooler is done with the instance.
VOID WINAPI Shutdown2(HANDLE monitor) {
  MonitorInstance* instance = MonitorInstance::FromHandle(monitor);
  Trace("Shutdown");
  delete instance;
}

// The table's size as the running spooler expects it: Windows 2000's
// spooler knows only the members up to Shutdown.
DWORD Monitor2Size() {
  OSVERSIONINFOA version;
  version.dwOSVersionInfoSize = sizeof(version);
  if (GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
      version.dwMajorVersion == 5 && version.dwMinorVersion == 0)
    return MONITOR2_SIZE_WIN2K;
  return sizeof(MONITOR2);
}

MONITOR2 MakeMonitor2Table() {
  MONITOR2 table;
  ZeroMemory(&table, sizeof(table));
  table.cbSize = Monitor2Size();
  table.pfnEnumPorts = EnumPorts2;
  table.pfnOpenPort = OpenPort2;
  table.pfnStartDocPort = port_calls::StartDocPortW;
  table.pfnWritePort = port_calls::WritePort;
  table.pfnReadPort = port_calls::ReadPort;
  table.pfnEndDocPort = port_calls::EndDocPort;
  table.pfnClosePort = port_calls::ClosePort;
  table.pfnAddPort = AddPort2;
  table.pfnConfigurePort = ConfigurePort2;
  table.pfnDeletePort = DeletePort2;
  table.pfnXcvOpenPort = XcvOpenPort2;
  table.pfnXcvDataPort = XcvDataPort;
  table.pfnXcvClosePort = XcvClosePort;
  table.pfnShutdown = Shutdown2;
  return table;
}

// The registry the instance reads: the spooler's functions on the key it
// was handed when it offers a complete set, the system's otherwise (and
// whenever the spooler's turn out to be stubs).
std::unique_ptr<ConfigRegistry> RegistryFor(const MONITORINIT* init) {
  std::unique_ptr<ConfigRegistry> system = MakeSystemRegistry(kMonitorKeyW.c_str());
  const MONITORREG* reg = init->pMonitorReg;
  if (!init->hckRegistryRoot || !reg || reg->cbSize < sizeof(MONITORREG) || !reg->fpOpenKey ||
      !reg->fpCloseKey || !reg->fpEnumKey || !reg->fpQueryValue)
    return system;
  return MakePreferredRegistry(MakeSpoolerRegistry(init->hckRegistryRoot, reg, init->hSpooler),
                               std::move(system));
}

// --- MONITOR: the older table, one instance for the process. ---

BOOL WINAPI EnumPorts1(LPWSTR name, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                       LPDWORD returned) {
  MonitorInstance* instance = CurrentProcessInstance();
  return instance ? EnumPorts2(instance->handle(), name, level, ports, size, needed, returned)
                  : FALSE;
}

BOOL WINAPI OpenPort1(LPWSTR name, PHANDLE port) {
  MonitorInstance* instance = CurrentProcessInstance();
  return instance ? OpenPort2(instance->handle(), name, port) : FALSE;
}

BOOL WINAPI AddPort1(LPWSTR, HWND, LPWSTR) { return RefusePortManagement(); }
BOOL WINAPI ConfigurePort1(LPWSTR, HWND, LPWSTR) { return RefusePortManagement(); }
BOOL WINAPI DeletePort1(LPWSTR, HWND, LPWSTR) { return RefusePortManagement(); }

BOOL WINAPI XcvOpenPort1(LPCWSTR object, ACCESS_MASK access, PHANDLE xcv) {
  MonitorInstance* instance = CurrentProcessInstance();
  return instance ? XcvOpenPort2(instance->handle(), object, access, xcv) : FALSE;
}

MONITOREX MakeMonitorExTable() {
  MONITOREX table;
  ZeroMemory(&table, sizeof(table));
  table.dwMonitorSize = sizeof(MONITOR);
  MONITOR& monitor = table.Monitor;
  monitor.pfnEnumPorts = EnumPorts1;
  monitor.pfnOpenPort = OpenPort1;
  monitor.pfnStartDocPort = port_calls::StartDocPortW;
  monitor.pfnWritePort = port_calls::WritePort;
  monitor.pfnReadPort = port_calls::ReadPort;
  monitor.pfnEndDocPort = port_calls::EndDocPort;
  monitor.pfnClosePort = port_calls::ClosePort;
  monitor.pfnAddPort = AddPort1;
  monitor.pfnConfigurePort = ConfigurePort1;
  monitor.pfnDeletePort = DeletePort1;
  monitor.pfnXcvOpenPort = XcvOpenPort1;
  monitor.pfnXcvDataPort = XcvDataPort;
  monitor.pfnXcvClosePort = XcvClosePort;
  return table;
}

// The tables, made when the library is loaded (function-local statics would
// leave a handle of the C++ runtime's guard behind at every load).
MONITOR2 monitor2_table = MakeMonitor2Table();
MONITOREX monitorex_table = MakeMonitorExTable();

}  // namespace

// Makes a monitor instance for the spooler and returns the function table;
// *monitor receives the instance's handle. Null with the last error set on
// failure.
extern "C" LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor) {
  MONITOR2& table = monitor2_table;
  try {
    if (!init || !monitor) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    *monitor = nullptr;
    MonitorInstance* instance = new (std::nothrow) MonitorInstance(RegistryFor(init));
    if (!instance) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    Trace("InitializePrintMonitor2 (table of %lu bytes, spooler registry %s)",
          static_cast<unsigned long>(table.cbSize), init->pMonitorReg ? "offered" : "absent");
    *monitor = instance->handle();
    return &table;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

// The older entry: the monitor's key is `registry_root` (below
// HKEY_LOCAL_MACHINE). Returns the function table, or null with the last
// error set.
extern "C" LPMONITOREX WINAPI InitializePrintMonitor(LPWSTR registry_root) {
  MONITOREX& table = monitorex_table;
  try {
    if (!ProcessInstance(registry_root ? registry_root : L"")) return nullptr;
    Trace("InitializePrintMonitor");
    return &table;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}
