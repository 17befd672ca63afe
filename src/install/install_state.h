// The values the install phases share for one run of the install routine.
#pragma once

#include <string>

#include "common/platform.h"

struct InstallState {
  std::string root;             // install root, ends in a backslash
  std::string driver_dir;       // spooler's printer-driver folder, no trailing backslash
  std::string setup_dir;        // folder of setup.exe, no trailing backslash
  std::string system_dir;       // Windows system folder, with one trailing backslash
  PlatformFlags flags;          // from one GetVersion call
  std::string monitor_library;  // "tavmon.dll" on NT, "tavmon95.dll" otherwise
  int rpc_unavailable = 0;      // 1 when the driver failed with 1722

  bool Win9xCase() const { return flags.Win9xCase(); }
  // The product's settings file.
  std::string IniPath() const;
  // A file delivered in the setup directory's "res\drivedir" folder.
  std::string Delivered(const std::string& name) const;
  // A file in the printer-driver folder.
  std::string InDriverDir(const std::string& name) const;
};
