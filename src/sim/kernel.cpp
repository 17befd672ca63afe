// kernel32 of the simulated machine, apart from files: the version, the
// per-thread last error, the process's command line, environment and module,
// the Windows folders, process starts with the system's program search, the
// virtual clock and the process heap; and user32's MessageBoxA.
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sim/handles.h"
#include "sim/machine.h"
#include "sim/processes.h"
#include "sim/scheduler.h"
#include "sim/win32_api.h"

static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA as in the SDK");
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "OSVERSIONINFOEXA as in the SDK");

namespace {

thread_local DWORD t_last_error = 0;

// Where the program's own image and the system's libraries are mapped.
constexpr uintptr_t kImageBase = 0x00400000;
struct SystemModule {
  const char* name;
  uintptr_t base;
};
const SystemModule kSystemModules[] = {
    {"kernel32.dll", 0x7C800000}, {"user32.dll", 0x77D40000},  {"advapi32.dll", 0x77DD0000},
    {"shell32.dll", 0x7C9C0000},  {"shlwapi.dll", 0x77F60000}, {"winspool.drv", 0x73000000},
};

bool IsNt() { return sim::M().platform().family == sim::Family::NT; }

// The file part of a path.
std::string BaseName(const std::string& path) {
  size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The folder part of a path, a drive's root kept as "C:\".
std::string FolderOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return std::string();
  if (cut == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, cut);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) return dir + name;
  return dir + "\\" + name;
}

// A system library's full path, spelled as the platform spells it.
std::string SystemModulePath(const char* name) {
  std::string file = IsNt() ? std::string(name) : sim::Upper(name);
  return JoinPath(sim::M().platform().system_dir, file);
}

// The path of a module handle, or "" when no module has that handle.
std::string ModulePath(HMODULE module) {
  uintptr_t value = reinterpret_cast<uintptr_t>(module);
  if (module == nullptr || value == kImageBase) return sim::M().module_path;
  for (const SystemModule& m : kSystemModules)
    if (m.base == value) return SystemModulePath(m.name);
  return std::string();
}

// --- version ---

// The build number of a 9x release: GetVersion carries it in its high word
// on Windows 95 only; 98 and Me leave those bits clear.
DWORD Build9x(DWORD version) {
  DWORD bits = (version >> 16) & 0x3FFF;
  if (bits) return bits;
  DWORD major = version & 0xFF, minor = (version >> 8) & 0xFF;
  if (major == 4 && minor == 0) return 950;
  if (major == 4 && minor == 10) return 1998;
  if (major == 4 && minor == 90) return 3000;
  return 0;
}

// The service pack a platform's name speaks of ("... SP6"), or 0.
WORD ServicePack(const sim::Platform& p) {
  size_t at = p.name.find("SP");
  if (at == std::string::npos || at + 2 >= p.name.size()) return 0;
  return static_cast<WORD>(std::atoi(p.name.c_str() + at + 2));
}

// --- environment blocks handed out by GetEnvironmentStrings ---

std::map<char*, std::unique_ptr<char[]>>& EnvironmentBlocks() {
  static std::map<char*, std::unique_ptr<char[]>> blocks;
  return blocks;
}

// --- process heap ---

struct HeapState {
  std::mutex lock;
  std::set<void*> live;
};

HeapState& Heap() {
  static HeapState heap;
  return heap;
}

int g_process_heap;  // its address serves as the heap's handle

// --- process starts ---

bool HasPath(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

bool HasExtension(const std::string& name) {
  return BaseName(name).find('.') != std::string::npos;
}

// The value of PATH in the process's environment.
std::string PathVariable() {
  for (const std::string& entry : sim::M().environment) {
    if (entry.size() >= 5 && sim::EqualNoCase(entry.substr(0, 5), "PATH=")) return entry.substr(5);
  }
  return std::string();
}

// The folders CreateProcessA searches for a bare program name, in order: the
// program's own folder, the current directory, the system folder, the
// Windows folder, then PATH.
std::vector<std::string> SearchFolders() {
  const sim::Machine& m = sim::M();
  std::vector<std::string> dirs = {FolderOf(m.module_path), m.current_directory,
                                   m.platform().system_dir, m.platform().windows_dir};
  std::string path = PathVariable();
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(';', start);
    std::string dir = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!dir.empty()) dirs.push_back(dir);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return dirs;
}

