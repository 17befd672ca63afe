// Phase 1: the spooler's folders, the platform, and what an earlier
// installation left behind.
#include <cstring>

#include "common/install_root.h"
#include "contract/product_names.h"
#include "common/reg_key.h"
#include "common/setup_log.h"
#include "common/spooler_restart.h"
#include "common/text.h"
#include "framework/afx_file.h"
#include "framework/afxwin.h"
#include "install/install_phases.h"
#include "uninstall/uninstall.h"

namespace {

constexpr DWORD kDriverDirBufferSize = 256;
constexpr UINT kSystemDirBufferSize = 512;
constexpr DWORD kMonitorBufferSize = 4096;

constexpr char kDeletePrinterByHand[] =
    "In order to upgrade tavrin you must delete the existing TAVRIN printer from Windows "
    "Printer Settings and re-run setup.";
constexpr char kRebootAndRerun[] = "In order to upgrade tavrin you must reboot and then re-run setup.";
constexpr char kRebootWithRights[] =
    "In order to upgrade tavrin you must reboot and re-run setup. Note: Administrative "
    "privileges may also be necessary.";

// Returns the spooler's printer-driver folder for the running platform, or
// an empty text (with the error in *error) when the spooler cannot say.
std::string QueryDriverDirectory(DWORD* error) {
  char buffer[kDriverDirBufferSize] = {0};
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(buffer),
                                  sizeof(buffer), &needed)) {
    *error = GetLastError();
    return std::string();
  }
  return std::string(buffer, strnlen(buffer, sizeof(buffer)));
}

// Console trace only: whether the first monitor the spooler lists is ours.
void ProbeMonitors() {
  alignas(8) BYTE buffer[kMonitorBufferSize];
  DWORD needed = 0, returned = 0;
  if (!EnumMonitorsA(nullptr, 1, buffer, sizeof(buffer), &needed, &returned)) {
    ConsoleTrace("EnumMonitors failed\n\n");
    return;
  }
  const MONITOR_INFO_1A* first = reinterpret_cast<const MONITOR_INFO_1A*>(buffer);
  if (returned >= 1 && first->pName && std::strcmp(first->pName, kMonitorName) == 0)
    ConsoleTrace("Monitor found\n\n");
}

// Returns the system folder with one trailing backslash, or false.
bool QuerySystemDirectory(std::string* out) {
  char buffer[kSystemDirBufferSize + 1] = {0};
  UINT length = GetSystemDirectoryA(buffer, kSystemDirBufferSize);
  if (length == 0 || length >= kSystemDirBufferSize) return false;
  *out = std::string(buffer) + "\\";
  return true;
}

// Tries to delete a file; returns whether it is gone afterwards.
bool DeleteIfPossible(const std::string& path) {
  try {
    CFile::Remove(path.c_str());
  } catch (const CFileException&) {
    // Loaded by the spooler, or no rights: the caller looks at what is left.
  }
  CFileStatus status;
  return !CFile::GetStatus(path.c_str(), status);
}

// Windows 9x: an installed monitor library that differs from the packaged
// one is loaded by the spooler and cannot be replaced before a reboot.
bool HandleOldMonitor9x(const InstallState& state) {
  const std::string installed = state.system_dir + state.monitor_library;
  if (DeleteIfPossible(installed)) return true;

  CFileStatus old_status, new_status;
  if (!CFile::GetStatus(installed.c_str(), old_status)) return true;
  if (!CFile::GetStatus(state.Delivered(state.monitor_library).c_str(), new_status)) return true;
  if (old_status.m_size == new_status.m_size) return true;

  HANDLE printer = nullptr;
  if (OpenPrinterA(Writable(kPrinterName), &printer, nullptr)) {
    if (!DeletePrinter(printer)) AfxMessageBox(kDeletePrinterByHand, MB_OK);
    ClosePrinter(printer);
  }
  DeleteMonitorA(nullptr, Writable(kEnvironment9x), Writable(kMonitorName));
  DeleteRegSubKey(HKEY_LOCAL_MACHINE, kPrintersKey, kPrinterName);
  DeleteRegSubKey(HKEY_LOCAL_MACHINE, kMonitorsKey, kMonitorName);
  RegKey drivers;
  if (drivers.Open(HKEY_LOCAL_MACHINE, kDriversKey9x)) {
    LONG rc = drivers.DeleteSubKey(kDriverName);
    LogLine(Format("RegDeleteKey Windows 4.0 return: %lu", static_cast<unsigned long>(rc)));
  }
  AfxMessageBox(kRebootAndRerun, MB_OK);
  return false;
}

// NT: a monitor library still in place is loaded by the spooler; the silent
// uninstall restarts the spooler, which lets go of it.
bool HandleOldMonitorNT(const InstallState& state) {
  const std::string installed = state.system_dir + state.monitor_library;
  if (!DeleteIfPossible(installed)) {
    RunUninstall(1);
    if (!DeleteIfPossible(installed)) {
      AfxMessageBox(kRebootWithRights, MB_OK);
      return false;
    }
  }

  // Stale entries of an earlier installation; every result is ignored.
  DeleteRegSubKey(HKEY_LOCAL_MACHINE, kPrintersKey, kPrinterName);
  DeleteRegSubKey(HKEY_LOCAL_MACHINE, kPrintersKey, "TAVRIN,0");
  DeleteRegSubKey(HKEY_LOCAL_MACHINE, kMonitorsKey, kMonitorName);
  for (const char* drivers : state.profile->drivers_keys)
    if (drivers) DeleteRegSubKey(HKEY_LOCAL_MACHINE, drivers, kDriverName);
  return true;
}

}  // namespace

bool DetectPlatform(InstallState& state) {
  state.root = InstallRoot();
  state.flags = ReadPlatformFlags();
  // A stopped spooler answers every call with 1722: start it before asking
  // it anything. One that cannot be started leaves the user the manual
  // configuration, with nothing copied.
  if (state.flags.is_winnt && !StartSpoolerIfStopped()) {
    EndWithManualConfiguration(state);
    return false;
  }

  DWORD driver_dir_error = 0;
  state.driver_dir = QueryDriverDirectory(&driver_dir_error);
  ProbeMonitors();
  state.setup_dir = SetupDirectory();
  if (!QuerySystemDirectory(&state.system_dir)) return false;

  LogLine(state.flags.is_winnt ? "is_winnt = TRUE" : "is_winnt = FALSE");
  LogLine(state.flags.is_win4 ? "is_win4 = TRUE" : "is_win4 = FALSE");

  // Without the driver folder every driver file would land in the root of
  // the current drive, and the spooler that cannot name it would refuse
  // the rest as well. An unreachable spooler is the user's to configure.
  if (state.driver_dir.empty()) {
    LogError("GetPrinterDriverDirectory", driver_dir_error);
    if (driver_dir_error == RPC_S_SERVER_UNAVAILABLE) EndWithManualConfiguration(state);
    return false;
  }

  state.profile = &ReadPlatformProfile(state.flags);
  state.monitor_library = MonitorLibraryFor(state.flags, *state.profile);
  state.monitor_ui_library = MonitorUiLibraryFor(state.flags, *state.profile);
  return state.Win9xCase() ? HandleOldMonitor9x(state) : HandleOldMonitorNT(state);
}
