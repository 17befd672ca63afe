/* The monitor's debugger trace, caught where the monitor runs in this
 * process: OutputDebugStringA raises DBG_PRINTEXCEPTION_C, which a vectored
 * handler sees first. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "montest.h"

#define MAX_TRACE 128
static char trace_lines[MAX_TRACE][256];
static volatile LONG trace_count;

/* Keeps every debugger line of the monitor; lets all exceptions go on. */
static LONG CALLBACK catch_trace(EXCEPTION_POINTERS *info)
{
    const EXCEPTION_RECORD *record = info->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        const char *text = (const char *)record->ExceptionInformation[1];
        if (text && !strncmp(text, "tavmon: ", 8)) {
            LONG index = InterlockedIncrement(&trace_count) - 1;
            if (index < MAX_TRACE)
                lstrcpynA(trace_lines[index], text, sizeof(trace_lines[0]));
            printf("     monitor> %s\n", text + 8);
            fflush(stdout);
        }
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

void start_trace_capture(void)
{
    AddVectoredExceptionHandler(1, catch_trace);
}

static LONG lines_kept(void)
{
    return trace_count < MAX_TRACE ? trace_count : MAX_TRACE;
}

int traced(const char *prefix, char *first, size_t size)
{
    int found = 0;
    LONG i;
    for (i = 0; i < lines_kept(); i++) {
        if (!strncmp(trace_lines[i] + 8, prefix, strlen(prefix))) {
            if (!found && first)
                lstrcpynA(first, trace_lines[i] + 8, (int)size);
            found++;
        }
    }
    return found;
}

unsigned long traced_write_bytes(void)
{
    unsigned long total = 0;
    LONG i;
    for (i = 0; i < lines_kept(); i++) {
        const char *line = trace_lines[i] + 8;
        const char *bytes;
        if (strncmp(line, "WritePort ", 10))
            continue;
        bytes = strrchr(line, ',');
        if (bytes)
            total += strtoul(bytes + 1, NULL, 10);
    }
    return total;
}

void clear_trace(void)
{
    InterlockedExchange(&trace_count, 0);
}

void check_traced(const char *check, const char *prefix)
{
    char line[256] = "";
    const int calls = traced(prefix, line, sizeof(line));
    CHECK(calls > 0, check, "%s", calls ? line : "not called");
}

BOOL monitor_in_process(const char *library)
{
    return GetModuleHandleA(library) != NULL || trace_count > 0;
}