// Finds a program file: ".exe" is added to a name without extension (a
// trailing dot means "no extension"); a name with a path is looked up there
// only, a bare one in the search folders. Returns its stored full name, or
// "" when no such file exists.
std::string FindProgram(std::string name) {
  if (name.empty()) return std::string();
  if (name.back() == '.')
    name.pop_back();
  else if (!HasExtension(name))
    name += ".exe";
  sim::FileSystem& files = sim::M().files;
  if (HasPath(name)) return files.Exists(name) ? files.NameOf(name) : std::string();
  for (const std::string& dir : SearchFolders()) {
    std::string candidate = JoinPath(dir, name);
    if (files.Exists(candidate)) return files.NameOf(candidate);
  }
  return std::string();
}

// The program a command line starts: a quoted first token, or else the
// shortest prefix ending before a blank that names an existing program
// ("C:\Program Files\x y" tries "C:\Program", "C:\Program Files\x", ...).
std::string ProgramOfCommandLine(const std::string& line) {
  size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  if (line[first] == '"') {
    size_t close = line.find('"', first + 1);
    return FindProgram(
        line.substr(first + 1, close == std::string::npos ? std::string::npos : close - first - 1));
  }
  size_t from = first;
  while (true) {
    size_t blank = line.find_first_of(" \t", from);
    std::string found =
        FindProgram(line.substr(first, blank == std::string::npos ? std::string::npos : blank - first));
    if (!found.empty()) return found;
    if (blank == std::string::npos) return std::string();
    from = line.find_first_not_of(" \t", blank);
    if (from == std::string::npos) return std::string();
  }
}

// The call as the program made it, for Machine::processes.
sim::ProcessRecord RecordOf(LPCSTR app, LPCSTR command_line, LPSECURITY_ATTRIBUTES process_sa,
                            LPSECURITY_ATTRIBUTES thread_sa, BOOL inherit, DWORD flags,
                            LPVOID environment, LPCSTR current_directory,
                            const STARTUPINFOA* startup) {
  sim::ProcessRecord r;
  r.has_application_name = app != nullptr;
  if (app) r.application_name = app;
  if (command_line) r.command_line = command_line;
  r.process_attributes = process_sa != nullptr;
  r.thread_attributes = thread_sa != nullptr;
  r.inherit_handles = inherit;
  r.creation_flags = flags;
  r.environment_passed = environment != nullptr;
  for (const char* entry = static_cast<const char*>(environment); entry && *entry;
       entry += std::strlen(entry) + 1)
    r.environment.push_back(entry);
  r.has_current_directory = current_directory != nullptr;
  if (current_directory) r.current_directory = current_directory;
  if (startup) {
    r.startup = *startup;
    if (startup->lpDesktop) r.startup_desktop = startup->lpDesktop;
    if (startup->lpTitle) r.startup_title = startup->lpTitle;
  }
  return r;
}

// Copies a folder's path as GetSystemDirectoryA does: its length when it
// fits, else the size needed with the NUL, writing nothing.
UINT CopyFolder(const std::string& dir, LPSTR buffer, UINT size) {
  if (buffer && size > dir.size()) {
    std::memcpy(buffer, dir.c_str(), dir.size() + 1);
    return static_cast<UINT>(dir.size());
  }
  return static_cast<UINT>(dir.size() + 1);
}

// The button a box gets when the test queued no answer.
int DefaultAnswer(UINT type) {
  switch (type & MB_TYPEMASK) {
    case 0x2: return IDABORT;  // MB_ABORTRETRYIGNORE
    case 0x3:                  // MB_YESNOCANCEL
    case MB_YESNO: return IDNO;
    case 0x5: return IDCANCEL;  // MB_RETRYCANCEL
    default: return IDOK;
  }
}

}  // namespace

namespace sim {

void ResetLastError() { t_last_error = 0; }

}  // namespace sim

DWORD WINAPI GetLastError(void) { return t_last_error; }

void WINAPI SetLastError(DWORD dwErrCode) { t_last_error = dwErrCode; }

