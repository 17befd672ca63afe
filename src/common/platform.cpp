// The platform probes.
#include "common/platform.h"

#include <cstring>

#include "common/print_names.h"

const char* PlatformFlags::SpoolerEnvironment() const {
  return Win9xCase() ? kEnvironment9x : kEnvironmentNT;
}

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
