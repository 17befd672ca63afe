/* montest's checks through the spooler: the monitor as the setup program
 * installs it and as a printing program reaches it. */
#include <windows.h>
#include <winspool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "montest.h"

#define DRIVER_NAME "TAVRIN Montest Driver"
#define PRINTER_NAME "TAVRIN Montest"

/* Creates HKLM\path; with `description`, stores it as "Description".
 * Returns the registry's result. */
static LONG make_key(const char *path, const char *description)
{
    HKEY key;
    LONG result =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    if (result != ERROR_SUCCESS)
        return result;
    if (description)
        result = RegSetValueExA(key, "Description", 0, REG_SZ, (const BYTE *)description,
                                (DWORD)strlen(description) + 1);
    RegCloseKey(key);
    return result;
}

/* The port's "Description" value, or the monitor's default when it has none. */
static void expected_description(const char *port, char *text, DWORD size)
{
    char path[512];
    HKEY key;
    DWORD type, bytes = size;
    lstrcpynA(text, PORT_DEFAULT_DESCRIPTION, size);
    sprintf(path, "%s\\%s", PORTS_KEY, port);
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    if (RegQueryValueExA(key, "Description", NULL, &type, (BYTE *)text, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ || !text[0])
        lstrcpynA(text, PORT_DEFAULT_DESCRIPTION, size);
    RegCloseKey(key);
}

/* ---- the checks ---- */

/* The product's port, made before the monitor is added. */
static void check_port_key(void)
{
    LONG result = make_key(PORTS_KEY "\\" PORT_NAME, NULL);
    CHECK(result == ERROR_SUCCESS, "port key", "HKLM\\%s\\%s: %ld", PORTS_KEY, PORT_NAME, result);
}

/* A second port with a description of its own, made after the monitor was
 * added (the order the setup program writes its port in). */
static void check_second_port_key(void)
{
    LONG result = make_key(PORTS_KEY "\\" CHECK_PORT, CHECK_DESCRIPTION);
    CHECK(result == ERROR_SUCCESS, "second port key", "%s with Description \"%s\": %ld", CHECK_PORT,
          CHECK_DESCRIPTION, result);
}

/* Returns whether the monitor is installed afterwards. */
static BOOL check_add_monitor(const char *environment, const char *library)
{
    MONITOR_INFO_2A info;
    BOOL ok;
    DWORD error;
    info.pName = MONITOR_NAME;
    info.pEnvironment = (LPSTR)environment;
    info.pDLLName = (LPSTR)library;
    SetLastError(0);
    ok = AddMonitorA(NULL, 2, (LPBYTE)&info);
    error = GetLastError();
    if (!ok && error == ERROR_PRINT_MONITOR_ALREADY_INSTALLED) {
        report("INFO", "AddMonitorA", "already installed (3006): checking the installed one");
        return TRUE;
    }
    CHECK(ok, "AddMonitorA", "(\"%s\", \"%s\", \"%s\") returned %d, last error %lu", MONITOR_NAME,
          environment, library, ok, error);
    return ok;
}

static void check_enum_monitors(const char *library)
{
    DWORD needed = 0, returned = 0, i;
    MONITOR_INFO_2A *monitors;
    BOOL ok = EnumMonitorsA(NULL, 2, NULL, 0, &needed, &returned);
    DWORD error = GetLastError();
    if (ok || error != ERROR_INSUFFICIENT_BUFFER) {
        report("FAIL", "EnumMonitorsA", "size query returned %d, last error %lu", ok, error);
        return;
    }
    monitors = malloc(needed);
    ok = monitors && EnumMonitorsA(NULL, 2, (LPBYTE)monitors, needed, &needed, &returned);
    if (!ok) {
        report("FAIL", "EnumMonitorsA", "level 2 failed, last error %lu", GetLastError());
        free(monitors);
        return;
    }
    for (i = 0; i < returned; i++) {
        if (!lstrcmpiA(monitors[i].pName, MONITOR_NAME)) {
            CHECK(!lstrcmpiA(monitors[i].pDLLName, library), "EnumMonitorsA",
                  "\"%s\" listed, environment \"%s\", library \"%s\"", monitors[i].pName,
                  monitors[i].pEnvironment ? monitors[i].pEnvironment : "(null)",
                  monitors[i].pDLLName ? monitors[i].pDLLName : "(null)");
            free(monitors);
            return;
        }
    }
    report("FAIL", "EnumMonitorsA", "\"%s\" not among %lu monitors", MONITOR_NAME, returned);
    free(monitors);
}

/* Whether all of [text, text+strlen] lies in the buffer after the records. */
static BOOL packed_inside(const char *text, const BYTE *buffer, DWORD records, DWORD needed)
{
    const BYTE *at = (const BYTE *)text;
    return text && at >= buffer + records && at + strlen(text) < buffer + needed;
}

/* EnumPortsA at `level`: size query, then the list. Returns the list
 * (to be freed) or NULL; *count receives the number of ports. */
static BYTE *enum_ports(DWORD level, DWORD *count, DWORD *bytes)
{
    char check[32];
    DWORD needed = 0, returned = 0;
    BYTE *buffer;
    BOOL ok = EnumPortsA(NULL, level, NULL, 0, &needed, &returned);
    DWORD error = GetLastError();
    sprintf(check, "EnumPortsA level %lu", level);
    if (ok || error != ERROR_INSUFFICIENT_BUFFER) {
        report("FAIL", check, "size query returned %d, last error %lu, needed %lu", ok, error,
               needed);
        return NULL;
    }
    buffer = malloc(needed);
    if (!buffer)
        return NULL;
    ok = EnumPortsA(NULL, level, buffer, needed, &needed, &returned);
    if (!ok) {
        report("FAIL", check, "failed with %lu bytes, last error %lu", needed, GetLastError());
        free(buffer);
        return NULL;
    }
    *count = returned;
    *bytes = needed;
    return buffer;
}

/* Level 1 lists the product's port, and the second port exactly when
 * `second_expected` (the monitor reads its ports afresh each time). */
static void check_enum_ports_1(const char *check, BOOL second_expected)
{
    DWORD count = 0, bytes = 0, i;
    BOOL ours = FALSE, second = FALSE;
    PORT_INFO_1A *ports = (PORT_INFO_1A *)enum_ports(1, &count, &bytes);
    if (!ports)
        return;
    for (i = 0; i < count; i++) {
        if (!lstrcmpiA(ports[i].pName, PORT_NAME))
            ours = TRUE;
        if (!lstrcmpiA(ports[i].pName, CHECK_PORT))
            second = TRUE;
    }
    CHECK(ours && second == second_expected, check, "%lu ports in %lu bytes; %s %s, %s %s", count,
          bytes, PORT_NAME, ours ? "listed" : "MISSING", CHECK_PORT, second ? "listed" : "absent");
    free(ports);
}

/* Checks one of the monitor's ports in the level-2 list. */
static void check_port_2(const PORT_INFO_2A *ports, DWORD count, DWORD bytes, const char *name)
{
    char check[64], description[256];
    DWORD i;
    sprintf(check, "EnumPortsA level 2 %s", name);
    expected_description(name, description, sizeof(description));
    for (i = 0; i < count; i++) {
        const PORT_INFO_2A *port = &ports[i];
        BOOL ok;
        if (lstrcmpiA(port->pPortName, name))
            continue;
        ok = port->pMonitorName && !strcmp(port->pMonitorName, MONITOR_NAME) &&
             port->pDescription && !strcmp(port->pDescription, description) &&
             port->fPortType == (PORT_TYPE_WRITE | PORT_TYPE_REDIRECTED);
        ok =
            ok && packed_inside(port->pPortName, (const BYTE *)ports, count * sizeof(*port), bytes);
        CHECK(ok, check, "monitor \"%s\", description \"%s\" (expected \"%s\"), type 0x%lx",
              port->pMonitorName ? port->pMonitorName : "(null)",
              port->pDescription ? port->pDescription : "(null)", description, port->fPortType);
        return;
    }
    report("FAIL", check, "not among %lu ports", count);
}

static void check_enum_ports_2(void)
{
    DWORD count = 0, bytes = 0;
    PORT_INFO_2A *ports = (PORT_INFO_2A *)enum_ports(2, &count, &bytes);
    if (!ports)
        return;
    report("INFO", "EnumPortsA level 2", "%lu ports in %lu bytes", count, bytes);
    check_port_2(ports, count, bytes, PORT_NAME);
    check_port_2(ports, count, bytes, CHECK_PORT);
    free(ports);
}

typedef BOOL(WINAPI *XcvDataFn)(HANDLE, PCWSTR, PBYTE, DWORD, PBYTE, DWORD, PDWORD, PDWORD);

/* The monitor's transceive channel names its user-interface library. Only
 * where winspool has XcvDataW (Windows 2000 and later, Wine). */
static void check_monitor_ui(const char *ui_library)
{
    PRINTER_DEFAULTSA defaults = {NULL, NULL, SERVER_ACCESS_ADMINISTER};
    XcvDataFn xcv_data =
        (XcvDataFn)(void (*)(void))GetProcAddress(GetModuleHandleA("winspool.drv"), "XcvDataW");
    HANDLE xcv = NULL;
    WCHAR name[MAX_PATH] = L"";
    char narrow[MAX_PATH] = "";
    DWORD needed = 0, status = 0;
    BOOL ok;
    if (!xcv_data) {
        report("SKIP", "XcvDataW MonitorUI", "winspool has no XcvDataW");
        return;
    }
    if (!OpenPrinterA(",XcvMonitor " MONITOR_NAME, &xcv, &defaults)) {
        report("FAIL", "XcvDataW MonitorUI", "OpenPrinterA(\",XcvMonitor %s\"): last error %lu",
               MONITOR_NAME, GetLastError());
        return;
    }
    ok = xcv_data(xcv, L"MonitorUI", NULL, 0, (PBYTE)name, sizeof(name), &needed, &status);
    WideCharToMultiByte(CP_ACP, 0, name, -1, narrow, sizeof(narrow), NULL, NULL);
    CHECK(ok && status == ERROR_SUCCESS && !lstrcmpiA(narrow, ui_library), "XcvDataW MonitorUI",
          "returned %d, status %lu, \"%s\" (%lu bytes)", ok, status, narrow, needed);
    ClosePrinter(xcv);
}

/* Registers DRIVERFILE as the check's driver. Returns whether it is there. */
static BOOL check_add_driver(const char *environment, const char *driver_file, BOOL nt)
{
    char directory[MAX_PATH], path[MAX_PATH];
    DWORD needed = 0, attributes, error;
    DRIVER_INFO_3A info;
    BOOL ok;

    if (!GetPrinterDriverDirectoryA(NULL, (LPSTR)environment, 1, (LPBYTE)directory,
                                    sizeof(directory), &needed)) {
        report("FAIL", "GetPrinterDriverDirectoryA", "last error %lu", GetLastError());
        return FALSE;
    }
    sprintf(path, "%s\\%s", directory, driver_file);
    attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        report("FAIL", "driver file", "%s not found (%lu)", path, GetLastError());
        return FALSE;
    }

    memset(&info, 0, sizeof(info));
    info.cVersion = nt ? 3 : 0;
    info.pName = DRIVER_NAME;
    info.pEnvironment = (LPSTR)environment;
    /* The NT family is given full paths, Windows 9x bare names (found in the
     * driver directory), as the setup program does. */
    info.pDriverPath = nt ? path : (LPSTR)driver_file;
    info.pDataFile = nt ? path : (LPSTR)driver_file;
    info.pConfigFile = nt ? path : (LPSTR)driver_file;
    info.pDefaultDataType = "RAW";
    SetLastError(0);
    ok = AddPrinterDriverA(NULL, 3, (LPBYTE)&info);
    error = GetLastError();
    CHECK(ok, "AddPrinterDriverA", "level 3 \"%s\" from %s returned %d, last error %lu",
          DRIVER_NAME, path, ok, error);
    return ok;
}

