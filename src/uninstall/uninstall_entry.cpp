// The product's entry in the Add/Remove Programs list.
#include "uninstall/uninstall_entry.h"

#include "common/install_root.h"
#include "contract/product_names.h"
#include "contract/product_layout.h"
#include "common/reg_key.h"

namespace {

constexpr char kDisplayName[] = "Tavrin";
// The entry's key, under HKEY_LOCAL_MACHINE.
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kUninstallEntryName[] = "Tavrin";
constexpr char kUninstallEntryKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavrin";
// SHCNE_CREATE | SHCNE_MKDIR | SHCNE_RMDIR: enough for the shell to refresh
// the list.
constexpr LONG kRefreshEvents = SHCNE_CREATE | SHCNE_MKDIR | SHCNE_RMDIR;

}  // namespace

std::string UninstallCommand(const std::string& install_root) {
  const std::string program = install_root + kSetupExePath;
  // Unquoted, a path with blanks lets Windows try "C:\Program.exe" first.
  if (program.find_first_of(" \t") != std::string::npos)
    return "\"" + program + "\" uninstall";
  return program + " uninstall";
}

int RegisterUninstallEntry() {
  const std::string root = InstallRoot();
  RegKey entry;
  if (!entry.OpenOrCreate(HKEY_LOCAL_MACHINE, kUninstallEntryKey)) return 1;
  entry.SetString("DisplayName", kDisplayName);
  entry.SetString("UninstallString", UninstallCommand(root));
  return 1;
}

int RemoveUninstallEntry() {
  RegKey parent;
  if (parent.Open(HKEY_LOCAL_MACHINE, kUninstallKey)) parent.DeleteSubKey(kUninstallEntryName);
  SHChangeNotify(kRefreshEvents, SHCNF_IDLIST, nullptr, nullptr);
  return 1;
}
