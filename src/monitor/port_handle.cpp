// Opening, printing through and closing a port.
#include "monitor/port_handle.h"

#include <new>

#include "monitor/barrier.h"
#include "monitor/monitor_text.h"
#include "monitor/trace.h"

namespace {

constexpr DWORD kPortSignature = 0x50505654;  // "TVPP"

}  // namespace

PortHandle::PortHandle(MonitorInstance& monitor, const std::wstring& name)
    : signature_(kPortSignature), monitor_(monitor), name_(name) {}

PortHandle::~PortHandle() { signature_ = 0; }

HANDLE PortHandle::Open(MonitorInstance& monitor, const wchar_t* name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::wstring canonical;
  const LONG result = monitor.FindPort(name, &canonical);
  if (result != ERROR_SUCCESS) {
    Trace("OpenPort %s refused: %ld", Narrow(name).c_str(), static_cast<long>(result));
    SetLastError(static_cast<DWORD>(result));
    return nullptr;
  }
  PortHandle* port = new (std::nothrow) PortHandle(monitor, canonical);
  if (!port) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  Trace("OpenPort %s", Narrow(canonical).c_str());
  return port;
}

PortHandle* PortHandle::FromHandle(HANDLE handle) {
  auto* port = static_cast<PortHandle*>(handle);
  if (!port || port->signature_ != kPortSignature) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return port;
}

BOOL PortHandle::StartDoc(const wchar_t* printer, DWORD job_id, const wchar_t* document) {
  if (job_) return Fail(ERROR_BUSY);
  job_ = PrintJob::Begin(monitor_.registry(), name_, printer ? printer : L"", job_id,
                         document ? document : L"");
  return job_ ? TRUE : FALSE;
}

BOOL PortHandle::Write(const BYTE* data, DWORD size, DWORD* written) {
  *written = 0;
  if (!job_) return Fail(ERROR_INVALID_PARAMETER);
  if (!data && size) return Fail(ERROR_INVALID_PARAMETER);
  return job_->Accept(data, size, written);
}

BOOL PortHandle::Read(BYTE* buffer, DWORD size, DWORD* read) {
  (void)buffer;
  (void)size;
  *read = 0;
  return Fail(ERROR_NOT_SUPPORTED);
}

BOOL PortHandle::EndDoc() {
  if (!job_) return TRUE;
  // The job keeps its last error past its end (~PrintJob).
  const BOOL finished = job_->Finish();
  job_.reset();
  return finished;
}

BOOL PortHandle::Close(HANDLE handle) {
  PortHandle* port = FromHandle(handle);
  if (!port) return FALSE;
  port->EndDoc();
  Trace("ClosePort %s", Narrow(port->name_).c_str());
  delete port;
  return TRUE;
}
