// An owned registry key handle and the few operations the program makes on
// keys, so that no routine repeats the open/create/close boilerplate.
#pragma once

#include <string>

#include "common/win32.h"

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { Close(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  RegKey(RegKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
  RegKey& operator=(RegKey&& other) noexcept;

  // Opens root\path (options 0) with the given access; true when it opened.
  bool Open(HKEY root, const char* path, REGSAM access = KEY_ALL_ACCESS);
  // Opens root\path with KEY_ALL_ACCESS or, when that fails, creates it with
  // RegCreateKeyA; true when the key is open.
  bool OpenOrCreate(HKEY root, const char* path);
  // Creates or opens the subkey `name` of this key (RegCreateKeyA); true when
  // *sub is open.
  bool CreateSubKey(const char* name, RegKey* sub) const;

  // RegDeleteKeyA of a direct subkey; returns the registry's result.
  LONG DeleteSubKey(const char* name) const;
  // SHDeleteKeyA of a subkey and everything below it; returns its result.
  DWORD DeleteSubTree(const char* name) const;

  // RegSetValueExA helpers; each returns the registry's result. Texts are
  // stored with their terminating NUL.
  LONG SetString(const char* name, const std::string& text) const;
  LONG SetDword(const char* name, DWORD value) const;
  LONG SetBinary(const char* name, const void* data, DWORD size) const;

  void Close();
  HKEY get() const { return key_; }
  bool is_open() const { return key_ != nullptr; }

 private:
  HKEY key_ = nullptr;
};

// Opens root\parent with KEY_ALL_ACCESS and deletes its subkey with
// RegDeleteKeyA; nothing is deleted when the parent does not open. The
// result is not reported: every caller goes on whatever it is.
void DeleteRegSubKey(HKEY root, const char* parent, const char* name);

// The same with SHDeleteKeyA, which removes the subkey's whole subtree.
void DeleteRegSubTree(HKEY root, const char* parent, const char* name);
