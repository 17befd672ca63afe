// Printing on the simulated spooler: the jobs an application spools with
// StartDocPrinterA, WritePrinter and EndDocPrinter, the job records a port
// monitor reads and sets (GetJobA, SetJobA) and the port status it reports
// (SetPortA), and the port threads that send the jobs through the monitors.
//
// One thread of the machine runs for a port while jobs wait for it: it takes
// the port's jobs in the order they were queued and sends each as Windows'
// spooler does: OpenPort (once; the port stays open while a printer uses
// it), StartDocPort with the printer's name, the job's id and a DOC_INFO_1
// naming the document, WritePort in pieces of 16 KiB (again with the rest
// while the monitor takes fewer bytes), EndDocPort. The job leaves the
// queue when the monitor reports it sent (SetJobA with
// JOB_CONTROL_SENT_TO_PRINTER or JOB_CONTROL_LAST_PAGE_EJECTED); otherwise
// it is kept, as Windows keeps a job no monitor finished. A job whose port
// cannot be opened or refuses StartDocPort, or whose WritePort fails, is kept
// with JOB_STATUS_ERROR (Windows would try it again later; here it waits for
// JOB_CONTROL_RESTART) and the port goes on with the next job.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/code_page.h"
#include "sim/machine.h"
#include "sim/scheduler.h"
#include "sim/spooler_impl.h"
#include "sim/win32_api.h"

