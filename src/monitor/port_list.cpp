// Reading the port list from the monitor's "Ports" key.
#include "monitor/port_list.h"

#include "contract/port_record.h"
#include "monitor/monitor_names.h"
#include "monitor/monitor_text.h"

namespace {

// The port names; a missing "Ports" key gives none. Returns the registry's
// result.
LONG ReadPortNames(ConfigRegistry& registry, std::vector<std::wstring>* names) {
  const LONG result = registry.SubkeyNames(kPortsSubKeyW.c_str(), names);
  if (result == ERROR_FILE_NOT_FOUND) {
    names->clear();
    return ERROR_SUCCESS;
  }
  return result;
}

// The port's "Description" value, or the default one when it has none.
std::wstring ReadDescription(ConfigRegistry& registry, const std::wstring& port) {
  std::wstring description;
  const std::wstring key = std::wstring(kPortsSubKeyW.c_str()) + L"\\" + port;
  const PortValue& value = kPortRecord[PORT_DESCRIPTION];
  if (registry.StringValue(key, Widen(value.name).c_str(), &description) != ERROR_SUCCESS ||
      description.empty())
    description = Widen(value.default_text);
  return description;
}

}  // namespace

LONG ReadPorts(ConfigRegistry& registry, std::vector<PortEntry>* ports) {
  ports->clear();
  std::vector<std::wstring> names;
  const LONG result = ReadPortNames(registry, &names);
  if (result != ERROR_SUCCESS) return result;
  for (const std::wstring& name : names) ports->push_back({name, ReadDescription(registry, name)});
  return ERROR_SUCCESS;
}

LONG FindPort(ConfigRegistry& registry, const wchar_t* name, std::wstring* canonical) {
  std::vector<std::wstring> names;
  const LONG result = ReadPortNames(registry, &names);
  if (result != ERROR_SUCCESS) return result;
  for (const std::wstring& candidate : names) {
    if (SameName(candidate.c_str(), name)) {
      *canonical = candidate;
      return ERROR_SUCCESS;
    }
  }
  return ERROR_UNKNOWN_PORT;
}