DWORD WINAPI GetVersion(void) { return sim::M().platform().version; }

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("GetVersionExA")) return FALSE;
  const sim::Platform& p = sim::M().platform();
  if (!lpVersionInformation) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD size = lpVersionInformation->dwOSVersionInfoSize;
  bool extended = size == sizeof(OSVERSIONINFOEXA) && p.extended_version_info;
  if (size != sizeof(OSVERSIONINFOA) && !extended) {
    // NT reports the wrong size; Windows 9x fails without a word.
    if (p.family == sim::Family::NT) SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  DWORD major = p.version & 0xFF, minor = (p.version >> 8) & 0xFF;
  OSVERSIONINFOA& info = *lpVersionInformation;
  info.dwMajorVersion = major;
  info.dwMinorVersion = minor;
  if (p.family == sim::Family::NT) {
    info.dwBuildNumber = p.version >> 16;
    info.dwPlatformId = VER_PLATFORM_WIN32_NT;
  } else {
    // 9x: the version in the high word, the build in the low word.
    info.dwBuildNumber = (major << 24) | (minor << 16) | Build9x(p.version);
    info.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
  }
  WORD service_pack = p.family == sim::Family::NT ? ServicePack(p) : 0;
  std::memset(info.szCSDVersion, 0, sizeof(info.szCSDVersion));
  if (service_pack)
    std::strcpy(info.szCSDVersion, ("Service Pack " + std::to_string(service_pack)).c_str());
  if (extended) {
    OSVERSIONINFOEXA& ex = *reinterpret_cast<OSVERSIONINFOEXA*>(lpVersionInformation);
    ex.wServicePackMajor = service_pack;
    ex.wServicePackMinor = 0;
    ex.wSuiteMask = (major == 5 && minor == 1) ? 0x0100 : 0;  // XP: VER_SUITE_SINGLEUSERTS
    ex.wProductType = 1;                                     // VER_NT_WORKSTATION
    ex.wReserved = 0;
  }
  return TRUE;
}

LPSTR WINAPI GetCommandLineA(void) {
  sim::ApiLock lock;
  // Windows hands out the same buffer on every call.
  static std::string line;
  if (line != sim::M().command_line) line = sim::M().command_line;
  return &line[0];
}

LPCH WINAPI GetEnvironmentStrings(void) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("GetEnvironmentStrings")) return nullptr;
  std::string block;
  for (const std::string& entry : sim::M().environment) block += entry + '\0';
  if (block.empty()) block += '\0';
  block += '\0';
  std::unique_ptr<char[]> copy(new char[block.size()]);
  std::memcpy(copy.get(), block.data(), block.size());
  char* raw = copy.get();
  EnvironmentBlocks()[raw] = std::move(copy);
  return raw;
}

BOOL WINAPI FreeEnvironmentStringsA(LPCH penv) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("FreeEnvironmentStringsA")) return FALSE;
  if (EnvironmentBlocks().erase(penv) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("GetModuleFileNameA")) return 0;
  std::string path = ModulePath(hModule);
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (nSize == 0 || !lpFilename) return 0;
  if (path.size() < nSize) {
    std::memcpy(lpFilename, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
  }
  // Too small. NT (up to XP) fills the whole buffer without a NUL and
  // returns its size, leaving the last error alone; 9x keeps room for the NUL.
  if (IsNt()) {
    std::memcpy(lpFilename, path.data(), nSize);
    return nSize;
  }
  std::memcpy(lpFilename, path.data(), nSize - 1);
  lpFilename[nSize - 1] = '\0';
  return nSize - 1;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("GetModuleHandleA")) return nullptr;
  if (!lpModuleName) return reinterpret_cast<HMODULE>(kImageBase);
  std::string name = lpModuleName;
  // ".dll" is assumed unless the name has an extension or ends in a dot.
  if (!name.empty() && name.back() == '.')
    name.pop_back();
  else if (!HasExtension(name))
    name += ".dll";
  bool with_path = HasPath(name);
  auto matches = [&](const std::string& full) {
    return with_path ? sim::EqualNoCase(name, full) : sim::EqualNoCase(name, BaseName(full));
  };
  if (matches(sim::M().module_path)) return reinterpret_cast<HMODULE>(kImageBase);
  for (const SystemModule& m : kSystemModules)
    if (matches(SystemModulePath(m.name))) return reinterpret_cast<HMODULE>(m.base);
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

namespace {

// The pseudo handle GetCurrentProcess returns, as on Windows.
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));

// Fills a system record for the given processor architecture.
void FillSystemInfo(WORD architecture, LPSYSTEM_INFO info) {
  std::memset(info, 0, sizeof(*info));
  info->wProcessorArchitecture = architecture;
  info->dwPageSize = 4096;
  info->dwActiveProcessorMask = 1;
  info->dwNumberOfProcessors = 1;
  info->dwProcessorType = architecture == PROCESSOR_ARCHITECTURE_AMD64 ? 8664 : 586;
  info->dwAllocationGranularity = 65536;
  info->wProcessorLevel = 6;
}

