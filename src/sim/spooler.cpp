// The print spooler of the simulated machine and the winspool functions that
// reach it. Monitors, drivers and printers live in the registry under
// HKLM\SYSTEM\CurrentControlSet\Control\Print as Windows keeps them, so that a
// key the program deletes directly is gone for the spooler too. The spooler
// itself keeps only what Windows keeps in memory: the built-in ports of
// "Local Port", the monitors it has loaded (spooler_monitors.cpp), the open
// printer handles, and the jobs (spooler_jobs.cpp), whose spool files it
// reads back at start.
//
// Error codes follow what Windows 95/98/Me and NT 4.0/2000/XP return; where
// the two families differ, both are modelled.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/machine.h"
#include "sim/scheduler.h"
#include "sim/spooler_impl.h"
#include "sim/win32_api.h"

namespace sim {

const char kLocalPort[] = "Local Port";
const std::string kPrint = "SYSTEM\\CurrentControlSet\\Control\\Print";
const std::string kMonitors = kPrint + "\\Monitors";
const std::string kPrinters = kPrint + "\\Printers";
const std::string kEnvironments = kPrint + "\\Environments";

// ---- Shared helpers -------------------------------------------------------------

Spooler::Impl& State() { return M().spooler.impl(); }
Registry& Reg() { return M().registry; }
bool IsNT() { return M().platform().family == Family::NT; }

std::string Text(LPCSTR s) { return s ? s : "NULL"; }
bool Empty(LPCSTR s) { return !s || !*s; }
std::string Or(LPCSTR s, const std::string& fallback) { return Empty(s) ? fallback : s; }

std::string BaseName(const std::string& path) {
  size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::vector<std::string> SplitCommas(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    std::string item = text.substr(start, comma - start);
    size_t first = item.find_first_not_of(' ');
    size_t last = item.find_last_not_of(' ');
    if (first != std::string::npos) out.push_back(item.substr(first, last - first + 1));
    start = comma + 1;
  }
  return out;
}

std::vector<BYTE> MultiString(const std::vector<std::string>& items) {
  std::vector<BYTE> data;
  for (const std::string& item : items) {
    data.insert(data.end(), item.begin(), item.end());
    data.push_back(0);
  }
  data.push_back(0);
  return data;
}

std::string ReadString(const std::string& key, const char* name) {
  std::optional<RegValue> v = Reg().GetValue(HKEY_LOCAL_MACHINE, key, name);
  return v ? v->AsString() : std::string();
}

DWORD ReadDword(const std::string& key, const char* name) {
  std::optional<RegValue> v = Reg().GetValue(HKEY_LOCAL_MACHINE, key, name);
  return v ? v->AsDword() : 0;
}

std::optional<std::string> FindSubKey(const std::string& parent, const std::string& name) {
  for (const std::string& key : Reg().SubKeys(HKEY_LOCAL_MACHINE, parent)) {
    if (EqualNoCase(key, name)) return key;
  }
  return std::nullopt;
}

std::string MonitorKey(const std::string& name) { return kMonitors + "\\" + name; }
std::string PrinterKey(const std::string& name) { return kPrinters + "\\" + name; }

std::vector<std::string> Printers() { return Reg().SubKeys(HKEY_LOCAL_MACHINE, kPrinters); }

std::vector<std::string> PrinterPorts(const std::string& printer) {
  return SplitCommas(ReadString(PrinterKey(printer), "Port"));
}

bool PortInUse(const std::string& port) {
  for (const std::string& printer : Printers()) {
    for (const std::string& used : PrinterPorts(printer))
      if (EqualNoCase(used, port)) return true;
  }
  return false;
}

// The subkeys of "Monitors" that carry a "Driver" value.
std::vector<std::string> RegisteredMonitors() {
  std::vector<std::string> out;
  for (const std::string& key : Reg().SubKeys(HKEY_LOCAL_MACHINE, kMonitors)) {
    if (Reg().GetValue(HKEY_LOCAL_MACHINE, MonitorKey(key), "Driver")) out.push_back(key);
  }
  return out;
}

BOOL Finish(DWORD error) {
  if (error == 0) return TRUE;
  SetLastError(error);
  return FALSE;
}

void Journal(const std::string& line, DWORD error) {
  M().Note(error ? line + " -> " + std::to_string(error) : line);
}

// Only the local computer is reachable.
DWORD Enter(const char* function, LPCSTR server) {
  DWORD error = 0;
  if (M().TakeFault(function, &error)) return error;
  if (!M().spooler.Running()) return RPC_S_SERVER_UNAVAILABLE;
  if (!Empty(server)) return IsNT() ? RPC_S_SERVER_UNAVAILABLE : ERROR_INVALID_PARAMETER;
  return 0;
}

Spooler::Impl::PrinterHandle* FindPrinterHandle(Spooler::Impl& s, HANDLE h) {
  auto it = s.handles.find(reinterpret_cast<uintptr_t>(h));
  return it == s.handles.end() ? nullptr : &it->second;
}

bool IsPendingDeletion(const std::string& printer) {
  return (ReadDword(PrinterKey(printer), "Status") & PRINTER_STATUS_PENDING_DELETION) != 0;
}

bool KnownDatatype(const std::string& datatype) {
  std::string d = Upper(datatype);
  return d == "RAW" || d == "TEXT" || d == "EMF" || d.rfind("RAW [", 0) == 0 ||
         d.rfind("NT EMF 1.00", 0) == 0;
}

DWORD CheckCounters(LPDWORD needed, LPDWORD returned) {
  if (IsNT() && (!needed || !returned)) return RPC_X_NULL_REF_POINTER;
  return 0;
}

namespace {

bool IsAdmin() { return !IsNT() || M().administrator; }

std::string ParentOf(const std::string& path) {
  size_t cut = path.find_last_of('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

bool HasDirectory(const std::string& path) {
  return path.find_first_of("\\/:") != std::string::npos;
}

// The strings of a double-NUL list.
std::vector<std::string> SplitList(LPCSTR list) {
  std::vector<std::string> out;
  if (!list) return out;
  for (const char* p = list; *p; p += std::strlen(p) + 1) out.emplace_back(p);
  return out;
}

std::vector<std::string> ReadMultiString(const RegValue& value) {
  std::vector<std::string> out;
  std::string item;
  for (BYTE b : value.data) {
    if (b != 0) {
      item.push_back(static_cast<char>(b));
    } else if (item.empty()) {
      break;
    } else {
      out.push_back(item);
      item.clear();
    }
  }
  if (!item.empty()) out.push_back(item);
  return out;
}

// ---- Printing environments --------------------------------------------------

// Where one environment's drivers live. On the NT family drivers sit in
// version subfolders and "Version-N" keys; the 9x family keeps them flat.
struct Environment {
  std::string name;
  std::string dir;  // GetPrinterDriverDirectoryA's answer
  bool versioned = false;
  std::optional<DWORD> fixed_version;  // "Windows 4.0" drivers on NT are version 0
  bool own = false;                    // the platform's own environment
};

// The environment named (null or empty: the platform's own), or nothing when
// this platform does not know it.
std::optional<Environment> FindEnvironment(LPCSTR name) {
  const Platform& p = M().platform();
  std::string wanted = Or(name, p.environment);
  if (EqualNoCase(wanted, p.environment)) {
    return Environment{p.environment, p.driver_dir, IsNT(), std::nullopt, true};
  }
  if (IsNT() && EqualNoCase(wanted, "Windows 4.0")) {
    return Environment{"Windows 4.0", ParentOf(p.driver_dir) + "\\win40", true, 0u, false};
  }
  // 64-bit Windows also keeps the drivers it hands to 32-bit clients.
  if (p.architecture == PROCESSOR_ARCHITECTURE_AMD64 && EqualNoCase(wanted, "Windows NT x86")) {
    return Environment{"Windows NT x86", ParentOf(p.driver_dir) + "\\w32x86", true,
                       std::nullopt, false};
  }
  return std::nullopt;
}

std::string DriversKey(const Environment& env) {
  return kEnvironments + "\\" + env.name + "\\Drivers";
}

std::string DriverKey(const Environment& env, DWORD version, const std::string& name) {
  if (!env.versioned) return DriversKey(env) + "\\" + name;
  return DriversKey(env) + "\\Version-" + std::to_string(version) + "\\" + name;
}

// A driver as the registry holds it.
struct InstalledDriver {
  std::string key;
  std::string name;
  DWORD version = 0;
};

// Every installed driver of the environment; only those named `name` when it
// is given. A key without a "Driver" value is a leftover, no driver.
std::vector<InstalledDriver> FindDrivers(const Environment& env,
                                         const std::string* name = nullptr) {
  std::vector<InstalledDriver> out;
  auto collect = [&](const std::string& parent, DWORD version) {
    for (const std::string& driver : Reg().SubKeys(HKEY_LOCAL_MACHINE, parent)) {
      if (name && !EqualNoCase(driver, *name)) continue;
      if (!Reg().GetValue(HKEY_LOCAL_MACHINE, parent + "\\" + driver, "Driver")) continue;
      out.push_back(InstalledDriver{parent + "\\" + driver, driver, version});
    }
  };
  if (!env.versioned) {
    collect(DriversKey(env), 0);
    return out;
  }
  for (const std::string& sub : Reg().SubKeys(HKEY_LOCAL_MACHINE, DriversKey(env))) {
    if (Upper(sub).rfind("VERSION-", 0) != 0) continue;
    DWORD version = static_cast<DWORD>(std::strtoul(sub.c_str() + 8, nullptr, 10));
    collect(DriversKey(env) + "\\" + sub, version);
  }
  return out;
}

// Where an installed driver's files are.
std::string DriverFileDir(const Environment& env, DWORD version) {
  return env.versioned ? env.dir + "\\" + std::to_string(version) : env.dir;
}

// ---- Monitors -----------------------------------------------------------------------

std::optional<std::string> RegisteredMonitor(const std::string& name) {
  std::optional<std::string> key = FindSubKey(kMonitors, name);
  if (key && !Reg().GetValue(HKEY_LOCAL_MACHINE, MonitorKey(*key), "Driver")) key.reset();
  return key;
}

// ---- Printers -------------------------------------------------------------------

// Whether some printer prints to one of the monitor's ports, as the monitor
// lists them now (a monitor whose library is not loaded has none).
bool MonitorInUse(Spooler::Impl& s, const std::string& monitor) {
  std::vector<std::string> ports;
  if (EqualNoCase(monitor, kLocalPort)) {
    ports = s.local_ports;
  } else if (std::shared_ptr<MonitorHost> host = HostOf(s, monitor)) {
    std::vector<Port> offered;
    if (MonitorPorts(*host, 1, &offered))
      for (const Port& port : offered) ports.push_back(port.name);
  }
  for (const std::string& port : ports)
    if (PortInUse(port)) return true;
  return false;
}

bool DriverInUse(const std::string& driver) {
  for (const std::string& printer : Printers()) {
    if (EqualNoCase(ReadString(PrinterKey(printer), "Printer Driver"), driver)) return true;
  }
  return false;
}

bool ValidPrinterName(LPCSTR name) { return !Empty(name) && std::strpbrk(name, ",!\\") == nullptr; }

HANDLE NewPrinterHandle(Spooler::Impl& s, const std::string& printer, ACCESS_MASK access) {
  uintptr_t value = s.next_handle;
  s.next_handle += 4;
  s.handles[value] = Spooler::Impl::PrinterHandle{printer, access, false, 0};
  return reinterpret_cast<HANDLE>(value);
}

// ---- Driver records -----------------------------------------------------------------

// Copies what AddPrinterDriverA received, for the tests to look at.
DriverRecord CopyDriverRecord(DWORD level, LPBYTE info) {
  DriverRecord r;
  r.level = level;
  if (!info || (level != 2 && level != 3 && level != 6)) return r;
  auto text = [](LPCSTR s) { return s ? std::string(s) : std::string(); };
  // DRIVER_INFO_2, 3 and 6 share their leading fields.
  const auto* di = reinterpret_cast<const DRIVER_INFO_3A*>(info);
  r.version = di->cVersion;
  r.name = text(di->pName);
  r.environment = text(di->pEnvironment);
  r.driver_path = text(di->pDriverPath);
  r.data_file = text(di->pDataFile);
  r.config_file = text(di->pConfigFile);
  if (level == 2) return r;
  r.help_file = text(di->pHelpFile);
  r.has_dependent_files = di->pDependentFiles != nullptr;
  r.dependent_files = SplitList(di->pDependentFiles);
  r.has_monitor_name = di->pMonitorName != nullptr;
  r.monitor_name = text(di->pMonitorName);
  r.has_default_datatype = di->pDefaultDataType != nullptr;
  r.default_datatype = text(di->pDefaultDataType);
  if (level == 3) return r;
  const auto* d6 = reinterpret_cast<const DRIVER_INFO_6A*>(info);
  r.has_previous_names = d6->pszzPreviousNames != nullptr;
  r.driver_date = d6->ftDriverDate;
  r.driver_version = d6->dwlDriverVersion;
  r.has_mfg_name = d6->pszMfgName != nullptr;
  r.mfg_name = text(d6->pszMfgName);
  r.has_oem_url = d6->pszOEMUrl != nullptr;
  r.oem_url = text(d6->pszOEMUrl);
  r.has_hardware_id = d6->pszHardwareID != nullptr;
  r.hardware_id = text(d6->pszHardwareID);
  r.has_provider = d6->pszProvider != nullptr;
  r.provider = text(d6->pszProvider);
  return r;
}

// Finds a driver file: a path as given, a bare name in the environment's
// driver folder or (NT) in its version subfolder. Returns the path found.
std::optional<std::string> FindDriverFile(const Environment& env, DWORD version,
                                          const std::string& file) {
  if (HasDirectory(file)) {
    if (M().files.Exists(file)) return file;
    return std::nullopt;
  }
  std::string in_dir = env.dir + "\\" + file;
  if (M().files.Exists(in_dir)) return in_dir;
  if (env.versioned) {
    std::string in_version = DriverFileDir(env, version) + "\\" + file;
    if (M().files.Exists(in_version)) return in_version;
  }
  return std::nullopt;
}

// Installs a driver after AddPrinterDriverA's checks. Returns 0 or the error.
DWORD InstallDriver(DWORD level, const DriverRecord& r, LPBYTE info) {
  const Platform& p = M().platform();
  bool known_level = level == 2 || level == 3 || level == 6;
  if (!known_level || level > p.max_driver_level) return ERROR_INVALID_LEVEL;
  if (!info) return ERROR_INVALID_PARAMETER;
  if (!IsAdmin()) return ERROR_ACCESS_DENIED;
  const auto* di = reinterpret_cast<const DRIVER_INFO_3A*>(info);
  std::optional<Environment> env = FindEnvironment(di->pEnvironment);
  if (!env) return ERROR_INVALID_ENVIRONMENT;
  if (Empty(di->pName) || Empty(di->pDriverPath) || Empty(di->pDataFile) ||
      Empty(di->pConfigFile)) {
    return ERROR_INVALID_PARAMETER;
  }
  DWORD version = 0;
  if (env->versioned) {
    version = env->fixed_version ? *env->fixed_version : r.version;
    // Kernel-mode (2) drivers everywhere, user-mode (3) ones from Windows 2000 on.
    if (!env->fixed_version && (version < 2 || version > p.driver_version)) {
      return ERROR_INVALID_PARAMETER;
    }
    // 64-bit Windows loads no kernel-mode driver.
    if (env->own && p.architecture == PROCESSOR_ARCHITECTURE_AMD64 && version == 2)
      return ERROR_KM_DRIVER_BLOCKED;
  }

  std::vector<std::string> named = {r.driver_path, r.data_file, r.config_file};
  if (!r.help_file.empty()) named.push_back(r.help_file);
  for (const std::string& file : r.dependent_files) named.push_back(file);
  std::vector<std::string> found;
  for (const std::string& file : named) {
    std::optional<std::string> path = FindDriverFile(*env, version, file);
    if (!path) return ERROR_FILE_NOT_FOUND;
    found.push_back(*path);
  }

  // The files go into the driver folder (NT: its version subfolder).
  std::string target = DriverFileDir(*env, version);
  M().files.MakeDirectory(target);
  for (const std::string& path : found) {
    std::string destination = target + "\\" + BaseName(path);
    if (EqualNoCase(path, destination)) continue;
    M().files.Put(destination, M().files.Get(path).value_or(std::string()));
  }

  // The record, with bare file names, replacing a driver of the same name.
  std::string key = DriverKey(*env, version, r.name);
  HKEY hklm = HKEY_LOCAL_MACHINE;
  Reg().DeleteTree(hklm, key);
  Reg().CreateKey(hklm, key);
  Reg().SetString(hklm, key, "Configuration File", BaseName(r.config_file));
  Reg().SetString(hklm, key, "Data File", BaseName(r.data_file));
  Reg().SetString(hklm, key, "Driver", BaseName(r.driver_path));
  Reg().SetString(hklm, key, "Help File", BaseName(r.help_file));
  std::vector<std::string> dependents;
  for (const std::string& file : r.dependent_files) dependents.push_back(BaseName(file));
  Reg().SetValue(hklm, key, "Dependent Files", REG_MULTI_SZ, MultiString(dependents));
  Reg().SetString(hklm, key, "Monitor", r.monitor_name);
  Reg().SetString(hklm, key, "Datatype", r.default_datatype);
  Reg().SetDword(hklm, key, "Version", version);
  if (level == 6) {
    Reg().SetString(hklm, key, "Manufacturer", r.mfg_name);
    Reg().SetString(hklm, key, "OEM Url", r.oem_url);
    Reg().SetString(hklm, key, "HardwareID", r.hardware_id);
    Reg().SetString(hklm, key, "Provider", r.provider);
  }
  return 0;
}

// ---- Printer records ---------------------------------------------------------------

PrinterRecord CopyPrinterRecord(const PRINTER_INFO_2A& pi) {
  auto text = [](LPCSTR s) { return s ? std::string(s) : std::string(); };
  PrinterRecord r;
  r.printer_name = text(pi.pPrinterName);
  r.port_name = text(pi.pPortName);
  r.driver_name = text(pi.pDriverName);
  r.print_processor = text(pi.pPrintProcessor);
  r.has_server_name = pi.pServerName != nullptr;
  r.has_share_name = pi.pShareName != nullptr;
  r.has_comment = pi.pComment != nullptr;
  r.has_location = pi.pLocation != nullptr;
  r.has_devmode = pi.pDevMode != nullptr;
  r.has_sep_file = pi.pSepFile != nullptr;
  r.has_datatype = pi.pDatatype != nullptr;
  r.datatype = text(pi.pDatatype);
  r.has_parameters = pi.pParameters != nullptr;
  r.has_security = pi.pSecurityDescriptor != nullptr;
  r.attributes = pi.Attributes;
  r.priority = pi.Priority;
  r.default_priority = pi.DefaultPriority;
  r.start_time = pi.StartTime;
  r.until_time = pi.UntilTime;
  r.status = pi.Status;
  r.jobs = pi.cJobs;
  r.average_ppm = pi.AveragePPM;
  return r;
}

// AddPrinterA's checks, in the order the spooler makes them. Returns 0 or the
// error.
DWORD CheckNewPrinter(Spooler::Impl& s, const PRINTER_INFO_2A& pi) {
  if (!ValidPrinterName(pi.pPrinterName)) return ERROR_INVALID_PRINTER_NAME;
  if (FindSubKey(kPrinters, pi.pPrinterName)) return ERROR_PRINTER_ALREADY_EXISTS;
  if (Empty(pi.pPortName)) return ERROR_UNKNOWN_PORT;
  std::vector<std::string> ports = SplitCommas(pi.pPortName);
  if (ports.empty()) return ERROR_UNKNOWN_PORT;
  for (const std::string& port : ports) {
    if (!PortOffered(s, port)) return ERROR_UNKNOWN_PORT;
  }
  std::optional<Environment> env = FindEnvironment(nullptr);
  if (Empty(pi.pDriverName)) return ERROR_UNKNOWN_PRINTER_DRIVER;
  std::string driver = pi.pDriverName;
  if (FindDrivers(*env, &driver).empty()) return ERROR_UNKNOWN_PRINTER_DRIVER;
  std::string processors = kEnvironments + "\\" + env->name + "\\Print Processors";
  if (Empty(pi.pPrintProcessor) || !FindSubKey(processors, pi.pPrintProcessor)) {
    return ERROR_UNKNOWN_PRINTPROCESSOR;
  }
  if (pi.pDatatype && !KnownDatatype(pi.pDatatype)) return ERROR_INVALID_DATATYPE;
  return 0;
}

// Writes the new printer's key.
void WritePrinter(const PRINTER_INFO_2A& pi) {
  HKEY hklm = HKEY_LOCAL_MACHINE;
  std::string key = PrinterKey(pi.pPrinterName);
  Reg().CreateKey(hklm, key);
  Reg().SetString(hklm, key, "Name", pi.pPrinterName);
  Reg().SetString(hklm, key, "Share Name", Or(pi.pShareName, ""));
  Reg().SetString(hklm, key, "Port", pi.pPortName);
  Reg().SetString(hklm, key, "Printer Driver", pi.pDriverName);
  Reg().SetString(hklm, key, "Description", Or(pi.pComment, ""));
  Reg().SetString(hklm, key, "Location", Or(pi.pLocation, ""));
  Reg().SetString(hklm, key, "Separator File", Or(pi.pSepFile, ""));
  Reg().SetString(hklm, key, "Print Processor", pi.pPrintProcessor);
  // Without a data type the printer takes the print processor's default.
  Reg().SetString(hklm, key, "Datatype", Or(pi.pDatatype, "RAW"));
  Reg().SetString(hklm, key, "Parameters", Or(pi.pParameters, ""));
  Reg().SetDword(hklm, key, "Attributes", pi.Attributes);
  Reg().SetDword(hklm, key, "Priority", pi.Priority);
  Reg().SetDword(hklm, key, "Default Priority", pi.DefaultPriority);
  Reg().SetDword(hklm, key, "StartTime", pi.StartTime);
  Reg().SetDword(hklm, key, "UntilTime", pi.UntilTime);
  Reg().SetDword(hklm, key, "Status", pi.Status);
}


}  // namespace

// ---- The control interface ---------------------------------------------------------

Spooler::Spooler() : impl_(std::make_unique<Impl>()) {}
Spooler::~Spooler() = default;

bool Spooler::Running() const { return !IsNT() || M().services.SpoolerState() == SERVICE_RUNNING; }

bool Spooler::HasMonitor(const std::string& name) const {
  return RegisteredMonitor(name).has_value();
}

bool Spooler::HasPrinter(const std::string& name) const {
  return FindSubKey(kPrinters, name).has_value();
}

bool Spooler::HasDriver(const std::string& environment, const std::string& name) const {
  std::optional<Environment> env = FindEnvironment(environment.c_str());
  return env && !FindDrivers(*env, &name).empty();
}

std::vector<std::string> Spooler::Ports() const {
  ApiLock lock;
  std::vector<std::string> out;
  if (!Running()) return out;
  for (const Port& port : AllPorts(*impl_, 1)) out.push_back(port.name);
  return out;
}

std::vector<std::string> Spooler::Monitors() const {
  if (!Running()) return {};
  return RegisteredMonitors();
}

std::vector<std::string> Spooler::LoadedLibraries() const {
  ApiLock lock;
  std::vector<std::string> out;
  for (const std::shared_ptr<MonitorHost>& host : impl_->hosts) {
    bool seen = false;
    for (const std::string& path : out) seen = seen || EqualNoCase(path, host->path);
    if (!seen) out.push_back(host->path);
  }
  return out;
}

void Spooler::SetUnloadOnDelete(bool on) { impl_->unload_on_delete = on; }

bool Spooler::PendingDeletion(const std::string& printer) const {
  std::optional<std::string> key = FindSubKey(kPrinters, printer);
  return key && IsPendingDeletion(*key);
}

void Spooler::InstallMonitor(const std::string& name, const std::string& library) {
  ApiLock lock;
  const std::string path = LibraryPath(library);
  if (!M().files.Exists(path)) PutDefaultMonitor(path);
  Reg().CreateKey(HKEY_LOCAL_MACHINE, MonitorKey(name));
  Reg().SetString(HKEY_LOCAL_MACHINE, MonitorKey(name), "Driver", library);
  if (Running()) LoadMonitor(*impl_, name, library);
}

int Spooler::OpenHandles() const { return static_cast<int>(impl_->handles.size()); }

// The spooler process ends: sending stops, every monitor is unloaded and
// every printer handle becomes invalid.
void Spooler::OnServiceStopped() {
  ApiLock lock;
  Impl& s = *impl_;
  StopPrinting(s);
  UnloadAllMonitors(s);
  s.handles.clear();
}

// The spooler process starts: a printer marked for deletion whose jobs are
// all gone is deleted now; it loads every registered monitor other than the
// built-in "Local Port" (one that is missing or refuses to load stays
// unloaded and offers no ports) and sends the jobs that wait.
void Spooler::OnServiceStarted() {
  ApiLock lock;
  Impl& s = *impl_;
  for (const std::string& printer : Printers()) {
    if (IsPendingDeletion(printer) && !HasJobs(s, printer)) DeletePrinterNow(s, printer);
  }
  for (const std::string& monitor : RegisteredMonitors()) {
    if (EqualNoCase(monitor, kLocalPort)) continue;
    LoadMonitor(s, monitor, ReadString(MonitorKey(monitor), "Driver"));
  }
  SendWaitingJobs(s);
}

// Runs after Machine::Reset has ended every thread of the last run: the
// monitors of the last run are shut down first, and what they traced goes.
void Spooler::Reset(const Platform& platform) {
  ApiLock lock;
  Impl& s = *impl_;
  UnloadAllMonitors(s);
  // After the unload: a monitor ending a job in ClosePort may still set a
  // port status.
  StopPrinting(s);
  M().debug_output.clear();
  s.local_ports = {"LPT1:", "LPT2:", "COM1:", "COM2:", "FILE:"};
  s.unload_on_delete = false;
  s.handles.clear();
  s.jobs.clear();
  s.next_job = 2;
  s.registry_keys.clear();
  s.port_threads = 0;
  driver_calls.clear();
  printer_calls.clear();

  HKEY hklm = HKEY_LOCAL_MACHINE;
  bool nt = platform.family == Family::NT;
  const char* local_library = !nt                             ? "spoolss.dll"
                              : platform.Windows2000OrLater() ? "localspl.dll"
                                                              : "localmon.dll";
  Reg().CreateKey(hklm, MonitorKey(kLocalPort));
  Reg().SetString(hklm, MonitorKey(kLocalPort), "Driver", local_library);
  Reg().CreateKey(hklm, kPrinters);

  std::string env = kEnvironments + "\\" + platform.environment;
  Reg().CreateKey(hklm, env + "\\Drivers");
  if (nt) {
    Reg().CreateKey(hklm, env + "\\Drivers\\Version-2");
    if (platform.driver_version >= 3) Reg().CreateKey(hklm, env + "\\Drivers\\Version-3");
    Reg().CreateKey(hklm, kEnvironments + "\\Windows 4.0\\Drivers");
  }
  const bool x64 = platform.architecture == PROCESSOR_ARCHITECTURE_AMD64;
  if (x64) Reg().CreateKey(hklm, kEnvironments + "\\Windows NT x86\\Drivers\\Version-3");
  std::string winprint = env + "\\Print Processors\\winprint";
  Reg().CreateKey(hklm, winprint);
  Reg().SetString(hklm, winprint, "Driver", nt ? "winprint.dll" : "WINPRINT.DLL");

  M().files.MakeDirectory(platform.driver_dir);
  M().files.MakeDirectory(platform.spool_dir);
  if (nt) {
    M().files.MakeDirectory(platform.driver_dir + "\\" + std::to_string(platform.driver_version));
    M().files.MakeDirectory(ParentOf(platform.driver_dir) + "\\win40");
  }
  if (x64) M().files.MakeDirectory(ParentOf(platform.driver_dir) + "\\w32x86\\3");
  OnServiceStarted();
}

}  // namespace sim

using sim::M;

// ---- winspool: monitors and ports ------------------------------------------------------

// Lists the registered monitors, level 1 (names) or, on the NT family, level 2
// (names, environment, library).
BOOL WINAPI EnumMonitorsA(LPSTR pName, DWORD Level, LPBYTE pMonitor, DWORD cbBuf, LPDWORD pcbNeeded,
                          LPDWORD pcReturned) {
  sim::ApiLock lock;
  std::string line = "EnumMonitorsA " + std::to_string(Level) + ", " + std::to_string(cbBuf);
  DWORD error = sim::Enter("EnumMonitorsA", pName);
  if (!error) error = sim::CheckCounters(pcbNeeded, pcReturned);
  if (!error && Level != 1 && (Level != 2 || !sim::IsNT())) error = ERROR_INVALID_LEVEL;
  if (!error) {
    std::vector<std::string> names = sim::RegisteredMonitors();
    if (Level == 1) {
      error = sim::Pack<MONITOR_INFO_1A>(
          names.size(),
          [&](size_t i, MONITOR_INFO_1A& r, sim::StringPool& pool) {
            r.pName = pool.Add(names[i]);
          },
          pMonitor, cbBuf, pcbNeeded, pcReturned);
    } else {
      std::string env = M().platform().environment;
      error = sim::Pack<MONITOR_INFO_2A>(
          names.size(),
          [&](size_t i, MONITOR_INFO_2A& r, sim::StringPool& pool) {
            r.pName = pool.Add(names[i]);
            r.pEnvironment = pool.Add(env);
            r.pDLLName = pool.Add(sim::ReadString(sim::MonitorKey(names[i]), "Driver"));
          },
          pMonitor, cbBuf, pcbNeeded, pcReturned);
    }
  }
  sim::Journal(line, error);
  return sim::Finish(error);
}

// Lists the ports of every monitor, level 1 (names) or 2 (name, monitor,
// description, type), as each loaded monitor's EnumPorts answers at that
// level. The 9x family answers an unknown level with no ports.
BOOL WINAPI EnumPortsA(LPSTR pName, DWORD Level, LPBYTE pPort, DWORD cbBuf, LPDWORD pcbNeeded,
                       LPDWORD pcReturned) {
  sim::ApiLock lock;
  std::string line = "EnumPortsA " + std::to_string(Level) + ", " + std::to_string(cbBuf);
  DWORD error = sim::Enter("EnumPortsA", pName);
  if (!error) error = sim::CheckCounters(pcbNeeded, pcReturned);
  if (!error && Level != 1 && Level != 2) {
    if (sim::IsNT()) {
      error = ERROR_INVALID_LEVEL;
    } else {
      if (pcbNeeded) *pcbNeeded = 0;
      if (pcReturned) *pcReturned = 0;
      sim::Journal(line, 0);
      return TRUE;
    }
  }
  if (!error) {
    std::vector<sim::Port> ports = sim::AllPorts(sim::State(), Level);
    if (Level == 1) {
      error = sim::Pack<PORT_INFO_1A>(
          ports.size(),
          [&](size_t i, PORT_INFO_1A& r, sim::StringPool& pool) {
            r.pName = pool.Add(ports[i].name);
          },
          pPort, cbBuf, pcbNeeded, pcReturned);
    } else {
      error = sim::Pack<PORT_INFO_2A>(
          ports.size(),
          [&](size_t i, PORT_INFO_2A& r, sim::StringPool& pool) {
            r.pPortName = pool.Add(ports[i].name);
            r.pMonitorName = pool.Add(ports[i].monitor);
            r.pDescription = pool.Add(ports[i].description);
            r.fPortType = ports[i].type;
          },
          pPort, cbBuf, pcbNeeded, pcReturned);
    }
  }
  sim::Journal(line, error);
  return sim::Finish(error);
}

// Registers a monitor (level 2 only) and loads its library from the system
// folder. NT: 3006 when the monitor is registered already, 126 when the
// library is missing; the 9x family answers 183 and 87 instead. A library
// that is no image for this processor gives 193, one without the entry
// point of this platform 127, an entry point that fails its own error; the
// monitor is then not registered.
BOOL WINAPI AddMonitorA(LPSTR pName, DWORD Level, LPBYTE pMonitors) {
  sim::ApiLock lock;
  const auto* info = Level == 2 ? reinterpret_cast<const MONITOR_INFO_2A*>(pMonitors) : nullptr;
  std::string line = "AddMonitorA";
  if (info) {
    line += " " + sim::Text(info->pName) + ", " + sim::Text(info->pEnvironment) + ", " +
            sim::Text(info->pDLLName);
  }
  DWORD error = sim::Enter("AddMonitorA", pName);
  bool nt = sim::IsNT();
  const std::string& own = M().platform().environment;
  if (error) {
  } else if (Level != 2) {
    error = ERROR_INVALID_LEVEL;
  } else if (!info) {
    error = ERROR_INVALID_PARAMETER;
  } else if (!sim::IsAdmin()) {
    error = ERROR_ACCESS_DENIED;
  } else if (!nt && !sim::EqualNoCase(sim::Text(info->pEnvironment), own)) {
    error = ERROR_INVALID_ENVIRONMENT;  // 9x looks at the environment first
  } else if (sim::Empty(info->pName)) {
    error = ERROR_INVALID_PARAMETER;
  } else if (!sim::EqualNoCase(sim::Or(info->pEnvironment, own), own)) {
    error = ERROR_INVALID_ENVIRONMENT;
  } else if (sim::Empty(info->pDLLName)) {
    error = ERROR_INVALID_PARAMETER;
  } else if (sim::RegisteredMonitor(info->pName)) {
    error = nt ? ERROR_PRINT_MONITOR_ALREADY_INSTALLED : ERROR_ALREADY_EXISTS;
  } else {
    error = sim::LoadMonitor(sim::State(), info->pName, info->pDLLName);
  }
  if (!error) {
    std::string key =
        sim::MonitorKey(sim::FindSubKey(sim::kMonitors, info->pName).value_or(info->pName));
    sim::Reg().CreateKey(HKEY_LOCAL_MACHINE, key);
    sim::Reg().SetString(HKEY_LOCAL_MACHINE, key, "Driver", info->pDLLName);
  }
  sim::Journal(line, error);
  return sim::Finish(error);
}

// Removes a monitor's key with all its ports. The environment is not looked
// at for the local computer (Windows before Vista). The library stays loaded
// until the spooler stops, unless SetUnloadOnDelete(true).
BOOL WINAPI DeleteMonitorA(LPSTR pName, LPSTR pEnvironment, LPSTR pMonitorName) {
  sim::ApiLock lock;
  std::string line = "DeleteMonitorA " + sim::Text(pEnvironment) + ", " + sim::Text(pMonitorName);
  sim::Spooler::Impl& s = sim::State();
  bool nt = sim::IsNT();
  DWORD error = sim::Enter("DeleteMonitorA", pName);
  std::optional<std::string> monitor;
  if (error) {
  } else if (!sim::IsAdmin()) {
    error = ERROR_ACCESS_DENIED;
  } else if (sim::Empty(pMonitorName)) {
    error = nt ? ERROR_INVALID_PARAMETER : ERROR_INVALID_NAME;
  } else if (!(monitor = sim::RegisteredMonitor(pMonitorName))) {
    error = nt ? ERROR_UNKNOWN_PRINT_MONITOR : ERROR_INVALID_PARAMETER;
  } else if (sim::MonitorInUse(s, *monitor)) {
    error = ERROR_PRINT_MONITOR_IN_USE;
  }
  if (!error) {
    sim::Reg().DeleteTree(HKEY_LOCAL_MACHINE, sim::MonitorKey(*monitor));
    if (s.unload_on_delete) sim::UnloadMonitor(s, *monitor);
  }
  sim::Journal(line, error);
  return sim::Finish(error);
}

// ---- winspool: drivers ---------------------------------------------------------------------

// Copies the driver folder of an environment (null or empty: the platform's
// own) as a NUL-ended text; *pcbNeeded receives its size.
BOOL WINAPI GetPrinterDriverDirectoryA(LPSTR pName, LPSTR pEnvironment, DWORD Level,
                                       LPBYTE pDriverDirectory, DWORD cbBuf, LPDWORD pcbNeeded) {
  sim::ApiLock lock;
  DWORD error = sim::Enter("GetPrinterDriverDirectoryA", pName);
  std::optional<sim::Environment> env;
  if (error) {
  } else if (sim::IsNT() && Level != 1) {
    error = ERROR_INVALID_LEVEL;  // the 9x family does not look at the level
  } else if (!(env = sim::FindEnvironment(pEnvironment))) {
    error = ERROR_INVALID_ENVIRONMENT;
  } else if (!pcbNeeded && sim::IsNT()) {
    error = RPC_X_NULL_REF_POINTER;
  } else {
    DWORD needed = static_cast<DWORD>(env->dir.size() + 1);
    if (pcbNeeded) *pcbNeeded = needed;
    if (cbBuf < needed) {
      error = ERROR_INSUFFICIENT_BUFFER;
    } else if (!pDriverDirectory) {
      error = ERROR_INVALID_USER_BUFFER;
    } else {
      std::memcpy(pDriverDirectory, env->dir.c_str(), needed);
    }
  }
  return sim::Finish(error);
}

// Installs a driver (levels 2, 3 and 6, as far as the platform takes them):
// checks that every file named is found, copies the files into the driver
// folder (NT: its version subfolder) and records the driver in the registry.
// Every record passed is kept in driver_calls, whatever the outcome.
BOOL WINAPI AddPrinterDriverA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo) {
  sim::ApiLock lock;
  sim::DriverRecord record = sim::CopyDriverRecord(Level, pDriverInfo);
  M().spooler.driver_calls.push_back(record);
  std::string name = "NULL", env = "NULL";
  if (pDriverInfo && Level >= 2) {
    const auto* di = reinterpret_cast<const DRIVER_INFO_3A*>(pDriverInfo);
    name = sim::Text(di->pName);
    env = sim::Text(di->pEnvironment);
  }
  DWORD error = sim::Enter("AddPrinterDriverA", pName);
  if (!error) error = sim::InstallDriver(Level, record, pDriverInfo);
  M().Note("AddPrinterDriverA " + std::to_string(Level) + ", " + name + ", " + env + " -> " +
           (error ? std::to_string(error) : std::string("ok")));
  return sim::Finish(error);
}

// Removes a driver from the environment (null: the platform's own), on the
// NT family from every version; its files stay.
BOOL WINAPI DeletePrinterDriverA(LPSTR pName, LPSTR pEnvironment, LPSTR pDriverName) {
  sim::ApiLock lock;
  std::string line =
      "DeletePrinterDriverA " + sim::Text(pEnvironment) + ", " + sim::Text(pDriverName);
  DWORD error = sim::Enter("DeletePrinterDriverA", pName);
  std::optional<sim::Environment> env;
  std::vector<sim::InstalledDriver> found;
  if (error) {
  } else if (!sim::IsAdmin()) {
    error = ERROR_ACCESS_DENIED;
  } else if (!(env = sim::FindEnvironment(pEnvironment))) {
    error = ERROR_INVALID_ENVIRONMENT;
  } else if (!pDriverName) {
    error = ERROR_INVALID_PARAMETER;
  } else {
    std::string name = pDriverName;
    found = sim::FindDrivers(*env, &name);
    if (found.empty()) {
      error = ERROR_UNKNOWN_PRINTER_DRIVER;
    } else if (env->own && sim::DriverInUse(name)) {
      error = ERROR_PRINTER_DRIVER_IN_USE;
    }
  }
  if (!error) {
    for (const sim::InstalledDriver& driver : found) {
      sim::Reg().DeleteTree(HKEY_LOCAL_MACHINE, driver.key);
    }
  }
  sim::Journal(line, error);
  return sim::Finish(error);
}

// Lists the drivers of an environment, level 1 (names) or 3 (full records,
// file names as full paths).
BOOL WINAPI EnumPrinterDriversA(LPSTR pName, LPSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo,
                                DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  sim::ApiLock lock;
  DWORD error = sim::Enter("EnumPrinterDriversA", pName);
  if (!error) error = sim::CheckCounters(pcbNeeded, pcReturned);
  if (!error && Level != 1 && Level != 3) error = ERROR_INVALID_LEVEL;
  std::optional<sim::Environment> env;
  if (!error && !(env = sim::FindEnvironment(pEnvironment))) error = ERROR_INVALID_ENVIRONMENT;
  if (error) return sim::Finish(error);

  std::vector<sim::InstalledDriver> drivers = sim::FindDrivers(*env);
  if (Level == 1) {
    error = sim::Pack<DRIVER_INFO_1A>(
        drivers.size(),
        [&](size_t i, DRIVER_INFO_1A& r, sim::StringPool& pool) {
          r.pName = pool.Add(drivers[i].name);
        },
        pDriverInfo, cbBuf, pcbNeeded, pcReturned);
    return sim::Finish(error);
  }
  error = sim::Pack<DRIVER_INFO_3A>(
      drivers.size(),
      [&](size_t i, DRIVER_INFO_3A& r, sim::StringPool& pool) {
        const sim::InstalledDriver& d = drivers[i];
        std::string dir = sim::DriverFileDir(*env, d.version) + "\\";
        auto path = [&](const char* value) {
          std::string file = sim::ReadString(d.key, value);
          return file.empty() ? file : dir + file;
        };
        std::vector<std::string> dependents;
        if (auto v = sim::Reg().GetValue(HKEY_LOCAL_MACHINE, d.key, "Dependent Files")) {
          for (const std::string& file : sim::ReadMultiString(*v)) dependents.push_back(dir + file);
        }
        r.cVersion = env->versioned ? d.version : sim::ReadDword(d.key, "Version");
        r.pName = pool.Add(d.name);
        r.pEnvironment = pool.Add(env->name);
        r.pDriverPath = pool.Add(path("Driver"));
        r.pDataFile = pool.Add(path("Data File"));
        r.pConfigFile = pool.Add(path("Configuration File"));
        r.pHelpFile = pool.AddOptional(path("Help File"));
        r.pDependentFiles = pool.AddList(dependents);
        r.pMonitorName = pool.AddOptional(sim::ReadString(d.key, "Monitor"));
        r.pDefaultDataType = pool.AddOptional(sim::ReadString(d.key, "Datatype"));
      },
      pDriverInfo, cbBuf, pcbNeeded, pcReturned);
  return sim::Finish(error);
}

// ---- winspool: printers ---------------------------------------------------------------------

// Creates a local printer from a PRINTER_INFO_2 record and returns a handle on
// it with full access, or null. Every record passed is kept in printer_calls.
HANDLE WINAPI AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) {
  sim::ApiLock lock;
  const auto* pi = Level == 2 ? reinterpret_cast<const PRINTER_INFO_2A*>(pPrinter) : nullptr;
  std::string line = "AddPrinterA";
  if (pi) {
    M().spooler.printer_calls.push_back(sim::CopyPrinterRecord(*pi));
    line += " " + sim::Text(pi->pPrinterName) + ", " + sim::Text(pi->pPortName) + ", " +
            sim::Text(pi->pDriverName);
  }
  sim::Spooler::Impl& s = sim::State();
  DWORD error = sim::Enter("AddPrinterA", pName);
  if (error) {
  } else if (Level != 2) {
    error = ERROR_INVALID_LEVEL;
  } else if (!pi) {
    error = ERROR_INVALID_PARAMETER;
  } else if (!sim::IsAdmin()) {
    error = ERROR_ACCESS_DENIED;
  } else {
    error = sim::CheckNewPrinter(s, *pi);
  }
  sim::Journal(line, error);
  if (error) {
    SetLastError(error);
    return nullptr;
  }
  sim::WritePrinter(*pi);
  return sim::NewPrinterHandle(s, pi->pPrinterName, PRINTER_ALL_ACCESS);
}

