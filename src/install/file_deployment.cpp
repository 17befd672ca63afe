// Phase 2: the monitor libraries into the system folder, the driver files
// into the printer-driver folder, and the product's INI file mapping.
#include <cstring>

#include "common/copy_file.h"
#include "contract/product_layout.h"
#include "common/reg_key.h"
#include "common/setup_log.h"
#include "install/install_phases.h"

namespace {

constexpr char kIniFileMappingKey[] =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping";
constexpr char kIniFileName[] = "tavrin.ini";

// Copies a delivered file into the printer-driver folder.
void CopyToDriverDir(const InstallState& state, const char* name) {
  CopyFileLogged(state.Delivered(name), state.InDriverDir(name));
}

// Removes the mapping of "tavrin.ini" to the registry, so that the name
// stands for the plain file, and has the system drop its cached copy.
void RemoveIniFileMapping() {
  RegKey mapping;
  if (mapping.OpenOrCreate(HKEY_LOCAL_MACHINE, kIniFileMappingKey)) {
    mapping.DeleteSubKey(kIniFileName);
    mapping.Close();
  }
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, L"tavrin.ini");
}

}  // namespace

bool DeployFiles(InstallState& state) {
  for (const std::string& library : {state.monitor_library, state.monitor_ui_library})
    CopyFileLogged(state.Delivered(library), state.system_dir + library);

  LogLine("Printer Driver Directory: " + state.driver_dir);

  if (state.Win9xCase()) {
    CopyToDriverDir(state, "tavdriver.SPD");
    // A new install starts the two-run uninstall afresh.
    WritePrivateProfileStringA(kIniSection, kIniUninstall, "", state.IniPath().c_str());
  } else {
    RemoveIniFileMapping();
    CopyToDriverDir(state, "Pscript.dll");
    CopyToDriverDir(state, "Tavrinui.dll");
    CopyToDriverDir(state, "Pscript.hlp");
  }
  CopyToDriverDir(state, "gs.PPD");
  CopyToDriverDir(state, "fontsub.tbl");
  return true;
}
