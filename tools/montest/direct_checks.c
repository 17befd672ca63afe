/* montest's direct checks: the monitor libraries loaded into this process
 * and driven through their own tables, the way a spooler would, including
 * the cases the spooler of the machine at hand never produces (Wine's never
 * offers working registry functions, never asks for an unknown port, ...). */
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "contract/monitor_table_9x.h"
#include "montest.h"

#define MONITOR_KEY_W L"" TAVRIN_MONITOR_KEY
#define MONITORREG_MARK L"Read through MONITORREG"
#define SPOOLER_HANDLE ((HANDLE)0x5150)

typedef LPMONITOR2(WINAPI *InitMonitor2Fn)(PMONITORINIT, PHANDLE);
typedef LPMONITOREX(WINAPI *InitMonitorFn)(LPWSTR);
typedef PMONITORUI(WINAPI *InitMonitorUiFn)(void);

typedef BOOL(WINAPI *InitMonitorExFn)(LPSTR, Monitor9xTable *);

/* ---- a spooler's registry functions, served from the real registry ---- */

static LONG reg_calls;     /* calls of the working set */
static LONG stub_calls;    /* calls of the stub set */
static BOOL wrong_spooler; /* a call came without the spooler's handle */

static void note_call(HANDLE spooler)
{
    InterlockedIncrement(&reg_calls);
    if (spooler != SPOOLER_HANDLE)
        wrong_spooler = TRUE;
}

static LONG WINAPI reg_open(HANDLE key, LPCWSTR sub, REGSAM access, PHANDLE result, HANDLE spooler)
{
    note_call(spooler);
    return RegOpenKeyExW((HKEY)key, sub, 0, access, (HKEY *)result);
}

static LONG WINAPI reg_close(HANDLE key, HANDLE spooler)
{
    note_call(spooler);
    return RegCloseKey((HKEY)key);
}

static LONG WINAPI reg_enum_key(HANDLE key, DWORD index, LPWSTR name, PDWORD chars,
                                PFILETIME written, HANDLE spooler)
{
    note_call(spooler);
    return RegEnumKeyExW((HKEY)key, index, name, chars, NULL, NULL, NULL, written);
}

/* Every value reads as MONITORREG_MARK, so that the port list shows which
 * way the monitor went. */
static LONG WINAPI reg_query_value(HANDLE key, LPCWSTR name, PDWORD type, PBYTE data, PDWORD bytes,
                                   HANDLE spooler)
{
    static const WCHAR mark[] = MONITORREG_MARK;
    (void)key;
    (void)name;
    note_call(spooler);
    if (type)
        *type = REG_SZ;
    if (data && *bytes < sizeof(mark)) {
        *bytes = sizeof(mark);
        return ERROR_MORE_DATA;
    }
    if (data)
        memcpy(data, mark, sizeof(mark));
    *bytes = sizeof(mark);
    return ERROR_SUCCESS;
}

static LONG WINAPI reg_create(HANDLE k, LPCWSTR s, DWORD o, REGSAM a, PSECURITY_ATTRIBUTES sa,
                              PHANDLE r, PDWORD d, HANDLE h)
{
    (void)k, (void)s, (void)o, (void)a, (void)sa, (void)r, (void)d, (void)h;
    return ERROR_CALL_NOT_IMPLEMENTED;
}
static LONG WINAPI reg_delete_key(HANDLE k, LPCWSTR s, HANDLE h)
{
    (void)k, (void)s, (void)h;
    return ERROR_CALL_NOT_IMPLEMENTED;
}
static LONG WINAPI reg_query_info(HANDLE k, PDWORD a, PDWORD b, PDWORD c, PDWORD d, PDWORD e,
                                  PDWORD f, PFILETIME g, HANDLE h)
{
    (void)k, (void)a, (void)b, (void)c, (void)d, (void)e, (void)f, (void)g, (void)h;
    return ERROR_CALL_NOT_IMPLEMENTED;
}
static LONG WINAPI reg_set_value(HANDLE k, LPCWSTR n, DWORD t, const BYTE *d, DWORD c, HANDLE h)
{
    (void)k, (void)n, (void)t, (void)d, (void)c, (void)h;
    return ERROR_CALL_NOT_IMPLEMENTED;
}
static LONG WINAPI reg_delete_value(HANDLE k, LPCWSTR n, HANDLE h)
{
    (void)k, (void)n, (void)h;
    return ERROR_CALL_NOT_IMPLEMENTED;
}
static LONG WINAPI reg_enum_value(HANDLE k, DWORD i, LPWSTR n, PDWORD c, PDWORD t, PBYTE d,
                                  PDWORD b, HANDLE h)
{
    (void)k, (void)i, (void)n, (void)c, (void)t, (void)d, (void)b, (void)h;
    return ERROR_CALL_NOT_IMPLEMENTED;
}

