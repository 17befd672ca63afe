/* What the parts of montest share: the names it checks, its report lines
 * and the monitor's trace as caught in this process. */
#ifndef MONTEST_H
#define MONTEST_H

#include <windows.h>
#include <stddef.h>

#include "contract/port_record.h"
#include "contract/product_names.h"

#define MONITOR_NAME TAVRIN_MONITOR_NAME
#define MONITOR_KEY TAVRIN_MONITOR_KEY
#define PORTS_KEY TAVRIN_MONITOR_KEY "\\" TAVRIN_PORTS_SUBKEY
#define PORT_NAME TAVRIN_PORT_NAME
#define CHECK_PORT "TAVRINCHECK"
#define CHECK_DESCRIPTION "Second port of montest"
#define PORT_TYPE (PORT_TYPE_WRITE | PORT_TYPE_REDIRECTED)

/* ---- report.c ---- */

/* Prints one line "VERDICT check: details"; FAIL lines are counted. */
void report(const char *verdict, const char *check, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
/* PASS or FAIL by `ok`. */
#define CHECK(ok, check, ...) report((ok) ? "PASS" : "FAIL", check, __VA_ARGS__)
/* A call that is to fail with `error`: `ok` is its result, `got` the last
 * error it left. */
#define CHECK_FAILS(ok, got, error, check)                                                         \
    CHECK(!(ok) && (got) == (error), check, "returned %d, last error %lu (expected %lu)",          \
          (int)(ok), (unsigned long)(got), (unsigned long)(error))
int failure_count(void);

/* ---- trace.c ---- */

/* Starts catching the monitor's debugger lines ("tavmon: ...") raised in
 * this process; each is echoed as "     monitor> ...". */
void start_trace_capture(void);
/* The number of caught lines that start with `prefix` (after "tavmon: ");
 * the first is copied to `first` when given. */
int traced(const char *prefix, char *first, size_t size);
/* The sum of the byte counts of the caught "WritePort" lines. */
unsigned long traced_write_bytes(void);
/* Forgets the lines caught so far. */
void clear_trace(void);
/* PASS with the first matching line when a call was traced. */
void check_traced(const char *check, const char *prefix);
/* Whether the monitor runs in this process (Wine's spooler does, loading the
 * library anew for most calls): its library is loaded or it has traced. */
BOOL monitor_in_process(const char *library);

/* ---- spooler_checks.c ---- */

/* The checks through the spooler: port keys, AddMonitorA, enumeration,
 * MonitorUI, and with `driver_file` a driver, a printer and a RAW job.
 * Returns whether the monitor is installed. */
BOOL run_spooler_checks(const char *environment, const char *library, const char *ui_library,
                        const char *driver_file, BOOL nt, const char *setup_dir);
/* Removes the second port and checks that the list follows. */
void run_port_removal_check(BOOL monitor_installed);

/* ---- job_checks.c ---- */

/* The text the PostScript job of known text shows. */
#define MONTEST_PDF_TEXT "Tavrin montest text 4711"

/* Writes the port record the setup program writes for `setup_dir` (a
 * staged product with Ghostscript), prints PostScript jobs to
 * `printer_name` and checks what they leave in the output folder. Prints
 * "PDF <path>" for the PDF of known text. */
void run_job_checks(const char *setup_dir, const char *printer_name);

/* ---- direct_checks.c ---- */

/* Loads the libraries into this process and checks their tables directly:
 * buffer packing, error codes, the spooler-provided registry path, the
 * user-interface table, and (`ansi_entry`) the 9x spooler's ANSI table. */
void run_direct_checks(const char *library, const char *ui_library, BOOL ansi_entry);

#endif
