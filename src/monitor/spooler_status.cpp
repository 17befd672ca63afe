// Job and port status for the spooler.
#include "monitor/spooler_status.h"

#include "common/system_function.h"
#include "common/win32.h"

#include <vector>

#include "monitor/job_verdict.h"
#include "monitor/trace.h"

namespace {

typedef BOOL(WINAPI* GetJobWFn)(HANDLE, DWORD, DWORD, LPBYTE, DWORD, LPDWORD);

// The level-1 record (a Record) of job `job_id` through `get_job` (GetJobA
// or GetJobW) in *record, DWORD-aligned as its fields are. Returns false
// (traced) when it cannot be read.
template <typename Record, typename GetJobFn>
bool ReadJobRecord(GetJobFn get_job, HANDLE printer, DWORD job_id, std::vector<DWORD>* record) {
  DWORD needed = 0;
  get_job(printer, job_id, 1, nullptr, 0, &needed);
  if (needed >= sizeof(Record)) {
    record->resize((needed + sizeof(DWORD) - 1) / sizeof(DWORD));
    if (get_job(printer, job_id, 1, reinterpret_cast<LPBYTE>(record->data()), needed, &needed))
      return true;
  }
  Trace("GetJob %lu failed: %lu", static_cast<unsigned long>(job_id),
        static_cast<unsigned long>(GetLastError()));
  return false;
}

typedef BOOL(WINAPI* SetPortAFn)(LPSTR, LPSTR, DWORD, LPBYTE);

}  // namespace

void ReportJobSent(HANDLE printer, DWORD job_id) {
  if (!printer) return;
  if (!SetJobA(printer, job_id, 0, nullptr, JOB_CONTROL_SENT_TO_PRINTER))
    Trace("SetJob %lu failed: %lu", static_cast<unsigned long>(job_id),
          static_cast<unsigned long>(GetLastError()));
}

void ReportJobFailed(HANDLE printer, DWORD job_id, const std::string& text) {
  if (!printer) return;
  std::vector<DWORD> record;
  if (!ReadJobRecord<JOB_INFO_1A>(GetJobA, printer, job_id, &record)) return;
  std::vector<char> status(text.begin(), text.end());
  status.push_back('\0');
  JOB_INFO_1A* info = reinterpret_cast<JOB_INFO_1A*>(record.data());
  info->pStatus = status.data();
  info->Status |= JOB_STATUS_ERROR;
  info->Position = JOB_POSITION_UNSPECIFIED;
  // Parameters only: Windows 9x ignores them in a call that also carries
  // a command.
  if (!SetJobA(printer, job_id, 1, reinterpret_cast<LPBYTE>(record.data()), 0))
    Trace("SetJob %lu (status) failed: %lu", static_cast<unsigned long>(job_id),
          static_cast<unsigned long>(GetLastError()));
}

bool JobCancelled(HANDLE printer, DWORD job_id) {
  if (!printer) return false;
  std::vector<DWORD> record;
  if (!ReadJobRecord<JOB_INFO_1A>(GetJobA, printer, job_id, &record)) return false;
  return job_verdict::IsCancelledStatus(reinterpret_cast<JOB_INFO_1A*>(record.data())->Status);
}

std::wstring JobUser(HANDLE printer, DWORD job_id) {
  // Looked up at run time: the 9x spoolers lack the wide call.
  const GetJobWFn get_job = SystemFunction<GetJobWFn>("winspool.drv", "GetJobW");
  std::vector<DWORD> record;
  if (!printer || !get_job || !ReadJobRecord<JOB_INFO_1W>(get_job, printer, job_id, &record))
    return std::wstring();
  const auto* info = reinterpret_cast<const JOB_INFO_1W*>(record.data());
  return info->pUserName ? std::wstring(info->pUserName) : std::wstring();
}

void ReportPortStatus(const std::string& port, const std::string& text) {
  // Looked up at run time: the 9x spoolers lack it.
  SetPortAFn set_port = SystemFunction<SetPortAFn>("winspool.drv", "SetPortA");
  if (!set_port) return;
  std::vector<char> name(port.begin(), port.end());
  name.push_back('\0');
  std::vector<char> status(text.begin(), text.end());
  status.push_back('\0');
  PORT_INFO_3A info;
  info.dwStatus = 0;
  info.pszStatus = text.empty() ? nullptr : status.data();
  info.dwSeverity = PORT_STATUS_TYPE_WARNING;
  if (!set_port(nullptr, name.data(), 3, reinterpret_cast<LPBYTE>(&info)))
    Trace("SetPort %s failed: %lu", port.c_str(), static_cast<unsigned long>(GetLastError()));
}
