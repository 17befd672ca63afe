// The table of platform profiles and the choice of a row.
#include "common/platform_profile.h"

#include "contract/product_names.h"

namespace {

// The files the Windows 9x PostScript driver depends on, each NUL-ended;
// the literal's own NUL ends the list.
constexpr char kDependentFiles9x[] =
    "msprint.cat\0LWNT_470.SPD\0PSCRIPT.DRV\0PSCRIPT.HLP\0PSCRIPT.INI\0TESTPS.TXT\0"
    "APPLE380.SPD\0FONTS.MFM\0ICONLIB.DLL\0PSMON.DLL\0TAVDRIVER.SPD\0";
constexpr char kDependentFiles2000[] = "tavrinps5.ppd\0tavrin.INI\0tavrinui5.DLL\0pscript.ntf\0";

constexpr PlatformProfile kWin9x = {
    "Windows 9x",      true,           kEnvironment9x,   {kDriversKey9x, nullptr},
    kMonitorLibrary9x, kMonitorUiLibrary9x, DriverForm::kWin9x, 3, 2,
    "Pscript.drv",     "tavdriver.SPD", "Pscript.drv",   "Pscript.hlp",
    kDependentFiles9x, "printerdata.dat", true,          "dfdevmd.dat"};

constexpr PlatformProfile kNT4 = {
    "Windows NT 4.0",  false,          kEnvironmentNT,   {kDriversKeyNT2, kDriversKeyNT3},
    kMonitorLibraryNT, kMonitorUiLibraryNT, DriverForm::kNT4, 3, 2,
    "pscript.dll",     "gs.PPD",       "Tavrinui.dll",   "Pscript.hlp",
    nullptr,           "printerdata.dat", true,          "dfdevmdnt.dat"};

constexpr PlatformProfile kWin2000 = {
    "Windows 2000",    false,          kEnvironmentNT,   {kDriversKeyNT2, kDriversKeyNT3},
    kMonitorLibraryNT, kMonitorUiLibraryNT, DriverForm::kWin2000, 6, 3,
    "pscript5.dll",    "tavrinps5.ppd", "ps5ui.dll",     "Pscript.hlp",
    kDependentFiles2000, "printerdata5.dat", false,      "dfdevmdnt5.dat"};

// `row` in another spooler environment, with that environment's driver keys.
constexpr PlatformProfile InEnvironment(PlatformProfile row, const char* name,
                                        const char* environment, const char* drivers_key_v2,
                                        const char* drivers_key_v3) {
  row.name = name;
  row.environment = environment;
  row.drivers_keys[0] = drivers_key_v2;
  row.drivers_keys[1] = drivers_key_v3;
  return row;
}

// 64-bit Windows takes the Windows 2000 driver in its own environment.
constexpr PlatformProfile kWinX64 =
    InEnvironment(kWin2000, "Windows x64", kEnvironmentX64, kDriversKeyX64v2, kDriversKeyX64v3);

}  // namespace

const PlatformProfile& ProfileFor(const PlatformFlags& flags, bool win2000_or_later,
                                  WORD architecture) {
  if (flags.Win9xCase()) return kWin9x;
  if (architecture == PROCESSOR_ARCHITECTURE_AMD64) return kWinX64;
  return win2000_or_later ? kWin2000 : kNT4;
}

const PlatformProfile& ReadPlatformProfile(const PlatformFlags& flags) {
  // The uninstall logs whatever last-error value its spooler calls leave, so
  // the probes must not leave theirs (GetVersionExA refuses the extended
  // record with 122 on NT 4.0).
  const DWORD last_error = GetLastError();
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const bool win2000 = IsWindows2000OrLater();
  SetLastError(last_error);
  return ProfileFor(flags, win2000, info.wProcessorArchitecture);
}

const char* MonitorLibraryFor(const PlatformFlags& flags, const PlatformProfile& profile) {
  return flags.is_winnt ? profile.monitor_library : kMonitorLibrary9x;
}

const char* MonitorUiLibraryFor(const PlatformFlags& flags, const PlatformProfile& profile) {
  return flags.is_winnt ? profile.monitor_ui_library : kMonitorUiLibrary9x;
}
