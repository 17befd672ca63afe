/* wineprobe: looks at a Windows machine (a Wine prefix) from the outside,
 * through the Win32 API, for the Wine test suite.
 *
 *   wineprobe spooler            monitors, ports, drivers and printers
 *   wineprobe reg KEY            the subtree of HKLM\KEY: keys, values, types,
 *                                exact bytes (hex)
 *   wineprobe seed-other         registers another monitor, driver and
 *                                printer of the machine's own ("Other ...")
 *   wineprobe platform           what programs are told of the machine:
 *                                GetVersion, GetSystemInfo's processor
 *                                architecture, the printer-driver folder
 *
 * Built for x64 it works with the spooler environment "Windows x64" and
 * Wine's 64-bit PostScript driver, as a program of a 64-bit prefix must.
 *
 * Output is plain text on standard output, one item a line, sorted as the
 * system returns it. Exit code 0 on success. */
#include <windows.h>
#include <winspool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static BYTE *enum_buffer(BOOL (*call)(DWORD, BYTE *, DWORD, DWORD *, DWORD *), DWORD level,
                         DWORD *count)
{
    DWORD needed = 0;
    BYTE *buf;
    *count = 0;
    call(level, NULL, 0, &needed, count);
    buf = calloc(1, needed + 16);
    if (!call(level, buf, needed + 16, &needed, count)) {
        printf("  (failed: %lu)\n", GetLastError());
        *count = 0;
    }
    return buf;
}

static BOOL monitors(DWORD level, BYTE *b, DWORD n, DWORD *need, DWORD *ret)
{ return EnumMonitorsA(NULL, level, b, n, need, ret); }
static BOOL ports(DWORD level, BYTE *b, DWORD n, DWORD *need, DWORD *ret)
{ return EnumPortsA(NULL, level, b, n, need, ret); }
static BOOL drivers(DWORD level, BYTE *b, DWORD n, DWORD *need, DWORD *ret)
{ return EnumPrinterDriversA(NULL, NULL, level, b, n, need, ret); }
static BOOL printers(DWORD level, BYTE *b, DWORD n, DWORD *need, DWORD *ret)
{ return EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, level, b, n, need, ret); }

#define S(x) ((x) ? (x) : "(null)")

static int dump_spooler(void)
{
    DWORD i, n;
    BYTE *b;
    printf("monitors:\n");
    b = enum_buffer(monitors, 2, &n);
    for (i = 0; i < n; i++) {
        MONITOR_INFO_2A *m = (MONITOR_INFO_2A *)b + i;
        printf("  monitor %s | %s | %s\n", S(m->pName), S(m->pEnvironment), S(m->pDLLName));
    }
    free(b);
    printf("ports:\n");
    b = enum_buffer(ports, 2, &n);
    for (i = 0; i < n; i++) {
        PORT_INFO_2A *p = (PORT_INFO_2A *)b + i;
        printf("  port %s | %s | %s\n", S(p->pPortName), S(p->pMonitorName), S(p->pDescription));
    }
    free(b);
    printf("drivers:\n");
    b = enum_buffer(drivers, 3, &n);
    for (i = 0; i < n; i++) {
        DRIVER_INFO_3A *d = (DRIVER_INFO_3A *)b + i;
        printf("  driver %s | %lu | %s | %s | %s | %s\n", S(d->pName), d->cVersion,
               S(d->pEnvironment), S(d->pDriverPath), S(d->pDataFile), S(d->pConfigFile));
    }
    free(b);
    printf("printers:\n");
    b = enum_buffer(printers, 2, &n);
    for (i = 0; i < n; i++) {
        PRINTER_INFO_2A *p = (PRINTER_INFO_2A *)b + i;
        printf("  printer %s | %s | %s | %s\n", S(p->pPrinterName), S(p->pPortName),
               S(p->pDriverName), S(p->pPrintProcessor));
    }
    free(b);
    return 0;
}

static const char *type_name(DWORD type)
{
    switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_BINARY: return "REG_BINARY";
    case REG_DWORD: return "REG_DWORD";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    default: return "REG_OTHER";
    }
}

