// The one monitor instance of the older entry points (InitializePrintMonitor,
// InitializeMonitorEx), whose function tables carry no monitor handle. It
// lives until the library is unloaded.
#pragma once

#include <string>

#include "monitor/monitor_instance.h"

// Makes the process's instance on the first call, reading HKLM\<key_path>
// (the monitor's own key when that is empty or does not open); later calls
// return the same instance.
// Returns null with the last error set when it cannot be made.
MonitorInstance* ProcessInstance(const std::wstring& key_path);

// The instance made by ProcessInstance, or null (last error
// ERROR_INVALID_HANDLE) before that.
MonitorInstance* CurrentProcessInstance();
