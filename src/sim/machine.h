// The simulated Windows machine behind the native build: one process of the
// program under test on one computer, with its registry, file system, print
// spooler, services, message boxes, process starts, standard output and a
// virtual clock. Tests set the machine up through this interface, run the
// program, and read back what it did. The Win32 functions themselves are
// declared in win32_api.h.
//
// The program, the threads it creates and the simulated programs it starts
// run on threads of their own; every function of the machine holds the
// machine's one lock (see scheduler.h), and the last-error value is kept per
// thread as on Windows. Tests call this interface while no other thread of
// the machine runs, or between jobs.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/win32_types.h"

namespace sim {

enum class Family { Win9x, NT };

// What one Windows version looks like to a program.
struct Platform {
  std::string name;            // "Windows 98", "Windows XP", ...
  DWORD version = 0;           // the packed value GetVersion returns
  Family family = Family::NT;  // decides registry, spooler and service behaviour
  bool extended_version_info = true;  // GetVersionExA accepts OSVERSIONINFOEXA
  std::string windows_dir;     // "C:\WINDOWS"
  std::string system_dir;      // GetSystemDirectoryA, no trailing backslash
  std::string driver_dir;      // GetPrinterDriverDirectoryA for the own environment
  std::string spool_dir;       // where queued jobs' spool files are kept
  std::string environment;     // "Windows 4.0" or "Windows NT x86"
  DWORD driver_version = 0;    // NT: 2 on NT 4.0, 3 on 2000 and later; 0 on 9x
  DWORD max_driver_level = 3;  // highest AddPrinterDriverA level the spooler takes
  // The processor the system runs on: INTEL, or AMD64 for 64-bit Windows,
  // whose own spooler environment is "Windows x64".
  WORD architecture = PROCESSOR_ARCHITECTURE_INTEL;
  // kernel32 exports IsWow64Process (XP SP2 and every 64-bit Windows) and
  // GetNativeSystemInfo (XP and later).
  bool exports_wow64_probes = false;

  // Windows 2000 or a later version of the NT family.
  bool Windows2000OrLater() const { return family == Family::NT && driver_version >= 3; }

  static Platform Win95();
  static Platform Win98();
  static Platform WinMe();
  static Platform NT4(bool service_pack_6 = false);
  static Platform Win2000();
  static Platform WinXP();
  // 64-bit Windows, the program running as a 64-bit process (see
  // Machine::wow64 for a 32-bit one).
  static Platform WinXPx64();
  static Platform Win7x64();
  static Platform Win10x64();  // as it reports itself without a manifest: 6.2
  // Any packed version value: bit 31 set gives the 9x family, clear the NT one.
  static Platform FromVersion(DWORD version);
};

// One message box the program showed, and the button that answered it.
struct MessageBoxRecord {
  std::string text;
  std::string caption;
  UINT type = 0;
  int answer = 0;
};

// One CreateProcessA call, as the program made it.
struct ProcessRecord {
  bool has_application_name = false;
  std::string application_name;
  std::string command_line;
  bool process_attributes = false;  // a SECURITY_ATTRIBUTES record was passed
  bool thread_attributes = false;
  BOOL inherit_handles = FALSE;
  DWORD creation_flags = 0;
  bool environment_passed = false;  // lpEnvironment was not null
  std::vector<std::string> environment;  // the block's entries, "NAME=value"
  bool has_current_directory = false;
  std::string current_directory;
  STARTUPINFOA startup{};            // copied; its pointers are not followed
  std::string startup_desktop, startup_title;  // texts behind them, if any
  bool started = false;              // the call succeeded
  DWORD error = 0;                   // the last error when it failed
};

// One value of a registry key.
struct RegValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  std::string AsString() const;  // REG_SZ data up to its first NUL
  DWORD AsDword() const;         // the first four bytes, little-endian
};

