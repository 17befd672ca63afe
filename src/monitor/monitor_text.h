// Text helpers of the port monitor: the spooler speaks UTF-16 on the NT
// family and ANSI on Windows 9x, the registry is read through its ANSI
// functions (the wide ones are stubs on Windows 9x).
#pragma once

#include <windows.h>

#include <string>

// The text in UTF-16; an empty or null text gives "".
std::wstring Widen(const char* text);
// The text in the ANSI code page; characters it lacks become '?'.
std::string Narrow(const wchar_t* text);
inline std::string Narrow(const std::wstring& text) { return Narrow(text.c_str()); }

// Port and printer names compare without regard to case, as the spooler's.
bool SameName(const wchar_t* a, const wchar_t* b);

// The same text in the character type a caller wants.
inline const std::wstring& InCharset(const std::wstring& text, const wchar_t*) { return text; }
inline std::string InCharset(const std::wstring& text, const char*) { return Narrow(text); }
