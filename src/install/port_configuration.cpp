// The configuration record of the port "TAVRINPORT".
#include "install/port_configuration.h"

#include "common/print_names.h"
#include "common/reg_key.h"
#include "install/monitor_contract.h"

namespace {

constexpr char kResponseFile[] = "\\res\\pdfwrite.rsp";
constexpr char kOutputAndInput[] = " -sOutputFile=\"%1\" -c save pop -f -";
constexpr char kGhostscript[] = "\\res\\convert\\gswin32c.exe";

}  // namespace

std::string PortArguments(const std::string& setup_dir) {
  const std::string response = "@" + setup_dir + kResponseFile;
  // Ghostscript splits its arguments at blanks: "@C:\Program" would be a
  // response file of its own.
  if (setup_dir.find_first_of(" \t") != std::string::npos)
    return "\"" + response + "\"" + kOutputAndInput;
  return response + kOutputAndInput;
}

std::string PortCommand(const std::string& setup_dir) { return setup_dir + kGhostscript; }

void WritePortConfiguration(const std::string& setup_dir) {
  RegKey monitor;
  if (!monitor.OpenOrCreate(HKEY_LOCAL_MACHINE, kMonitorKey)) return;
  RegKey ports;
  if (!monitor.CreateSubKey(kPortsSubKey, &ports)) return;
  RegKey port;
  if (!ports.CreateSubKey(kPortName, &port)) return;

  // In the order the monitor's configuration dialog lists them.
  port.SetString("Arguments", PortArguments(setup_dir));
  port.SetString("Command", PortCommand(setup_dir));
  port.SetDword("Delay", 300);
  port.SetString("Description", "TAVRIN Redirected Port");
  port.SetDword("LogFileDebug", 0);
  port.SetString("LogFileName", "");
  port.SetDword("LogFileUse", 0);
  port.SetDword("Output", 1);
  port.SetString("Printer", kPrinterName);
  port.SetDword("PrintError", 0);
  port.SetDword("RunUser", 0);
  port.SetDword("ShowWindow", 2);
  // The keys close port first, then "Ports", then the monitor's.
}
