// One instance of the monitor: what InitializePrintMonitor2 hands the
// spooler as its monitor handle, and what the older entry points keep for
// the process. It knows where the port configuration is read from.
#pragma once

#include "common/win32.h"

#include <memory>
#include <string>
#include <vector>

#include "monitor/config_registry.h"
#include "monitor/port_info_buffer.h"
#include "monitor/port_list.h"

class MonitorInstance {
 public:
  explicit MonitorInstance(std::unique_ptr<ConfigRegistry> registry);
  ~MonitorInstance();
  MonitorInstance(const MonitorInstance&) = delete;
  MonitorInstance& operator=(const MonitorInstance&) = delete;

  // The instance behind a monitor handle; null (last error
  // ERROR_INVALID_HANDLE) when the handle is not one of ours.
  static MonitorInstance* FromHandle(HANDLE handle);
  HANDLE handle() { return this; }

  // EnumPorts at level 1 or 2 in the caller's character set, the list read
  // afresh from the registry each time. Returns FALSE with the last error
  // set on failure.
  template <typename CharT>
  BOOL EnumPorts(DWORD level, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
    *needed = 0;
    *returned = 0;
    std::vector<PortEntry> ports;
    const LONG result = ReadPorts(*registry_, &ports);
    if (result != ERROR_SUCCESS) {
      SetLastError(static_cast<DWORD>(result));
      return FALSE;
    }
    return PackPorts<CharT>(ports, level, buffer, size, needed, returned);
  }

  // Whether `name` is one of the ports; *canonical receives its registry
  // spelling. Returns ERROR_SUCCESS, ERROR_UNKNOWN_PORT or the registry's
  // error.
  LONG FindPort(const wchar_t* name, std::wstring* canonical) {
    return ::FindPort(*registry_, name, canonical);
  }

  // The registry the port configuration is read from.
  ConfigRegistry& registry() { return *registry_; }

 private:
  DWORD signature_;
  std::unique_ptr<ConfigRegistry> registry_;
};
