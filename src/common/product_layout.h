// Where the product's files and the product's own settings live, relative to
// the install root (R, ends in a backslash) or the setup directory (S, no
// trailing backslash).
#pragma once

#include <string>

// Relative to the install root.
inline constexpr char kSetupLogPath[] = "tavrin\\res\\drivedir\\setup.log";
inline constexpr char kProductIniPath[] = "tavrin\\res\\tavrin.ini";
inline constexpr char kSetupExePath[] = "tavrin\\setup.exe";

// The product's settings file.
inline constexpr char kIniSection[] = "Parameters";
inline constexpr char kIniUninstall[] = "Uninstall";

// The product's registry key, which the outer installer writes, and the
// install root when it names none.
inline constexpr char kProductKey[] = "Software\\Tavrin";
inline constexpr char kProductPathValue[] = "Path";
inline constexpr char kDefaultInstallRoot[] = "c:\\";

// The install root that a stored "Path" text stands for: the default when it
// is empty, otherwise the text with one trailing backslash, since every
// relative path is appended without a separator. The setup program and the
// port monitor both read the root through this rule.
inline std::string InstallRootFromValue(std::string value) {
  if (value.empty()) return kDefaultInstallRoot;
  if (value.back() != '\\') value += '\\';
  return value;
}
