// What the install and the uninstall do differently on each kind of system,
// chosen once from the platform probes: the spooler environment, where the
// spooler keeps the driver, the monitor libraries, and the form of the
// driver with its files and data.
#pragma once

#include "common/platform.h"

// The form in which the driver is registered.
enum class DriverForm {
  kWin9x,     // level 3 on the system's PostScript driver, bare file names
  kNT4,       // level 3, kernel-mode PostScript driver, paths in the driver folder
  kWin2000,   // level 6, user-mode PostScript 5 driver with the product's PPD
};

struct PlatformProfile {
  const char* name;         // "Windows 9x", "Windows NT 4.0", "Windows 2000", "Windows x64"
  bool win9x;               // the Windows 9x case: the 9x branch of every phase
  const char* environment;  // of every spooler call and driver key
  // The driver keys that may hold the product's driver; the second is null
  // where there is only one.
  const char* drivers_keys[2];
  const char* monitor_library;     // installed into the system folder
  const char* monitor_ui_library;  // its user-interface library beside it
  DriverForm driver_form;
  DWORD driver_level;              // AddPrinterDriverA level: 3 or 6
  DWORD driver_version;            // the record's cVersion
  const char* driver_file;
  const char* data_file;
  const char* config_file;
  const char* help_file;
  const char* dependent_files;     // NUL-separated, double-NUL-ended; null: none
  const char* printer_data_file;   // stored whole as "PrinterData"
  bool stores_font_table;          // "TTFontSubTable" beside it (before Windows 2000)
  const char* devmode_file;        // stored whole as "Default DevMode"
};

// The row for a system: the Windows 9x case by the flags; otherwise 64-bit
// Windows by the processor the running process is built for; otherwise
// Windows 2000 and later or NT 4.0 by the Windows 2000 probe.
const PlatformProfile& ProfileFor(const PlatformFlags& flags, bool win2000_or_later,
                                  WORD architecture);

// Asks the system (IsWindows2000OrLater, GetSystemInfo) and returns the row
// for the given flags. The thread's last-error value is kept.
const PlatformProfile& ReadPlatformProfile(const PlatformFlags& flags);

// The monitor libraries follow the NT flag alone, whatever the row: a system
// with both flags false takes the NT branches with the 9x libraries.
const char* MonitorLibraryFor(const PlatformFlags& flags, const PlatformProfile& profile);
const char* MonitorUiLibraryFor(const PlatformFlags& flags, const PlatformProfile& profile);
