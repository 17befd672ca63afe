// The application object and the command dispatch.
#include "app/setup_app.h"

#include "app/argument_text.h"
#include "common/platform.h"
#include "common/process_start.h"
#include "common/setup_log.h"
#include "framework/afxwin.h"
#include "install/install.h"
#include "uninstall/uninstall.h"

CSetupApp theApp;

namespace {

constexpr char kUninstallKeyword[] = "uninstall";
constexpr char kConfirmUninstall[] = "Are your sure you want to uninstall tavrin?";
constexpr char kWrongEdition[] =
    "This setup is for 32-bit Windows. Please run the 64-bit setup of tavrin.";

// A 32-bit build on 64-bit Windows would register a monitor the 64-bit
// spooler cannot load and a driver for the wrong environment. Says so in a
// box and in the setup log and returns true when that is the case, before
// anything is changed.
bool RefuseWrongEdition() {
  if (!RunningUnderWow64()) return false;
  AfxMessageBox(kWrongEdition, MB_OK);
  LogLine(kWrongEdition);
  return true;
}

}  // namespace

BOOL CSetupApp::InitInstance() {
  const std::string arguments = ArgumentText(GetCommandLineA());
  if ((arguments.empty() || arguments == kUninstallKeyword) && RefuseWrongEdition())
    return FALSE;

  if (arguments.empty()) {
    RunInstall();
    return FALSE;
  }

  // The keyword must match byte for byte: other letter case or a trailing
  // blank make it a command like any other.
  if (arguments == kUninstallKeyword) {
    if (AfxMessageBox(kConfirmUninstall, MB_YESNO) == IDYES) RunUninstall(0);
    return FALSE;
  }

  StartDetachedProcess(std::string(), arguments, STARTF_USESHOWWINDOW, SW_HIDE);
  return FALSE;
}
