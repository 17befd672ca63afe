/* montest's report lines. */
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "montest.h"

static int failures;

void report(const char *verdict, const char *check, const char *format, ...)
{
    va_list args;
    printf("%s %s: ", verdict, check);
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    printf("\n");
    fflush(stdout);
    if (!strcmp(verdict, "FAIL"))
        failures++;
}

int failure_count(void)
{
    return failures;
}
