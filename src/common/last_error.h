// Keeping the thread's last-error value across work that must not change it.
#pragma once

#include "common/win32.h"

// Saves the thread's last-error value when made and puts it back when
// destroyed, so that bookkeeping and probes never change the value a caller
// is about to report.
class LastErrorKeeper {
 public:
  LastErrorKeeper() : saved_(GetLastError()) {}
  ~LastErrorKeeper() { SetLastError(saved_); }
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

 private:
  DWORD saved_;
};
