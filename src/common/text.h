// Small text helpers shared by the whole program.
#pragma once

#include <string>

#include "common/win32.h"

// printf-style formatting into a string of the needed length.
std::string Format(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The spooler's functions take LPSTR for texts they only read.
inline LPSTR Writable(const char* text) { return const_cast<LPSTR>(text); }
inline LPSTR Writable(const std::string& text) { return const_cast<LPSTR>(text.c_str()); }