/* The stub set, as Wine's spooler hands it over. */
static LONG WINAPI stub_open(HANDLE key, LPCWSTR sub, REGSAM access, PHANDLE result, HANDLE spooler)
{
    (void)key, (void)sub, (void)access, (void)result, (void)spooler;
    InterlockedIncrement(&stub_calls);
    return ERROR_CALL_NOT_IMPLEMENTED;
}
static LONG WINAPI stub_close(HANDLE key, HANDLE spooler)
{
    (void)key, (void)spooler;
    InterlockedIncrement(&stub_calls);
    return ERROR_CALL_NOT_IMPLEMENTED;
}
static LONG WINAPI stub_enum_key(HANDLE k, DWORD i, LPWSTR n, PDWORD c, PFILETIME f, HANDLE h)
{
    (void)k, (void)i, (void)n, (void)c, (void)f, (void)h;
    InterlockedIncrement(&stub_calls);
    return ERROR_CALL_NOT_IMPLEMENTED;
}
static LONG WINAPI stub_query_value(HANDLE k, LPCWSTR n, PDWORD t, PBYTE d, PDWORD b, HANDLE h)
{
    (void)k, (void)n, (void)t, (void)d, (void)b, (void)h;
    InterlockedIncrement(&stub_calls);
    return ERROR_CALL_NOT_IMPLEMENTED;
}

/* A monitor key without a "Ports" subkey: nothing opens. */
static LONG WINAPI missing_open(HANDLE key, LPCWSTR sub, REGSAM access, PHANDLE result,
                                HANDLE spooler)
{
    (void)key, (void)sub, (void)access, (void)spooler;
    *result = NULL;
    return ERROR_FILE_NOT_FOUND;
}

static MONITORREG working_reg = {sizeof(MONITORREG), reg_create,     reg_open,       reg_close,
                                 reg_delete_key,     reg_enum_key,   reg_query_info, reg_set_value,
                                 reg_delete_value,   reg_enum_value, reg_query_value};
static MONITORREG stub_reg = {sizeof(MONITORREG), reg_create,     stub_open,       stub_close,
                              reg_delete_key,     stub_enum_key,  reg_query_info,  reg_set_value,
                              reg_delete_value,   reg_enum_value, stub_query_value};

static MONITORREG missing_reg = {sizeof(MONITORREG), reg_create,     missing_open,    stub_close,
                                 reg_delete_key,     stub_enum_key,  reg_query_info,  reg_set_value,
                                 reg_delete_value,   reg_enum_value, stub_query_value};

/* ---- helpers ---- */

/* The description the level-2 list gives `port` ("" when it is absent). */
static void description_of(const PORT_INFO_2W *ports, DWORD count, const WCHAR *port, char *text,
                           int size)
{
    DWORD i;
    text[0] = '\0';
    for (i = 0; i < count; i++)
        if (!lstrcmpiW(ports[i].pPortName, port) && ports[i].pDescription)
            WideCharToMultiByte(CP_ACP, 0, ports[i].pDescription, -1, text, size, NULL, NULL);
}

/* A fresh instance of the monitor; null when InitializePrintMonitor2 failed. */
static LPMONITOR2 new_instance(InitMonitor2Fn init2, HKEY root, MONITORREG *reg, HANDLE *monitor)
{
    MONITORINIT init;
    memset(&init, 0, sizeof(init));
    init.cbSize = sizeof(init);
    init.hSpooler = SPOOLER_HANDLE;
    init.hckRegistryRoot = root;
    init.pMonitorReg = reg;
    init.bLocal = TRUE;
    *monitor = NULL;
    return init2(&init, monitor);
}

