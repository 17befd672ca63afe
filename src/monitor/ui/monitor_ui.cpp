// The monitor's user-interface library (tavmona.dll, tavmona95.dll). The
// port is configured by the setup program, so there is no dialog: adding,
// configuring and deleting ports through the spooler fail with
// ERROR_NOT_SUPPORTED.
#include "common/win32.h"

namespace {

BOOL WINAPI AddPortUI(PCWSTR server, HWND window, PCWSTR port_in, PWSTR* port_out) {
  (void)server;
  (void)window;
  (void)port_in;
  if (port_out) *port_out = nullptr;
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

BOOL WINAPI ConfigurePortUI(PCWSTR server, HWND window, PCWSTR port) {
  (void)server;
  (void)window;
  (void)port;
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

BOOL WINAPI DeletePortUI(PCWSTR server, HWND window, PCWSTR port) {
  (void)server;
  (void)window;
  (void)port;
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

MONITORUI g_table = {sizeof(MONITORUI), AddPortUI, ConfigurePortUI, DeletePortUI};

}  // namespace

// Returns the library's function table.
extern "C" PMONITORUI WINAPI InitializePrintMonitorUI(VOID) { return &g_table; }
