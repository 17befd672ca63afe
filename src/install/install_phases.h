// The six phases of the install routine. Each returns false when the whole
// routine is to end there.
#pragma once

#include "install/install_state.h"

// Phase 1: spooler folders, platform flags, and an earlier installation.
bool DetectPlatform(InstallState& state);
// Phase 2: the monitor libraries and driver files, and the INI file mapping.
bool DeployFiles(InstallState& state);
// After phase 2, NT family only: the setup folder and everything in it get a
// protected DACL (SYSTEM and Administrators full control, Users read and
// execute). A volume without ACLs or a failure is logged; the install goes on.
void SecureSetupTree(const InstallState& state);
// Phase 3: the port monitor and the configuration of its port.
bool RegisterMonitorAndPort(InstallState& state);
// Phase 4: the printer driver.
bool RegisterPrinterDriver(InstallState& state);
// Phase 5: the printer, its driver data and its default device mode.
bool CreatePrinter(InstallState& state);
// Phase 6: the Add/Remove Programs entry, the readme, the quiet setting and
// the companion editor's version.
void CompleteInstall(InstallState& state);

// Ends an install that cannot reach the spooler: the manual-configuration
// message, and the instructions page opened unless the product settings ask
// for a quiet install. Nothing else is written.
void EndWithManualConfiguration(const InstallState& state);