// Opens a printer (NT: a null name opens the print server). Users without
// administrative rights get no more than PRINTER_ACCESS_USE.
BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDefault) {
  sim::ApiLock lock;
  sim::Spooler::Impl& s = sim::State();
  bool nt = sim::IsNT();
  DWORD error = sim::Enter("OpenPrinterA", nullptr);
  std::string printer;
  ACCESS_MASK access =
      pDefault && pDefault->DesiredAccess ? pDefault->DesiredAccess : PRINTER_ACCESS_USE;
  constexpr ACCESS_MASK kAdminRights = PRINTER_ACCESS_ADMINISTER | SERVER_ACCESS_ADMINISTER |
                                       DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;
  if (error) {
  } else if (!phPrinter) {
    error = ERROR_INVALID_PARAMETER;
  } else if (!pPrinterName) {
    if (!nt) error = ERROR_INVALID_PARAMETER;  // only NT opens the server itself
  } else if (!*pPrinterName) {
    error = nt ? ERROR_INVALID_PRINTER_NAME : ERROR_INVALID_PARAMETER;
  } else if (auto key = sim::FindSubKey(sim::kPrinters, pPrinterName)) {
    printer = *key;
  } else {
    error = ERROR_INVALID_PRINTER_NAME;
  }
  if (!error && !sim::IsAdmin() && (access & kAdminRights)) error = ERROR_ACCESS_DENIED;
  if (error) return sim::Finish(error);
  *phPrinter = sim::NewPrinterHandle(s, printer, access);
  return TRUE;
}

