// Phase 6: the Add/Remove Programs entry, the page for the user, the
// one-shot quiet setting, and the companion editor's version.
#include <cstdlib>
#include <string>

#include "common/process_start.h"
#include "contract/product_layout.h"
#include "common/setup_log.h"
#include "framework/afx_file.h"
#include "framework/afxwin.h"
#include "install/editor_version.h"
#include "install/install_phases.h"
#include "uninstall/uninstall_entry.h"

namespace {

constexpr char kViewerPrefix[] = "rundll32.exe url.dll,FileProtocolHandler ";
constexpr char kManualConfiguration[] =
    "Setup has determined that you need to manually configure TAVRIN due to the settings of "
    "your Remote Procedure Call service. Instructions will follow.";
constexpr char kQuiet[] = "Quiet";
constexpr float kEditorThreshold = 4.2f;

// Reads "Quiet" as atoi would (leading blanks, a sign, digits); a text that
// does not start with a number reads as 0.
bool QuietRequested(const std::string& ini) {
  char value[80] = {0};
  GetPrivateProfileStringA(kIniSection, kQuiet, "0", value, sizeof(value), ini.c_str());
  return std::strtol(value, nullptr, 10) != 0;
}

// Tells the user that the spooler cannot be reached, gives the instructions
// page its ".html" name (it is delivered as ".tmp"; an earlier install may
// have renamed it already) and returns the viewer command that opens it.
std::string PrepareManualConfiguration(const InstallState& state) {
  AfxMessageBox(kManualConfiguration, MB_OK);
  const std::string page = state.root + "tavrin\\res\\drivedir\\rpcinaccessible";
  try {
    CFile::Rename((page + ".tmp").c_str(), (page + ".html").c_str());
  } catch (const CFileException&) {
    // Already renamed by an earlier install, or missing.
  }
  return kViewerPrefix + page + ".html";
}

}  // namespace

void EndWithManualConfiguration(const InstallState& state) {
  const std::string viewer = PrepareManualConfiguration(state);
  if (!QuietRequested(state.IniPath())) StartRundll32(viewer);
}

void CompleteInstall(InstallState& state) {
  ConsoleTrace("Completing printer setup...\n\n");

  std::string viewer = kViewerPrefix + state.root + "tavrin\\readme.html";
  if (state.rpc_unavailable == 1) {
    viewer = PrepareManualConfiguration(state);
  } else {
    RegisterUninstallEntry();
  }

  const std::string ini = state.IniPath();
  if (!QuietRequested(ini)) StartRundll32(viewer);
  WritePrivateProfileStringA(kIniSection, kQuiet, "0", ini.c_str());

  CheckEditorVersion(kEditorThreshold);
}
