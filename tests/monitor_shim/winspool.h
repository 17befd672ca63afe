// <winspool.h> of the native test build of the port monitor's sources: the
// simulated machine has the ANSI records; the monitor answers the NT
// spooler with the UTF-16 ones too. Layouts as in the SDK (wchar_t is 4
// bytes natively, 2 on Windows; the records hold only pointers to texts).
#pragma once

#include <windows.h>

typedef struct _PORT_INFO_1W {
  LPWSTR pName;
} PORT_INFO_1W, *PPORT_INFO_1W, *LPPORT_INFO_1W;

typedef struct _PORT_INFO_2W {
  LPWSTR pPortName;
  LPWSTR pMonitorName;
  LPWSTR pDescription;
  DWORD fPortType;
  DWORD Reserved;
} PORT_INFO_2W, *PPORT_INFO_2W, *LPPORT_INFO_2W;