/* Adds the check's printer on the port. Returns whether it exists. */
static BOOL check_add_printer(void)
{
    PRINTER_INFO_2A info;
    HANDLE printer;
    DWORD error;
    memset(&info, 0, sizeof(info));
    info.pPrinterName = PRINTER_NAME;
    info.pPortName = PORT_NAME;
    info.pDriverName = DRIVER_NAME;
    info.pPrintProcessor = "winprint";
    info.pDatatype = "RAW";
    SetLastError(0);
    printer = AddPrinterA(NULL, 2, (LPBYTE)&info);
    error = GetLastError();
    if (!printer && error == ERROR_PRINTER_ALREADY_EXISTS) {
        report("INFO", "AddPrinterA", "\"%s\" already exists (1802)", PRINTER_NAME);
        return TRUE;
    }
    CHECK(printer != NULL, "AddPrinterA", "\"%s\" on %s returned %p, last error %lu", PRINTER_NAME,
          PORT_NAME, (void *)printer, error);
    if (!printer)
        return FALSE;
    ClosePrinter(printer);
    return TRUE;
}

/* Prints a small RAW job; returns the bytes WritePrinter took, 0 on failure. */
static DWORD print_raw_job(void)
{
    static const char data[] = "%!PS-Adobe-3.0\n%%Title: montest\n%%EOF\n";
    DOC_INFO_1A doc = {"montest job", NULL, "RAW"};
    HANDLE printer = NULL;
    DWORD job, written = 0;
    BOOL ok;

    if (!OpenPrinterA(PRINTER_NAME, &printer, NULL)) {
        report("FAIL", "OpenPrinterA", "\"%s\": last error %lu", PRINTER_NAME, GetLastError());
        return 0;
    }
    job = StartDocPrinterA(printer, 1, (LPBYTE)&doc);
    CHECK(job != 0, "StartDocPrinterA", "job %lu, last error %lu", job, job ? 0 : GetLastError());
    if (!job) {
        ClosePrinter(printer);
        return 0;
    }
    ok = WritePrinter(printer, (LPVOID)data, sizeof(data) - 1, &written);
    CHECK(ok && written == sizeof(data) - 1, "WritePrinter", "%lu of %u bytes, last error %lu",
          written, (unsigned)(sizeof(data) - 1), ok ? 0 : GetLastError());
    ok = EndDocPrinter(printer);
    CHECK(ok, "EndDocPrinter", "returned %d, last error %lu", ok, ok ? 0 : GetLastError());
    ClosePrinter(printer);
    return written;
}

