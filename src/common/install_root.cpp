// The install root and the setup directory.
#include "common/install_root.h"

#include <cstring>
#include <vector>

#include "contract/product_layout.h"
#include "common/reg_key.h"
#include "common/registry_view.h"

namespace {

constexpr DWORD kRootBufferSize = 10000;
constexpr DWORD kModuleBufferSize = 512;

// Reads HKLM\Software\Tavrin "Path" into *value, in the registry view that
// `view` selects (0: the process's own; or a KEY_WOW64_* flag). Returns
// ERROR_SUCCESS; ERROR_FILE_NOT_FOUND when the key does not open or has no
// such value; ERROR_MORE_DATA for a value too long to be a root; or the
// registry's error.
LONG ReadRootValue(REGSAM view, std::string* value) {
  RegKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, kProductKey, KEY_READ | view)) return ERROR_FILE_NOT_FOUND;

  std::vector<char> buffer(kRootBufferSize, '\0');
  DWORD size = kRootBufferSize;
  DWORD type = 0;
  LONG rc = RegQueryValueExA(key.get(), kProductPathValue, nullptr, &type,
                             reinterpret_cast<LPBYTE>(buffer.data()), &size);
  if (rc != ERROR_SUCCESS) return rc;
  // A value that fills the whole buffer has no room for its end: treat it
  // like one that does not fit at all.
  if (size >= kRootBufferSize) return ERROR_MORE_DATA;
  value->assign(buffer.data(), strnlen(buffer.data(), size));
  return ERROR_SUCCESS;
}

}  // namespace

std::string InstallRoot() {
  std::string value;
  LONG rc = ReadRootValue(0, &value);
  // A 32-bit outer installer writes the product key into the 32-bit view.
  // The flag is passed on 64-bit Windows alone: Windows 2000 does not know it.
  if (rc == ERROR_FILE_NOT_FOUND && SixtyFourBitProcess())
    rc = ReadRootValue(KEY_WOW64_32KEY, &value);
  if (rc != ERROR_SUCCESS) return kDefaultInstallRoot;
  return InstallRootFromValue(value);
}

std::string SetupDirectory() {
  char path[kModuleBufferSize + 1] = {0};
  DWORD length = GetModuleFileNameA(nullptr, path, kModuleBufferSize);
  // A truncated name may come back without its NUL.
  if (length > kModuleBufferSize) length = kModuleBufferSize;
  path[length] = '\0';
  const char* slash = std::strrchr(path, '\\');
  if (!slash) return std::string();
  return std::string(path, static_cast<size_t>(slash - path));
}
