// The platform probes.
#include "common/platform.h"

#include <cstring>

#include "common/last_error.h"
#include "common/system_function.h"


PlatformFlags PlatformFlagsFrom(DWORD version) {
  PlatformFlags flags;
  flags.is_winnt = (version & 0x80000000u) == 0;
  flags.is_win4 = (version & 0xFFu) >= 4;
  return flags;
}

PlatformFlags ReadPlatformFlags() { return PlatformFlagsFrom(GetVersion()); }

bool IsWindows2000OrLater() {
  OSVERSIONINFOEXA info;
  std::memset(&info, 0, sizeof(info));
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
    // Windows 9x and NT 4.0 before SP6 know only the plain record.
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) return false;
  }
  return info.dwMajorVersion > 4;
}

namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);

}  // namespace

bool RunningUnderWow64() {
  // A lookup that fails leaves 127 behind, which the uninstall would log
  // after its first spooler call as if that call had left it.
  LastErrorKeeper keep;
  if (auto is_wow64 = SystemFunction<IsWow64ProcessFn>("kernel32.dll", "IsWow64Process")) {
    BOOL wow64 = FALSE;
    return is_wow64(GetCurrentProcess(), &wow64) && wow64;
  }
  // Windows XP before Service Pack 2: the system's processor against the
  // one this process is given.
  if (auto native_info =
          SystemFunction<GetNativeSystemInfoFn>("kernel32.dll", "GetNativeSystemInfo")) {
    SYSTEM_INFO native, own;
    native_info(&native);
    GetSystemInfo(&own);
    return native.wProcessorArchitecture != own.wProcessorArchitecture;
  }
  return false;
}
