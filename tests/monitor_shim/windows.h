// <windows.h> of the native test build of the port monitor's sources: the
// simulated machine's declarations, plus the code-page conversions the
// monitor's text helpers call (winnls.h). The test build implements these in
// code_page.cpp.
#pragma once

#include "sim/win32_api.h"

#define CP_ACP 0

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                               int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar);
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr,
                               int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                               LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar);
