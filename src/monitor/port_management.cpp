// Port management requests and the transceive channel.
#include "monitor/port_management.h"

#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "monitor/barrier.h"
#include "monitor/monitor_names.h"
#include "monitor/monitor_text.h"
#include "monitor/trace.h"

namespace {

constexpr DWORD kXcvSignature = 0x58435654;  // "TVCX"

struct XcvHandle {
  DWORD signature = kXcvSignature;
  std::wstring object;
  ACCESS_MASK access;
};

// The transceive handle behind `handle`, or null when it is not one of ours.
XcvHandle* XcvFromHandle(HANDLE handle) {
  auto* xcv = static_cast<XcvHandle*>(handle);
  return xcv && xcv->signature == kXcvSignature ? xcv : nullptr;
}

}  // namespace

BOOL RefusePortManagement() {
  Trace("port management refused");
  return Fail(ERROR_NOT_SUPPORTED);
}

BOOL OpenXcv(MonitorInstance& monitor, const wchar_t* object, ACCESS_MASK access, HANDLE* xcv) {
  (void)monitor;
  if (!xcv) return Fail(ERROR_INVALID_PARAMETER);
  *xcv = nullptr;
  XcvHandle* handle = new (std::nothrow) XcvHandle;
  if (!handle) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  handle->object = object ? object : L"";
  handle->access = access;
  *xcv = handle;
  return TRUE;
}

DWORD XcvData(HANDLE xcv, const wchar_t* request, BYTE* output, DWORD output_size, DWORD* needed) {
  if (!XcvFromHandle(xcv)) return ERROR_INVALID_HANDLE;
  if (!request || std::wcscmp(request, L"MonitorUI") != 0) {
    Trace("XcvDataPort %s refused", Narrow(request).c_str());
    return ERROR_INVALID_FUNCTION;
  }
  const DWORD bytes = sizeof(kUiLibraryW.text);
  if (needed) *needed = bytes;
  if (!output || output_size < bytes) return ERROR_INSUFFICIENT_BUFFER;
  std::memcpy(output, kUiLibraryW.text, bytes);
  return ERROR_SUCCESS;
}

BOOL CloseXcv(HANDLE xcv) {
  XcvHandle* handle = XcvFromHandle(xcv);
  if (!handle) return Fail(ERROR_INVALID_HANDLE);
  handle->signature = 0;
  delete handle;
  return TRUE;
}