/* What the monitor saw of the job, from its trace. */
static void check_job_trace(DWORD written)
{
    char line[256] = "";
    unsigned long bytes;
    check_traced("OpenPort", "OpenPort " PORT_NAME);
    check_traced("StartDocPort", "StartDocPort " PORT_NAME);
    bytes = traced_write_bytes();
    CHECK(bytes == written, "WritePort", "%lu bytes reached the monitor, %lu written", bytes,
          written);
    check_traced("EndDocPort", "EndDocPort " PORT_NAME);
    check_traced("ClosePort", "ClosePort " PORT_NAME);
    if (traced("SetJob", line, sizeof(line)) > 0)
        report("INFO", "SetJob", "%s", line);
    if (traced("OpenPrinter", line, sizeof(line)) > 0)
        report("INFO", "OpenPrinter", "%s", line);
}

BOOL run_spooler_checks(const char *environment, const char *library, const char *ui_library,
                        const char *driver_file, BOOL nt, const char *setup_dir)
{
    BOOL in_process;
    check_port_key();
    if (!check_add_monitor(environment, library))
        return FALSE;
    if (monitor_in_process(library))
        check_traced("initialization", "InitializePrintMonitor");
    check_second_port_key();
    check_enum_monitors(library);
    check_enum_ports_1("EnumPortsA level 1", TRUE);
    check_enum_ports_2();
    in_process = monitor_in_process(library);
    report("INFO", "spooler", "the monitor %s in this process",
           in_process ? "runs" : "does not run");
    if (in_process) {
        char line[256];
        if (traced("registry: ", line, sizeof(line)))
            report("INFO", "registry", "%s", line + 10);
        else
            report("INFO", "registry", "no switch traced: read through the registry it began with");
    }
    if (ui_library)
        check_monitor_ui(ui_library);

    if (!driver_file) {
        report("SKIP", "printing", "no driver file given");
    } else if (check_add_driver(environment, driver_file, nt) && check_add_printer()) {
        DWORD written = print_raw_job();
        if (written && monitor_in_process(library))
            check_job_trace(written);
        else if (written)
            report("SKIP", "WritePort", "the monitor runs in another process");
        if (setup_dir)
            run_job_checks(setup_dir, PRINTER_NAME);
        else
            report("SKIP", "PDF jobs", "no setup folder given");
    }
    return TRUE;
}

void run_port_removal_check(BOOL monitor_installed)
{
    LONG result = RegDeleteKeyA(HKEY_LOCAL_MACHINE, PORTS_KEY "\\" CHECK_PORT);
    if (result == ERROR_SUCCESS && monitor_installed)
        check_enum_ports_1("EnumPortsA after removing " CHECK_PORT, FALSE);
}
