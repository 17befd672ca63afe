// The port monitors of the simulated spooler: loading a monitor's library
// and calling its entry point as the platform's spooler does, the registry
// functions (MONITORREG) handed to InitializePrintMonitor2, and the calls
// into a monitor's table, whichever of the three kinds it is:
//
// - MONITOR2 from InitializePrintMonitor2 (Windows 2000 and later), wide
//   texts, every monitor-level call with the instance's handle;
// - MONITOR from InitializePrintMonitor (Windows NT 4.0; later NT-family
//   spoolers fall back to it for a library without the newer entry), wide;
// - the 9x MONITOR table InitializeMonitorEx fills in, ANSI.
//
// A call into a monitor keeps the caller's last error; an unload while a
// call runs (the spooler stopped while a port thread was in WritePort)
// completes when the call returns.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/code_page.h"
#include "sim/machine.h"
#include "sim/scheduler.h"
#include "sim/spooler_impl.h"
#include "sim/win32_api.h"

namespace sim {

namespace {

constexpr char kEntry2[] = "InitializePrintMonitor2";
constexpr char kEntryNt4[] = "InitializePrintMonitor";
constexpr char kEntry9x[] = "InitializeMonitorEx";
// The placeholder library InstallMonitor uses when the machine knows no
// image of the product's monitor.
constexpr char kPlaceholderImage[] = "simulated placeholder monitor";

typedef LPMONITOR2(WINAPI* Entry2)(PMONITORINIT, PHANDLE);
typedef LPMONITOREX(WINAPI* EntryNt4)(LPWSTR);
typedef BOOL(WINAPI* Entry9x)(LPSTR, Monitor9xTable*);

// ---- Texts ---------------------------------------------------------------------------

// A NUL-ended UTF-16 text in the ANSI code page; empty for none.
std::string Narrow(LPCWSTR wide) { return wide ? WideToAnsi(wide) : std::string(); }

// ---- MONITORREG: the monitor's key through the spooler ---------------------------------

// The key path behind a handle the functions gave, or null.
const std::string* KeyPath(HANDLE handle) {
  const Spooler::Impl& s = State();
  auto it = s.registry_keys.find(reinterpret_cast<uintptr_t>(handle));
  return it == s.registry_keys.end() ? nullptr : &it->second;
}

// A new handle on the key at `path`.
HANDLE NewKeyHandle(const std::string& path) {
  Spooler::Impl& s = State();
  const uintptr_t value = s.next_registry_key;
  s.next_registry_key += 4;
  s.registry_keys[value] = path;
  return reinterpret_cast<HANDLE>(value);
}

// `subkey` (wide, possibly null or empty) below the key behind `handle`;
// false when the handle is none of ours.
bool SubkeyPath(HANDLE handle, LPCWSTR subkey, std::string* path) {
  const std::string* base = KeyPath(handle);
  if (!base) return false;
  const std::string sub = Narrow(subkey);
  *path = sub.empty() ? *base : *base + "\\" + sub;
  return true;
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// A value's data as the wide registry functions give it: texts in UTF-16.
std::vector<BYTE> WideData(const RegValue& value) {
  if (!IsText(value.type)) return value.data;
  const std::wstring wide = AnsiToWide(std::string(value.data.begin(), value.data.end()));
  const BYTE* bytes = reinterpret_cast<const BYTE*>(wide.data());
  return std::vector<BYTE>(bytes, bytes + wide.size() * sizeof(WCHAR));
}

// Copies data as RegQueryValueExW does: ERROR_MORE_DATA with the size when
// the buffer is too small, only the size without a buffer.
LONG CopyData(const std::vector<BYTE>& data, PBYTE out, PDWORD size) {
  const DWORD needed = static_cast<DWORD>(data.size());
  if (!size) return out ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  if (out && *size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  if (out && needed) std::memcpy(out, data.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

// Copies a name as RegEnumKeyExW does: *chars holds the buffer's size and
// receives the name's length without its NUL.
LONG CopyName(const std::string& name, LPWSTR out, PDWORD chars) {
  if (!out || !chars) return ERROR_INVALID_PARAMETER;
  const std::wstring wide = AnsiToWide(name);
  if (*chars <= wide.size()) {
    *chars = static_cast<DWORD>(wide.size() + 1);
    return ERROR_MORE_DATA;
  }
  std::copy(wide.begin(), wide.end(), out);
  out[wide.size()] = L'\0';
  *chars = static_cast<DWORD>(wide.size());
  return ERROR_SUCCESS;
}

// The MONITORREG functions work as the wide registry functions of the same
// names on keys below the monitor's own; each returns a registry error code.
// Only the ones the monitor calls are offered; the table leaves the others
// (fpDeleteKey, fpQueryInfoKey, fpDeleteValue, fpEnumValue) null.

// Opens `subkey`, creating it when missing.
LONG WINAPI SplCreateKey(HANDLE key, LPCWSTR subkey, DWORD, REGSAM, PSECURITY_ATTRIBUTES,
                         PHANDLE result, PDWORD disposition, HANDLE) {
  ApiLock lock;
  std::string path;
  if (!result) return ERROR_INVALID_PARAMETER;
  if (!SubkeyPath(key, subkey, &path)) return ERROR_INVALID_HANDLE;
  const bool existed = Reg().KeyExists(HKEY_LOCAL_MACHINE, path);
  if (!existed) Reg().CreateKey(HKEY_LOCAL_MACHINE, path);
  if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *result = NewKeyHandle(path);
  return ERROR_SUCCESS;
}

// Opens an existing `subkey` (ERROR_FILE_NOT_FOUND otherwise).
LONG WINAPI SplOpenKey(HANDLE key, LPCWSTR subkey, REGSAM, PHANDLE result, HANDLE) {
  ApiLock lock;
  std::string path;
  if (!result) return ERROR_INVALID_PARAMETER;
  if (!SubkeyPath(key, subkey, &path)) return ERROR_INVALID_HANDLE;
  if (!Reg().KeyExists(HKEY_LOCAL_MACHINE, path)) return ERROR_FILE_NOT_FOUND;
  *result = NewKeyHandle(path);
  return ERROR_SUCCESS;
}

// Ends a handle the functions gave.
LONG WINAPI SplCloseKey(HANDLE key, HANDLE) {
  ApiLock lock;
  return State().registry_keys.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS
                                                                        : ERROR_INVALID_HANDLE;
}

// The name of subkey `index`; ERROR_NO_MORE_ITEMS past the last.
LONG WINAPI SplEnumKey(HANDLE key, DWORD index, LPWSTR name, PDWORD chars, PFILETIME written,
                       HANDLE) {
  ApiLock lock;
  const std::string* path = KeyPath(key);
  if (!path) return ERROR_INVALID_HANDLE;
  const std::vector<std::string> keys = Reg().SubKeys(HKEY_LOCAL_MACHINE, *path);
  if (index >= keys.size()) return ERROR_NO_MORE_ITEMS;
  if (written) *written = FILETIME{};
  return CopyName(keys[index], name, chars);
}

// Writes a value; texts arrive in UTF-16 and are kept in the code page.
LONG WINAPI SplSetValue(HANDLE key, LPCWSTR name, DWORD type, const BYTE* data, DWORD size,
                        HANDLE) {
  ApiLock lock;
  const std::string* path = KeyPath(key);
  if (!path) return ERROR_INVALID_HANDLE;
  if (!data && size) return ERROR_INVALID_PARAMETER;
  std::vector<BYTE> stored(data, data + size);
  if (IsText(type)) {
    const std::string ansi =
        WideToAnsi(std::wstring(reinterpret_cast<const WCHAR*>(data), size / sizeof(WCHAR)));
    stored.assign(ansi.begin(), ansi.end());
  }
  Reg().SetValue(HKEY_LOCAL_MACHINE, *path, Narrow(name), type, stored);
  return ERROR_SUCCESS;
}

// The type and data of a value; ERROR_FILE_NOT_FOUND when it is missing.
LONG WINAPI SplQueryValue(HANDLE key, LPCWSTR name, PDWORD type, PBYTE data, PDWORD size,
                          HANDLE) {
  ApiLock lock;
  const std::string* path = KeyPath(key);
  if (!path) return ERROR_INVALID_HANDLE;
  const std::optional<RegValue> value = Reg().GetValue(HKEY_LOCAL_MACHINE, *path, Narrow(name));
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (type) *type = value->type;
  return CopyData(WideData(*value), data, size);
}

MONITORREG registry_functions = {sizeof(MONITORREG),
                                 SplCreateKey,
                                 SplOpenKey,
                                 SplCloseKey,
                                 nullptr,  // fpDeleteKey
                                 SplEnumKey,
                                 nullptr,  // fpQueryInfoKey
                                 SplSetValue,
                                 nullptr,  // fpDeleteValue
                                 nullptr,  // fpEnumValue
                                 SplQueryValue};

// ---- Calls into a monitor ------------------------------------------------------------------

void FinishUnload(MonitorHost& host);

// Runs one call into the monitor: counted, so that an unload waits for it,
// and keeping the caller's last error. Returns 0, or the monitor's error
// when `body` returns FALSE (ERROR_CAN_NOT_COMPLETE when it set none).
DWORD CallMonitor(MonitorHost& host, const std::function<BOOL()>& body) {
  const DWORD saved = GetLastError();
  ++host.calls;
  SetLastError(ERROR_SUCCESS);
  const BOOL ok = body();
  DWORD error = ok ? 0 : GetLastError();
  if (!ok && !error) error = ERROR_CAN_NOT_COMPLETE;
  SetLastError(saved);
  if (--host.calls == 0 && host.retired) FinishUnload(host);
  return error;
}

// Closes every port the monitor has open and, for MONITOR2, shuts it down;
// its registry handle goes, and its library is unmapped unless another
// loaded monitor uses the same library.
void FinishUnload(MonitorHost& host) {
  if (host.finished) return;
  host.finished = true;
  const DWORD saved = GetLastError();
  std::map<std::string, HANDLE> ports;
  ports.swap(host.open_ports);
  for (const auto& port : ports)
    if (host.close_port) host.close_port(port.second);
  if (host.table == MonitorHost::Table::kMonitor2 && host.monitor2.pfnShutdown)
    host.monitor2.pfnShutdown(host.handle);
  SetLastError(saved);
  Spooler::Impl& s = State();
  s.registry_keys.erase(reinterpret_cast<uintptr_t>(host.init.hckRegistryRoot));
  for (const std::shared_ptr<MonitorHost>& other : s.hosts)
    if (EqualNoCase(other->path, host.path)) return;
  M().files.SetLoaded(host.path, false);
}

// Takes the monitor out of the spooler's list; the unload finishes now or
// when its last running call returns.
void Retire(Spooler::Impl& s, const std::shared_ptr<MonitorHost>& host) {
  s.hosts.erase(std::remove(s.hosts.begin(), s.hosts.end(), host), s.hosts.end());
  host->retired = true;
  if (host->calls == 0) FinishUnload(*host);
}

// EnumPorts of whichever table, into `buffer`. Returns 0 or the error.
DWORD EnumPortsOf(MonitorHost& host, DWORD level, std::vector<BYTE>* buffer, DWORD* count) {
  DWORD needed = 0;
  DWORD error = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD size = static_cast<DWORD>(buffer->size());
    LPBYTE data = buffer->empty() ? nullptr : buffer->data();
    *count = 0;
    error = CallMonitor(host, [&] {
      switch (host.table) {
        case MonitorHost::Table::kMonitor2:
          return host.monitor2.pfnEnumPorts
                     ? host.monitor2.pfnEnumPorts(host.handle, nullptr, level, data, size, &needed,
                                                  count)
                     : FALSE;
        case MonitorHost::Table::kMonitorEx:
          return host.monitor1.pfnEnumPorts
                     ? host.monitor1.pfnEnumPorts(nullptr, level, data, size, &needed, count)
                     : FALSE;
        case MonitorHost::Table::kAnsi9x:
          return host.ansi.pfnEnumPorts
                     ? host.ansi.pfnEnumPorts(nullptr, level, data, size, &needed, count)
                     : FALSE;
      }
      return FALSE;
    });
    if (error != ERROR_INSUFFICIENT_BUFFER) break;
    buffer->assign(needed, 0);
  }
  return error;
}

// The ports in an EnumPorts buffer of `count` records at `level`, wide or
// ANSI as the table speaks.
template <typename Info1, typename Info2, typename ToText>
std::vector<Port> ReadPorts(const std::vector<BYTE>& buffer, DWORD level, DWORD count,
                            const std::string& monitor, ToText text) {
  std::vector<Port> out;
  for (DWORD i = 0; i < count; ++i) {
    Port port;
    port.monitor = monitor;
    if (level == 1) {
      port.name = text(reinterpret_cast<const Info1*>(buffer.data())[i].pName);
    } else {
      const Info2& info = reinterpret_cast<const Info2*>(buffer.data())[i];
      port.name = text(info.pPortName);
      if (info.pMonitorName) port.monitor = text(info.pMonitorName);
      port.description = text(info.pDescription);
      port.type = info.fPortType;
    }
    out.push_back(port);
  }
  return out;
}

// The placeholder monitor: its EnumPorts (in each table's form) offers no
// ports, its entry points give tables with nothing else.
BOOL WINAPI PlaceholderEnumPorts2(HANDLE, LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD needed,
                                  LPDWORD returned) {
  *needed = 0;
  *returned = 0;
  return TRUE;
}
BOOL WINAPI PlaceholderEnumPortsW(LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD needed, LPDWORD returned) {
  return PlaceholderEnumPorts2(nullptr, nullptr, 0, nullptr, 0, needed, returned);
}
BOOL WINAPI PlaceholderEnumPortsA(LPSTR, DWORD, LPBYTE, DWORD, LPDWORD needed, LPDWORD returned) {
  return PlaceholderEnumPorts2(nullptr, nullptr, 0, nullptr, 0, needed, returned);
}
VOID WINAPI PlaceholderShutdown(HANDLE) {}

LPMONITOR2 WINAPI PlaceholderEntry2(PMONITORINIT, PHANDLE handle) {
  static MONITOR2 table = [] {
    MONITOR2 t{};
    t.cbSize = sizeof(MONITOR2);
    t.pfnEnumPorts = PlaceholderEnumPorts2;
    t.pfnShutdown = PlaceholderShutdown;
    return t;
  }();
  *handle = &table;
  return &table;
}
LPMONITOREX WINAPI PlaceholderEntryNt4(LPWSTR) {
  static MONITOREX table = [] {
    MONITOREX t{};
    t.dwMonitorSize = sizeof(MONITOR);
    t.Monitor.pfnEnumPorts = PlaceholderEnumPortsW;
    return t;
  }();
  return &table;
}
BOOL WINAPI PlaceholderEntry9x(LPSTR, Monitor9xTable* table) {
  *table = Monitor9xTable{};
  table->pfnEnumPorts = PlaceholderEnumPortsA;
  return TRUE;
}

// ---- Loading ----------------------------------------------------------------------------

// The library's export `name` as an entry point of type Entry, or null.
template <typename Entry>
Entry EntryOf(const LibraryImage& image, const char* name) {
  auto it = image.exports.find(name);
  if (it == image.exports.end()) return nullptr;
  return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(it->second));
}

// The error of an entry point that failed: its last error, or 127 when it
// set none (a library that gives no table is no monitor).
DWORD EntryError() {
  const DWORD error = GetLastError();
  return error ? error : ERROR_PROC_NOT_FOUND;
}

// Calls the entry point the platform's spooler calls and keeps the table it
// gives in `host`. Returns 0 or the error.
DWORD Initialize(const LibraryImage& image, MonitorHost& host) {
  const std::string key = MonitorKey(host.monitor);
  if (!IsNT()) {
    auto entry = EntryOf<Entry9x>(image, kEntry9x);
    if (!entry) return ERROR_PROC_NOT_FOUND;
    host.table = MonitorHost::Table::kAnsi9x;
    std::string root = key;
    if (!entry(&root[0], &host.ansi)) return EntryError();
    host.write_port = host.ansi.pfnWritePort;
    host.end_doc_port = host.ansi.pfnEndDocPort;
    host.close_port = host.ansi.pfnClosePort;
    return 0;
  }
  // The spooler of Windows 2000 and later calls InitializePrintMonitor2
  // rather than NT 4.0's InitializePrintMonitor.
  auto entry2 = M().platform().Windows2000OrLater() ? EntryOf<Entry2>(image, kEntry2) : nullptr;
  if (entry2) {
    host.table = MonitorHost::Table::kMonitor2;
    host.init.cbSize = sizeof(MONITORINIT);
    host.init.hSpooler = &host;
    host.init.hckRegistryRoot = NewKeyHandle(key);
    host.init.pMonitorReg = &registry_functions;
    host.init.bLocal = TRUE;
    host.init.pszServerName = nullptr;
    const MONITOR2* table = entry2(&host.init, &host.handle);
    if (!table) return EntryError();
    // Only the members the monitor's cbSize covers are taken; the others stay
    // null. Windows 2000's spooler knows the table up to pfnShutdown, and
    // MONITOR2_SIZE_WIN2K counts it as a DWORD and 18 pointers, padding aside.
    host.monitor2.cbSize = std::min<DWORD>(table->cbSize, sizeof(MONITOR2));
    const size_t members =
        host.monitor2.cbSize > sizeof(DWORD)
            ? std::min((host.monitor2.cbSize - sizeof(DWORD)) / sizeof(void*),
                       (sizeof(MONITOR2) - offsetof(MONITOR2, pfnEnumPorts)) / sizeof(void*))
            : 0;
    std::memcpy(&host.monitor2.pfnEnumPorts, &table->pfnEnumPorts, members * sizeof(void*));
    host.start_doc_port = host.monitor2.pfnStartDocPort;
    host.write_port = host.monitor2.pfnWritePort;
    host.end_doc_port = host.monitor2.pfnEndDocPort;
    host.close_port = host.monitor2.pfnClosePort;
    return 0;
  }
  auto entry = EntryOf<EntryNt4>(image, kEntryNt4);
  if (!entry) return ERROR_PROC_NOT_FOUND;
  host.table = MonitorHost::Table::kMonitorEx;
  std::wstring root = AnsiToWide(key);
  const MONITOREX* table = entry(&root[0]);
  if (!table) return EntryError();
  std::memcpy(&host.monitor1, &table->Monitor,
              std::min<size_t>(table->dwMonitorSize, sizeof(MONITOR)));
  host.start_doc_port = host.monitor1.pfnStartDocPort;
  host.write_port = host.monitor1.pfnWritePort;
  host.end_doc_port = host.monitor1.pfnEndDocPort;
  host.close_port = host.monitor1.pfnClosePort;
  return 0;
}

}  // namespace

// ---- Shared with the spooler's other parts ---------------------------------------------

DWORD LoadMonitor(Spooler::Impl& s, const std::string& monitor, const std::string& library) {
  // Still loaded (deleted while its library stayed): taken as it is.
  if (HostOf(s, monitor)) return 0;
  const std::string path = LibraryPath(library);
  // The spooler is a process of the system's own processor.
  DWORD error = 0;
  const LibraryImage* image = FindLibrary(path, M().platform().architecture, &error);
  if (!image) {
    // The 9x spooler answers a missing library with 87.
    if (error == ERROR_MOD_NOT_FOUND && !IsNT()) return ERROR_INVALID_PARAMETER;
    return error;
  }

  auto host = std::make_shared<MonitorHost>();
  host->monitor = monitor;
  host->path = M().files.NameOf(path);
  const DWORD saved = GetLastError();
  SetLastError(ERROR_SUCCESS);
  error = Initialize(*image, *host);
  SetLastError(saved);
  if (error) {
    s.registry_keys.erase(reinterpret_cast<uintptr_t>(host->init.hckRegistryRoot));
    return error;
  }
  M().files.SetLoaded(path, true);
  s.hosts.push_back(host);
  return 0;
}

void UnloadMonitor(Spooler::Impl& s, const std::string& monitor) {
  if (std::shared_ptr<MonitorHost> host = HostOf(s, monitor)) Retire(s, host);
}

void UnloadAllMonitors(Spooler::Impl& s) {
  const std::vector<std::shared_ptr<MonitorHost>> hosts = s.hosts;
  for (const std::shared_ptr<MonitorHost>& host : hosts) Retire(s, host);
}

std::shared_ptr<MonitorHost> HostOf(const Spooler::Impl& s, const std::string& monitor) {
  for (const std::shared_ptr<MonitorHost>& host : s.hosts)
    if (EqualNoCase(host->monitor, monitor)) return host;
  return nullptr;
}

bool MonitorPorts(MonitorHost& host, DWORD level, std::vector<Port>* ports) {
  ports->clear();
  std::vector<BYTE> buffer;
  DWORD count = 0;
  if (EnumPortsOf(host, level, &buffer, &count) != 0) return false;
  if (host.table == MonitorHost::Table::kAnsi9x) {
    *ports = ReadPorts<PORT_INFO_1A, PORT_INFO_2A>(buffer, level, count, host.monitor,
                                                   [](LPSTR text) { return Or(text, ""); });
  } else {
    *ports = ReadPorts<PORT_INFO_1W, PORT_INFO_2W>(
        buffer, level, count, host.monitor, [](LPWSTR text) { return Narrow(text); });
  }
  return true;
}

std::vector<Port> AllPorts(Spooler::Impl& s, DWORD level) {
  std::vector<Port> out;
  for (const std::string& monitor : RegisteredMonitors()) {
    if (EqualNoCase(monitor, kLocalPort)) {
      for (const std::string& port : s.local_ports)
        out.push_back(Port{port, monitor, kLocalPort, PORT_TYPE_WRITE});
      continue;
    }
    std::shared_ptr<MonitorHost> host = HostOf(s, monitor);
    std::vector<Port> ports;
    if (host && MonitorPorts(*host, level, &ports)) out.insert(out.end(), ports.begin(), ports.end());
  }
  return out;
}

bool PortOffered(Spooler::Impl& s, const std::string& port) {
  for (const Port& offered : AllPorts(s, 1))
    if (EqualNoCase(offered.name, port)) return true;
  return false;
}

std::shared_ptr<MonitorHost> PortHost(Spooler::Impl& s, const std::string& port,
                                      std::string* name) {
  for (const std::string& monitor : RegisteredMonitors()) {
    std::shared_ptr<MonitorHost> host = HostOf(s, monitor);
    std::vector<Port> ports;
    if (!host || !MonitorPorts(*host, 1, &ports)) continue;
    for (const Port& offered : ports) {
      if (!EqualNoCase(offered.name, port)) continue;
      *name = offered.name;
      return host;
    }
  }
  return nullptr;
}

void PutDefaultMonitor(const std::string& path) {
  M().files.Put(path, IsNT() ? "MZtavmon" : "MZtavmon95");
  if (M().ImageOfFile(path)) return;
  M().files.Put(path, std::string("MZ") + kPlaceholderImage);
  if (M().ImageOfFile(path)) return;
  LibraryImage image;
  image.id = kPlaceholderImage;
  image.processor = M().platform().architecture;
  image.exports = {{kEntry2, AsFarproc(PlaceholderEntry2)},
                   {kEntryNt4, AsFarproc(PlaceholderEntryNt4)},
                   {kEntry9x, AsFarproc(PlaceholderEntry9x)}};
  M().AddLibraryImage(image);
}

DWORD MonitorOpenPort(MonitorHost& host, const std::string& port, HANDLE* handle) {
  auto open = host.open_ports.find(Upper(port));
  if (open != host.open_ports.end()) {
    *handle = open->second;
    return 0;
  }
  *handle = nullptr;
  std::wstring wide = AnsiToWide(port);
  std::string ansi = port;
  const DWORD error = CallMonitor(host, [&] {
    switch (host.table) {
      case MonitorHost::Table::kMonitor2:
        return host.monitor2.pfnOpenPort
                   ? host.monitor2.pfnOpenPort(host.handle, &wide[0], handle)
                   : FALSE;
      case MonitorHost::Table::kMonitorEx:
        return host.monitor1.pfnOpenPort ? host.monitor1.pfnOpenPort(&wide[0], handle) : FALSE;
      case MonitorHost::Table::kAnsi9x:
        return host.ansi.pfnOpenPort ? host.ansi.pfnOpenPort(&ansi[0], handle) : FALSE;
    }
    return FALSE;
  });
  Journal("OpenPort " + port, error);
  if (error) return error;
  if (host.finished) return ERROR_INVALID_HANDLE;  // unloaded meanwhile, the port with it
  host.open_ports[Upper(port)] = *handle;
  return 0;
}

DWORD MonitorStartDoc(MonitorHost& host, HANDLE port, const std::string& printer, DWORD job,
                      const std::string& document) {
  if (host.table == MonitorHost::Table::kAnsi9x) {
    std::string ansi_printer = printer, ansi_document = document;
    DOC_INFO_1A info = {&ansi_document[0], nullptr, nullptr};
    return CallMonitor(host, [&] {
      return host.ansi.pfnStartDocPort &&
             host.ansi.pfnStartDocPort(port, &ansi_printer[0], job, 1,
                                       reinterpret_cast<LPBYTE>(&info));
    });
  }
  std::wstring wide_printer = AnsiToWide(printer), wide_document = AnsiToWide(document);
  DOC_INFO_1W info = {&wide_document[0], nullptr, nullptr};
  return CallMonitor(host, [&] {
    return host.start_doc_port &&
           host.start_doc_port(port, &wide_printer[0], job, 1, reinterpret_cast<LPBYTE>(&info));
  });
}

DWORD MonitorWrite(MonitorHost& host, HANDLE port, const BYTE* data, DWORD size,
                   DWORD* written) {
  *written = 0;
  return CallMonitor(host, [&] {
    return host.write_port && host.write_port(port, const_cast<LPBYTE>(data), size, written);
  });
}

DWORD MonitorEndDoc(MonitorHost& host, HANDLE port) {
  return CallMonitor(host, [&] { return host.end_doc_port && host.end_doc_port(port); });
}

void MonitorClosePort(MonitorHost& host, const std::string& port) {
  auto open = host.open_ports.find(Upper(port));
  if (open == host.open_ports.end()) return;
  const HANDLE handle = open->second;
  host.open_ports.erase(open);
  const DWORD error =
      CallMonitor(host, [&] { return host.close_port && host.close_port(handle); });
  Journal("ClosePort " + port, error);
}

}  // namespace sim
