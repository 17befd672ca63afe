// The application object and the command dispatch.
#include "app/setup_app.h"

#include "app/argument_text.h"
#include "common/platform.h"
#include "common/process_start.h"
#include "common/setup_log.h"
#include "framework/afxwin.h"
#include "contract/product_names.h"
#include "install/install.h"
#include "uninstall/uninstall.h"
#include "uninstall/uninstall_entry.h"

CSetupApp theApp;

namespace {

constexpr char kUninstallKeyword[] = "uninstall";
// What the Windows Installer package runs: the same install and a silent
// uninstall, asking nothing and telling the outcome in the exit code.
constexpr char kPackageInstall[] = "/package";
constexpr char kPackageUninstall[] = "/package-uninstall";
constexpr char kConfirmUninstall[] = "Are your sure you want to uninstall tavrin?";
constexpr char kWrongEdition[] =
    "This setup is for 32-bit Windows. Please run the 64-bit setup of tavrin.";

// A 32-bit build on 64-bit Windows would register a monitor the 64-bit
// spooler cannot load and a driver for the wrong environment. Says so in a
// box (unless `quiet`) and in the setup log and returns true when that is
// the case, before anything is changed.
bool RefuseWrongEdition(bool quiet = false) {
  if (!RunningUnderWow64()) return false;
  if (!quiet) AfxMessageBox(kWrongEdition, MB_OK);
  LogLine(kWrongEdition);
  return true;
}

// Whether the spooler lists the printer "TAVRIN" (level 1 works on every
// Windows).
bool ProductPrinterListed() {
  DWORD needed = 0, count = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 1, nullptr, 0, &needed, &count);
  if (needed == 0) return false;
  std::string buffer(needed, '\0');
  LPBYTE data = reinterpret_cast<LPBYTE>(&buffer[0]);
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 1, data, needed, &needed, &count))
    return false;
  const PRINTER_INFO_1A* printers = reinterpret_cast<const PRINTER_INFO_1A*>(data);
  for (DWORD i = 0; i < count; ++i)
    if (printers[i].pName && std::string(printers[i].pName) == kPrinterName) return true;
  return false;
}

// Answers a message box in a run of the package, which nobody watches (a
// box would hold a silent install for ever): the text goes to the setup log
// and the answer is OK, or No where the box asks.
int AnswerUnattended(LPCSTR text, UINT type) {
  LogLine(std::string("Message not shown (package run): ") + (text ? text : ""));
  return (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
}

// The package's install: the install as without arguments, then the
// setup's own Add/Remove Programs entry removed, since Windows Installer
// keeps the product's entry. Returns the exit code: 0 when the spooler lists
// the printer at the end, else 1 (the setup log says why).
int RunPackageInstall() {
  RunInstall();
  if (!ProductPrinterListed()) {
    LogLine("Package install failed: no printer TAVRIN after the setup");
    return 1;
  }
  RemoveUninstallEntry();
  return 0;
}

}  // namespace

BOOL CSetupApp::InitInstance() {
  const std::string arguments = ArgumentText(GetCommandLineA());
  exit_code_ = 0;
  if (arguments == kPackageInstall || arguments == kPackageUninstall) {
    AfxSetMessageBoxHandler(AnswerUnattended);
    if (RefuseWrongEdition(true)) {
      exit_code_ = 1;
    } else if (arguments == kPackageInstall) {
      exit_code_ = RunPackageInstall();
    } else {
      RunUninstall(1);
    }
    AfxSetMessageBoxHandler(nullptr);
    return FALSE;
  }

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

int CSetupApp::ExitInstance() { return exit_code_; }
