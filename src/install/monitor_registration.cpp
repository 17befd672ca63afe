// Phase 3: the port monitor and the configuration of its port.
#include "common/setup_log.h"
#include "common/text.h"
#include "framework/afxwin.h"
#include "install/install_messages.h"
#include "install/install_phases.h"
#include "contract/product_names.h"
#include "install/port_configuration.h"

bool RegisterMonitorAndPort(InstallState& state) {
  MONITOR_INFO_2A monitor;
  monitor.pName = Writable(kMonitorName);
  monitor.pEnvironment = Writable(state.profile->environment);
  monitor.pDLLName = Writable(state.monitor_library);

  if (!state.Win9xCase()) {
    // Give the spooler time to settle after the silent uninstall's restarts.
    ConsoleTrace("Initializing Spooler\n\n");
    Sleep(3000);
  }

  if (!AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&monitor))) {
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
      AfxMessageBox(kNoAdministrativeRights, MB_OK);
      return false;
    }
    LogError("AddMonitor", error);
    Sleep(1000);
  }
  Sleep(1000);

  WritePortConfiguration(state.setup_dir);
  return true;
}
