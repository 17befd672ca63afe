// The framework's message box.
#include "framework/afxwin.h"

int AfxMessageBox(LPCSTR text, UINT type, UINT /*help_id*/) {
  CWinApp* app = AfxGetApp();
  LPCSTR caption = app && app->m_pszAppName ? app->m_pszAppName : nullptr;
  return MessageBoxA(nullptr, text, caption, type);
}
