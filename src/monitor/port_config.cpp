// Reading a port's configuration record.
#include "monitor/port_config.h"

#include "monitor/monitor_names.h"
#include "monitor/monitor_text.h"

namespace {

// Reads a string value into *out; leaves it as it was when the value is
// missing. Returns the registry's result.
LONG ReadString(ConfigRegistry& registry, const std::wstring& key, const wchar_t* name,
                std::string* out) {
  std::wstring value;
  const LONG result = registry.StringValue(key, name, &value);
  if (result == ERROR_SUCCESS) *out = Narrow(value);
  return result;
}

// Reads a REG_DWORD value into *out; leaves it as it was when missing.
LONG ReadDword(ConfigRegistry& registry, const std::wstring& key, const wchar_t* name, DWORD* out) {
  DWORD value = 0;
  const LONG result = registry.DwordValue(key, name, &value);
  if (result == ERROR_SUCCESS) *out = value;
  return result;
}

// A REG_DWORD read as a switch: non-zero is on.
void ReadSwitch(ConfigRegistry& registry, const std::wstring& key, const wchar_t* name,
                bool* out) {
  DWORD value = *out ? 1 : 0;
  ReadDword(registry, key, name, &value);
  *out = value != 0;
}

}  // namespace

LONG ReadPortConfig(ConfigRegistry& registry, const std::wstring& port, PortConfig* config) {
  *config = PortConfig();
  const std::wstring key = std::wstring(kPortsSubKeyW.c_str()) + L"\\" + port;
  // "Command" tells whether the key opens at all.
  const LONG result = ReadString(registry, key, L"Command", &config->command);
  if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) return result;
  ReadString(registry, key, L"Arguments", &config->arguments);
  ReadDword(registry, key, L"Delay", &config->delay_ms);
  if (config->delay_ms > kMaxDelayMs) config->delay_ms = kMaxDelayMs;
  ReadDword(registry, key, L"Output", &config->output);
  ReadSwitch(registry, key, L"PrintError", &config->print_error);
  ReadSwitch(registry, key, L"RunUser", &config->run_user);
  ReadDword(registry, key, L"ShowWindow", &config->show_window);
  ReadSwitch(registry, key, L"LogFileUse", &config->log_use);
  ReadString(registry, key, L"LogFileName", &config->log_name);
  ReadSwitch(registry, key, L"LogFileDebug", &config->log_debug);
  return ERROR_SUCCESS;
}

std::string ReadInstallRoot() {
  std::wstring path;
  std::unique_ptr<ConfigRegistry> product = MakeSystemRegistry(kProductKeyW.c_str());
  if (product->StringValue(L"", kProductPathValueW.c_str(), &path) != ERROR_SUCCESS ||
      path.empty())
    return kDefaultInstallRoot;
  std::string root = Narrow(path);
  if (root.back() != '\\') root += '\\';
  return root;
}
