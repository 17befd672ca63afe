// The uninstall routine.
#include "uninstall/uninstall.h"

#include "common/install_root.h"
#include "common/platform.h"
#include "common/platform_profile.h"
#include "contract/product_names.h"
#include "contract/product_layout.h"
#include "common/reg_key.h"
#include "common/setup_log.h"
#include "common/spooler_restart.h"
#include "common/text.h"
#include "framework/afxwin.h"
#include "uninstall/uninstall_entry.h"

namespace {

constexpr char kDeleteFolderNT[] =
    "Please uninstall Ostrel if it is on your system and then delete c:\\tavrin and its "
    "contents from your computer to fully uninstall tavrin.";
constexpr char kDeleteFolder9x[] =
    "Please uninstall Ostrel if it is on your system and then delete ..\\tavrin and its "
    "contents from your computer to fully uninstall tavrin.";
constexpr char kRebootToRemove[] = "Please reboot to fully remove the TAVRIN Printer Driver";

// Logs "<operation>: <last error>" when the thread's last-error value is not
// zero, whatever the call before it returned: a value left over from an
// earlier call shows too.
void LogLastErrorIfSet(const char* operation) {
  DWORD error = GetLastError();
  if (error != 0) LogError(operation, error);
}

// Asks the spooler to delete the printer, if it can be opened. Its queued
// jobs are purged first (the handle's full access includes administering
// the printer): with jobs left the spooler would only mark the printer for
// deletion and keep its driver and monitor in use, and the jobs' spool files
// would outlive the keys deleted later.
void DeleteProductPrinter() {
  PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE printer = nullptr;
  if (!OpenPrinterA(Writable(kPrinterName), &printer, &defaults)) return;
  if (!SetPrinterA(printer, 0, nullptr, PRINTER_CONTROL_PURGE))
    LogError("SetPrinter", GetLastError());
  DeletePrinter(printer);
  LogLastErrorIfSet("startrpc");
  ClosePrinter(printer);
}

// The NT family's remaining keys, the second restart and the closing steps.
void FinishNT(const PlatformProfile& profile, int silent) {
  DeleteRegSubTree(HKEY_LOCAL_MACHINE, kPrintersKey, kPrinterName);
  for (const char* drivers : profile.drivers_keys)
    if (drivers) DeleteRegSubKey(HKEY_LOCAL_MACHINE, drivers, kDriverName);
  DeleteRegSubTree(HKEY_LOCAL_MACHINE, kMonitorsKey, kMonitorName);
  RestartSpooler();
  if (silent == 0) AfxMessageBox(kDeleteFolderNT, MB_OK);
  RemoveUninstallEntry();
}

// The 9x family's driver key and the two-run closing: the first run after an
// install asks for a reboot, the next removes the Add/Remove Programs entry.
void Finish9x(int silent) {
  RegKey drivers;
  if (drivers.Open(HKEY_LOCAL_MACHINE, kDriversKey9x)) {
    DWORD rc = drivers.DeleteSubTree(kDriverName);
    LogLine(Format("RegDeleteKey Windows 4.0 return: %lu", static_cast<unsigned long>(rc)));
    drivers.Close();
  }
  LogLastErrorIfSet("RegDeleteKey 4.0 Driver");

  const std::string ini = InstallRoot() + kProductIniPath;
  char marker[512] = {0};
  GetPrivateProfileStringA(kIniSection, kIniUninstall, "", marker, sizeof(marker), ini.c_str());

  if (silent == 0) {
    if (marker[0] == '\0') {
      AfxMessageBox(kRebootToRemove, MB_OK);
    } else {
      AfxMessageBox(kDeleteFolder9x, MB_OK);
      RemoveUninstallEntry();
    }
  }
  WritePrivateProfileStringA(kIniSection, kIniUninstall, "1", ini.c_str());
}

}  // namespace

void RunUninstall(int silent) {
  DeleteProductPrinter();

  const PlatformProfile& profile = ReadPlatformProfile(ReadPlatformFlags());
  const bool win9x = profile.win9x;
  LPSTR environment = Writable(profile.environment);

  // The NT spooler keeps the monitor library loaded; a restart lets go of it
  // before the driver and the monitor are deleted.
  if (!win9x) RestartSpooler();

  DeletePrinterDriverA(nullptr, environment, Writable(kDriverName));
  LogLastErrorIfSet("DeletePrinterDriver");
  DeleteMonitorA(nullptr, environment, Writable(kMonitorName));
  LogLastErrorIfSet("DeleteMonitor");

  // On the NT family these refuse keys that still have subkeys; the
  // recursive deletions below take care of those.
  DeleteRegSubKey(HKEY_LOCAL_MACHINE, kPrintersKey, kPrinterName);
  DeleteRegSubKey(HKEY_LOCAL_MACHINE, kMonitorsKey, kMonitorName);

  if (win9x)
    Finish9x(silent);
  else
    FinishNT(profile, silent);
}