namespace sim {

namespace {

using QueuedJob = Spooler::Impl::QueuedJob;
using JobState = QueuedJob::State;

constexpr size_t kPortChunk = 16 * 1024;  // bytes a WritePort call is offered
constexpr DWORD kRetryMs = 1000;           // a port that took nothing is asked again then
const char kMachineName[] = "\\\\WORKSTATION";
// What SetJobA level 1 may set of a job's status; the rest is the spooler's.
constexpr DWORD kSettableStatus = JOB_STATUS_ERROR | JOB_STATUS_OFFLINE | JOB_STATUS_PAPEROUT |
                                  JOB_STATUS_PRINTED | JOB_STATUS_BLOCKED_DEVQ |
                                  JOB_STATUS_USER_INTERVENTION;

// The port a printer's jobs go to: the first of its ports.
std::string PortOf(const std::string& printer) {
  const std::vector<std::string> ports = PrinterPorts(printer);
  return ports.empty() ? std::string() : ports[0];
}

// The job's status as GetJobA reports it.
DWORD StatusOf(const QueuedJob& job) {
  DWORD status = job.flags;
  if (job.state == JobState::kSpooling) status |= JOB_STATUS_SPOOLING;
  if (job.state == JobState::kPrinting) status |= JOB_STATUS_PRINTING;
  if (job.deleting) status |= JOB_STATUS_DELETING;
  return status;
}

// The job's place in its printer's queue, from 1.
DWORD PositionOf(const Spooler::Impl& s, const QueuedJob& job) {
  DWORD position = 0;
  for (const QueuedJob& other : s.jobs) {
    if (EqualNoCase(other.printer, job.printer)) ++position;
    if (other.id == job.id) break;
  }
  return position;
}

// Closes the port in every monitor that has it open, once no printer uses it.
void ReleasePort(Spooler::Impl& s, const std::string& port) {
  if (PortInUse(port)) return;
  const std::vector<std::shared_ptr<MonitorHost>> hosts = s.hosts;
  for (const std::shared_ptr<MonitorHost>& host : hosts) MonitorClosePort(*host, port);
}

// Removes a job with its spool files; a printer marked for deletion goes
// with its last job.
void RemoveJob(Spooler::Impl& s, DWORD id) {
  auto it = std::find_if(s.jobs.begin(), s.jobs.end(),
                         [&](const QueuedJob& job) { return job.id == id; });
  if (it == s.jobs.end()) return;
  for (const std::string& file : it->files) M().files.Remove(file);
  const std::string printer = it->printer;
  s.jobs.erase(it);
  if (FindSubKey(kPrinters, printer) && IsPendingDeletion(printer) && !HasJobs(s, printer))
    DeletePrinterNow(s, printer);
}

void RunPort(const std::string& port, unsigned generation);

// Starts the port's thread unless it runs already (or the spooler is stopped).
void KickPort(Spooler::Impl& s, const std::string& port) {
  if (port.empty() || !M().spooler.Running() || !s.sending_ports.insert(Upper(port)).second)
    return;
  ++s.port_threads;
  const unsigned generation = s.generation;
  StartMachineThread([port, generation] { RunPort(port, generation); });
}

// The first job that waits for the port, of a printer that is not paused.
QueuedJob* NextJob(Spooler::Impl& s, const std::string& port) {
  for (QueuedJob& job : s.jobs) {
    if (job.state != JobState::kWaiting || (job.flags & JOB_STATUS_PAUSED)) continue;
    if (!EqualNoCase(PortOf(job.printer), port)) continue;
    if (ReadDword(PrinterKey(job.printer), "Status") & PRINTER_STATUS_PAUSED) continue;
    return &job;
  }
  return nullptr;
}

// Offers the job's bytes to WritePort piece by piece, the rest of a piece
// again while the monitor takes fewer bytes, until all are taken, the job is
// deleting or the spooler has stopped. Returns 0 or WritePort's error.
DWORD WriteJob(Spooler::Impl& s, MonitorHost& host, HANDLE port, DWORD id, unsigned generation) {
  size_t offset = 0, piece_end = 0;
  for (;;) {
    const QueuedJob* job = JobById(s, id);
    if (s.generation != generation || !job || job->deleting || offset >= job->data.size())
      return 0;
    if (offset == piece_end) piece_end = std::min(offset + kPortChunk, job->data.size());
    const std::vector<BYTE> rest(job->data.begin() + static_cast<long>(offset),
                                 job->data.begin() + static_cast<long>(piece_end));
    const DWORD size = static_cast<DWORD>(rest.size());
    DWORD written = 0;
    const DWORD error = MonitorWrite(host, port, rest.data(), size, &written);
    if (error) return error;
    if (written == 0) WaitUntil([] { return false; }, DeadlineAfter(kRetryMs));
    offset += std::min(written, size);
  }
}

// The port is done with the job: it goes when the monitor reported it sent
// or it was deleted meanwhile; otherwise it is kept, marked failed when
// `error` is set.
void EndSending(Spooler::Impl& s, DWORD id, DWORD error) {
  QueuedJob* job = JobById(s, id);
  if (!job) return;
  if (job->deleting || job->sent) {
    RemoveJob(s, id);
    return;
  }
  job->state = JobState::kKept;
  if (error) job->flags |= JOB_STATUS_ERROR;
}

// Sends one job through the port's monitor. Returns at once, touching
// nothing, when the spooler stopped during a call into the monitor.
void SendJob(Spooler::Impl& s, const std::string& port, DWORD id, unsigned generation) {
  QueuedJob* job = JobById(s, id);
  job->state = JobState::kPrinting;
  const std::string printer = job->printer, document = job->document;
  const std::string line = port + ", job " + std::to_string(id);
  auto stale = [&] { return s.generation != generation; };

  std::string name;
  std::shared_ptr<MonitorHost> host = PortHost(s, port, &name);
  HANDLE handle = nullptr;
  DWORD error = host ? MonitorOpenPort(*host, name, &handle) : ERROR_UNKNOWN_PORT;
  if (stale()) return;
  if (!error) error = MonitorStartDoc(*host, handle, printer, id, document);
  if (stale()) return;
  Journal("StartDocPort " + line, error);
  if (error) {
    EndSending(s, id, error);
    return;
  }
  const DWORD write_error = WriteJob(s, *host, handle, id, generation);
  if (stale()) return;
  const DWORD end_error = MonitorEndDoc(*host, handle);
  if (stale()) return;
  Journal("EndDocPort " + line, end_error);
  EndSending(s, id, write_error);
}

// The body of a port's thread: sends the port's waiting jobs one after the
// other and ends when none is left, or when the spooler stops.
void RunPort(const std::string& port, unsigned generation) {
  ApiLock lock;
  Spooler::Impl& s = State();
  while (s.generation == generation) {
    QueuedJob* job = NextJob(s, port);
    if (!job) {
      s.sending_ports.erase(Upper(port));
      break;
    }
    SendJob(s, port, job->id, generation);
  }
  --s.port_threads;
}

// The job `id` of the printer behind `handle`: 0 with *job set, or the error.
DWORD HandleJob(Spooler::Impl& s, HANDLE handle, DWORD id, QueuedJob** job) {
  Spooler::Impl::PrinterHandle* h = FindPrinterHandle(s, handle);
  if (!h || h->printer.empty()) return ERROR_INVALID_HANDLE;
  *job = JobById(s, id);
  if (!*job || !EqualNoCase((*job)->printer, h->printer)) return ERROR_INVALID_PARAMETER;
  return 0;
}

// The document begun on `handle`: 0 with *job set, or the error.
DWORD StartedJob(Spooler::Impl& s, HANDLE handle, QueuedJob** job) {
  Spooler::Impl::PrinterHandle* h = FindPrinterHandle(s, handle);
  if (!h || h->printer.empty()) return ERROR_INVALID_HANDLE;
  *job = h->job ? JobById(s, h->job) : nullptr;
  return *job ? 0 : ERROR_SPL_NO_STARTDOC;
}

// A JOB_CONTROL_* command on a job. Returns 0 or the error.
DWORD ControlJob(Spooler::Impl& s, QueuedJob& job, DWORD command) {
  const bool busy = job.state == JobState::kPrinting || job.state == JobState::kSpooling;
  switch (command) {
    case JOB_CONTROL_CANCEL:
    case JOB_CONTROL_DELETE:
      if (busy)
        job.deleting = true;  // goes when its sending (spooling) ends
      else
        RemoveJob(s, job.id);
      return 0;
    case JOB_CONTROL_SENT_TO_PRINTER:
    case JOB_CONTROL_LAST_PAGE_EJECTED:
      if (busy)
        job.sent = true;
      else
        RemoveJob(s, job.id);
      return 0;
    case JOB_CONTROL_PAUSE:
      job.flags |= JOB_STATUS_PAUSED;
      return 0;
    case JOB_CONTROL_RESUME:
      job.flags &= ~static_cast<DWORD>(JOB_STATUS_PAUSED);
      SendWaitingJobs(s);
      return 0;
    case JOB_CONTROL_RESTART:
      if (job.state == JobState::kKept) {
        job.state = JobState::kWaiting;
        job.flags &= ~static_cast<DWORD>(JOB_STATUS_ERROR);
        job.status_text.clear();
        SendWaitingJobs(s);
      }
      return 0;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

// The spool file's name for a job: NNNNN.SPL with NNNNN.SHD on NT,
// ~SPLnnnn.TMP on Windows 9x.
std::vector<std::string> SpoolFiles(DWORD id) {
  const std::string& dir = M().platform().spool_dir;
  char name[16];
  if (IsNT()) {
    std::snprintf(name, sizeof(name), "%05lu", static_cast<unsigned long>(id));
    return {dir + "\\" + name + ".SPL", dir + "\\" + name + ".SHD"};
  }
  std::snprintf(name, sizeof(name), "~SPL%04lX", static_cast<unsigned long>(id));
  return {dir + "\\" + name + ".TMP"};
}

}  // namespace

// ---- Shared with the spooler's other parts ---------------------------------------------

bool HasJobs(const Spooler::Impl& s, const std::string& printer) {
  for (const QueuedJob& job : s.jobs) {
    if (EqualNoCase(job.printer, printer)) return true;
  }
  return false;
}

QueuedJob* JobById(Spooler::Impl& s, DWORD id) {
  for (QueuedJob& job : s.jobs)
    if (job.id == id) return &job;
  return nullptr;
}

DWORD AddJob(Spooler::Impl& s, const std::string& printer, const std::string& document,
             JobState state) {
  QueuedJob job;
  job.id = s.next_job++;
  job.printer = printer;
  job.document = document;
  job.owner = CurrentUser().name;
  job.datatype = Or(ReadString(PrinterKey(printer), "Datatype").c_str(), "RAW");
  job.state = state;
  job.submitted = M().LocalTime();
  job.files = SpoolFiles(job.id);
  M().files.Put(job.files[0], state == JobState::kHeld
                                  ? "%!PS-Adobe-3.0\n%%Title: " + document + "\n"
                                  : std::string());
  if (job.files.size() > 1) M().files.Put(job.files[1], "shadow of job " + std::to_string(job.id));
  s.jobs.push_back(job);
  return job.id;
}

void PurgeJobs(Spooler::Impl& s, const std::string& printer) {
  std::vector<DWORD> ids;
  for (QueuedJob& job : s.jobs) {
    if (!EqualNoCase(job.printer, printer)) continue;
    if (job.state == JobState::kPrinting || job.state == JobState::kSpooling)
      job.deleting = true;
    else
      ids.push_back(job.id);
  }
  for (DWORD id : ids) RemoveJob(s, id);
}

void DeletePrinterNow(Spooler::Impl& s, const std::string& printer) {
  const std::vector<std::string> ports = PrinterPorts(printer);
  Reg().DeleteTree(HKEY_LOCAL_MACHINE, PrinterKey(printer));
  for (const std::string& port : ports) ReleasePort(s, port);
}

void EndDocument(Spooler::Impl& s, Spooler::Impl::PrinterHandle& handle) {
  const DWORD id = handle.job;
  handle.job = 0;
  QueuedJob* job = JobById(s, id);
  if (!job) return;
  Journal("EndDocPrinter " + job->printer + ", job " + std::to_string(id), 0);
  if (job->deleting || job->sent) {
    RemoveJob(s, id);
    return;
  }
  job->state = JobState::kWaiting;
  M().files.Put(job->files[0], job->data);
  KickPort(s, PortOf(job->printer));
}

void SendWaitingJobs(Spooler::Impl& s) {
  for (const QueuedJob& job : s.jobs)
    if (job.state == JobState::kWaiting) KickPort(s, PortOf(job.printer));
}

void StopPrinting(Spooler::Impl& s) {
  ++s.generation;
  s.sending_ports.clear();
  s.port_status.clear();
  for (size_t i = s.jobs.size(); i-- > 0;) {
    QueuedJob& job = s.jobs[i];
    const bool lost = job.state == JobState::kSpooling ||
                      (job.state == JobState::kPrinting && (job.deleting || job.sent));
    if (job.state == JobState::kPrinting) job.state = JobState::kWaiting;
    if (!lost) continue;
    // A printer this leaves without jobs goes at the next start.
    for (const std::string& file : job.files) M().files.Remove(file);
    s.jobs.erase(s.jobs.begin() + static_cast<long>(i));
  }
}

// ---- The control interface ---------------------------------------------------------

DWORD Spooler::QueueJob(const std::string& printer, const std::string& document) {
  ApiLock lock;
  std::optional<std::string> key = FindSubKey(kPrinters, printer);
  if (!key) {
    std::fprintf(stderr, "no simulated printer \"%s\"\n", printer.c_str());
    std::abort();
  }
  return AddJob(*impl_, *key, document, JobState::kHeld);
}

std::vector<DWORD> Spooler::Jobs(const std::string& printer) const {
  ApiLock lock;
  std::vector<DWORD> out;
  for (const QueuedJob& job : impl_->jobs) {
    if (EqualNoCase(job.printer, printer)) out.push_back(job.id);
  }
  return out;
}

std::optional<JobRecord> Spooler::Job(DWORD id) const {
  ApiLock lock;
  const QueuedJob* job = JobById(*impl_, id);
  if (!job) return std::nullopt;
  return JobRecord{job->id,        job->printer,     job->document, job->datatype,
                   StatusOf(*job), job->status_text, job->data};
}

std::string Spooler::PortStatus(const std::string& port) const {
  ApiLock lock;
  auto it = impl_->port_status.find(Upper(port));
  return it == impl_->port_status.end() ? std::string() : it->second;
}

void Spooler::WaitUntilIdle() {
  ApiLock lock;
  const Impl& s = *impl_;
  WaitUntil([&] { return s.port_threads == 0; }, kForever);
}

}  // namespace sim

using sim::M;
using QueuedJob = sim::Spooler::Impl::QueuedJob;

// ---- winspool: printing -------------------------------------------------------------

// Begins a document on a printer handle (level 1, DOC_INFO_1A): a new job,
// spooling, whose id is returned; 0 with the last error on failure.
DWORD WINAPI StartDocPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pDocInfo) {
  sim::ApiLock lock;
  sim::Spooler::Impl& s = sim::State();
  sim::Spooler::Impl::PrinterHandle* h = sim::FindPrinterHandle(s, hPrinter);
  const auto* info = reinterpret_cast<const DOC_INFO_1A*>(pDocInfo);
  const std::string document = info && info->pDocName ? info->pDocName : "";
  std::string line = "StartDocPrinterA " + (h ? h->printer : std::string("<invalid handle>")) +
                     ", " + document;
  DWORD error = sim::Enter("StartDocPrinterA", nullptr);
  std::optional<std::string> key;
  if (error) {
  } else if (!h || h->printer.empty()) {
    error = ERROR_INVALID_HANDLE;
  } else if (Level != 1) {
    error = ERROR_INVALID_LEVEL;
  } else if (!info) {
    error = ERROR_INVALID_PARAMETER;
  } else if (h->job) {
    error = ERROR_INVALID_PRINTER_STATE;  // a document is begun on the handle already
  } else if (h->deleted || !(key = sim::FindSubKey(sim::kPrinters, h->printer)) ||
             sim::IsPendingDeletion(*key)) {
    error = ERROR_PRINTER_DELETED;
  } else if (info->pDatatype && !sim::KnownDatatype(info->pDatatype)) {
    error = ERROR_INVALID_DATATYPE;
  }
  if (error) {
    sim::Journal(line, error);
    SetLastError(error);
    return 0;
  }
  const DWORD id = sim::AddJob(s, *key, document, QueuedJob::State::kSpooling);
  if (!sim::Empty(info->pDatatype)) sim::JobById(s, id)->datatype = info->pDatatype;
  h->job = id;
  sim::Journal(line + ": job " + std::to_string(id), 0);
  return id;
}

// Appends bytes to the document begun on the handle; a job deleted while it
// is spooled takes no more (ERROR_PRINT_CANCELLED).
BOOL WINAPI WritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten) {
  sim::ApiLock lock;
  QueuedJob* job = nullptr;
  if (pcWritten) *pcWritten = 0;
  DWORD error = sim::Enter("WritePrinter", nullptr);
  if (!error) error = sim::StartedJob(sim::State(), hPrinter, &job);
  if (!error && (!pcWritten || (!pBuf && cbBuf))) error = ERROR_INVALID_PARAMETER;
  if (!error && job->deleting) error = ERROR_PRINT_CANCELLED;
  if (!error) {
    job->data.append(static_cast<const char*>(pBuf), cbBuf);
    *pcWritten = cbBuf;
  }
  return sim::Finish(error);
}