// Deletes the printer behind the handle: its key goes with all its subkeys,
// and its port is closed when no other printer uses it. While jobs are
// queued for it the printer is only marked for deletion
// (PRINTER_STATUS_PENDING_DELETION): it goes with its last job, and until
// then its driver and monitor stay in use.
BOOL WINAPI DeletePrinter(HANDLE hPrinter) {
  sim::ApiLock lock;
  sim::Spooler::Impl& s = sim::State();
  sim::Spooler::Impl::PrinterHandle* h = sim::FindPrinterHandle(s, hPrinter);
  std::string line = "DeletePrinter " + (h ? h->printer : std::string("<invalid handle>"));
  DWORD error = sim::Enter("DeletePrinter", nullptr);
  std::optional<std::string> key;
  if (error) {
  } else if (!(h = sim::FindPrinterHandle(s, hPrinter)) || h->printer.empty()) {
    error = ERROR_INVALID_HANDLE;
  } else if (!sim::IsAdmin() ||
             (sim::IsNT() && !(h->access & (PRINTER_ACCESS_ADMINISTER | DELETE | GENERIC_ALL)))) {
    error = ERROR_ACCESS_DENIED;
  } else if (h->deleted || !(key = sim::FindSubKey(sim::kPrinters, h->printer)) ||
             sim::IsPendingDeletion(*key)) {
    error = ERROR_PRINTER_DELETED;
  } else if (sim::HasJobs(s, *key)) {
    std::string printer = sim::PrinterKey(*key);
    DWORD status = sim::ReadDword(printer, "Status") | PRINTER_STATUS_PENDING_DELETION;
    sim::Reg().SetDword(HKEY_LOCAL_MACHINE, printer, "Status", status);
    h->deleted = true;
    line += " (pending deletion)";
  } else {
    sim::DeletePrinterNow(s, *key);
    h->deleted = true;
  }
  sim::Journal(line, error);
  return sim::Finish(error);
}