// The registry. Key and value names compare case-insensitively; values keep
// the order in which they were first written. On the NT family RegDeleteKeyA
// refuses a key that has subkeys (error 5); on the 9x family it removes the
// whole subtree. On 64-bit Windows the 32-bit view of HKLM\SOFTWARE is
// stored under HKLM\SOFTWARE\Wow6432Node; these functions take stored paths.
class Registry {
 public:
  bool KeyExists(HKEY root, const std::string& path) const;
  void CreateKey(HKEY root, const std::string& path);
  void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                const std::vector<BYTE>& data);
  void SetString(HKEY root, const std::string& path, const std::string& name,
                 const std::string& text);  // REG_SZ, NUL counted
  void SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value);
  std::optional<RegValue> GetValue(HKEY root, const std::string& path,
                                   const std::string& name) const;
  std::vector<std::string> ValueNames(HKEY root, const std::string& path) const;
  std::vector<std::string> SubKeys(HKEY root, const std::string& path) const;  // sorted
  void DeleteTree(HKEY root, const std::string& path);
  // A key that refuses every open that asks for more than read access (error 5).
  void SetWriteProtected(HKEY root, const std::string& path, bool on);
  // Every RegQueryValueExA of the existing value `name` fails with `error`.
  void FailValue(HKEY root, const std::string& path, const std::string& name, LONG error);
  // A canonical text of the whole subtree: keys, values, types and bytes.
  std::string Dump(HKEY root, const std::string& path) const;
  // Handles the program opened and has not closed.
  int OpenHandles() const;

  // Called by Machine::Reset: back to the state of a freshly installed
  // system of that platform.
  void Reset(const Platform& platform);

  struct Impl;
  Registry();
  ~Registry();
  Impl& impl() { return *impl_; }
  const Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// One access-allowed entry of a DACL as the file system keeps it.
struct AceEntry {
  std::string sid;    // "S-1-5-18"
  DWORD mask = 0;     // the access rights
  BYTE flags = 0;     // OBJECT_INHERIT_ACE, CONTAINER_INHERIT_ACE, INHERITED_ACE, ...
  bool Inherited() const { return (flags & INHERITED_ACE) != 0; }
};
// A file's or folder's DACL: its entries, and whether it is protected from
// the inheritable entries of its parent.
struct Dacl {
  bool is_protected = false;
  std::vector<AceEntry> entries;
};

// For the file functions: the DACL a SECURITY_ATTRIBUTES' descriptor
// gives a new file or folder, in *dacl (left empty when it gives none: no
// attributes, no descriptor, no DACL in it). Returns 0 or the error of a
// malformed descriptor or ACL.
DWORD DaclOfAttributes(const SECURITY_ATTRIBUTES* attributes, std::optional<Dacl>* dacl);

// A user: an account of the machine (LookupAccountNameW finds its name), or
// a user of another machine printing to a shared printer, whom no lookup
// here resolves.
struct Account {
  std::string name;  // UTF-8
  std::string sid;   // "S-1-5-21-...-1001"
  bool administrator = false;  // a member of Administrators
};

// For as long as it lives, the calling thread acts as the user `name`: its
// file calls are checked against DACLs with that user's token, GetUserNameW
// names that user, and the documents it begins are that user's jobs. A
// name the machine has no account for is a user of another machine. Other
// threads act as the process's user (see CurrentUser).
class ActAs {
 public:
  explicit ActAs(const std::string& name);
  ~ActAs();
  ActAs(const ActAs&) = delete;
  ActAs& operator=(const ActAs&) = delete;

 private:
  std::optional<Account> previous_;
};

// The user the calling thread acts as: the one of an ActAs, else the
// logged-on administrator ("Administrator"), or "bob" when
// Machine::administrator is false.
Account CurrentUser();
// The SIDs of the calling thread's token, as text: the user's, Everyone,
// Authenticated Users, Users, and Administrators for an administrator.
std::vector<std::string> TokenSids();

