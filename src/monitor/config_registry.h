// Read access to the monitor's own registry key ("...\Print\Monitors\TAVRIN
// Monitor"), where the setup program keeps the configuration of its ports.
// Two ways in: the registry functions the spooler hands to
// InitializePrintMonitor2 (the way Windows 2000 and later want a monitor to
// reach its key) and the system's registry functions for the older entry
// points.
#pragma once

#include "common/win32.h"

#include <memory>
#include <string>
#include <vector>

class ConfigRegistry {
 public:
  virtual ~ConfigRegistry() = default;

  // The names of the subkeys of `subkey` (a path below the monitor's key).
  // Returns ERROR_SUCCESS or the registry's error (ERROR_FILE_NOT_FOUND when
  // the subkey does not exist).
  virtual LONG SubkeyNames(const std::wstring& subkey, std::vector<std::wstring>* names) = 0;

  // The string value `name` of `subkey`. Returns ERROR_SUCCESS, the
  // registry's error, or ERROR_FILE_NOT_FOUND when the value is not a string.
  virtual LONG StringValue(const std::wstring& subkey, const wchar_t* name,
                           std::wstring* value) = 0;

  // The REG_DWORD value `name` of `subkey`. Returns ERROR_SUCCESS, the
  // registry's error, or ERROR_FILE_NOT_FOUND when the value is not a
  // REG_DWORD.
  virtual LONG DwordValue(const std::wstring& subkey, const wchar_t* name, DWORD* value) = 0;
};

// The spooler's registry functions on the key handle InitializePrintMonitor2
// was given. The structures belong to the spooler and outlive the monitor.
std::unique_ptr<ConfigRegistry> MakeSpoolerRegistry(HANDLE root, const MONITORREG* functions,
                                                    HANDLE spooler);

// HKEY_LOCAL_MACHINE\<key_path> through advapi32's ANSI functions, in the
// registry view `view` (0: the process's own; KEY_WOW64_32KEY only where
// the system knows it).
std::unique_ptr<ConfigRegistry> MakeSystemRegistry(const std::wstring& key_path, REGSAM view = 0);

// Reads through `preferred`; once that answers ERROR_CALL_NOT_IMPLEMENTED
// (spoolers that hand over stubs, such as Wine's) every later read goes
// through `fallback`.
std::unique_ptr<ConfigRegistry> MakePreferredRegistry(std::unique_ptr<ConfigRegistry> preferred,
                                                      std::unique_ptr<ConfigRegistry> fallback);
