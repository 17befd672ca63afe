// Our small stand-in for the application framework: the application object,
// its start-up, and the framework's message box. Only what this program uses.
#pragma once

#include <string>

#include "common/win32.h"

// The application object. Exactly one exists, constructed statically; the
// framework's entry calls InitInstance once and, when it returns FALSE, ends
// the application at once without a message loop.
class CWinApp {
 public:
  explicit CWinApp(LPCSTR app_name = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Start-up handler; returns TRUE to run the message loop, FALSE to end.
  virtual BOOL InitInstance();
  // Shut-down handler; returns the process exit code.
  virtual int ExitInstance();

  // Fills the application and executable names from the module file name
  // (the base name without extension) unless a name was given at
  // construction. Called by AfxWinMain before InitInstance.
  void SetNamesFromModule();

  HINSTANCE m_hInstance = nullptr;
  LPCSTR m_pszAppName = nullptr;  // caption of the application's message boxes
  LPCSTR m_pszExeName = nullptr;

 private:
  std::string given_name_;
  std::string app_name_;
  std::string exe_name_;
};

// The application object of this process, or null before it is constructed.
CWinApp* AfxGetApp();

// The framework's entry: names the application, runs InitInstance and, as no
// window exists when it declines, returns ExitInstance's code.
int AfxWinMain(HINSTANCE instance);

// Shows a message box captioned with the application name; returns the
// button pressed (IDOK, IDYES, IDNO, ...) or 0 when no box could be shown.
// While a handler is set (AfxSetMessageBoxHandler) no box is shown: the
// handler gets the text and type and its return value is the answer.
int AfxMessageBox(LPCSTR text, UINT type = MB_OK, UINT help_id = 0);

// Sets the handler that answers AfxMessageBox in place of a box, for a run
// that nobody watches; nullptr shows boxes again.
using AfxMessageBoxHandler = int (*)(LPCSTR text, UINT type);
void AfxSetMessageBoxHandler(AfxMessageBoxHandler handler);
