// The print spooler's state and the helpers its three parts share:
// spooler.cpp (the records in the registry and the winspool functions setup
// calls), spooler_monitors.cpp (the monitor libraries it loads and calls)
// and spooler_jobs.cpp (printing: jobs, their ports and the port threads).
// Every function here is called with the machine's lock held.
// For the implementations only; tests use the machine's interface.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sim/machine.h"
#include "sim/win32_api.h"

#include "contract/monitor_table_9x.h"

namespace sim {

// A monitor whose library the spooler has loaded and initialised, with the
// function table its entry point gave.
struct MonitorHost {
  enum class Table { kMonitor2, kMonitorEx, kAnsi9x };

  std::string monitor;  // the name it was registered under
  std::string path;     // its library, as the file system spells it
  Table table = Table::kMonitor2;
  MONITOR2 monitor2{};       // kMonitor2: InitializePrintMonitor2's table
  HANDLE handle = nullptr;   // kMonitor2: the monitor's instance
  MONITOR monitor1{};        // kMonitorEx: InitializePrintMonitor's table
  Monitor9xTable ansi{};     // kAnsi9x: what InitializeMonitorEx filled in
  MONITORINIT init{};        // what InitializePrintMonitor2 was given
  // StartDocPort of the NT-family tables (wide); WritePort, EndDocPort and
  // ClosePort, which have one signature in every table.
  BOOL(WINAPI* start_doc_port)(HANDLE, LPWSTR, DWORD, DWORD, LPBYTE) = nullptr;
  BOOL(WINAPI* write_port)(HANDLE, LPBYTE, DWORD, LPDWORD) = nullptr;
  BOOL(WINAPI* end_doc_port)(HANDLE) = nullptr;
  BOOL(WINAPI* close_port)(HANDLE) = nullptr;
  std::map<std::string, HANDLE> open_ports;  // upper-case port name -> OpenPort's handle
  int calls = 0;          // calls into the monitor now running
  bool retired = false;   // unloaded while a call ran: the last call finishes the unload
  bool finished = false;  // ports closed, shut down
};

struct Spooler::Impl {
  struct PrinterHandle {
    std::string printer;  // empty for a handle on the print server itself
    ACCESS_MASK access = 0;
    bool deleted = false;
    DWORD job = 0;  // the job StartDocPrinterA began on the handle and not yet ended
  };

  // A job in the queue. Spooling: the application is still writing it;
  // waiting: queued for its port; printing: being sent to it; kept: sent
  // (or failed) without the monitor reporting it done, kept for the user;
  // held: queued by QueueJob, never sent.
  struct QueuedJob {
    enum class State { kSpooling, kWaiting, kPrinting, kKept, kHeld };
    DWORD id = 0;
    std::string printer;
    std::vector<std::string> files;  // spool file, and on NT its shadow file
    State state = State::kHeld;
    std::string document, datatype;
    std::string owner;        // the user who began it (UTF-8)
    std::string status_text;  // set through SetJobA
    DWORD flags = 0;          // JOB_STATUS_* set through SetJobA, PAUSED and ERROR
    bool deleting = false;    // cancelled while spooling or printing
    bool sent = false;        // the monitor reported it sent while printing
    std::string data;         // the bytes the application wrote
    SYSTEMTIME submitted{};
  };

