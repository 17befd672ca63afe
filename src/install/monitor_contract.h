// What the setup program and the port monitor component agree on: the
// monitor's name and libraries, its port, and where the port's configuration
// lives. The install and the uninstall routines take every name and key from
// here.
#pragma once

inline constexpr char kMonitorName[] = "TAVRIN Monitor";
inline constexpr char kPortName[] = "TAVRINPORT";

// The monitor library and its user-interface library, per platform family:
// the NT family loads "tavmon.dll", the 9x family "tavmon95.dll".
inline constexpr char kMonitorLibraryNT[] = "tavmon.dll";
inline constexpr char kMonitorUiLibraryNT[] = "tavmona.dll";
inline constexpr char kMonitorLibrary9x[] = "tavmon95.dll";
inline constexpr char kMonitorUiLibrary9x[] = "tavmona95.dll";

// Delivered in the setup directory + this folder, installed to the system
// directory.
inline constexpr char kDriveDir[] = "\\res\\drivedir\\";

// Under HKEY_LOCAL_MACHINE.
inline constexpr char kMonitorsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
inline constexpr char kMonitorKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\TAVRIN Monitor";
inline constexpr char kPortsSubKey[] = "Ports";
