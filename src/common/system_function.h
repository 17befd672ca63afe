// A function of a loaded system library looked up by name, for the calls
// that older Windows lack: imported, they would keep the program or the
// library from loading there. Header only: the setup and the port monitor
// both build it in.
#pragma once

#include "common/win32.h"

// The export `name` of the loaded library `library` as the function type
// Fn; null when the library is not loaded or lacks it.
template <typename Fn>
Fn SystemFunction(const char* library, const char* name) {
  HMODULE module = GetModuleHandleA(library);
  if (!module) return nullptr;
  // Through a plain function pointer type: FARPROC stands for any export.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