/* ---- MONITOR2 ---- */

static void check_table2(const MONITOR2 *table)
{
    BOOL complete = table->pfnEnumPorts && table->pfnOpenPort && table->pfnStartDocPort &&
                    table->pfnWritePort && table->pfnReadPort && table->pfnEndDocPort &&
                    table->pfnClosePort && table->pfnAddPort && table->pfnConfigurePort &&
                    table->pfnDeletePort && table->pfnXcvOpenPort && table->pfnXcvDataPort &&
                    table->pfnXcvClosePort && table->pfnShutdown;
    CHECK(table->cbSize == MONITOR2_SIZE_WIN2K || table->cbSize == sizeof(MONITOR2),
          "MONITOR2 size", "cbSize %lu (Windows 2000: %u, XP: %u)", table->cbSize,
          (unsigned)MONITOR2_SIZE_WIN2K, (unsigned)sizeof(MONITOR2));
    CHECK(complete, "MONITOR2 members", "every member up to Shutdown is %s",
          complete ? "set" : "NOT set");
}

/* EnumPorts: levels, the size query, a buffer one byte short, the packing. */
static void check_enum_ports2(const MONITOR2 *table, HANDLE monitor)
{
    DWORD needed = 0, returned = 7, needed2 = 0, i;
    BYTE *buffer;
    BOOL ok;
    DWORD error;

    SetLastError(0);
    ok = table->pfnEnumPorts(monitor, NULL, 3, NULL, 0, &needed, &returned);
    CHECK_FAILS(ok, GetLastError(), ERROR_INVALID_LEVEL, "EnumPorts level 3");

    ok = table->pfnEnumPorts(monitor, NULL, 2, NULL, 0, &needed, &returned);
    error = GetLastError();
    CHECK(!ok && error == ERROR_INSUFFICIENT_BUFFER && needed > 0 && returned == 0,
          "EnumPorts size query", "returned %d, last error %lu, needed %lu, count %lu", ok, error,
          needed, returned);
    if (!needed)
        return;

    buffer = malloc(needed + 64);
    ok = table->pfnEnumPorts(monitor, NULL, 2, buffer, needed - 1, &needed2, &returned);
    error = GetLastError();
    CHECK(!ok && error == ERROR_INSUFFICIENT_BUFFER && needed2 == needed && returned == 0,
          "EnumPorts one byte short", "returned %d, last error %lu, needed %lu, count %lu", ok,
          error, needed2, returned);

    ok = table->pfnEnumPorts(monitor, NULL, 2, buffer, needed, &needed2, &returned);
    if (!ok || !returned) {
        report("FAIL", "EnumPorts level 2", "returned %d, last error %lu, count %lu", ok,
               GetLastError(), returned);
    } else {
        const PORT_INFO_2W *ports = (const PORT_INFO_2W *)buffer;
        const BYTE *records_end = buffer + returned * sizeof(PORT_INFO_2W);
        const BYTE *lowest = buffer + needed;
        BOOL inside = TRUE, typed = TRUE;
        for (i = 0; i < returned; i++) {
            const WCHAR *texts[3];
            int t;
            texts[0] = ports[i].pPortName;
            texts[1] = ports[i].pMonitorName;
            texts[2] = ports[i].pDescription;
            for (t = 0; t < 3; t++) {
                const BYTE *at = (const BYTE *)texts[t];
                if (!at || at < records_end || at + (lstrlenW(texts[t]) + 1) * 2 > buffer + needed)
                    inside = FALSE;
                else if (at < lowest)
                    lowest = at;
            }
            if (ports[i].fPortType != PORT_TYPE ||
                lstrcmpW(ports[i].pMonitorName, L"" MONITOR_NAME))
                typed = FALSE;
        }
        CHECK(inside && lowest == records_end, "EnumPorts packing",
              "%lu records, then their texts, filling the %lu bytes exactly", returned, needed);
        CHECK(typed, "EnumPorts level 2 records", "monitor \"" MONITOR_NAME "\", type 0x%x",
              PORT_TYPE);
    }

    /* With room to spare the texts still end at the buffer's end. */
    ok = table->pfnEnumPorts(monitor, NULL, 1, buffer, needed + 64, &needed2, &returned);
    if (ok && returned) {
        const PORT_INFO_1W *first = (const PORT_INFO_1W *)buffer;
        const BYTE *end = (const BYTE *)first->pName + (lstrlenW(first->pName) + 1) * 2;
        CHECK(end == buffer + needed + 64, "EnumPorts level 1 from the end",
              "first name ends %ld bytes before the end of a %lu-byte buffer",
              (long)(buffer + needed + 64 - end), needed + 64);
    } else {
        report("FAIL", "EnumPorts level 1", "returned %d, last error %lu", ok, GetLastError());
    }
    free(buffer);
}

