// The monitor's key read through the MONITORREG functions of the spooler.
#include "monitor/config_registry.h"

namespace {

// Longest key name the registry allows, plus its NUL.
constexpr DWORD kKeyNameChars = 256;

class SpoolerRegistry : public ConfigRegistry {
 public:
  SpoolerRegistry(HANDLE root, const MONITORREG* functions, HANDLE spooler)
      : root_(root), reg_(functions), spooler_(spooler) {}

  LONG SubkeyNames(const std::wstring& subkey, std::vector<std::wstring>* names) override;
  LONG StringValue(const std::wstring& subkey, const wchar_t* name, std::wstring* value) override;
  LONG DwordValue(const std::wstring& subkey, const wchar_t* name, DWORD* value) override;

 private:
  // A key opened through fpOpenKey, closed through fpCloseKey.
  class Key {
   public:
    explicit Key(const SpoolerRegistry& owner) : owner_(owner) {}
    ~Key() {
      if (handle_) owner_.reg_->fpCloseKey(handle_, owner_.spooler_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    // Opens `subkey` below the monitor's key for reading; returns the
    // spooler's result.
    LONG Open(const std::wstring& subkey) {
      return owner_.reg_->fpOpenKey(owner_.root_, subkey.c_str(), KEY_READ, &handle_,
                                    owner_.spooler_);
    }
    HANDLE get() const { return handle_; }

   private:
    const SpoolerRegistry& owner_;
    HANDLE handle_ = nullptr;
  };

  HANDLE root_;
  const MONITORREG* reg_;
  HANDLE spooler_;
};

LONG SpoolerRegistry::SubkeyNames(const std::wstring& subkey, std::vector<std::wstring>* names) {
  names->clear();
  Key key(*this);
  LONG result = key.Open(subkey);
  if (result != ERROR_SUCCESS) return result;
  for (DWORD index = 0;; ++index) {
    wchar_t name[kKeyNameChars];
    DWORD chars = kKeyNameChars;
    result = reg_->fpEnumKey(key.get(), index, name, &chars, nullptr, spooler_);
    if (result == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS) return result;
    names->emplace_back(name, chars < kKeyNameChars ? chars : kKeyNameChars - 1);
  }
}

LONG SpoolerRegistry::StringValue(const std::wstring& subkey, const wchar_t* name,
                                  std::wstring* value) {
  value->clear();
  Key key(*this);
  LONG result = key.Open(subkey);
  if (result != ERROR_SUCCESS) return result;
  DWORD type = 0, bytes = 0;
  result = reg_->fpQueryValue(key.get(), name, &type, nullptr, &bytes, spooler_);
  if (result != ERROR_SUCCESS) return result;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_FILE_NOT_FOUND;
  std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 1, L'\0');
  result = reg_->fpQueryValue(key.get(), name, &type, reinterpret_cast<BYTE*>(data.data()), &bytes,
                              spooler_);
  if (result != ERROR_SUCCESS) return result;
  value->assign(data.data());  // stops at the stored NUL, if any
  return ERROR_SUCCESS;
}

LONG SpoolerRegistry::DwordValue(const std::wstring& subkey, const wchar_t* name, DWORD* value) {
  Key key(*this);
  LONG result = key.Open(subkey);
  if (result != ERROR_SUCCESS) return result;
  DWORD type = 0, data = 0, bytes = sizeof(data);
  result =
      reg_->fpQueryValue(key.get(), name, &type, reinterpret_cast<BYTE*>(&data), &bytes, spooler_);
  if (result == ERROR_MORE_DATA) return ERROR_FILE_NOT_FOUND;
  if (result != ERROR_SUCCESS) return result;
  if (type != REG_DWORD || bytes != sizeof(data)) return ERROR_FILE_NOT_FOUND;
  *value = data;
  return ERROR_SUCCESS;
}

}  // namespace

std::unique_ptr<ConfigRegistry> MakeSpoolerRegistry(HANDLE root, const MONITORREG* functions,
                                                    HANDLE spooler) {
  return std::unique_ptr<ConfigRegistry>(new SpoolerRegistry(root, functions, spooler));
}