// Level 0 only (the other levels set printer records, which nothing here
// does): pauses or resumes the printer (a paused printer's jobs wait), or
// purges it, deleting every job queued for it with its spool files; the job
// being sent is marked deleting and goes once its port has ended it. On the
// NT family the handle needs PRINTER_ACCESS_ADMINISTER. Other commands give
// 1803.
BOOL WINAPI SetPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
  sim::ApiLock lock;
  sim::Spooler::Impl& s = sim::State();
  sim::Spooler::Impl::PrinterHandle* h = sim::FindPrinterHandle(s, hPrinter);
  std::string line = "SetPrinterA " + (h ? h->printer : std::string("<invalid handle>")) + ", " +
                     std::to_string(Level) + ", " + std::to_string(Command);
  DWORD error = sim::Enter("SetPrinterA", nullptr);
  std::optional<std::string> key;
  if (error) {
  } else if (!(h = sim::FindPrinterHandle(s, hPrinter)) || h->printer.empty()) {
    error = ERROR_INVALID_HANDLE;
  } else if (Level != 0) {
    error = ERROR_INVALID_LEVEL;
  } else if (Command != PRINTER_CONTROL_PAUSE && Command != PRINTER_CONTROL_RESUME &&
             Command != PRINTER_CONTROL_PURGE) {
    error = ERROR_INVALID_PRINTER_COMMAND;
  } else if (!sim::IsAdmin() ||
             (sim::IsNT() && !(h->access & (PRINTER_ACCESS_ADMINISTER | GENERIC_ALL)))) {
    error = ERROR_ACCESS_DENIED;
  } else if (!(key = sim::FindSubKey(sim::kPrinters, h->printer))) {
    error = ERROR_PRINTER_DELETED;
  } else if (Command == PRINTER_CONTROL_PURGE) {
    sim::PurgeJobs(s, *key);
  } else {
    std::string printer = sim::PrinterKey(*key);
    DWORD status = sim::ReadDword(printer, "Status");
    status = Command == PRINTER_CONTROL_PAUSE ? status | PRINTER_STATUS_PAUSED
                                              : status & ~static_cast<DWORD>(PRINTER_STATUS_PAUSED);
    sim::Reg().SetDword(HKEY_LOCAL_MACHINE, printer, "Status", status);
    if (Command == PRINTER_CONTROL_RESUME) sim::SendWaitingJobs(s);
  }
  (void)pPrinter;
  sim::Journal(line, error);
  return sim::Finish(error);
}