/* OpenPort, the job functions and ClosePort on one port handle. */
static void check_port_calls2(const MONITOR2 *table, HANDLE monitor)
{
    DOC_INFO_1W doc = {L"montest direct", NULL, L"RAW"};
    BYTE data[10] = "0123456789";
    HANDLE port = (HANDLE)1;
    DWORD done = 99;
    BOOL ok;

    SetLastError(0);
    ok = table->pfnOpenPort(monitor, L"NOSUCHPORT", &port);
    CHECK_FAILS(ok, GetLastError(), ERROR_UNKNOWN_PORT, "OpenPort of an unknown port");
    CHECK(port == NULL, "OpenPort of an unknown port", "handle %p", port);

    ok = table->pfnOpenPort(monitor, L"tavrinport", &port);
    CHECK(ok && port, "OpenPort without regard to case", "\"tavrinport\": returned %d, handle %p",
          ok, port);
    if (!ok || !port)
        return;

    SetLastError(0);
    ok = table->pfnWritePort(port, data, sizeof(data), &done);
    CHECK_FAILS(ok, GetLastError(), ERROR_INVALID_PARAMETER, "WritePort before StartDocPort");

    ok = table->pfnStartDocPort(port, NULL, 4711, 1, (LPBYTE)&doc);
    CHECK(ok, "StartDocPort", "returned %d, last error %lu", ok, ok ? 0 : GetLastError());
    SetLastError(0);
    ok = table->pfnStartDocPort(port, NULL, 4712, 1, (LPBYTE)&doc);
    CHECK_FAILS(ok, GetLastError(), ERROR_BUSY, "StartDocPort while a job runs");

    ok = table->pfnWritePort(port, data, sizeof(data), &done);
    CHECK(ok && done == sizeof(data), "WritePort", "returned %d, %lu of %u bytes taken", ok, done,
          (unsigned)sizeof(data));
    SetLastError(0);
    ok = table->pfnReadPort(port, data, sizeof(data), &done);
    CHECK_FAILS(ok, GetLastError(), ERROR_NOT_SUPPORTED, "ReadPort");
    ok = table->pfnEndDocPort(port);
    CHECK(ok, "EndDocPort", "returned %d", ok);
    ok = table->pfnEndDocPort(port);
    CHECK(ok, "EndDocPort without a job", "returned %d", ok);

    ok = table->pfnClosePort(port);
    CHECK(ok, "ClosePort", "returned %d", ok);
    SetLastError(0);
    ok = table->pfnClosePort(NULL);
    CHECK_FAILS(ok, GetLastError(), ERROR_INVALID_HANDLE, "ClosePort of no port");
}

