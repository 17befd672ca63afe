// The monitor's debugger trace.
#include "monitor/trace.h"

#include "common/last_error.h"
#include "common/win32.h"

#include <cstdarg>
#include <cstdio>

void Trace(const char* format, ...) {
  // A trace never changes what the caller's caller reads as last error.
  LastErrorKeeper keep;
  char line[512] = "tavmon: ";
  const size_t prefix = sizeof("tavmon: ") - 1;
  va_list args;
  va_start(args, format);
  std::vsnprintf(line + prefix, sizeof(line) - prefix - 1, format, args);
  va_end(args);
  OutputDebugStringA(line);
}
