// The port objects behind the handles OpenPort gives the spooler, and the
// port functions on them. Each open port runs at most one job at a time.
#pragma once

#include "common/win32.h"

#include <memory>
#include <string>

#include "monitor/monitor_instance.h"
#include "monitor/print_job.h"

class PortHandle {
 public:
  ~PortHandle();
  PortHandle(const PortHandle&) = delete;
  PortHandle& operator=(const PortHandle&) = delete;

  // Opens the port `name` of `monitor`. Returns the new port's handle, or
  // null with the last error set: ERROR_INVALID_PARAMETER without a name,
  // ERROR_UNKNOWN_PORT when the monitor has no such port.
  static HANDLE Open(MonitorInstance& monitor, const wchar_t* name);

  // The port behind a handle; null (last error ERROR_INVALID_HANDLE) when
  // the handle is not an open port of ours.
  static PortHandle* FromHandle(HANDLE handle);

  // StartDocPort: begins a job for `printer` with the port's configuration
  // as it is now. `document` may be null. Fails with ERROR_BUSY while a
  // job runs.
  BOOL StartDoc(const wchar_t* printer, DWORD job_id, const wchar_t* document);
  // WritePort: hands the data to the running job. Fails with
  // ERROR_INVALID_PARAMETER without one.
  BOOL Write(const BYTE* data, DWORD size, DWORD* written);
  // ReadPort: the port sends nothing back; fails with ERROR_NOT_SUPPORTED.
  BOOL Read(BYTE* buffer, DWORD size, DWORD* read);
  // EndDocPort: finishes the running job. Without one there is nothing to
  // end, which is not an error.
  BOOL EndDoc();
  // ClosePort: finishes a job left running and frees the port.
  static BOOL Close(HANDLE handle);

 private:
  PortHandle(MonitorInstance& monitor, const std::wstring& name);

  DWORD signature_;
  MonitorInstance& monitor_;  // where the port's configuration is read
  std::wstring name_;
  std::unique_ptr<PrintJob> job_;
};