// Ends the document begun on the handle: the job waits for its port (a job
// deleted while it was spooled goes now).
BOOL WINAPI EndDocPrinter(HANDLE hPrinter) {
  sim::ApiLock lock;
  sim::Spooler::Impl& s = sim::State();
  QueuedJob* job = nullptr;
  DWORD error = sim::Enter("EndDocPrinter", nullptr);
  if (!error) error = sim::StartedJob(s, hPrinter, &job);
  if (!error) sim::EndDocument(s, *sim::FindPrinterHandle(s, hPrinter));
  return sim::Finish(error);
}

namespace sim {
namespace {

// The strings of a JOB_INFO_1A record: the job's own are ANSI, the
// owner's name UTF-8.
struct AnsiRecordText {
  static LPSTR FromAnsi(StringPool& pool, const std::string& text) { return pool.Add(text); }
  static LPSTR FromUtf8(StringPool& pool, const std::string& text) {
    return pool.Add(Utf8ToAnsi(text));
  }
};

// The strings of a JOB_INFO_1W record.
struct WideRecordText {
  static LPWSTR FromAnsi(StringPool& pool, const std::string& text) {
    return pool.AddWide(AnsiToWide(text));
  }
  static LPWSTR FromUtf8(StringPool& pool, const std::string& text) {
    return pool.AddWide(Utf8ToWide(text));
  }
};

// GetJobA and GetJobW: copies a job's level-1 record, its strings made by
// Text; 122 with *pcbNeeded set when the buffer is too small, 87 for a job
// the printer does not have.
template <typename Record, typename Text>
BOOL GetJobRecord(const char* function, HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob,
                  DWORD cbBuf, LPDWORD pcbNeeded) {
  ApiLock lock;
  Spooler::Impl& s = State();
  QueuedJob* job = nullptr;
  DWORD error = Enter(function, nullptr);
  if (!error) error = HandleJob(s, hPrinter, JobId, &job);
  if (!error && Level != 1) error = ERROR_INVALID_LEVEL;
  if (!error && !pcbNeeded && IsNT()) error = RPC_X_NULL_REF_POINTER;
  if (!error) {
    error = Pack<Record>(
        1,
        [&](size_t, Record& r, StringPool& pool) {
          r.JobId = job->id;
          r.pPrinterName = Text::FromAnsi(pool, job->printer);
          r.pMachineName = Text::FromAnsi(pool, kMachineName);
          r.pUserName = Text::FromUtf8(pool, job->owner);
          r.pDocument = Text::FromAnsi(pool, job->document);
          r.pDatatype = Text::FromAnsi(pool, job->datatype);
          r.pStatus = job->status_text.empty() ? nullptr : Text::FromAnsi(pool, job->status_text);
          r.Status = StatusOf(*job);
          r.Priority = 1;
          r.Position = PositionOf(s, *job);
          r.Submitted = job->submitted;
        },
        pJob, cbBuf, pcbNeeded, nullptr);
  }
  return Finish(error);
}

}  // namespace
}  // namespace sim

