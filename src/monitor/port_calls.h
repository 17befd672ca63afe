// The port functions of the spooler's tables (MONITOR2, MONITOR), on the
// handles OpenPort gave out. The wide ones serve the NT-style tables; the
// 9x table shares all but StartDocPort.
#pragma once

#include "common/win32.h"

namespace port_calls {

// StartDocPort with UTF-16 names (DOC_INFO_1W/2W).
BOOL WINAPI StartDocPortW(HANDLE port, LPWSTR printer, DWORD job_id, DWORD level, LPBYTE doc_info);
// StartDocPort with ANSI names (DOC_INFO_1A/2A), for the 9x spooler.
BOOL WINAPI StartDocPortA(HANDLE port, LPSTR printer, DWORD job_id, DWORD level, LPBYTE doc_info);
BOOL WINAPI WritePort(HANDLE port, LPBYTE data, DWORD size, LPDWORD written);
BOOL WINAPI ReadPort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read);
BOOL WINAPI EndDocPort(HANDLE port);
BOOL WINAPI ClosePort(HANDLE port);

}  // namespace port_calls
