// The one door to the operating system, for the setup program and the port
// monitor alike. The Windows build takes the Platform SDK's own
// declarations; the native build takes the simulated machine's, which carry
// the same names, types and values.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>
#include <shlwapi.h>
#include <shlobj.h>
#include <aclapi.h>
#else
#include "sim/win32_api.h"
#endif