// Closes a printer handle, ending a document begun on it as EndDocPrinter
// would. Handles from before a spooler restart are gone.
BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
  sim::ApiLock lock;
  if (M().TakeFault("ClosePrinter")) return FALSE;
  sim::Spooler::Impl& s = sim::State();
  sim::Spooler::Impl::PrinterHandle* h = sim::FindPrinterHandle(s, hPrinter);
  if (!h) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (h->job) sim::EndDocument(s, *h);
  s.handles.erase(reinterpret_cast<uintptr_t>(hPrinter));
  M().LeaveError("ClosePrinter");
  return TRUE;
}

// Lists the local printers, level 1 or 2.
BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                          LPDWORD pcbNeeded, LPDWORD pcReturned) {
  sim::ApiLock lock;
  DWORD error = sim::Enter("EnumPrintersA", Name);
  if (!error) error = sim::CheckCounters(pcbNeeded, pcReturned);
  if (!error && Level != 1 && Level != 2) error = ERROR_INVALID_LEVEL;
  if (error) return sim::Finish(error);

  std::vector<std::string> printers;
  if (Flags & PRINTER_ENUM_LOCAL) printers = sim::Printers();
  auto value = [&](size_t i, const char* name) {
    return sim::ReadString(sim::PrinterKey(printers[i]), name);
  };
  auto number = [&](size_t i, const char* name) {
    return sim::ReadDword(sim::PrinterKey(printers[i]), name);
  };
  if (Level == 1) {
    error = sim::Pack<PRINTER_INFO_1A>(
        printers.size(),
        [&](size_t i, PRINTER_INFO_1A& r, sim::StringPool& pool) {
          r.Flags = PRINTER_ENUM_ICON8;
          r.pDescription =
              pool.Add(printers[i] + "," + value(i, "Printer Driver") + "," + value(i, "Location"));
          r.pName = pool.Add(printers[i]);
          r.pComment = pool.Add(value(i, "Description"));
        },
        pPrinterEnum, cbBuf, pcbNeeded, pcReturned);
    return sim::Finish(error);
  }
  error = sim::Pack<PRINTER_INFO_2A>(
      printers.size(),
      [&](size_t i, PRINTER_INFO_2A& r, sim::StringPool& pool) {
        r.pPrinterName = pool.Add(printers[i]);
        r.pShareName = pool.Add(value(i, "Share Name"));
        r.pPortName = pool.Add(value(i, "Port"));
        r.pDriverName = pool.Add(value(i, "Printer Driver"));
        r.pComment = pool.Add(value(i, "Description"));
        r.pLocation = pool.Add(value(i, "Location"));
        r.pSepFile = pool.Add(value(i, "Separator File"));
        r.pPrintProcessor = pool.Add(value(i, "Print Processor"));
        r.pDatatype = pool.Add(value(i, "Datatype"));
        r.pParameters = pool.Add(value(i, "Parameters"));
        r.Attributes = number(i, "Attributes");
        r.Priority = number(i, "Priority");
        r.DefaultPriority = number(i, "Default Priority");
        r.StartTime = number(i, "StartTime");
        r.UntilTime = number(i, "UntilTime");
        r.Status = number(i, "Status");
      },
      pPrinterEnum, cbBuf, pcbNeeded, pcReturned);
  return sim::Finish(error);
}