// The file system: drive letters, case-insensitive names that keep the case
// they were created with, folders that must exist before a file is made in
// them, sharing modes, files that are in use or fail to read or write, and
// drives that fill up. Names are kept in UTF-8: the ANSI functions convert
// them from the code page (Windows-1252) and the wide ones from UTF-16, so
// both see the same files, and FindFirstFileA gives '?' for characters the
// code page lacks. Only ASCII letters compare without regard to case; other
// characters (é against É) compare as they are. The paths this interface
// takes and the names it gives are UTF-8.
class FileSystem {
 public:
  void Put(const std::string& path, const std::string& bytes);  // folders made too
  void MakeDirectory(const std::string& path);                   // with its parents
  bool Exists(const std::string& path) const;                    // a file
  bool DirectoryExists(const std::string& path) const;
  std::optional<std::string> Get(const std::string& path) const;
  std::string NameOf(const std::string& path) const;  // stored spelling of the path
  std::vector<std::string> List(const std::string& dir) const;  // names, sorted
  void Remove(const std::string& path);
  // Puts a link at `path` (replacing what stood there) that leads to
  // `target`: a junction or symbolic link to a folder when `target` is
  // one, else a symbolic link to a file (which need not exist). Its
  // attributes hold FILE_ATTRIBUTE_REPARSE_POINT (and
  // FILE_ATTRIBUTE_DIRECTORY for a folder's). The file functions follow
  // it wherever it stands in a path, except for the last component where
  // CreateFile is given FILE_FLAG_OPEN_REPARSE_POINT, and in
  // GetFileAttributes, DeleteFile, MoveFile, CreateDirectory and
  // FindFirstFile, which see the link itself. The functions of this class
  // see the nodes as they are and follow no link.
  void MakeLink(const std::string& path, const std::string& target);
  // Another process holds the file open without sharing: opens fail with 32,
  // deletion too.
  void SetInUse(const std::string& path, bool on);
  // The file is a module mapped by some process (a library the spooler
  // loaded): it can be read, but not deleted (5 on NT, 32 on 9x), opened for
  // writing (32) or renamed.
  void SetLoaded(const std::string& path, bool on);
  bool IsLoaded(const std::string& path) const;
  // ReadFile on the file fails with `error` once `after_bytes` bytes were read.
  void FailReads(const std::string& path, DWORD error = ERROR_READ_FAULT,
                 DWORD after_bytes = 0);
  // WriteFile on the file fails with `error` once `after_bytes` were written.
  void FailWrites(const std::string& path, DWORD error = ERROR_DISK_FULL,
                  DWORD after_bytes = 0);
  void SetReadOnly(const std::string& path, bool on);
  // The bytes still free on a drive ("C:", or any path on it). Writes that
  // grow files there take from it (a WriteFile that does not fit writes
  // what fits and fails with ERROR_DISK_FULL), and so do files Put there;
  // deleting and truncating give back. A drive holds 10 GiB unless set;
  // Reset forgets what was set.
  void SetFreeSpace(const std::string& drive, uint64_t bytes);
  uint64_t FreeSpace(const std::string& drive) const;
  int OpenHandles() const;  // file and find handles not closed
  // A drive ("C:", or any path on it) whose file system keeps no ACLs (FAT):
  // GetVolumeInformationA reports it without FS_PERSISTENT_ACLS and
  // SetNamedSecurityInfoA there fails with ERROR_NOT_SUPPORTED. Every drive
  // of the 9x family is one; on the NT family drives are NTFS unless set.
  void SetNoAcls(const std::string& drive, bool on = true);
  bool KeepsAcls(const std::string& path) const;
  // The DACL of a file or folder, set on it or inherited from its parent;
  // nothing when it has none of its own (or is missing).
  std::optional<Dacl> DaclOf(const std::string& path) const;
  // For SetNamedSecurityInfoA: gives the existing file or folder at `path`
  // (UTF-8) the DACL; with `propagate`, every child that is not protected
  // gets the inheritable entries as inherited ones, down the tree. Returns
  // the error code.
  DWORD SetDacl(const std::string& path, const Dacl& dacl, bool propagate);
  // For SetSecurityInfo: gives the file open as `file` (with WRITE_DAC) the
  // DACL, passed on to nothing. Returns the error code.
  DWORD SetDaclThrough(HANDLE file, const Dacl& dacl);
  // As at a restart: every handle closed, every mapping ended.
  void ReleaseAll();

  // Called by Machine::Reset: back to the state of a freshly installed
  // system of that platform.
  void Reset(const Platform& platform);

