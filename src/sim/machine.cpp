// The machine as a whole: the platform table, booting and rebooting, the
// journal, the virtual clock and fault injection.
#include "sim/machine.h"

#include "sim/handles.h"
#include "sim/scheduler.h"

#include "sim/win32_api.h"

#include <cctype>
#include <ctime>

namespace sim {

namespace {

Platform Make(const char* name, DWORD version, Family family, bool extended,
              const char* windows_dir, const char* system_dir, const char* driver_dir,
              DWORD driver_version, DWORD max_level) {
  Platform p;
  p.name = name;
  p.version = version;
  p.family = family;
  p.extended_version_info = extended;
  p.windows_dir = windows_dir;
  p.system_dir = system_dir;
  p.driver_dir = driver_dir;
  p.spool_dir = family == Family::Win9x ? std::string(windows_dir) + "\\SPOOL\\PRINTERS"
                                        : std::string(system_dir) + "\\spool\\PRINTERS";
  p.environment = family == Family::Win9x ? "Windows 4.0" : "Windows NT x86";
  p.driver_version = driver_version;
  p.max_driver_level = max_level;
  return p;
}

}  // namespace

Platform Platform::Win95() {
  return Make("Windows 95", 0xC3B60004, Family::Win9x, false, "C:\\WINDOWS",
              "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM", 0, 3);
}

Platform Platform::Win98() {
  return Make("Windows 98", 0xC0000A04, Family::Win9x, false, "C:\\WINDOWS",
              "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM", 0, 3);
}

Platform Platform::WinMe() {
  return Make("Windows Me", 0xC0005A04, Family::Win9x, false, "C:\\WINDOWS",
              "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\SYSTEM", 0, 3);
}

Platform Platform::NT4(bool service_pack_6) {
  return Make(service_pack_6 ? "Windows NT 4.0 SP6" : "Windows NT 4.0", 0x05650004, Family::NT,
              service_pack_6, "C:\\WINNT", "C:\\WINNT\\system32",
              "C:\\WINNT\\system32\\spool\\drivers\\w32x86", 2, 3);
}

Platform Platform::Win2000() {
  return Make("Windows 2000", 0x08930005, Family::NT, true, "C:\\WINNT", "C:\\WINNT\\system32",
              "C:\\WINNT\\system32\\spool\\drivers\\w32x86", 3, 6);
}

Platform Platform::WinXP() {
  Platform p = Make("Windows XP", 0x0A280105, Family::NT, true, "C:\\WINDOWS",
                    "C:\\WINDOWS\\system32", "C:\\WINDOWS\\system32\\spool\\drivers\\w32x86", 3, 6);
  p.exports_wow64_probes = true;  // Service Pack 2
  return p;
}

namespace {

// 64-bit Windows: the "Windows x64" environment with its "x64" driver
// folder; "Windows NT x86" remains for the drivers of 32-bit clients.
Platform Make64(const char* name, DWORD version) {
  Platform p = Make(name, version, Family::NT, true, "C:\\WINDOWS", "C:\\WINDOWS\\system32",
                    "C:\\WINDOWS\\system32\\spool\\drivers\\x64", 3, 6);
  p.environment = "Windows x64";
  p.architecture = PROCESSOR_ARCHITECTURE_AMD64;
  p.exports_wow64_probes = true;
  return p;
}

}  // namespace

Platform Platform::WinXPx64() { return Make64("Windows XP x64", 0x0ECE0205); }

Platform Platform::Win7x64() { return Make64("Windows 7 x64", 0x1DB10106); }

Platform Platform::Win10x64() { return Make64("Windows 10 x64", 0x23F00206); }

Platform Platform::FromVersion(DWORD version) {
  bool nine_x = (version & 0x80000000u) != 0;
  DWORD major = version & 0xFF;
  Platform p = nine_x ? Win98() : (major >= 5 ? WinXP() : NT4(false));
  p.name = "Windows (version value " + std::to_string(version) + ")";
  p.version = version;
  return p;
}

std::string RegValue::AsString() const {
  std::string text;
  for (BYTE b : data) {
    if (b == 0) break;
    text.push_back(static_cast<char>(b));
  }
  return text;
}

DWORD RegValue::AsDword() const {
  DWORD v = 0;
  for (size_t i = 0; i < 4 && i < data.size(); ++i) v |= static_cast<DWORD>(data[i]) << (8 * i);
  return v;
}

Machine& M() {
  static Machine machine;
  return machine;
}

Machine::~Machine() {
  EndAllPrograms();
  JoinMachineThreads();
  spooler.OnServiceStopped();
}

void Machine::Reset(const Platform& platform) {
  // The programs and threads of the last run end first.
  EndAllPrograms();
  JoinMachineThreads();
  programs_.clear();
  libraries_.clear();
  platform_ = platform;
  command_line = "C:\\tavrin\\setup.exe";
  module_path = "C:\\tavrin\\setup.exe";
  current_directory = "C:\\tavrin";
  environment = {"PATH=" + platform.windows_dir + ";" + platform.system_dir,
                 "TEMP=C:\\TEMP", "windir=" + platform.windows_dir};
  administrator = true;
  accounts = {{"SYSTEM", "S-1-5-18", true},
              {"Administrator", "S-1-5-21-1844237615-1177238915-725345543-500", true},
              {"ann", "S-1-5-21-1844237615-1177238915-725345543-1001", false},
              {"bob", "S-1-5-21-1844237615-1177238915-725345543-1002", false}};
  wow64 = false;
  system_directory_fails = false;
  journal.clear();
  faults_.clear();
  left_errors_.clear();
  answers.clear();
  message_boxes.clear();
  processes.clear();
  console.clear();
  now_ms = 0;
  SetLocalTime(2002, 12, 3, 21, 35, 0);

  files.Reset(platform);
  registry.Reset(platform);
  services.Reset(platform);
  spooler.Reset(platform);
  files.Put(module_path, "MZ setup");
  journal.clear();
  ResetLastError();
}

const Account* Machine::FindAccount(const std::string& name) const {
  for (const Account& account : accounts)
    if (EqualNoCase(account.name, name)) return &account;
  return nullptr;
}

void Machine::Reboot() {
  Note("Reboot");
  spooler.OnServiceStopped();
  files.ReleaseAll();
  services.Restart();
  if (spooler.Running()) spooler.OnServiceStarted();
}

std::vector<DWORD> Machine::Sleeps() const {
  std::vector<DWORD> out;
  for (const std::string& line : journal) {
    if (line.rfind("Sleep ", 0) == 0) out.push_back(static_cast<DWORD>(std::stoul(line.substr(6))));
  }
  return out;
}

void Machine::SetLocalTime(int year, int month, int day, int hour, int minute, int second) {
  start_time_ = SYSTEMTIME{};
  start_time_.wYear = static_cast<WORD>(year);
  start_time_.wMonth = static_cast<WORD>(month);
  start_time_.wDay = static_cast<WORD>(day);
  start_time_.wHour = static_cast<WORD>(hour);
  start_time_.wMinute = static_cast<WORD>(minute);
  start_time_.wSecond = static_cast<WORD>(second);
  now_ms = 0;
}

SYSTEMTIME Machine::LocalTime() const {
  std::tm tm{};
  tm.tm_year = start_time_.wYear - 1900;
  tm.tm_mon = start_time_.wMonth - 1;
  tm.tm_mday = start_time_.wDay;
  tm.tm_hour = start_time_.wHour;
  tm.tm_min = start_time_.wMinute;
  tm.tm_sec = start_time_.wSecond + static_cast<int>(now_ms / 1000);
  std::time_t t = timegm(&tm);
  std::tm out{};
  gmtime_r(&t, &out);
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(out.tm_year + 1900);
  st.wMonth = static_cast<WORD>(out.tm_mon + 1);
  st.wDayOfWeek = static_cast<WORD>(out.tm_wday);
  st.wDay = static_cast<WORD>(out.tm_mday);
  st.wHour = static_cast<WORD>(out.tm_hour);
  st.wMinute = static_cast<WORD>(out.tm_min);
  st.wSecond = static_cast<WORD>(out.tm_sec);
  st.wMilliseconds = static_cast<WORD>(now_ms % 1000);
  return st;
}

void Machine::Note(const std::string& line) {
  ApiLock lock;
  journal.push_back(line);
}

void Machine::InstallProgram(const std::string& path, Program program) {
  ApiLock lock;
  files.Put(path, "MZ " + path);
  programs_[Upper(path)] = std::move(program);
}

const Program* Machine::ProgramAt(const std::string& path) const {
  ApiLock lock;
  auto it = programs_.find(Upper(path));
  return it == programs_.end() ? nullptr : &it->second;
}

void Machine::AddLibraryImage(const LibraryImage& image) {
  ApiLock lock;
  libraries_.push_back(image);
}

const LibraryImage* Machine::ImageOfFile(const std::string& path) const {
  ApiLock lock;
  std::optional<std::string> bytes = files.Get(path);
  if (!bytes) return nullptr;
  for (const LibraryImage& image : libraries_)
    if (*bytes == "MZ" + image.id) return &image;
  return nullptr;
}

void Machine::LeaveErrorOnSuccess(const std::string& function, DWORD error) {
  ApiLock lock;
  left_errors_[function] = error;
}

void Machine::LeaveError(const char* function) {
  ApiLock lock;
  auto it = left_errors_.find(function);
  if (it != left_errors_.end()) SetLastError(it->second);
}

void Machine::FailCall(const std::string& function, DWORD error, int times) {
  faults_[function] = Fault{error, times};
}

bool Machine::TakeFault(const char* function, DWORD* error) {
  ApiLock lock;
  auto it = faults_.find(function);
  if (it == faults_.end() || it->second.times == 0) return false;
  DWORD e = it->second.error;
  if (it->second.times > 0) --it->second.times;
  SetLastError(e);
  if (error) *error = e;
  Note(std::string("Fault ") + function + " " + std::to_string(e));
  return true;
}

bool UnderWow64() {
  return M().platform().architecture != PROCESSOR_ARCHITECTURE_INTEL && M().wow64;
}

std::string Upper(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace sim