// kernel32!IsWow64Process: TRUE for a 32-bit process on 64-bit Windows.
BOOL WINAPI SimIsWow64Process(HANDLE process, PBOOL wow64) {
  if (process != kCurrentProcess || !wow64) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *wow64 = sim::UnderWow64() ? TRUE : FALSE;
  return TRUE;
}

// kernel32!GetNativeSystemInfo: the system's own processor, whatever the
// process is built for.
void WINAPI SimGetNativeSystemInfo(LPSYSTEM_INFO info) {
  FillSystemInfo(sim::M().platform().architecture, info);
}

}  // namespace

HANDLE WINAPI GetCurrentProcess(void) { return kCurrentProcess; }

// The processor as the running process sees it: a 32-bit process under
// WOW64 is told INTEL.
void WINAPI GetSystemInfo(LPSYSTEM_INFO lpSystemInfo) {
  sim::ApiLock lock;
  WORD architecture =
      sim::UnderWow64() ? PROCESSOR_ARCHITECTURE_INTEL : sim::M().platform().architecture;
  FillSystemInfo(architecture, lpSystemInfo);
}

// The exports a program looks up by name: kernel32's WOW64 probes, on the
// platforms that have them, and GetDiskFreeSpaceExA; winspool's SetPortA
// and GetJobW on the NT family; advapi32's SID, ACL and DACL
// functions on the NT family (SetSecurityDescriptorControl from Windows
// 2000 on). Every other name fails with 127.
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("GetProcAddress")) return nullptr;
  const std::string module = hModule ? BaseName(ModulePath(hModule)) : std::string();
  const bool kernel32 = sim::EqualNoCase(module, "kernel32.dll");
  const bool winspool = sim::EqualNoCase(module, "winspool.drv");
  const bool advapi32 = sim::EqualNoCase(module, "advapi32.dll");
  if ((!kernel32 && !winspool && !advapi32) || !lpProcName) {
    SetLastError(kernel32 || winspool || advapi32 ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  using sim::AsFarproc;
  const std::string name = lpProcName;
  if (kernel32 && sim::M().platform().exports_wow64_probes) {
    if (name == "IsWow64Process") return AsFarproc(&SimIsWow64Process);
    if (name == "GetNativeSystemInfo") return AsFarproc(&SimGetNativeSystemInfo);
  }
  if (kernel32 && name == "GetDiskFreeSpaceExA") return AsFarproc(&GetDiskFreeSpaceExA);
  // Job objects came with Windows 2000.
  if (kernel32 && sim::M().platform().Windows2000OrLater()) {
    if (name == "CreateJobObjectA") return AsFarproc(&CreateJobObjectA);
    if (name == "AssignProcessToJobObject") return AsFarproc(&AssignProcessToJobObject);
    if (name == "SetInformationJobObject") return AsFarproc(&SetInformationJobObject);
  }
  if (winspool && IsNt() && name == "SetPortA") return AsFarproc(&SetPortA);
  if (winspool && IsNt() && name == "GetJobW") return AsFarproc(&GetJobW);
  if (advapi32 && IsNt()) {
    if (name == "AllocateAndInitializeSid") return AsFarproc(&AllocateAndInitializeSid);
    if (name == "FreeSid") return AsFarproc(&FreeSid);
    if (name == "GetLengthSid") return AsFarproc(&GetLengthSid);
    if (name == "InitializeAcl") return AsFarproc(&InitializeAcl);
    if (name == "AddAccessAllowedAce") return AsFarproc(&AddAccessAllowedAce);
    if (name == "SetNamedSecurityInfoA") return AsFarproc(&SetNamedSecurityInfoA);
    if (name == "SetSecurityInfo") return AsFarproc(&SetSecurityInfo);
    if (name == "InitializeSecurityDescriptor") return AsFarproc(&InitializeSecurityDescriptor);
    if (name == "SetSecurityDescriptorDacl") return AsFarproc(&SetSecurityDescriptorDacl);
    if (name == "LookupAccountNameW") return AsFarproc(&LookupAccountNameW);
    if (name == "GetUserNameW") return AsFarproc(&GetUserNameW);
    // Protected DACLs came with Windows 2000.
    if (name == "SetSecurityDescriptorControl" && sim::M().platform().Windows2000OrLater())
      return AsFarproc(&SetSecurityDescriptorControl);
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("GetSystemDirectoryA")) return 0;
  if (sim::M().system_directory_fails) return 0;  // the last error stays as it was
  return CopyFolder(sim::M().platform().system_dir, lpBuffer, uSize);
}

UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("GetWindowsDirectoryA")) return 0;
  return CopyFolder(sim::M().platform().windows_dir, lpBuffer, uSize);
}

