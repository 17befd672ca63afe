// An owned registry key handle.
#include "common/reg_key.h"

RegKey& RegKey::operator=(RegKey&& other) noexcept {
  if (this != &other) {
    Close();
    key_ = other.key_;
    other.key_ = nullptr;
  }
  return *this;
}

bool RegKey::Open(HKEY root, const char* path, REGSAM access) {
  Close();
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, access, &key) != ERROR_SUCCESS) return false;
  key_ = key;
  return true;
}

bool RegKey::OpenOrCreate(HKEY root, const char* path) {
  if (Open(root, path, KEY_ALL_ACCESS)) return true;
  HKEY key = nullptr;
  if (RegCreateKeyA(root, path, &key) != ERROR_SUCCESS) return false;
  key_ = key;
  return true;
}

bool RegKey::CreateSubKey(const char* name, RegKey* sub) const {
  sub->Close();
  HKEY key = nullptr;
  if (RegCreateKeyA(key_, name, &key) != ERROR_SUCCESS) return false;
  sub->key_ = key;
  return true;
}

LONG RegKey::DeleteSubKey(const char* name) const { return RegDeleteKeyA(key_, name); }

DWORD RegKey::DeleteSubTree(const char* name) const { return SHDeleteKeyA(key_, name); }

LONG RegKey::SetString(const char* name, const std::string& text) const {
  return RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
}

LONG RegKey::SetDword(const char* name, DWORD value) const {
  return RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof(value));
}

LONG RegKey::SetBinary(const char* name, const void* data, DWORD size) const {
  return RegSetValueExA(key_, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
}

void RegKey::Close() {
  if (key_) {
    RegCloseKey(key_);
    key_ = nullptr;
  }
}

void DeleteRegSubKey(HKEY root, const char* parent, const char* name) {
  RegKey key;
  if (key.Open(root, parent)) key.DeleteSubKey(name);
}

void DeleteRegSubTree(HKEY root, const char* parent, const char* name) {
  RegKey key;
  if (key.Open(root, parent)) key.DeleteSubTree(name);
}