  struct Impl;
  FileSystem();
  ~FileSystem();
  Impl& impl() { return *impl_; }
  const Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// A driver record as AddPrinterDriverA received it.
struct DriverRecord {
  DWORD level = 0;
  DWORD version = 0;
  std::string name, environment, driver_path, data_file, config_file, help_file;
  bool has_dependent_files = false;
  std::vector<std::string> dependent_files;  // the double-NUL list, split
  bool has_monitor_name = false;
  std::string monitor_name;
  bool has_default_datatype = false;
  std::string default_datatype;
  // Level 6 only.
  bool has_previous_names = false;
  FILETIME driver_date{};
  DWORDLONG driver_version = 0;
  std::string mfg_name, oem_url, provider;
  bool has_mfg_name = false, has_oem_url = false, has_hardware_id = false,
       has_provider = false;
  std::string hardware_id;
};

// A printer record as AddPrinterA received it.
struct PrinterRecord {
  std::string printer_name, port_name, driver_name, print_processor;
  bool has_server_name = false, has_share_name = false, has_comment = false,
       has_location = false, has_devmode = false, has_sep_file = false,
       has_datatype = false, has_parameters = false, has_security = false;
  std::string datatype;
  DWORD attributes = 0, priority = 0, default_priority = 0, start_time = 0,
        until_time = 0, status = 0, jobs = 0, average_ppm = 0;
};

// One job of the spooler's queue, as a test reads it.
struct JobRecord {
  DWORD id = 0;
  std::string printer, document, datatype;
  DWORD status = 0;         // JOB_STATUS_* flags as GetJobA reports them
  std::string status_text;  // as SetJobA set it; empty when none
  std::string data;         // the bytes the application wrote
};

// The print spooler. Its monitors, drivers and printers live in the registry
// under HKLM\SYSTEM\CurrentControlSet\Control\Print, as on Windows, so a key
// deleted behind its back is gone for it too. "Local Port" is built in; every
// other registered monitor is a library the spooler loads from the system
// folder (Machine::AddLibraryImage) and calls through the table its entry
// point gives: InitializePrintMonitor2 on Windows 2000 and later,
// InitializePrintMonitor on NT 4.0, InitializeMonitorEx on Windows 9x. Its
// ports are what its EnumPorts answers. On the NT family the spooler runs as
// the service "Spooler"; while it is stopped every call fails with 1722 and
// no monitor library is loaded.
//
// Applications print through OpenPrinterA, StartDocPrinterA, WritePrinter and
// EndDocPrinter; a thread of the machine for each port then sends the
// printer's jobs in order through its monitor (OpenPort once, StartDocPort,
// WritePort, EndDocPort). A job leaves the queue when the monitor reports it
// sent (SetJobA) or when it is deleted; otherwise it is kept. A printer
// deleted while jobs are queued for it is only marked for deletion.
class Spooler {
 public:
  bool Running() const;
  bool HasMonitor(const std::string& name) const;
  bool HasPrinter(const std::string& name) const;
  bool HasDriver(const std::string& environment, const std::string& name) const;
  std::vector<std::string> Ports() const;     // as EnumPortsA lists them
  std::vector<std::string> Monitors() const;  // as EnumMonitorsA lists them
  // Libraries the spooler has loaded, full paths.
  std::vector<std::string> LoadedLibraries() const;
  // Whether DeleteMonitorA also unloads the monitor's library at once
  // (otherwise it stays loaded until the spooler stops or the machine
  // restarts). Default: false.
  void SetUnloadOnDelete(bool on);
  // Queues a job for the printer that is held, never sent to its port: its
  // spool file (NT: and shadow file) appear in the spool folder. Jobs
  // outlive spooler restarts, as their files do. Returns the job's id.
  DWORD QueueJob(const std::string& printer, const std::string& document);
  // The ids of the jobs queued for the printer.
  std::vector<DWORD> Jobs(const std::string& printer) const;
  // The job with that id, or nothing when it has left the queue.
  std::optional<JobRecord> Job(DWORD id) const;
  // The status text SetPortA (level 3) last gave the port; empty when none.
  std::string PortStatus(const std::string& port) const;
  // Waits, on the machine's clock, until no job is being sent to a port or
  // waiting to be sent (jobs of paused printers wait for ever and do not
  // count). Called by the test while the machine's other threads run.
  void WaitUntilIdle();
  // Whether DeletePrinter has marked the printer for deletion: it stays, and
  // keeps its driver and monitor in use, until its last job is gone.
  bool PendingDeletion(const std::string& printer) const;
  // Register a monitor as an earlier setup would have, library loaded. A
  // library missing from the system folder is put there first: the product's
  // monitor (image "tavmon", on Windows 9x "tavmon95") when the machine knows
  // that image, otherwise a placeholder monitor that offers no ports.
  void InstallMonitor(const std::string& name, const std::string& library);
  std::vector<DriverRecord> driver_calls;    // every AddPrinterDriverA record
  std::vector<PrinterRecord> printer_calls;  // every AddPrinterA record
  int OpenHandles() const;                   // printer handles not closed
  // Called by the service "Spooler" (and at boot): a stopped spooler stops
  // sending jobs and unloads every monitor (MONITOR2: after its Shutdown); a
  // started one loads the registered monitors and sends the waiting jobs.
  void OnServiceStopped();
  void OnServiceStarted();

  // Called by Machine::Reset: back to the state of a freshly installed
  // system of that platform.
  void Reset(const Platform& platform);