BOOL WINAPI CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                           LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                           DWORD dwCreationFlags, LPVOID lpEnvironment,
                           LPCSTR lpCurrentDirectory, LPSTARTUPINFOA lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation) {
  sim::ApiLock lock;
  sim::Machine& m = sim::M();
  DWORD error = 0;
  bool fault = m.TakeFault("CreateProcessA", &error);
  sim::ProcessRecord record =
      RecordOf(lpApplicationName, lpCommandLine, lpProcessAttributes, lpThreadAttributes,
               bInheritHandles, dwCreationFlags, lpEnvironment, lpCurrentDirectory, lpStartupInfo);
  m.Note("CreateProcessA " +
         (lpCommandLine ? std::string(lpCommandLine)
                        : std::string(lpApplicationName ? lpApplicationName : "")));
  // An application name is taken as given (relative to the current
  // directory, no extension added); otherwise the command line's first
  // token is searched for.
  const std::string program = lpApplicationName ? std::string(lpApplicationName)
                              : lpCommandLine   ? ProgramOfCommandLine(lpCommandLine)
                                                : std::string();
  if (!fault) {
    if (!lpStartupInfo || lpStartupInfo->cb < sizeof(STARTUPINFOA) || !lpProcessInformation ||
        (!lpApplicationName && !lpCommandLine)) {
      error = ERROR_INVALID_PARAMETER;
    } else if (lpCurrentDirectory && !m.files.DirectoryExists(lpCurrentDirectory)) {
      error = ERROR_DIRECTORY;
    } else if (lpApplicationName ? !m.files.Exists(lpApplicationName) : program.empty()) {
      error = ERROR_FILE_NOT_FOUND;
    }
    if (error) SetLastError(error);
  }
  record.started = error == 0;
  record.error = error;
  m.processes.push_back(record);
  if (error) return FALSE;
  const std::string line = lpCommandLine ? std::string(lpCommandLine) : program;
  if (const sim::Program* simulated = m.ProgramAt(program)) {
    sim::StartProgramProcess(*simulated, line,
                             lpCurrentDirectory ? lpCurrentDirectory : m.current_directory,
                             bInheritHandles, dwCreationFlags, *lpStartupInfo,
                             lpProcessInformation);
  } else {
    sim::StartEndedProcess(lpProcessInformation);
  }
  return TRUE;
}

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
  sim::ApiLock lock;
  if (lpSystemTime) *lpSystemTime = sim::M().LocalTime();
}

HANDLE WINAPI GetProcessHeap(void) { return &g_process_heap; }

LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, size_t dwBytes) {
  sim::ApiLock lock;
  // Without HEAP_GENERATE_EXCEPTIONS a failing HeapAlloc returns NULL and
  // leaves the last error alone.
  DWORD saved = GetLastError();
  if (sim::M().TakeFault("HeapAlloc")) {
    SetLastError(saved);
    return nullptr;
  }
  if (!hHeap) return nullptr;
  size_t bytes = dwBytes ? dwBytes : 1;
  void* block = (dwFlags & HEAP_ZERO_MEMORY) ? std::calloc(1, bytes) : std::malloc(bytes);
  if (!block) return nullptr;
  std::lock_guard<std::mutex> hold(Heap().lock);
  Heap().live.insert(block);
  return block;
}

BOOL WINAPI HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("HeapFree")) return FALSE;
  if (!lpMem) return TRUE;
  {
    std::lock_guard<std::mutex> hold(Heap().lock);
    if (Heap().live.erase(lpMem) == 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
  std::free(lpMem);
  return TRUE;
}

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  sim::ApiLock lock;
  sim::Machine& m = sim::M();
  if (m.TakeFault("MessageBoxA")) return 0;
  sim::MessageBoxRecord box;
  box.text = lpText ? lpText : "";
  box.caption = lpCaption ? lpCaption : "Error";  // Windows' title for a NULL caption
  box.type = uType;
  m.Note("MessageBoxA " + box.text);
  if (!m.answers.empty()) {
    box.answer = m.answers.front();
    m.answers.pop_front();
  } else {
    box.answer = DefaultAnswer(uType);
  }
  m.message_boxes.push_back(box);
  return box.answer;
}
