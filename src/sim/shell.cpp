// shlwapi and shell32: deleting a registry subtree and the shell's change
// notification.
#include <cstdio>

#include "sim/machine.h"
#include "sim/scheduler.h"
#include "sim/win32_api.h"

// Deletes the subkey and everything below it on every platform. Returns the
// registry error code (2 when the subkey is missing); the last error value
// is left alone.
DWORD WINAPI SHDeleteKeyA(HKEY hkey, LPCSTR pszSubKey) {
  sim::ApiLock lock;
  DWORD saved = GetLastError();
  DWORD error = 0;
  bool fault = sim::M().TakeFault("SHDeleteKeyA", &error);
  SetLastError(saved);
  if (fault) return error;
  return static_cast<DWORD>(sim::DeleteRegistryTree("SHDeleteKeyA", hkey, pszSubKey));
}

// Tells the shell that something changed. Nothing to do here but note the
// call: "SHChangeNotify 0x8000000, 0, null, null".
void WINAPI SHChangeNotify(LONG wEventId, UINT uFlags, LPCVOID dwItem1, LPCVOID dwItem2) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("SHChangeNotify")) return;
  char line[96];
  std::snprintf(line, sizeof(line), "SHChangeNotify 0x%lX, %u, %s, %s",
                static_cast<unsigned long>(static_cast<DWORD>(wEventId)), uFlags,
                dwItem1 ? "set" : "null", dwItem2 ? "set" : "null");
  sim::M().Note(line);
}
