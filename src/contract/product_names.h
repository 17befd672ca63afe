/* What the setup program and the port monitor agree on: the product's
 * printer, driver, monitor and port, the monitor's libraries, the spooler's
 * environments and the registry keys the two read and write. The setup, the
 * monitor, the simulated spooler and the Windows test tools (in C) all take
 * every name from here. */
#ifndef TAVRIN_PRODUCT_NAMES_H
#define TAVRIN_PRODUCT_NAMES_H

#define TAVRIN_PRINTER_NAME "TAVRIN"
#define TAVRIN_DRIVER_NAME "TAVRIN Printer Driver"
#define TAVRIN_MONITOR_NAME "TAVRIN Monitor"
#define TAVRIN_PORT_NAME "TAVRINPORT"

/* The monitor library and its user-interface library, per platform family:
 * the NT family loads "tavmon.dll", the 9x family "tavmon95.dll". */
#define TAVRIN_MONITOR_LIBRARY_NT "tavmon.dll"
#define TAVRIN_MONITOR_UI_LIBRARY_NT "tavmona.dll"
#define TAVRIN_MONITOR_LIBRARY_9X "tavmon95.dll"
#define TAVRIN_MONITOR_UI_LIBRARY_9X "tavmona95.dll"

#define TAVRIN_ENVIRONMENT_9X "Windows 4.0"
#define TAVRIN_ENVIRONMENT_NT "Windows NT x86"
#define TAVRIN_ENVIRONMENT_X64 "Windows x64"

/* Under HKEY_LOCAL_MACHINE. */
#define TAVRIN_PRINT_KEY "SYSTEM\\CurrentControlSet\\Control\\Print"
#define TAVRIN_PRINTERS_KEY TAVRIN_PRINT_KEY "\\Printers"
#define TAVRIN_MONITORS_KEY TAVRIN_PRINT_KEY "\\Monitors"
#define TAVRIN_MONITOR_KEY TAVRIN_MONITORS_KEY "\\" TAVRIN_MONITOR_NAME
#define TAVRIN_PORTS_SUBKEY "Ports"
#define TAVRIN_ENVIRONMENTS_KEY TAVRIN_PRINT_KEY "\\Environments"

#ifdef __cplusplus
inline constexpr char kPrinterName[] = TAVRIN_PRINTER_NAME;
inline constexpr char kDriverName[] = TAVRIN_DRIVER_NAME;
inline constexpr char kMonitorName[] = TAVRIN_MONITOR_NAME;
inline constexpr char kPortName[] = TAVRIN_PORT_NAME;

inline constexpr char kMonitorLibraryNT[] = TAVRIN_MONITOR_LIBRARY_NT;
inline constexpr char kMonitorUiLibraryNT[] = TAVRIN_MONITOR_UI_LIBRARY_NT;
inline constexpr char kMonitorLibrary9x[] = TAVRIN_MONITOR_LIBRARY_9X;
inline constexpr char kMonitorUiLibrary9x[] = TAVRIN_MONITOR_UI_LIBRARY_9X;

inline constexpr char kEnvironment9x[] = TAVRIN_ENVIRONMENT_9X;
inline constexpr char kEnvironmentNT[] = TAVRIN_ENVIRONMENT_NT;
inline constexpr char kEnvironmentX64[] = TAVRIN_ENVIRONMENT_X64;

inline constexpr char kPrintersKey[] = TAVRIN_PRINTERS_KEY;
inline constexpr char kMonitorsKey[] = TAVRIN_MONITORS_KEY;
inline constexpr char kMonitorKey[] = TAVRIN_MONITOR_KEY;
inline constexpr char kPortsSubKey[] = TAVRIN_PORTS_SUBKEY;
inline constexpr char kDriversKeyNT2[] =
    TAVRIN_ENVIRONMENTS_KEY "\\" TAVRIN_ENVIRONMENT_NT "\\Drivers\\Version-2";
inline constexpr char kDriversKeyNT3[] =
    TAVRIN_ENVIRONMENTS_KEY "\\" TAVRIN_ENVIRONMENT_NT "\\Drivers\\Version-3";
inline constexpr char kDriversKeyX64v2[] =
    TAVRIN_ENVIRONMENTS_KEY "\\" TAVRIN_ENVIRONMENT_X64 "\\Drivers\\Version-2";
inline constexpr char kDriversKeyX64v3[] =
    TAVRIN_ENVIRONMENTS_KEY "\\" TAVRIN_ENVIRONMENT_X64 "\\Drivers\\Version-3";
inline constexpr char kDriversKey9x[] =
    TAVRIN_ENVIRONMENTS_KEY "\\" TAVRIN_ENVIRONMENT_9X "\\Drivers";
#endif

#endif
