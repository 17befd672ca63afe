// Which registry views a process has. Header only: the setup and the port
// monitor both build it in.
#pragma once

#include "common/win32.h"

// True for a 64-bit process on 64-bit Windows, whose HKLM\Software has a
// 32-bit view (KEY_WOW64_32KEY, a flag Windows 2000 does not know) besides
// the process's own. A 32-bit process is told INTEL, under WOW64 too
// (where it reads the 32-bit view anyway).
inline bool SixtyFourBitProcess() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}
