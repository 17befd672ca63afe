// The entry of each monitor library: nothing to do per thread, and nothing
// else to do at load time (the spooler's initialization calls do the rest).
#include "common/win32.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
  return TRUE;
}
