// The configuration record of the port "TAVRINPORT".
#include "install/port_configuration.h"

#include "contract/product_names.h"
#include "common/reg_key.h"
#include "contract/port_record.h"

std::string PortArguments(const std::string& setup_dir) {
  const std::string response = "@" + setup_dir + PORT_RESPONSE_FILE;
  // Ghostscript splits its arguments at blanks: "@C:\Program" would be a
  // response file of its own.
  if (setup_dir.find_first_of(" \t") != std::string::npos)
    return "\"" + response + "\"" + PORT_ARGUMENTS_TAIL;
  return response + PORT_ARGUMENTS_TAIL;
}

std::string PortCommand(const std::string& setup_dir) { return setup_dir + PORT_COMMAND_PROGRAM; }

namespace {

// The text the setup writes for a text value of the record.
std::string SetupText(const PortValue& value, const std::string& setup_dir) {
  switch (value.setup) {
    case PORT_SETUP_COMMAND:
      return PortCommand(setup_dir);
    case PORT_SETUP_ARGUMENTS:
      return PortArguments(setup_dir);
    case PORT_SETUP_PRINTER:
      return kPrinterName;
    case PORT_SETUP_FIXED:
    case PORT_SETUP_NONE:
      break;
  }
  return value.setup_text;
}

}  // namespace

void WritePortConfiguration(const std::string& setup_dir) {
  RegKey monitor;
  if (!monitor.OpenOrCreate(HKEY_LOCAL_MACHINE, kMonitorKey)) return;
  RegKey ports;
  if (!monitor.CreateSubKey(kPortsSubKey, &ports)) return;
  RegKey port;
  if (!ports.CreateSubKey(kPortName, &port)) return;

  for (const PortValue& value : kPortRecord) {
    if (value.setup == PORT_SETUP_NONE) continue;
    if (value.type == PORT_TEXT)
      port.SetString(value.name, SetupText(value, setup_dir));
    else
      port.SetDword(value.name, static_cast<DWORD>(value.setup_number));
  }
  // The keys close port first, then "Ports", then the monitor's.
}
