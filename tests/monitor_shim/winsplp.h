// <winsplp.h> of the native test build of the port monitor's sources. The
// compiled sources only pass the spooler's registry table on by pointer, so
// it stays an incomplete type here.
#pragma once

#include <windows.h>

typedef struct _MONITORREG MONITORREG, *PMONITORREG;