/* The transceive channel and the refused port management. */
static void check_management2(const MONITOR2 *table, HANDLE monitor, const char *ui_library)
{
    WCHAR name[MAX_PATH];
    char narrow[MAX_PATH] = "";
    HANDLE xcv = NULL;
    DWORD needed = 0, status;
    BOOL ok;

    SetLastError(0);
    ok = table->pfnAddPort(monitor, NULL, NULL, L"" MONITOR_NAME);
    CHECK_FAILS(ok, GetLastError(), ERROR_NOT_SUPPORTED, "AddPort");
    SetLastError(0);
    ok = table->pfnConfigurePort(monitor, NULL, NULL, L"" PORT_NAME);
    CHECK_FAILS(ok, GetLastError(), ERROR_NOT_SUPPORTED, "ConfigurePort");
    SetLastError(0);
    ok = table->pfnDeletePort(monitor, NULL, NULL, L"" PORT_NAME);
    CHECK_FAILS(ok, GetLastError(), ERROR_NOT_SUPPORTED, "DeletePort");

    ok = table->pfnXcvOpenPort(monitor, L"", SERVER_ACCESS_ADMINISTER, &xcv);
    CHECK(ok && xcv, "XcvOpenPort", "returned %d, handle %p", ok, xcv);
    if (!ok || !xcv)
        return;
    status = table->pfnXcvDataPort(xcv, L"MonitorUI", NULL, 0, (PBYTE)name, 4, &needed);
    CHECK(status == ERROR_INSUFFICIENT_BUFFER && needed > 4, "XcvDataPort MonitorUI, 4 bytes",
          "status %lu, needed %lu", status, needed);
    status = table->pfnXcvDataPort(xcv, L"MonitorUI", NULL, 0, (PBYTE)name, sizeof(name), &needed);
    if (status == ERROR_SUCCESS)
        WideCharToMultiByte(CP_ACP, 0, name, -1, narrow, sizeof(narrow), NULL, NULL);
    CHECK(status == ERROR_SUCCESS && !lstrcmpiA(narrow, ui_library), "XcvDataPort MonitorUI",
          "status %lu, \"%s\" (%lu bytes)", status, narrow, needed);
    status = table->pfnXcvDataPort(xcv, L"AddPort", (PBYTE)L"NEWPORT", 16, NULL, 0, &needed);
    CHECK(status == ERROR_INVALID_FUNCTION, "XcvDataPort AddPort", "status %lu (expected %lu)",
          status, (unsigned long)ERROR_INVALID_FUNCTION);
    ok = table->pfnXcvClosePort(xcv);
    CHECK(ok, "XcvClosePort", "returned %d", ok);
}

/* The registry the instance reads: the spooler's functions when they work,
 * the system's when they are stubs (switching once), the system's when
 * there are none. */
static void check_registry_paths(InitMonitor2Fn init2)
{
    HKEY root = NULL;
    HANDLE monitor;
    LPMONITOR2 table;
    BYTE buffer[4096];
    DWORD needed, count;
    char text[256];
    LONG stubs_after_first;

    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, MONITOR_KEY_W, 0, KEY_READ, &root) != ERROR_SUCCESS) {
        report("FAIL", "registry paths", "the monitor's key does not open");
        return;
    }

    table = new_instance(init2, root, &working_reg, &monitor);
    if (table) {
        BOOL ok = table->pfnEnumPorts(monitor, NULL, 2, buffer, sizeof(buffer), &needed, &count);
        description_of((PORT_INFO_2W *)buffer, ok ? count : 0, L"" CHECK_PORT, text, sizeof(text));
        CHECK(ok && !strcmp(text, "Read through MONITORREG") && reg_calls > 0 && !wrong_spooler,
              "spooler's registry functions", "%lu ports, %s described \"%s\", %ld calls, %s",
              ok ? count : 0, CHECK_PORT, text, reg_calls,
              wrong_spooler ? "some WITHOUT the spooler's handle"
                            : "all with the spooler's handle");
        table->pfnShutdown(monitor);
    }

    table = new_instance(init2, root, &stub_reg, &monitor);
    if (table) {
        BOOL ok = table->pfnEnumPorts(monitor, NULL, 2, buffer, sizeof(buffer), &needed, &count);
        stubs_after_first = stub_calls;
        ok = ok && table->pfnEnumPorts(monitor, NULL, 2, buffer, sizeof(buffer), &needed, &count);
        description_of((PORT_INFO_2W *)buffer, ok ? count : 0, L"" CHECK_PORT, text, sizeof(text));
        CHECK(ok && !strcmp(text, CHECK_DESCRIPTION) && stubs_after_first == 1 && stub_calls == 1,
              "stub registry functions", "%s described \"%s\"; stubs called %ld time(s)",
              CHECK_PORT, text, stub_calls);
        table->pfnShutdown(monitor);
    }

    table = new_instance(init2, root, &missing_reg, &monitor);
    if (table) {
        BOOL ok;
        needed = count = 99;
        ok = table->pfnEnumPorts(monitor, NULL, 2, NULL, 0, &needed, &count);
        CHECK(ok && needed == 0 && count == 0, "no Ports key",
              "EnumPorts returned %d, last error %lu, needed %lu, count %lu", ok,
              ok ? 0 : GetLastError(), needed, count);
        table->pfnShutdown(monitor);
    }

    table = new_instance(init2, NULL, NULL, &monitor);
    if (table) {
        BOOL ok = table->pfnEnumPorts(monitor, NULL, 2, buffer, sizeof(buffer), &needed, &count);
        description_of((PORT_INFO_2W *)buffer, ok ? count : 0, L"" CHECK_PORT, text, sizeof(text));
        CHECK(ok && !strcmp(text, CHECK_DESCRIPTION), "no registry functions",
              "%s described \"%s\"", CHECK_PORT, text);
        table->pfnShutdown(monitor);
    }
    RegCloseKey(root);
}

