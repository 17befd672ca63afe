// Reading a port's configuration record.
#include "monitor/port_config.h"

#include "common/registry_view.h"
#include "contract/port_record.h"
#include "monitor/monitor_names.h"
#include "monitor/monitor_text.h"

namespace {

// The record's default for an absent number value.
DWORD DefaultNumber(PortValueIndex index) {
  return static_cast<DWORD>(kPortRecord[index].default_number);
}

// The record's name of a value, widened for the registry functions.
std::wstring ValueName(PortValueIndex index) { return Widen(kPortRecord[index].name); }

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

PortConfig::PortConfig()
    : command(kPortRecord[PORT_COMMAND].default_text),
      arguments(kPortRecord[PORT_ARGUMENTS].default_text),
      delay_ms(DefaultNumber(PORT_DELAY)),
      output(DefaultNumber(PORT_OUTPUT)),
      print_error(DefaultNumber(PORT_PRINT_ERROR) != 0),
      run_user(DefaultNumber(PORT_RUN_USER) != 0),
      show_window(DefaultNumber(PORT_SHOW_WINDOW)),
      log_use(DefaultNumber(PORT_LOG_FILE_USE) != 0),
      log_name(kPortRecord[PORT_LOG_FILE_NAME].default_text),
      log_debug(DefaultNumber(PORT_LOG_FILE_DEBUG) != 0),
      timeout_s(DefaultNumber(PORT_TIMEOUT)) {}

LONG ReadPortConfig(ConfigRegistry& registry, const std::wstring& port, PortConfig* config) {
  *config = PortConfig();
  const std::wstring key = std::wstring(kPortsSubKeyW.c_str()) + L"\\" + port;
  // "Command" tells whether the key opens at all.
  const LONG result =
      ReadString(registry, key, ValueName(PORT_COMMAND).c_str(), &config->command);
  if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) return result;
  ReadString(registry, key, ValueName(PORT_ARGUMENTS).c_str(), &config->arguments);
  ReadDword(registry, key, ValueName(PORT_DELAY).c_str(), &config->delay_ms);
  if (config->delay_ms > kMaxDelayMs) config->delay_ms = kMaxDelayMs;
  ReadDword(registry, key, ValueName(PORT_OUTPUT).c_str(), &config->output);
  ReadSwitch(registry, key, ValueName(PORT_PRINT_ERROR).c_str(), &config->print_error);
  ReadSwitch(registry, key, ValueName(PORT_RUN_USER).c_str(), &config->run_user);
  ReadDword(registry, key, ValueName(PORT_SHOW_WINDOW).c_str(), &config->show_window);
  ReadSwitch(registry, key, ValueName(PORT_LOG_FILE_USE).c_str(), &config->log_use);
  ReadString(registry, key, ValueName(PORT_LOG_FILE_NAME).c_str(), &config->log_name);
  ReadSwitch(registry, key, ValueName(PORT_LOG_FILE_DEBUG).c_str(), &config->log_debug);
  ReadDword(registry, key, ValueName(PORT_TIMEOUT).c_str(), &config->timeout_s);
  return ERROR_SUCCESS;
}

// The process's own registry view first; the 64-bit monitor then looks in
// the 32-bit view, where a 32-bit outer installer writes the product key.
std::string ReadInstallRoot() {
  std::wstring path;
  LONG result =
      MakeSystemRegistry(kProductKeyW.c_str())->StringValue(L"", kProductPathValueW.c_str(), &path);
  if (result == ERROR_FILE_NOT_FOUND && SixtyFourBitProcess())
    result = MakeSystemRegistry(kProductKeyW.c_str(), KEY_WOW64_32KEY)
                 ->StringValue(L"", kProductPathValueW.c_str(), &path);
  if (result != ERROR_SUCCESS) return kDefaultInstallRoot;
  return InstallRootFromValue(Narrow(path));
}
