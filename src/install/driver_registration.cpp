// Phase 4: the printer driver, in the form the platform needs.
#include <cstring>
#include <string>

#include "common/copy_file.h"
#include "contract/product_names.h"
#include "common/process_start.h"
#include "contract/product_layout.h"
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

// The Windows 2000 driver files, copied before the level-6 registration.
const char* const kFiles2000[] = {"tavrinps5.PPD", "pscript5.dll", "ps5ui.dll",
                                  "tavrin.INI",    "tavrinui5.DLL", "pscript.ntf"};

// Windows 9x builds on the system's PostScript driver; without it the user
// is sent to the help page and the Add Printer wizard. Returns whether the
// driver is there.
bool Check9xPrerequisite(const InstallState& state) {
  CFileStatus status;
  if (CFile::GetStatus(state.InDriverDir("Pscript.drv").c_str(), status)) return true;
  AfxMessageBox(kInstallAppleDriver, MB_OK);
  StartRundll32(kViewerPrefix + state.root + "tavrin\\res\\drivedir\\download.htm");
  Sleep(5000);
  StartRundll32(kAddPrinterWizard);
  return false;
}

// The file texts a driver record points into; they live as long as the
// phase. Windows 9x names bare files of the driver folder, the NT family
// full paths into it.
struct DriverTexts {
  std::string driver, data, config, help;

  DriverTexts(const InstallState& state, const PlatformProfile& profile) {
    auto place = [&](const char* name) {
      return profile.driver_form == DriverForm::kWin9x ? std::string(name)
                                                       : state.InDriverDir(name);
    };
    driver = place(profile.driver_file);
    data = place(profile.data_file);
    config = place(profile.config_file);
    help = place(profile.help_file);
  }
};

// Fills the level-3 record of the profile. On the NT family this also turns
// off the product's TS option when AutoCAD is installed.
void FillLevel3(InstallState& state, const DriverTexts& texts, DRIVER_INFO_3A& info) {
  const PlatformProfile& profile = *state.profile;
  ConsoleTrace("Adding printer driver\n\n");
  std::memset(&info, 0, sizeof(info));
  info.cVersion = profile.driver_version;
  info.pName = Writable(kDriverName);
  info.pEnvironment = Writable(profile.environment);
  info.pDriverPath = Writable(texts.driver);
  info.pDataFile = Writable(texts.data);
  info.pConfigFile = Writable(texts.config);
  info.pHelpFile = Writable(texts.help);
  info.pDependentFiles = profile.dependent_files ? Writable(profile.dependent_files) : nullptr;
  info.pMonitorName = nullptr;
  info.pDefaultDataType = Writable("RAW");
  if (state.Win9xCase()) {
    ConsoleTrace("Driver directory: " + state.driver_dir + "\n\n");
    Sleep(1000);
  } else {
    RegKey autocad;
    if (autocad.Open(HKEY_LOCAL_MACHINE, kAutoCadKey, KEY_READ))
      WritePrivateProfileStringA(kIniSection, "TS Enabled", "0", state.IniPath().c_str());
  }
  state.rpc_unavailable = 0;
}

// Copies the Windows 2000 driver files and registers the level-6 record,
// which extends the level-3 one.
BOOL RegisterLevel6(const InstallState& state, const DRIVER_INFO_3A& level3) {
  for (const char* name : kFiles2000) CopyFileLogged(state.Delivered(name), state.InDriverDir(name));

  DRIVER_INFO_6A info;
  std::memset(&info, 0, sizeof(info));
  std::memcpy(&info, &level3, sizeof(level3));
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

  const DriverTexts texts(state, *state.profile);
  DRIVER_INFO_3A level3;
  FillLevel3(state, texts, level3);

  BOOL registered = state.profile->driver_level == 6
                        ? RegisterLevel6(state, level3)
                        : AddPrinterDriverA(nullptr, 3, reinterpret_cast<LPBYTE>(&level3));
  if (!registered) ReportDriverFailure(state);
  return true;
}
