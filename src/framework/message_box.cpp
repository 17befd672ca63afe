// The framework's message box.
#include "framework/afxwin.h"

namespace {
AfxMessageBoxHandler g_handler = nullptr;
}  // namespace

void AfxSetMessageBoxHandler(AfxMessageBoxHandler handler) { g_handler = handler; }

int AfxMessageBox(LPCSTR text, UINT type, UINT /*help_id*/) {
  if (g_handler) return g_handler(text, type);
  CWinApp* app = AfxGetApp();
  LPCSTR caption = app && app->m_pszAppName ? app->m_pszAppName : nullptr;
  return MessageBoxA(nullptr, text, caption, type);
}
