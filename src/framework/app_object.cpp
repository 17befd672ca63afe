// The application object and the framework's start-up sequence.
#include "framework/afxwin.h"

namespace {

CWinApp* g_app = nullptr;

// Returns the base name of a path without its extension ("setup" for
// "C:\tavrin\setup.exe").
std::string BaseNameWithoutExtension(const std::string& path) {
  size_t slash = path.find_last_of("\\/:");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot != 0) name.erase(dot);
  return name;
}

}  // namespace

CWinApp::CWinApp(LPCSTR app_name) {
  if (app_name) given_name_ = app_name;
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

void CWinApp::SetNamesFromModule() {
  char path[MAX_PATH + 1] = {0};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length > MAX_PATH) length = MAX_PATH;
  path[length] = '\0';
  exe_name_ = BaseNameWithoutExtension(path);
  app_name_ = given_name_.empty() ? exe_name_ : given_name_;
  m_pszExeName = exe_name_.c_str();
  m_pszAppName = app_name_.c_str();
}

CWinApp* AfxGetApp() { return g_app; }

int AfxWinMain(HINSTANCE instance) {
  CWinApp* app = AfxGetApp();
  if (!app) return -1;
  app->m_hInstance = instance;
  app->SetNamesFromModule();
  // This stand-in has no message loop: an application that wanted one would
  // find no window to serve, so both outcomes end the same way.
  app->InitInstance();
  return app->ExitInstance();
}
