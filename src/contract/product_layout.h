/* Where the product's files and the product's own settings live, relative
 * to the install root (ends in a backslash) or the setup directory (no
 * trailing backslash), and the registry value that names the root. The
 * setup program and the port monitor both find the product through this
 * header. */
#ifndef TAVRIN_PRODUCT_LAYOUT_H
#define TAVRIN_PRODUCT_LAYOUT_H

/* Relative to the install root. */
#define TAVRIN_SETUP_LOG_PATH "tavrin\\res\\drivedir\\setup.log"
#define TAVRIN_PRODUCT_INI_PATH "tavrin\\res\\tavrin.ini"
#define TAVRIN_SETUP_EXE_PATH "tavrin\\setup.exe"
/* The monitor's output folder. */
#define TAVRIN_OUTPUT_PATH "tavrin\\output\\"

/* Relative to the setup directory: where the monitor libraries are
 * delivered before the setup installs them to the system directory. */
#define TAVRIN_DRIVE_DIR "\\res\\drivedir\\"

/* The product's registry key under HKEY_LOCAL_MACHINE, which the outer
 * installer writes, and the install root when it names none. */
#define TAVRIN_PRODUCT_KEY "Software\\Tavrin"
#define TAVRIN_PRODUCT_PATH_VALUE "Path"
#define TAVRIN_DEFAULT_INSTALL_ROOT "c:\\"

#ifdef __cplusplus
#include <string>

inline constexpr char kSetupLogPath[] = TAVRIN_SETUP_LOG_PATH;
inline constexpr char kProductIniPath[] = TAVRIN_PRODUCT_INI_PATH;
inline constexpr char kSetupExePath[] = TAVRIN_SETUP_EXE_PATH;
inline constexpr char kOutputPath[] = TAVRIN_OUTPUT_PATH;
inline constexpr char kDriveDir[] = TAVRIN_DRIVE_DIR;

/* The product's settings file. */
inline constexpr char kIniSection[] = "Parameters";
inline constexpr char kIniUninstall[] = "Uninstall";

inline constexpr char kProductKey[] = TAVRIN_PRODUCT_KEY;
inline constexpr char kProductPathValue[] = TAVRIN_PRODUCT_PATH_VALUE;
inline constexpr char kDefaultInstallRoot[] = TAVRIN_DEFAULT_INSTALL_ROOT;

/* The install root that a stored "Path" text stands for: the default when
 * it is empty, otherwise the text with one trailing backslash, since every
 * relative path is appended without a separator. The setup program and the
 * port monitor both read the root through this rule. */
inline std::string InstallRootFromValue(std::string value) {
  if (value.empty()) return kDefaultInstallRoot;
  if (value.back() != '\\') value += '\\';
  return value;
}
#endif

#endif
