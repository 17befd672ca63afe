// The process-wide monitor instance.
#include "monitor/process_instance.h"

#include <new>

#include "monitor/monitor_names.h"
#include "monitor/monitor_text.h"

namespace {

MonitorInstance* volatile g_instance = nullptr;

// Whether HKLM\<path> opens for reading.
bool KeyOpens(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Narrow(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// The key the spooler named when it opens, the monitor's own otherwise (a
// spooler may name it in a form of its own).
std::wstring ChooseKey(const std::wstring& named) {
  if (!named.empty() && KeyOpens(named)) return named;
  return kMonitorKeyW.c_str();
}

}  // namespace

MonitorInstance* ProcessInstance(const std::wstring& key_path) {
  if (g_instance) return g_instance;
  MonitorInstance* made =
      new (std::nothrow) MonitorInstance(MakeSystemRegistry(ChooseKey(key_path)));
  if (!made) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // Two first calls at once keep the instance that came first.
  if (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&g_instance), made,
                                        nullptr) != nullptr)
    delete made;
  return g_instance;
}

MonitorInstance* CurrentProcessInstance() {
  if (!g_instance) SetLastError(ERROR_INVALID_HANDLE);
  return g_instance;
}
