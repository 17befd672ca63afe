/* montest: checks the TAVRIN port monitor in the spooler of this machine or
 * Wine prefix, the way the setup program and a printing program meet it,
 * and then drives the monitor's libraries directly.
 *
 *   montest.exe [ENVIRONMENT LIBRARY [DRIVERFILE [SETUPDIR]]]
 *
 * ENVIRONMENT and LIBRARY default to "Windows NT x86" and tavmon.dll on the
 * NT family, "Windows 4.0" and tavmon95.dll on Windows 9x; the library (and
 * its user-interface library, tavmona.dll or tavmona95.dll) must already be
 * in the system directory. With DRIVERFILE (a file in the printer-driver
 * directory of ENVIRONMENT that the spooler can load as a driver, e.g.
 * Wine's wineps.drv copied there) the check adds a driver and a printer on
 * the port and prints a RAW job through it.
 *
 * Through the spooler: the port keys, AddMonitorA, EnumMonitorsA,
 * EnumPortsA at levels 1 and 2, XcvDataW "MonitorUI", AddPrinterDriverA,
 * AddPrinterA, StartDocPrinterA / WritePrinter / EndDocPrinter. Where the
 * spooler runs in this process (Wine) the monitor's debugger trace
 * ("tavmon: ...") is caught too, to see the job reach WritePort. With
 * SETUPDIR (a staged product folder such as C:\tavrin, Ghostscript in
 * res\convert) the port gets the record the setup program writes and
 * PostScript jobs are printed to PDF files in <root>tavrin\output. Directly:
 * the tables of InitializePrintMonitor2, InitializePrintMonitor,
 * InitializeMonitorEx (tavmon95.dll) and InitializePrintMonitorUI.
 *
 * Every check prints one line, PASS, FAIL, SKIP or INFO, with the error
 * codes it saw. The exit code is 0 when no check failed, 1 otherwise. */
#include <stdio.h>
#include <string.h>

#include "montest.h"

/* The user-interface library built with `library`; null for others. */
static const char *ui_library_of(const char *library)
{
    if (!lstrcmpiA(library, "tavmon.dll"))
        return "tavmona.dll";
    if (!lstrcmpiA(library, "tavmon95.dll"))
        return "tavmona95.dll";
    return NULL;
}

int main(int argc, char **argv)
{
    const BOOL nt = !(GetVersion() & 0x80000000);
    const char *environment = argc > 1 ? argv[1] : nt ? "Windows NT x86" : "Windows 4.0";
    const char *library = argc > 2 ? argv[2] : nt ? "tavmon.dll" : "tavmon95.dll";
    const char *driver_file = argc > 3 ? argv[3] : NULL;
    const char *setup_dir = argc > 4 ? argv[4] : NULL;
    const char *ui_library = ui_library_of(library);
    BOOL installed;

    start_trace_capture();
    report("INFO", "platform", "GetVersion 0x%08lx, environment \"%s\", library %s", GetVersion(),
           environment, library);

    installed = run_spooler_checks(environment, library, ui_library, driver_file, nt, setup_dir);
    run_direct_checks(library, ui_library, !lstrcmpiA(library, "tavmon95.dll"));
    run_port_removal_check(installed);

    printf("%s: %d check(s) failed\n", failure_count() ? "FAILED" : "PASSED", failure_count());
    return failure_count() ? 1 : 0;
}
