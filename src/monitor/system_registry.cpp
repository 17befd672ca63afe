// The monitor's key read through advapi32. The ANSI functions serve both
// families: on Windows 9x the wide registry functions only fail.
#include "monitor/config_registry.h"
#include "monitor/monitor_text.h"

namespace {

constexpr DWORD kKeyNameChars = 256;

// An HKEY closed with RegCloseKey.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  // Opens HKLM\path for reading in the registry view `view` (0: the
  // process's own); returns the registry's result.
  LONG Open(const std::string& path, REGSAM view) {
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key_);
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

class SystemRegistry : public ConfigRegistry {
 public:
  SystemRegistry(const std::wstring& key_path, REGSAM view)
      : key_path_(Narrow(key_path)), view_(view) {}

  LONG SubkeyNames(const std::wstring& subkey, std::vector<std::wstring>* names) override;
  LONG StringValue(const std::wstring& subkey, const wchar_t* name, std::wstring* value) override;
  LONG DwordValue(const std::wstring& subkey, const wchar_t* name, DWORD* value) override;

 private:
  // HKLM-relative path of a subkey of the monitor's key.
  std::string PathOf(const std::wstring& subkey) const {
    return subkey.empty() ? key_path_ : key_path_ + "\\" + Narrow(subkey);
  }

  std::string key_path_;
  REGSAM view_;
};

LONG SystemRegistry::SubkeyNames(const std::wstring& subkey, std::vector<std::wstring>* names) {
  names->clear();
  Key key;
  LONG result = key.Open(PathOf(subkey), view_);
  if (result != ERROR_SUCCESS) return result;
  for (DWORD index = 0;; ++index) {
    char name[kKeyNameChars];
    DWORD chars = kKeyNameChars;
    result = RegEnumKeyExA(key.get(), index, name, &chars, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS) return result;
    name[chars < kKeyNameChars ? chars : kKeyNameChars - 1] = '\0';
    names->push_back(Widen(name));
  }
}

LONG SystemRegistry::StringValue(const std::wstring& subkey, const wchar_t* name,
                                 std::wstring* value) {
  value->clear();
  Key key;
  LONG result = key.Open(PathOf(subkey), view_);
  if (result != ERROR_SUCCESS) return result;
  const std::string value_name = Narrow(name);
  DWORD type = 0, bytes = 0;
  result = RegQueryValueExA(key.get(), value_name.c_str(), nullptr, &type, nullptr, &bytes);
  if (result != ERROR_SUCCESS) return result;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_FILE_NOT_FOUND;
  std::vector<char> data(bytes + 1, '\0');
  result = RegQueryValueExA(key.get(), value_name.c_str(), nullptr, &type,
                            reinterpret_cast<BYTE*>(data.data()), &bytes);
  if (result != ERROR_SUCCESS) return result;
  *value = Widen(data.data());
  return ERROR_SUCCESS;
}

LONG SystemRegistry::DwordValue(const std::wstring& subkey, const wchar_t* name, DWORD* value) {
  Key key;
  LONG result = key.Open(PathOf(subkey), view_);
  if (result != ERROR_SUCCESS) return result;
  DWORD type = 0, data = 0, bytes = sizeof(data);
  result = RegQueryValueExA(key.get(), Narrow(name).c_str(), nullptr, &type,
                            reinterpret_cast<BYTE*>(&data), &bytes);
  if (result == ERROR_MORE_DATA) return ERROR_FILE_NOT_FOUND;
  if (result != ERROR_SUCCESS) return result;
  if (type != REG_DWORD || bytes != sizeof(data)) return ERROR_FILE_NOT_FOUND;
  *value = data;
  return ERROR_SUCCESS;
}

}  // namespace

std::unique_ptr<ConfigRegistry> MakeSystemRegistry(const std::wstring& key_path, REGSAM view) {
  return std::unique_ptr<ConfigRegistry>(new SystemRegistry(key_path, view));
}