BOOL WINAPI GetJobA(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf,
                    LPDWORD pcbNeeded) {
  return sim::GetJobRecord<JOB_INFO_1A, sim::AnsiRecordText>("GetJobA", hPrinter, JobId, Level,
                                                              pJob, cbBuf, pcbNeeded);
}

BOOL WINAPI GetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf,
                    LPDWORD pcbNeeded) {
  return sim::GetJobRecord<JOB_INFO_1W, sim::WideRecordText>("GetJobW", hPrinter, JobId, Level,
                                                              pJob, cbBuf, pcbNeeded);
}

// Sets a job's status text and status flags (level 1) and/or runs a
// JOB_CONTROL_* command (level 0 or with level 1). Windows 9x ignores the
// record of a call that also carries a command.
BOOL WINAPI SetJobA(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD Command) {
  sim::ApiLock lock;
  sim::Spooler::Impl& s = sim::State();
  QueuedJob* job = nullptr;
  std::string line =
      "SetJobA " + std::to_string(JobId) + ", " + std::to_string(Level) + ", " +
      std::to_string(Command);
  DWORD error = sim::Enter("SetJobA", nullptr);
  if (!error) error = sim::HandleJob(s, hPrinter, JobId, &job);
  if (!error && Level > 1) error = ERROR_INVALID_LEVEL;
  if (!error && Level == 1 && !pJob) error = ERROR_INVALID_PARAMETER;
  if (!error && Level == 0 && Command == 0) error = ERROR_INVALID_PARAMETER;
  if (!error && Level == 1 && (sim::IsNT() || Command == 0)) {
    const auto* info = reinterpret_cast<const JOB_INFO_1A*>(pJob);
    job->status_text = info->pStatus ? info->pStatus : "";
    job->flags = (job->flags & ~sim::kSettableStatus) | (info->Status & sim::kSettableStatus);
  }
  if (!error && Command) error = sim::ControlJob(s, *job, Command);
  sim::Journal(line, error);
  return sim::Finish(error);
}

