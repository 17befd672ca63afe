// The install root and the setup directory.
#include "common/install_root.h"

#include <cstring>
#include <vector>

#include "contract/product_layout.h"
#include "common/reg_key.h"

namespace {

constexpr DWORD kRootBufferSize = 10000;
constexpr DWORD kModuleBufferSize = 512;

}  // namespace

std::string InstallRoot() {
  RegKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, kProductKey, KEY_READ)) return kDefaultInstallRoot;

  std::vector<char> buffer(kRootBufferSize, '\0');
  DWORD size = kRootBufferSize;
  DWORD type = 0;
  LONG rc = RegQueryValueExA(key.get(), kProductPathValue, nullptr, &type,
                             reinterpret_cast<LPBYTE>(buffer.data()), &size);
  // A value that fills the whole buffer has no room for its end: treat it
  // like one that does not fit at all.
  if (rc != ERROR_SUCCESS || size >= kRootBufferSize) return kDefaultInstallRoot;

  return InstallRootFromValue(std::string(buffer.data(), strnlen(buffer.data(), size)));
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