  struct Impl;
  Spooler();
  ~Spooler();
  Impl& impl() { return *impl_; }
  const Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// The service control manager with the service "Spooler" and the services a
// test adds that depend on it, directly or through one another (NT family
// only; on the 9x family OpenSCManagerA fails with 120). Services are kept in
// their start order: "Spooler" first, then the dependents in the order added.
class Services {
 public:
  DWORD SpoolerState() const;             // SERVICE_STOPPED, ..., SERVICE_RUNNING
  void SetSpoolerStopTime(DWORD ms);      // virtual time a stop request takes
  void SetSpoolerStartTime(DWORD ms);     // virtual time a start takes
  // Stops the spooler at once, as an administrator would, with every
  // service that depends on it.
  void StopSpooler();

  // Adds a service (such as "Fax") that depends on `depends_on`, running or
  // stopped. Starting it starts what it depends on first.
  void AddDependent(const std::string& name, const std::string& depends_on = "Spooler",
                    bool running = true);
  DWORD StateOf(const std::string& name) const;  // of any service; 0 when unknown
  void SetStopTime(const std::string& name, DWORD ms);
  void SetStartTime(const std::string& name, DWORD ms);
  // false: the service does not accept the stop control (1052).
  void SetAcceptsStop(const std::string& name, bool on);
  // A disabled service refuses to start (1058).
  void SetDisabled(const std::string& name, bool on);
  // Non-zero: a start is accepted, but the service stops again once its
  // start time is over, with this exit code.
  void SetStartFailure(const std::string& name, DWORD exit_code);
  int OpenHandles() const;

  // Called by Machine::Reboot: every handle ends and every service is back
  // in the state it boots to (running unless disabled or failing to start).
  void Restart();
  // Called by Machine::Reset: back to the state of a freshly installed
  // system of that platform, with "Spooler" alone.
  void Reset(const Platform& platform);

