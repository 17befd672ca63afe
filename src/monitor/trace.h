// A one-line trace of what the monitor was asked to do, sent to the
// debugger output (DebugView on Windows; Wine shows it with
// WINEDEBUG=+debugstr). Every line starts with "tavmon: ". The thread's
// last error is as it was before.
#pragma once

void Trace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