static void dump_key(HKEY root, const char *path)
{
    HKEY key;
    DWORD i;
    char name[1024];
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    printf("[%s]\n", path);
    for (i = 0;; i++) {
        DWORD name_len = sizeof(name), type = 0, size = 0, j;
        BYTE *data;
        if (RegEnumValueA(key, i, name, &name_len, NULL, &type, NULL, &size) != ERROR_SUCCESS) break;
        data = malloc(size + 1);
        name_len = sizeof(name);
        RegEnumValueA(key, i, name, &name_len, NULL, &type, data, &size);
        printf("  \"%s\" %s %lu:", name, type_name(type), size);
        for (j = 0; j < size; j++) printf("%02x", data[j]);
        printf("\n");
        free(data);
    }
    for (i = 0;; i++) {
        DWORD name_len = sizeof(name);
        char sub[2048];
        if (RegEnumKeyExA(key, i, name, &name_len, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
        snprintf(sub, sizeof(sub), "%s\\%s", path, name);
        dump_key(root, sub);
    }
    RegCloseKey(key);
}

/* Copies a file, for seeding; returns whether it worked. */
static BOOL copy(const char *from, const char *to)
{
    return CopyFileA(from, to, FALSE);
}

#ifdef _WIN64
#define NT_ENVIRONMENT "Windows x64"
#define WINE_PS_DRIVER "Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows\\wineps.drv"
#else
#define NT_ENVIRONMENT "Windows NT x86"
#define WINE_PS_DRIVER "Z:\\usr\\lib\\i386-linux-gnu\\wine\\i386-windows\\wineps.drv"
#endif

static int seed_other(void)
{
    char drv[MAX_PATH], to[MAX_PATH];
    DWORD need;
    MONITOR_INFO_2A mon;
    DRIVER_INFO_3A di;
    PRINTER_INFO_2A pi;
    HANDLE printer;
    const char *names[] = {"othdrv.dll", "othui.dll", "other.ppd"};
    int i, failures = 0;
    char driver[MAX_PATH], config[MAX_PATH], data[MAX_PATH];

    GetPrinterDriverDirectoryA(NULL, NULL, 1, (BYTE *)drv, sizeof(drv), &need);
    /* Another monitor: the caller has put its library, othermon.dll, into
     * the system folder. */
    mon.pName = "Other Monitor";
    mon.pEnvironment = NULL;
    mon.pDLLName = "othermon.dll";
    {
        OSVERSIONINFOA v;
        v.dwOSVersionInfoSize = sizeof(v);
        GetVersionExA(&v);
        mon.pEnvironment = v.dwPlatformId == VER_PLATFORM_WIN32_NT ? NT_ENVIRONMENT : "Windows 4.0";
    }
    if (!AddMonitorA(NULL, 2, (BYTE *)&mon)) { printf("AddMonitor: %lu\n", GetLastError()); failures++; }

    /* Another driver: Wine's PostScript driver under names of its own. */
    for (i = 0; i < 3; i++) {
        snprintf(to, sizeof(to), "%s\\%s", drv, names[i]);
        if (!copy(WINE_PS_DRIVER, to)) {
            printf("copy %s: %lu\n", to, GetLastError());
            failures++;
        }
    }
    snprintf(driver, sizeof(driver), "%s\\othdrv.dll", drv);
    snprintf(config, sizeof(config), "%s\\othui.dll", drv);
    snprintf(data, sizeof(data), "%s\\other.ppd", drv);
    memset(&di, 0, sizeof(di));
    di.cVersion = 3;
    di.pName = "Other Driver";
    di.pEnvironment = (char *)mon.pEnvironment;
    di.pDriverPath = driver;
    di.pDataFile = data;
    di.pConfigFile = config;
    di.pDefaultDataType = "RAW";
    if (!AddPrinterDriverA(NULL, 3, (BYTE *)&di)) { printf("AddPrinterDriver: %lu\n", GetLastError()); failures++; }

    memset(&pi, 0, sizeof(pi));
    pi.pPrinterName = "Other Printer";
    pi.pPortName = "LPT1:";
    pi.pDriverName = "Other Driver";
    pi.pPrintProcessor = "winprint";
    pi.pDatatype = "RAW";
    printer = AddPrinterA(NULL, 2, (BYTE *)&pi);
    if (!printer) { printf("AddPrinter: %lu\n", GetLastError()); failures++; }
    else ClosePrinter(printer);
    return failures ? 1 : 0;
}

static int platform(void)
{
    SYSTEM_INFO si;
    char drv[MAX_PATH];
    DWORD need = 0;
    GetSystemInfo(&si);
    printf("version 0x%08lx\n", GetVersion());
    printf("architecture %u\n", si.wProcessorArchitecture);
    if (GetPrinterDriverDirectoryA(NULL, NULL, 1, (BYTE *)drv, sizeof(drv), &need))
        printf("driver-directory %s\n", drv);
    else
        printf("driver-directory (failed: %lu)\n", GetLastError());
    return 0;
}

int main(int argc, char **argv)
{
    if (argc >= 2 && !strcmp(argv[1], "spooler")) return dump_spooler();
    if (argc >= 3 && !strcmp(argv[1], "reg")) { dump_key(HKEY_LOCAL_MACHINE, argv[2]); return 0; }
    if (argc >= 2 && !strcmp(argv[1], "seed-other")) return seed_other();
    if (argc >= 2 && !strcmp(argv[1], "platform")) return platform();
    fprintf(stderr, "usage: wineprobe spooler | reg KEY | seed-other | platform\n");
    return 2;
}