  std::vector<std::string> local_ports;  // the ports "Local Port" offers
  std::vector<std::shared_ptr<MonitorHost>> hosts;  // loaded monitors, in load order
  bool unload_on_delete = false;
  std::map<uintptr_t, PrinterHandle> handles;
  uintptr_t next_handle = 0x7A000010;
  std::vector<QueuedJob> jobs;  // jobs of every printer, in the order queued
  DWORD next_job = 2;
  std::map<uintptr_t, std::string> registry_keys;  // MONITORREG handles -> key path
  uintptr_t next_registry_key = 0x6B000010;
  std::map<std::string, std::string> port_status;  // upper-case port -> SetPortA text
  std::set<std::string> sending_ports;  // upper-case ports that have a port thread
  int port_threads = 0;                 // port threads alive, of any generation
  unsigned generation = 0;  // counts spooler stops; a port thread of an older one quits
};

// A port as EnumPortsA lists it.
struct Port {
  std::string name, monitor, description;
  DWORD type = PORT_TYPE_WRITE;
};

extern const char kLocalPort[];
extern const std::string kMonitors;
extern const std::string kPrinters;

// ---- spooler.cpp: the spooler's state and its records ---------------------------

Spooler::Impl& State();
Registry& Reg();
bool IsNT();
std::string Text(LPCSTR s);  // "NULL" for a null text
bool Empty(LPCSTR s);
std::string Or(LPCSTR s, const std::string& fallback);
std::string BaseName(const std::string& path);
// The items of a comma-separated list, blanks around them removed.
std::vector<std::string> SplitCommas(const std::string& text);
// A REG_MULTI_SZ block: each item NUL-ended, and one NUL more.
std::vector<BYTE> MultiString(const std::vector<std::string>& items);
// A string or DWORD value of a key under HKLM; empty or 0 when missing.
std::string ReadString(const std::string& key, const char* name);
DWORD ReadDword(const std::string& key, const char* name);
// The stored spelling of subkey `name` of `parent`, if it exists.
std::optional<std::string> FindSubKey(const std::string& parent, const std::string& name);
std::string MonitorKey(const std::string& name);
std::string PrinterKey(const std::string& name);
// The printers, as the registry names them.
std::vector<std::string> Printers();
// The ports a printer prints to, in its "Port" value's order.
std::vector<std::string> PrinterPorts(const std::string& printer);
// Whether some printer prints to `port`.
bool PortInUse(const std::string& port);
// The registered monitors in registry order.
std::vector<std::string> RegisteredMonitors();
// TRUE for 0; otherwise sets the last error and returns FALSE.
BOOL Finish(DWORD error);
// Adds a journal line, with the error appended when the call failed.
void Journal(const std::string& line, DWORD error);
// An injected fault, a stopped spooler or a remote server name: 0 or the error.
DWORD Enter(const char* function, LPCSTR server);
Spooler::Impl::PrinterHandle* FindPrinterHandle(Spooler::Impl& s, HANDLE h);
bool IsPendingDeletion(const std::string& printer);
bool KnownDatatype(const std::string& datatype);
// The NT family refuses null output counters; the 9x family does without them.
DWORD CheckCounters(LPDWORD needed, LPDWORD returned);

// ---- spooler_monitors.cpp: the monitor libraries --------------------------------

// Loads a monitor's library and calls its entry point, as the spooler does
// at start and in AddMonitorA. Returns 0 or the error.
DWORD LoadMonitor(Spooler::Impl& s, const std::string& monitor, const std::string& library);
// Unloads a monitor (its ports closed, MONITOR2: shut down); when a call into
// it is running, the unload ends with that call.
void UnloadMonitor(Spooler::Impl& s, const std::string& monitor);
void UnloadAllMonitors(Spooler::Impl& s);
// The loaded monitor registered under `monitor`, or null.
std::shared_ptr<MonitorHost> HostOf(const Spooler::Impl& s, const std::string& monitor);
// The ports the monitor offers, asked at `level` (1 or 2). False when its
// EnumPorts fails.
bool MonitorPorts(MonitorHost& host, DWORD level, std::vector<Port>* ports);
// The ports every registered monitor offers, "Local Port"'s built-in ones
// included, in registry order. Monitors whose EnumPorts fails offer none.
std::vector<Port> AllPorts(Spooler::Impl& s, DWORD level);
bool PortOffered(Spooler::Impl& s, const std::string& port);
// The loaded monitor offering `port`, and the port's name as it spells it.
std::shared_ptr<MonitorHost> PortHost(Spooler::Impl& s, const std::string& port,
                                      std::string* name);
// Puts the library InstallMonitor needs at `path`: the image of the
// product's monitor when the machine knows it, a placeholder monitor offering
// no ports when not.
void PutDefaultMonitor(const std::string& path);

// The port functions of a loaded monitor, on a port it opened. Each returns
// 0 or the monitor's error, and keeps the caller's last error.
DWORD MonitorOpenPort(MonitorHost& host, const std::string& port, HANDLE* handle);
DWORD MonitorStartDoc(MonitorHost& host, HANDLE port, const std::string& printer, DWORD job,
                      const std::string& document);
DWORD MonitorWrite(MonitorHost& host, HANDLE port, const BYTE* data, DWORD size,
                   DWORD* written);
DWORD MonitorEndDoc(MonitorHost& host, HANDLE port);
// Closes the port if the monitor has it open.
void MonitorClosePort(MonitorHost& host, const std::string& port);

// ---- spooler_jobs.cpp: printing ---------------------------------------------------

bool HasJobs(const Spooler::Impl& s, const std::string& printer);
Spooler::Impl::QueuedJob* JobById(Spooler::Impl& s, DWORD id);
// A new job for `printer` in `state`, its spool files made. Returns its id.
DWORD AddJob(Spooler::Impl& s, const std::string& printer, const std::string& document,
             Spooler::Impl::QueuedJob::State state);
// Deletes the printer's jobs; the one being sent (and one being spooled) is
// only marked deleting and goes when its sending (spooling) ends.
void PurgeJobs(Spooler::Impl& s, const std::string& printer);
// Deletes the printer's key and closes its port when no printer uses it any more.
void DeletePrinterNow(Spooler::Impl& s, const std::string& printer);
// Ends the document begun on a printer handle, as EndDocPrinter does.
void EndDocument(Spooler::Impl& s, Spooler::Impl::PrinterHandle& handle);
// Starts sending every job that waits for its port (after a start or a resume).
void SendWaitingJobs(Spooler::Impl& s);
// The spooler process ends: port threads quit at their next step, jobs being
// sent wait again, jobs being spooled are lost, port statuses are forgotten.
void StopPrinting(Spooler::Impl& s);

// ---- Enumeration buffers ------------------------------------------------------------

// Strings of an enumeration, packed downward from the end of the caller's
// buffer as Windows packs them. A pool without a buffer only counts bytes.
class StringPool {
 public:
  StringPool() = default;
  StringPool(LPBYTE base, DWORD end) : base_(base), end_(end) {}

