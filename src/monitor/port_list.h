// The ports of the monitor: the subkeys of its "Ports" key, each with the
// description the setup program stored for it.
#pragma once

#include <string>
#include <vector>

#include "monitor/config_registry.h"

struct PortEntry {
  std::wstring name;
  std::wstring description;
};

// Every configured port, in the registry's order. A missing "Ports" key
// means no ports. Returns ERROR_SUCCESS or the registry's error.
LONG ReadPorts(ConfigRegistry& registry, std::vector<PortEntry>* ports);

// Whether `name` is one of the ports (compared without regard to case);
// *canonical receives the name as the registry spells it. Returns
// ERROR_SUCCESS, ERROR_UNKNOWN_PORT, or the registry's error.
LONG FindPort(ConfigRegistry& registry, const wchar_t* name, std::wstring* canonical);