  struct Impl;
  Services();
  ~Services();
  Impl& impl() { return *impl_; }
  const Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

// What a simulated program is given when CreateProcessA starts it.
struct ProgramStart {
  std::string command_line;
  std::string current_directory;
  DWORD process_id = 0;
  // Its standard input and output, held by its own process (they close
  // when it ends); null where it was given none.
  HANDLE input = nullptr;
  HANDLE output = nullptr;
};

// A simulated program: its main function, run on a thread of its own with
// the machine's Win32 functions; what it returns is its exit code. It runs
// until it returns or is ended (TerminateProcess); a program that waits for
// ever waits in WaitForProgramEnd.
using Program = std::function<DWORD(const ProgramStart&)>;

// Called by a simulated program: waits until its process is ended.
void WaitForProgramEnd();

// A library the machine can load from a file (LoadLibraryA, the spooler's
// monitors): the libraries are linked into the native build, and a file is
// that library when its bytes are "MZ" followed by the image's id. A
// library built for another processor than the process's is refused, as
// Windows refuses it (ERROR_BAD_EXE_FORMAT).
struct LibraryImage {
  std::string id;
  WORD processor = PROCESSOR_ARCHITECTURE_INTEL;
  std::map<std::string, FARPROC> exports;  // by name
};

// A function as a library image exports it.
template <typename Function>
FARPROC AsFarproc(Function function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

class Machine {
 public:
  Machine() = default;
  // The process ends: its programs and threads end, and the spooler stops,
  // so that the monitor gets back what it holds.
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // Boots a fresh machine of the given platform: the registry's base keys,
  // the Windows folders with rundll32.exe, the spooler with "Local Port" and
  // the print processor "winprint", the service "Spooler" running, an
  // administrator logged on, local time 2002-12-03 21:35:00, and the program
  // C:\tavrin\setup.exe started without arguments.
  void Reset(const Platform& platform);
  const Platform& platform() const { return platform_; }
  // Restarts the machine: every file is released, the spooler starts afresh
  // and loads the monitors registered.
  void Reboot();

  // The process of the program under test.
  std::string command_line;  // GetCommandLineA
  std::string module_path;   // GetModuleFileNameA(NULL, ...)
  std::string current_directory;
  std::vector<std::string> environment;  // GetEnvironmentStrings, "NAME=value"
  bool administrator = true;  // false: HKLM writes, AddMonitorA, the SCM deny (5)
  // The machine's accounts: "SYSTEM", "Administrator" (an administrator),
  // "ann" and "bob" (users).
  std::vector<Account> accounts;
  // The account of that name (ASCII letters in either case), or null.
  const Account* FindAccount(const std::string& name) const;
  bool system_directory_fails = false;  // GetSystemDirectoryA returns 0
  // On 64-bit Windows: the program is a 32-bit build running under WOW64
  // (GetSystemInfo reports INTEL, IsWow64Process TRUE, and the registry
  // shows it the 32-bit view of HKLM\SOFTWARE). Ignored elsewhere.
  bool wow64 = false;

  // A journal of the calls that change or wait, one line each, in order, for
  // tests of sequence: "Sleep 500", "AddMonitorA TAVRIN Monitor", ...
  std::vector<std::string> journal;
  void Note(const std::string& line);
  std::vector<DWORD> Sleeps() const;  // every Sleep duration, in order

  // Virtual clock. Sleep advances it and returns at once.
  void SetLocalTime(int year, int month, int day, int hour, int minute, int second = 0);
  uint64_t now_ms = 0;  // milliseconds since the set local time
  SYSTEMTIME LocalTime() const;

  // Makes the next `times` calls of `function` (its Win32 name, such as
  // "AddPrinterDriverA") fail with `error`; times < 0 means every call.
  void FailCall(const std::string& function, DWORD error, int times = 1);
  // For the implementations: true, with the error set as last error and
  // stored in *error, when a fault is due for this call.
  bool TakeFault(const char* function, DWORD* error = nullptr);
  // Makes every call of `function` that succeeds leave `error` as the last
  // error, as calls of Windows and Wine often do from their inner calls.
  void LeaveErrorOnSuccess(const std::string& function, DWORD error);
  // For the implementations, at a success: sets that error when one is set.
  void LeaveError(const char* function);

  // Message boxes: answered from `answers` in order; when it is empty, a box
  // gets IDOK, a Yes/No box IDNO.
  std::deque<int> answers;
  std::vector<MessageBoxRecord> message_boxes;

  // Process starts. A start succeeds when its program is found by the
  // usual search rules (an explicit path, else the current, Windows and
  // system folders, ".exe" added when there is no extension).
  std::vector<ProcessRecord> processes;

  // What the program wrote to its standard output.
  std::string console;

  // Simulated programs: CreateProcessA of a file at `path` runs `program`.
  // The file is put there ("MZ" and the path) so that the search rules
  // find it. Files the machine has no program for start and end at once,
  // with exit code 0.
  void InstallProgram(const std::string& path, Program program);
  // The program installed at `path` (case-insensitive), or null.
  const Program* ProgramAt(const std::string& path) const;

  // The libraries the machine can load.
  void AddLibraryImage(const LibraryImage& image);
  // The image a file holds, or null when the file holds none (or is
  // missing).
  const LibraryImage* ImageOfFile(const std::string& path) const;

  // What OutputDebugStringA received, one entry a call.
  std::vector<std::string> debug_output;

  Registry registry;
  FileSystem files;
  Spooler spooler;
  Services services;

 private:
  Platform platform_;
  SYSTEMTIME start_time_{};
  struct Fault {
    DWORD error;
    int times;
  };
  std::map<std::string, Fault> faults_;
  std::map<std::string, DWORD> left_errors_;
  std::map<std::string, Program> programs_;  // by upper-case path
  std::vector<LibraryImage> libraries_;
};

// The one machine of this process.
Machine& M();

// Helpers shared by the implementations.
std::string Upper(const std::string& text);
bool EqualNoCase(const std::string& a, const std::string& b);
// The calling thread's last error back to 0 (kernel.cpp).
void ResetLastError();
// Whether the program runs as a 32-bit process on 64-bit Windows
// (Machine::wow64 on a 64-bit platform).
bool UnderWow64();
// Where a library named in a load is looked for: a name with a path as it
// is, a bare name in the system folder (modules.cpp).
std::string LibraryPath(const std::string& name);
// The image of the library file at `path` for a process of `processor`
// (Machine::ImageOfFile); null with *error set when the file is missing
// (ERROR_MOD_NOT_FOUND), holds no image or one built for another processor
// (ERROR_BAD_EXE_FORMAT).
const LibraryImage* FindLibrary(const std::string& path, WORD processor, DWORD* error);
// Deletes `subkey` of `key` with its whole subtree, as SHDeleteKeyA does, and
// journals it under `function`. Returns the registry error code.
LONG DeleteRegistryTree(const char* function, HKEY key, const char* subkey);

}  // namespace sim