  LPSTR Add(const std::string& text) { return Place(text.c_str(), text.size() + 1); }
  // UTF-16 text, NUL included.
  LPWSTR AddWide(const std::wstring& text) {
    return reinterpret_cast<LPWSTR>(Place(reinterpret_cast<const char*>(text.c_str()),
                                          (text.size() + 1) * sizeof(wchar_t)));
  }
  // An optional field: an empty text gives a null pointer.
  LPSTR AddOptional(const std::string& text) { return text.empty() ? nullptr : Add(text); }
  // A double-NUL list; none for no items.
  LPSTR AddList(const std::vector<std::string>& items) {
    if (items.empty()) return nullptr;
    const std::vector<BYTE> block = MultiString(items);
    return Place(reinterpret_cast<const char*>(block.data()), block.size());
  }
  DWORD bytes() const { return bytes_; }

 private:
  LPSTR Place(const char* data, size_t size) {
    bytes_ += static_cast<DWORD>(size);
    if (!base_) return nullptr;
    end_ -= static_cast<DWORD>(size);
    std::memcpy(base_ + end_, data, size);
    return reinterpret_cast<LPSTR>(base_ + end_);
  }

  LPBYTE base_ = nullptr;
  DWORD end_ = 0;
  DWORD bytes_ = 0;
};

// Fills an enumeration buffer: `count` fixed records of type Record at the
// start, their strings at the end. fill(i, record, pool) sets record i.
// Returns 0, or ERROR_INSUFFICIENT_BUFFER with *needed set and *returned 0.
template <typename Record, typename Fill>
DWORD Pack(size_t count, Fill fill, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
  StringPool measure;
  for (size_t i = 0; i < count; ++i) {
    Record record{};
    fill(i, record, measure);
  }
  DWORD total = static_cast<DWORD>(count * sizeof(Record)) + measure.bytes();
  if (needed) *needed = total;
  if (returned) *returned = 0;
  if (size < total) return ERROR_INSUFFICIENT_BUFFER;
  if (!buffer && size) return ERROR_INVALID_USER_BUFFER;
  StringPool pool(buffer, size);
  for (size_t i = 0; i < count; ++i) {
    Record record{};
    fill(i, record, pool);
    std::memcpy(buffer + i * sizeof(Record), &record, sizeof(Record));
  }
  if (returned) *returned = static_cast<DWORD>(count);
  return 0;
}

}  // namespace sim
