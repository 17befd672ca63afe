// The install routine's frame: the phases in their order, each of which may
// end the routine.
#include "install/install.h"

#include "contract/product_layout.h"
#include "install/install_phases.h"
#include "contract/product_names.h"

std::string InstallState::IniPath() const { return root + kProductIniPath; }

std::string InstallState::Delivered(const std::string& name) const {
  return setup_dir + kDriveDir + name;
}

std::string InstallState::InDriverDir(const std::string& name) const {
  return driver_dir + "\\" + name;
}

void RunInstall() {
  InstallState state;
  if (!DetectPlatform(state)) return;
  if (!DeployFiles(state)) return;
  SecureSetupTree(state);
  if (!RegisterMonitorAndPort(state)) return;
  if (!RegisterPrinterDriver(state)) return;
  if (!CreatePrinter(state)) return;
  CompleteInstall(state);
}
