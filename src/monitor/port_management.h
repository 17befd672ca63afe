// Port management. Ports are made and configured by the setup program, not
// through the spooler: AddPort, ConfigurePort and DeletePort fail with
// ERROR_NOT_SUPPORTED. The transceive channel (Xcv) opens and answers only
// "MonitorUI", naming the user-interface library.
#pragma once

#include "common/win32.h"

#include "monitor/monitor_instance.h"

// Fails with ERROR_NOT_SUPPORTED; stands for AddPort, ConfigurePort and
// DeletePort in either character set.
BOOL RefusePortManagement();

// XcvOpenPort: a transceive handle on the monitor or one of its ports.
// Returns FALSE with the last error set on failure.
BOOL OpenXcv(MonitorInstance& monitor, const wchar_t* object, ACCESS_MASK access, HANDLE* xcv);

// XcvDataPort: answers "MonitorUI" with the library's name (UTF-16 with its
// NUL); ERROR_INSUFFICIENT_BUFFER when it does not fit, with *needed set.
// Every other request gives ERROR_INVALID_FUNCTION.
DWORD XcvData(HANDLE xcv, const wchar_t* request, BYTE* output, DWORD output_size, DWORD* needed);

// XcvClosePort: frees the transceive handle.
BOOL CloseXcv(HANDLE xcv);