static void check_monitor2(HMODULE library, const char *ui_library)
{
    InitMonitor2Fn init2 =
        (InitMonitor2Fn)(void (*)(void))GetProcAddress(library, "InitializePrintMonitor2");
    LPMONITOR2 table;
    HANDLE monitor;
    if (!init2) {
        report("FAIL", "InitializePrintMonitor2", "not exported");
        return;
    }
    table = new_instance(init2, NULL, NULL, &monitor);
    CHECK(table && monitor, "InitializePrintMonitor2", "table %p, monitor handle %p", (void *)table,
          monitor);
    if (!table || !monitor)
        return;
    check_table2(table);
    check_enum_ports2(table, monitor);
    check_port_calls2(table, monitor);
    check_management2(table, monitor, ui_library);
    table->pfnShutdown(monitor);
    check_registry_paths(init2);
}

/* ---- MONITOREX ---- */

static void check_monitorex(HMODULE library)
{
    InitMonitorFn init =
        (InitMonitorFn)(void (*)(void))GetProcAddress(library, "InitializePrintMonitor");
    WCHAR root[] = MONITOR_KEY_W;
    LPMONITOREX table;
    BYTE buffer[4096];
    DWORD needed = 0, count = 0, i;
    HANDLE port = NULL;
    BOOL ok, listed = FALSE;
    if (!init) {
        report("FAIL", "InitializePrintMonitor", "not exported");
        return;
    }
    table = init(root);
    CHECK(table && table->dwMonitorSize == sizeof(MONITOR), "InitializePrintMonitor",
          "table %p, dwMonitorSize %lu (expected %u)", (void *)table,
          table ? table->dwMonitorSize : 0, (unsigned)sizeof(MONITOR));
    if (!table)
        return;
    ok = table->Monitor.pfnEnumPorts(NULL, 1, buffer, sizeof(buffer), &needed, &count);
    for (i = 0; ok && i < count; i++)
        if (!lstrcmpW(((PORT_INFO_1W *)buffer)[i].pName, L"" PORT_NAME))
            listed = TRUE;
    CHECK(ok && listed, "MONITOR EnumPorts", "returned %d, %lu ports, " PORT_NAME " %s", ok, count,
          listed ? "listed" : "MISSING");
    ok = table->Monitor.pfnOpenPort(L"" PORT_NAME, &port) && table->Monitor.pfnClosePort(port);
    CHECK(ok, "MONITOR OpenPort and ClosePort", "returned %d", ok);
}

/* ---- the 9x spooler's ANSI table ---- */

