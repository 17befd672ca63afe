// The entry point of the Windows 9x spooler (tavmon95.dll only):
// InitializeMonitorEx fills the spooler's MONITOR table
// (contract/monitor_table_9x.h) with functions that take ANSI texts.
#include "common/win32.h"

#include "contract/monitor_table_9x.h"
#include "monitor/barrier.h"
#include "monitor/monitor_text.h"
#include "monitor/port_calls.h"
#include "monitor/port_handle.h"
#include "monitor/port_management.h"
#include "monitor/process_instance.h"
#include "monitor/trace.h"

namespace {

BOOL WINAPI EnumPortsA9x(LPSTR name, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                         LPDWORD returned) {
  (void)name;
  return Guarded([&] {
    if (!needed || !returned) return Fail(ERROR_INVALID_PARAMETER);
    MonitorInstance* instance = CurrentProcessInstance();
    if (!instance) return FALSE;
    return instance->EnumPorts<char>(level, ports, size, needed, returned);
  });
}

BOOL WINAPI OpenPortA9x(LPSTR name, PHANDLE port) {
  return Guarded([&] {
    if (!port) return Fail(ERROR_INVALID_PARAMETER);
    *port = nullptr;
    MonitorInstance* instance = CurrentProcessInstance();
    if (!instance) return FALSE;
    const std::wstring wide = Widen(name);
    *port = PortHandle::Open(*instance, wide.c_str());
    return *port ? TRUE : FALSE;
  });
}

BOOL WINAPI AddPortA9x(LPSTR, HWND, LPSTR) { return RefusePortManagement(); }
BOOL WINAPI ConfigurePortA9x(LPSTR, HWND, LPSTR) { return RefusePortManagement(); }
BOOL WINAPI DeletePortA9x(LPSTR, HWND, LPSTR) { return RefusePortManagement(); }

}  // namespace

// Exported as InitializeMonitorEx (the NT headers declare that name with
// wide texts). Fills *monitor with the ANSI function table; the monitor's key is
// `registry_root` (below HKEY_LOCAL_MACHINE). FALSE with the last error set
// on failure.
extern "C" BOOL WINAPI InitializeMonitorEx9x(LPSTR registry_root,
                                              Monitor9xTable* monitor) {
  return Guarded([&] {
    if (!monitor) return Fail(ERROR_INVALID_PARAMETER);
    if (!ProcessInstance(Widen(registry_root))) return FALSE;
    ZeroMemory(monitor, sizeof(*monitor));
    monitor->pfnEnumPorts = EnumPortsA9x;
    monitor->pfnOpenPort = OpenPortA9x;
    monitor->pfnStartDocPort = port_calls::StartDocPortA;
    monitor->pfnWritePort = port_calls::WritePort;
    monitor->pfnReadPort = port_calls::ReadPort;
    monitor->pfnEndDocPort = port_calls::EndDocPort;
    monitor->pfnClosePort = port_calls::ClosePort;
    monitor->pfnAddPort = AddPortA9x;
    monitor->pfnConfigurePort = ConfigurePortA9x;
    monitor->pfnDeletePort = DeletePortA9x;
    Trace("InitializeMonitorEx");
    return TRUE;
  });
}
