// The spooler calls the monitor through plain C function tables: no C++
// exception may cross them. Each entry runs its body through one of these,
// which turns an escaping exception (only std::bad_alloc is expected) into a
// failure with ERROR_NOT_ENOUGH_MEMORY.
#pragma once

#include "common/win32.h"

// For entries that return BOOL and set the last error.
template <typename Body>
BOOL Guarded(Body body) noexcept {
  try {
    return body();
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
}

// For entries that return an error code.
template <typename Body>
DWORD GuardedStatus(Body body) noexcept {
  try {
    return body();
  } catch (...) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
}

// Fails a BOOL entry with `error`.
inline BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}
