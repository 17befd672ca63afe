// The application object of the setup program.
#pragma once

#include "framework/afxwin.h"

// Does the whole job in InitInstance and then declines to run, so the
// process ends without a window or message loop.
class CSetupApp : public CWinApp {
 public:
  CSetupApp() = default;

  // Dispatches on the argument text: none runs the install, exactly
  // "uninstall" asks and runs the uninstall, anything else is started as a
  // hidden child process; "/package" and "/package-uninstall" are the
  // Windows Installer package's install and silent uninstall. Returns FALSE
  // in every case.
  BOOL InitInstance() override;
  // The process exit code: 0, or 1 when a package step failed.
  int ExitInstance() override;

 private:
  int exit_code_ = 0;
};

extern CSetupApp theApp;
