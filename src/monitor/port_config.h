// The configuration record of a port as the setup program writes it
// (Monitors\TAVRIN Monitor\Ports\<port>), read afresh for every job, and the
// product's install root.
#pragma once

#include "common/win32.h"

#include <string>

#include "monitor/config_registry.h"

// The record's values as the monitor uses them; each starts as the
// record's default for an absent value.
struct PortConfig {
  std::string command;      // "Command": the program a job's data is fed to
  std::string arguments;    // "Arguments": its arguments, "%1" the output file
  DWORD delay_ms;           // "Delay": how long the output file may take to appear
  DWORD output;             // "Output": 1 = the file the monitor chooses (the only mode)
  bool print_error;         // "PrintError": failures reported to the spooler too
  bool run_user;            // "RunUser": reserved, the program runs as the spooler
  DWORD show_window;        // "ShowWindow": SW_* for a program that opens a window
  bool log_use;             // "LogFileUse": failures (and the program's output) logged
  std::string log_name;     // "LogFileName": the log file, empty = the default one
  bool log_debug;           // "LogFileDebug": one log line per call as well
  DWORD timeout_s;          // "Timeout": seconds the program may go without reading, 0 = default

  PortConfig();
};

// The longest "Delay" honoured, in milliseconds; larger values are cut.
inline constexpr DWORD kMaxDelayMs = 60000;

// Reads the record of `port`; a missing value keeps its default. Returns
// ERROR_SUCCESS, or the registry's error when the port's key does not open
// (the defaults are filled in then too).
LONG ReadPortConfig(ConfigRegistry& registry, const std::wstring& port, PortConfig* config);

// HKLM\Software\Tavrin "Path" with a trailing backslash; "c:\" when it is
// missing or empty. A 64-bit monitor whose own registry view lacks it reads
// the 32-bit view, where a 32-bit outer installer writes it.
std::string ReadInstallRoot();
