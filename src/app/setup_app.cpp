// The application object and the command dispatch.
#include "app/setup_app.h"

#include "app/argument_text.h"
#include "common/process_start.h"
#include "install/install.h"
#include "uninstall/uninstall.h"

CSetupApp theApp;

namespace {

constexpr char kUninstallKeyword[] = "uninstall";
constexpr char kConfirmUninstall[] = "Are your sure you want to uninstall tavrin?";

}  // namespace

BOOL CSetupApp::InitInstance() {
  const std::string arguments = ArgumentText(GetCommandLineA());
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

  StartDetachedProcess(arguments, STARTF_USESHOWWINDOW, SW_HIDE);
  return FALSE;
}
