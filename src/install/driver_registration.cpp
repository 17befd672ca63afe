// Phase 4: the printer driver, in the form the platform needs.
#include <cstring>
#include <string>

#include "common/copy_file.h"
#include "common/platform.h"
#include "common/print_names.h"
#include "common/process_start.h"
#include "common/product_layout.h"
#include "common/reg_key.h"
#include "common/setup_log.h"
#include "common/text.h"
#include "framework/afx_file.h"
#include "framework/afxwin.h"
#include "install/install_messages.h"
#include "install/install_phases.h"

namespace {

constexpr char kInstallAppleDriver[] =
    "Please install the Apple Laserwriter II NT printer driver and re-run setup. Step-by-step "
    "help will appear to assist you.";
constexpr char kViewerPrefix[] = "rundll32.exe url.dll,FileProtocolHandler ";
constexpr char kAddPrinterWizard[] = "rundll32.exe shell32.dll,SHHelpShortcuts_RunDLL AddPrinter";
constexpr char kAutoCadKey[] = "Software\\Autodesk\\AutoCad";

// The files the Windows 9x PostScript driver depends on, each NUL-ended;
// the literal's own NUL ends the list.
constexpr char kDependentFiles9x[] =
    "msprint.cat\0LWNT_470.SPD\0PSCRIPT.DRV\0PSCRIPT.HLP\0PSCRIPT.INI\0TESTPS.TXT\0"
    "APPLE380.SPD\0FONTS.MFM\0ICONLIB.DLL\0PSMON.DLL\0TAVDRIVER.SPD\0";
constexpr char kDependentFiles2000[] = "tavrinps5.ppd\0tavrin.INI\0tavrinui5.DLL\0pscript.ntf\0";

// The Windows 2000 driver files, copied before the level-6 registration.
const char* const kFiles2000[] = {"tavrinps5.PPD", "pscript5.dll", "ps5ui.dll",
                                  "tavrin.INI",    "tavrinui5.DLL", "pscript.ntf"};

// Starts a program the user is to see.
void StartShown(const std::string& command_line) {
  StartDetachedProcess(command_line, 0, SW_SHOWNORMAL);
}

// Windows 9x builds on the system's PostScript driver; without it the user
// is sent to the help page and the Add Printer wizard. Returns whether the
// driver is there.
bool Check9xPrerequisite(const InstallState& state) {
  CFileStatus status;
  if (CFile::GetStatus(state.InDriverDir("Pscript.drv").c_str(), status)) return true;
  AfxMessageBox(kInstallAppleDriver, MB_OK);
  StartShown(kViewerPrefix + state.root + "tavrin\\res\\drivedir\\download.htm");
  Sleep(5000);
  StartShown(kAddPrinterWizard);
  return false;
}

// The texts the level-3 record points into; they live as long as the phase.
struct DriverTexts {
  std::string driver, data, config, help;
};

// Fills the level-3 record for the platform case. In the NT case this also
// turns off the product's TS option when AutoCAD is installed.
void FillLevel3(InstallState& state, DriverTexts& texts, DRIVER_INFO_3A& info) {
  ConsoleTrace("Adding printer driver\n\n");
  std::memset(&info, 0, sizeof(info));
  info.cVersion = 2;
  if (state.Win9xCase()) {
    info.pEnvironment = Writable(kEnvironment9x);
    info.pDriverPath = Writable("Pscript.drv");
    ConsoleTrace("Driver directory: " + state.driver_dir + "\n\n");
    Sleep(1000);
    info.pConfigFile = Writable("Pscript.drv");
    info.pDataFile = Writable("tavdriver.SPD");
    info.pHelpFile = Writable("Pscript.hlp");
    info.pDependentFiles = Writable(kDependentFiles9x);
    info.pName = Writable(kDriverName);
  } else {
    info.pEnvironment = Writable(kEnvironmentNT);
    texts.driver = state.InDriverDir("pscript.dll");
    texts.config = state.InDriverDir("Tavrinui.dll");
    texts.data = state.InDriverDir("gs.PPD");
    texts.help = state.InDriverDir("Pscript.hlp");
    info.pDriverPath = Writable(texts.driver);
    info.pConfigFile = Writable(texts.config);
    info.pDataFile = Writable(texts.data);
    info.pHelpFile = Writable(texts.help);
    info.pDependentFiles = nullptr;
    info.pName = Writable(kDriverName);

    RegKey autocad;
    if (autocad.Open(HKEY_LOCAL_MACHINE, kAutoCadKey, KEY_READ))
      WritePrivateProfileStringA(kIniSection, "TS Enabled", "0", state.IniPath().c_str());
  }
  info.pMonitorName = nullptr;
  info.pDefaultDataType = Writable("RAW");
  state.rpc_unavailable = 0;
}

// Copies the Windows 2000 driver files and registers the level-6 record.
BOOL RegisterLevel6(const InstallState& state) {
  for (const char* name : kFiles2000) CopyFileLogged(state.Delivered(name), state.InDriverDir(name));

  const std::string driver = state.InDriverDir("pscript5.dll");
  const std::string data = state.InDriverDir("tavrinps5.ppd");
  const std::string config = state.InDriverDir("ps5ui.dll");
  const std::string help = state.InDriverDir("Pscript.hlp");
  DRIVER_INFO_6A info;
  std::memset(&info, 0, sizeof(info));
  info.cVersion = 3;
  info.pName = Writable(kDriverName);
  info.pEnvironment = Writable(kEnvironmentNT);
  info.pDriverPath = Writable(driver);
  info.pDataFile = Writable(data);
  info.pConfigFile = Writable(config);
  info.pHelpFile = Writable(help);
  info.pDependentFiles = Writable(kDependentFiles2000);
  info.pMonitorName = nullptr;
  info.pDefaultDataType = Writable("RAW");
  info.pszzPreviousNames = nullptr;
  info.ftDriverDate.dwLowDateTime = 0;
  info.ftDriverDate.dwHighDateTime = 0;
  info.dwlDriverVersion = 0;
  info.pszMfgName = Writable(kMakerName);
  info.pszOEMUrl = Writable(kMakerWebAddress);
  info.pszHardwareID = nullptr;
  info.pszProvider = Writable(kMakerName);
  return AddPrinterDriverA(nullptr, 6, reinterpret_cast<LPBYTE>(&info));
}

// Logs a failed registration and reacts to the codes that need it.
void ReportDriverFailure(InstallState& state) {
  const DWORD error = GetLastError();
  LogError("AddPrinterDriver", error);
  if (error == RPC_S_SERVER_UNAVAILABLE) {
    state.rpc_unavailable = 1;
  } else if (error == ERROR_MOD_NOT_FOUND && !state.Win9xCase()) {
    AfxMessageBox(Format("Setup has returned error 126. Please contact %s to resolve this "
                         "error. We apologize for the inconvenience.",
                         kSupportAddress)
                      .c_str(),
                  MB_OK);
  }
  Sleep(1000);
}

}  // namespace

bool RegisterPrinterDriver(InstallState& state) {
  if (state.Win9xCase() && !Check9xPrerequisite(state)) return false;

  DriverTexts texts;
  DRIVER_INFO_3A level3;
  FillLevel3(state, texts, level3);

  BOOL registered = IsWindows2000OrLater()
                        ? RegisterLevel6(state)
                        : AddPrinterDriverA(nullptr, 3, reinterpret_cast<LPBYTE>(&level3));
  if (!registered) ReportDriverFailure(state);
  return true;
}
