// The values the install phases share for one run of the install routine.
#pragma once

#include <string>

#include "common/platform.h"
#include "common/platform_profile.h"

struct InstallState {
  std::string root;             // install root, ends in a backslash
  std::string driver_dir;       // spooler's printer-driver folder, no trailing backslash
  std::string setup_dir;        // folder of setup.exe, no trailing backslash
  std::string system_dir;       // Windows system folder, with one trailing backslash
  PlatformFlags flags;          // from one GetVersion call
  // What this kind of system needs, chosen once with the flags; every phase
  // reads it instead of asking the system again.
  const PlatformProfile* profile = nullptr;
  std::string monitor_library;     // "tavmon.dll" on NT, "tavmon95.dll" otherwise
  std::string monitor_ui_library;  // the user-interface library that goes with it
  int rpc_unavailable = 0;         // 1 when the driver failed with 1722

  bool Win9xCase() const { return profile->win9x; }
  // The product's settings file.
  std::string IniPath() const;
  // A file delivered in the setup directory's "res\drivedir" folder.
  std::string Delivered(const std::string& name) const;
  // A file in the printer-driver folder.
  std::string InDriverDir(const std::string& name) const;
};