static void check_ansi_table(HMODULE library)
{
    InitMonitorExFn init =
        (InitMonitorExFn)(void (*)(void))GetProcAddress(library, "InitializeMonitorEx");
    char root[] = MONITOR_KEY;
    DOC_INFO_1A doc = {"montest ansi", NULL, "RAW"};
    BYTE data[4] = "abc";
    Monitor9xTable table;
    BYTE buffer[4096];
    DWORD needed = 0, count = 0, done = 0, i;
    HANDLE port = NULL;
    BOOL ok;
    const char *description = NULL;

    if (!init) {
        report("FAIL", "InitializeMonitorEx", "not exported");
        return;
    }
    memset(&table, 0xcc, sizeof(table));
    ok = init(root, &table);
    CHECK(ok && table.pfnEnumPorts && table.pfnOpenPort && table.pfnStartDocPort &&
              table.pfnWritePort && table.pfnEndDocPort && table.pfnClosePort &&
              !table.pfnOpenPortEx && !table.pfnSetPortTimeOuts,
          "InitializeMonitorEx", "returned %d; members set, unused ones null", ok);
    if (!ok)
        return;

    ok = table.pfnEnumPorts(NULL, 2, buffer, sizeof(buffer), &needed, &count);
    for (i = 0; ok && i < count; i++) {
        const PORT_INFO_2A *info = (const PORT_INFO_2A *)buffer + i;
        if (!lstrcmpA(info->pPortName, CHECK_PORT) && info->pMonitorName &&
            !strcmp(info->pMonitorName, MONITOR_NAME))
            description = info->pDescription;
    }
    CHECK(description && !strcmp(description, CHECK_DESCRIPTION), "ANSI EnumPorts level 2",
          "returned %d, %lu ports, " CHECK_PORT " described \"%s\"", ok, count,
          description ? description : "(absent)");

    ok = table.pfnOpenPort(PORT_NAME, &port);
    CHECK(ok && port, "ANSI OpenPort", "returned %d, handle %p", ok, port);
    if (!ok || !port)
        return;
    ok = table.pfnStartDocPort(port, NULL, 1, 1, (LPBYTE)&doc) &&
         table.pfnWritePort(port, data, 3, &done) && done == 3 && table.pfnEndDocPort(port);
    CHECK(ok, "ANSI StartDocPort, WritePort, EndDocPort", "returned %d, %lu bytes taken", ok, done);
    ok = table.pfnClosePort(port);
    CHECK(ok, "ANSI ClosePort", "returned %d", ok);
    SetLastError(0);
    ok = table.pfnAddPort(NULL, NULL, MONITOR_NAME);
    CHECK_FAILS(ok, GetLastError(), ERROR_NOT_SUPPORTED, "ANSI AddPort");
}

/* ---- the user-interface library ---- */

static void check_ui(const char *ui_library)
{
    HMODULE library = LoadLibraryA(ui_library);
    InitMonitorUiFn init;
    PMONITORUI table;
    PWSTR out = (PWSTR)1;
    BOOL ok;
    if (!library) {
        report("FAIL", "user-interface library", "%s does not load: %lu", ui_library,
               GetLastError());
        return;
    }
    init = (InitMonitorUiFn)(void (*)(void))GetProcAddress(library, "InitializePrintMonitorUI");
    table = init ? init() : NULL;
    CHECK(table && table->dwMonitorUISize == sizeof(MONITORUI) && table->pfnAddPortUI &&
              table->pfnConfigurePortUI && table->pfnDeletePortUI,
          "InitializePrintMonitorUI", "%s: table %p, size %lu", ui_library, (void *)table,
          table ? table->dwMonitorUISize : 0);
    if (table) {
        SetLastError(0);
        ok = table->pfnAddPortUI(NULL, NULL, L"" MONITOR_NAME, &out);
        CHECK(!ok && GetLastError() == ERROR_NOT_SUPPORTED && out == NULL, "AddPortUI",
              "returned %d, last error %lu, port name %p", ok, GetLastError(), (void *)out);
        SetLastError(0);
        ok = table->pfnConfigurePortUI(NULL, NULL, L"" PORT_NAME);
        CHECK_FAILS(ok, GetLastError(), ERROR_NOT_SUPPORTED, "ConfigurePortUI");
        SetLastError(0);
        ok = table->pfnDeletePortUI(NULL, NULL, L"" PORT_NAME);
        CHECK_FAILS(ok, GetLastError(), ERROR_NOT_SUPPORTED, "DeletePortUI");
    }
    FreeLibrary(library);
}

void run_direct_checks(const char *library_name, const char *ui_library, BOOL ansi_entry)
{
    HMODULE library = LoadLibraryA(library_name);
    if (!library) {
        report("FAIL", "monitor library", "%s does not load: %lu", library_name, GetLastError());
        return;
    }
    report("INFO", "direct", "%s loaded into montest", library_name);
    check_monitor2(library, ui_library);
    check_monitorex(library);
    if (ansi_entry)
        check_ansi_table(library);
    if (ui_library)
        check_ui(ui_library);
    FreeLibrary(library);
}
