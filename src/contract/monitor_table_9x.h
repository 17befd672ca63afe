/* The function table the Windows 9x spooler hands to a monitor's
 * InitializeMonitorEx, laid out as the MONITOR structure of the DDK of that
 * time: the fourteen members from EnumPorts to SetPortTimeOuts, with ANSI
 * texts and without the transceive members Windows 2000 added. The NT
 * headers no longer carry it, so the monitor (which fills it) and the
 * simulated spooler (which calls it) take it from here. Include the Win32
 * declarations first. */
#ifndef TAVRIN_MONITOR_TABLE_9X_H
#define TAVRIN_MONITOR_TABLE_9X_H

typedef struct Monitor9xTable {
  BOOL(WINAPI* pfnEnumPorts)(LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
  BOOL(WINAPI* pfnOpenPort)(LPSTR, PHANDLE);
  BOOL(WINAPI* pfnOpenPortEx)(LPSTR, LPSTR, PHANDLE, struct Monitor9xTable*);
  BOOL(WINAPI* pfnStartDocPort)(HANDLE, LPSTR, DWORD, DWORD, LPBYTE);
  BOOL(WINAPI* pfnWritePort)(HANDLE, LPBYTE, DWORD, LPDWORD);
  BOOL(WINAPI* pfnReadPort)(HANDLE, LPBYTE, DWORD, LPDWORD);
  BOOL(WINAPI* pfnEndDocPort)(HANDLE);
  BOOL(WINAPI* pfnClosePort)(HANDLE);
  BOOL(WINAPI* pfnAddPort)(LPSTR, HWND, LPSTR);
  BOOL(WINAPI* pfnAddPortEx)(LPSTR, DWORD, LPBYTE, LPSTR);
  BOOL(WINAPI* pfnConfigurePort)(LPSTR, HWND, LPSTR);
  BOOL(WINAPI* pfnDeletePort)(LPSTR, HWND, LPSTR);
  BOOL(WINAPI* pfnGetPrinterDataFromPort)(HANDLE, DWORD, LPSTR, LPSTR, DWORD, LPSTR, DWORD,
                                          LPDWORD);
  BOOL(WINAPI* pfnSetPortTimeOuts)(HANDLE, LPCOMMTIMEOUTS, DWORD);
} Monitor9xTable;

#endif
