// The entry point of the Windows 9x spooler (tavmon95.dll only):
// InitializeMonitorEx fills the spooler's MONITOR table with functions that
// take ANSI texts. The table is laid out as the MONITOR structure of the
// DDK documentation of that time: the fourteen members from EnumPorts to
// SetPortTimeOuts, without the transceive members Windows 2000 added.
#include "common/win32.h"

#include "monitor/barrier.h"
#include "monitor/monitor_text.h"
#include "monitor/port_calls.h"
#include "monitor/port_handle.h"
#include "monitor/port_management.h"
#include "monitor/process_instance.h"
#include "monitor/trace.h"

namespace {

struct Monitor9x {
  BOOL(WINAPI* pfnEnumPorts)(LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
  BOOL(WINAPI* pfnOpenPort)(LPSTR, PHANDLE);
  BOOL(WINAPI* pfnOpenPortEx)(LPSTR, LPSTR, PHANDLE, Monitor9x*);
  BOOL(WINAPI* pfnStartDocPort)(HANDLE, LPSTR, DWORD, DWORD, LPBYTE);
  BOOL(WINAPI* pfnWritePort)(HANDLE, LPBYTE, DWORD, LPDWORD);
  BOOL(WINAPI* pfnReadPort)(HANDLE, LPBYTE, DWORD, LPDWORD);
  BOOL(WINAPI* pfnEndDocPort)(HANDLE);
  BOOL(WINAPI* pfnClosePort)(HANDLE);
  BOOL(WINAPI* pfnAddPort)(LPSTR, HWND, LPSTR);
  BOOL(WINAPI* pfnAddPortEx)(LPSTR, DWORD, LPBYTE, LPSTR);
  BOOL(WINAPI* pfnConfigurePort)(LPSTR, HWND, LPSTR);
  BOOL(WINAPI* pfnDeletePort)(LPSTR, HWND, LPSTR);
  BOOL(WINAPI* pfnGetPrinterDataFromPort)
  (HANDLE, DWORD, LPSTR, LPSTR, DWORD, LPSTR, DWORD, LPDWORD);
  BOOL(WINAPI* pfnSetPortTimeOuts)(HANDLE, LPCOMMTIMEOUTS, DWORD);
};

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
extern "C" BOOL WINAPI InitializeMonitorEx9x(LPSTR registry_root, Monitor9x* monitor) {
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
