// A stand-in for the port monitor's registry access: keys by their path
// below the monitor's key, each with its subkeys in the order they were
// added and its string and REG_DWORD values. It answers as the monitor's
// ConfigRegistry promises, including ERROR_FILE_NOT_FOUND for a value of the
// other type, and can be told to fail with any error.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "monitor/config_registry.h"

namespace test {

class FakeConfigRegistry : public ConfigRegistry {
 public:
  // Adds the key at `path` ("Ports\\TAVRINPORT") and the keys above it.
  void AddKey(const std::wstring& path) {
    if (keys_.count(path)) return;
    keys_[path];
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos) return;
    AddKey(path.substr(0, slash));
    keys_[path.substr(0, slash)].subkeys.push_back(path.substr(slash + 1));
  }
  // Sets a REG_SZ value, adding its key.
  void SetString(const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    AddKey(path);
    keys_[path].values[name] = Value{true, text, 0};
  }
  // Sets a REG_DWORD value, adding its key.
  void SetDword(const std::wstring& path, const std::wstring& name, DWORD number) {
    AddKey(path);
    keys_[path].values[name] = Value{false, L"", number};
  }
  // Every read of the key fails with `error`.
  void FailKey(const std::wstring& path, LONG error) { key_errors_[path] = error; }
  // Reads of one value fail with `error`.
  void FailValue(const std::wstring& path, const std::wstring& name, LONG error) {
    value_errors_[path + L"|" + name] = error;
  }

  LONG SubkeyNames(const std::wstring& subkey, std::vector<std::wstring>* names) override {
    names->clear();
    const Key* key = nullptr;
    const LONG result = Open(subkey, &key);
    if (result == ERROR_SUCCESS) *names = key->subkeys;
    return result;
  }

  LONG StringValue(const std::wstring& subkey, const wchar_t* name,
                   std::wstring* value) override {
    value->clear();
    const Value* found = nullptr;
    const LONG result = Find(subkey, name, &found);
    if (result != ERROR_SUCCESS) return result;
    if (!found->is_text) return ERROR_FILE_NOT_FOUND;
    *value = found->text;
    return ERROR_SUCCESS;
  }

  LONG DwordValue(const std::wstring& subkey, const wchar_t* name, DWORD* value) override {
    const Value* found = nullptr;
    const LONG result = Find(subkey, name, &found);
    if (result != ERROR_SUCCESS) return result;
    if (found->is_text) return ERROR_FILE_NOT_FOUND;
    *value = found->number;
    return ERROR_SUCCESS;
  }

 private:
  struct Value {
    bool is_text;
    std::wstring text;
    DWORD number;
  };
  struct Key {
    std::vector<std::wstring> subkeys;
    std::map<std::wstring, Value> values;
  };

  // The key at `path`, or the error opening it gives.
  LONG Open(const std::wstring& path, const Key** key) const {
    const auto error = key_errors_.find(path);
    if (error != key_errors_.end()) return error->second;
    const auto found = keys_.find(path);
    if (found == keys_.end()) return ERROR_FILE_NOT_FOUND;
    *key = &found->second;
    return ERROR_SUCCESS;
  }

  // The value `name` of the key at `path`, or the error reading it gives.
  LONG Find(const std::wstring& path, const wchar_t* name, const Value** value) const {
    const Key* key = nullptr;
    const LONG result = Open(path, &key);
    if (result != ERROR_SUCCESS) return result;
    const auto error = value_errors_.find(path + L"|" + name);
    if (error != value_errors_.end()) return error->second;
    const auto found = key->values.find(name);
    if (found == key->values.end()) return ERROR_FILE_NOT_FOUND;
    *value = &found->second;
    return ERROR_SUCCESS;
  }

  std::map<std::wstring, Key> keys_;
  std::map<std::wstring, LONG> key_errors_;
  std::map<std::wstring, LONG> value_errors_;
};

}  // namespace test