// Level 3 only: records the port's status text (a null text clears it). NT
// family only: the 9x spoolers have no SetPort.
BOOL WINAPI SetPortA(LPSTR pName, LPSTR pPortName, DWORD dwLevel, LPBYTE pPortInfo) {
  sim::ApiLock lock;
  sim::Spooler::Impl& s = sim::State();
  const auto* info = reinterpret_cast<const PORT_INFO_3A*>(pPortInfo);
  DWORD error = sim::Enter("SetPortA", pName);
  if (error) {
  } else if (!sim::IsNT()) {
    error = ERROR_NOT_SUPPORTED;
  } else if (dwLevel != 3) {
    error = ERROR_INVALID_LEVEL;
  } else if (sim::Empty(pPortName) || !info) {
    error = ERROR_INVALID_PARAMETER;
  } else if (!sim::PortOffered(s, pPortName)) {
    error = ERROR_UNKNOWN_PORT;
  } else if (info->pszStatus && *info->pszStatus) {
    s.port_status[sim::Upper(pPortName)] = info->pszStatus;
  } else {
    s.port_status.erase(sim::Upper(pPortName));
  }
  sim::Journal("SetPortA " + sim::Text(pPortName) + ", " + std::to_string(dwLevel), error);
  return sim::Finish(error);
}
