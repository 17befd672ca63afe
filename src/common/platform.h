// The platform probes from which every platform decision is made.
#pragma once

#include "common/win32.h"

// The flags derived from one GetVersion value.
struct PlatformFlags {
  bool is_winnt = false;  // bit 31 of the version value clear: the NT family
  bool is_win4 = false;   // major version (low byte) 4 or more

  // The Windows 9x case: not NT and version 4 or later. Every other
  // combination, including both flags false, is the NT case.
  bool Win9xCase() const { return !is_winnt && is_win4; }
};

// Derives the flags from a packed version value.
PlatformFlags PlatformFlagsFrom(DWORD version);

// Calls GetVersion once and derives the flags.
PlatformFlags ReadPlatformFlags();

// True when GetVersionExA reports a major version above 4 (Windows 2000 and
// later); false when the version cannot be read.
bool IsWindows2000OrLater();

// True when this process is a 32-bit program on 64-bit Windows (WOW64),
// whose spooler can load no 32-bit monitor. The probes are looked up by name:
// Windows 95 to 2000 have neither of them, and there the answer is false.
// The thread's last-error value is kept.
bool RunningUnderWow64();
