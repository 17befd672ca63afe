// Text helpers of the port monitor: the spooler speaks UTF-16 on the NT
// family and ANSI on Windows 9x, the registry is read through its ANSI
// functions (the wide ones are stubs on Windows 9x).
#pragma once

#include "common/win32.h"

#include <string>

// The text in UTF-16; an empty or null text gives "".
std::wstring Widen(const char* text);
// The text in the ANSI code page; characters it lacks become `substitute`,
// or the code page's own default character ('?') when that is '\0'. The
// one way the monitor narrows text.
std::string Narrow(const wchar_t* text, char substitute = '\0');
inline std::string Narrow(const std::wstring& text, char substitute = '\0') {
  return Narrow(text.c_str(), substitute);
}

// The same UTF-16 text in the standard library's UTF-16 string and in the
// system's wide string: one UTF-16 unit to a wchar_t, as the wide
// functions take it (the simulated machine's too, whose wchar_t has 32
// bits). ToUtf16 also takes a whole code point in a 32-bit wchar_t.
std::u16string ToUtf16(const std::wstring& text);
std::wstring FromUtf16(const std::u16string& text);

// Text for the port's log file, which is UTF-8: wide text, or ANSI text
// (paths and command lines from the registry). Every C0 and C1 control
// character and DEL is written as "\x0D" and the like, the line and
// paragraph separators as "\u2028" and "\u2029", so that no name (the
// user chooses the document's) can end a log line or forge one.
std::string LogText(const std::wstring& text);
std::string LogTextFromAnsi(const std::string& text);
// The same text for the debugger trace, in the ANSI code page.
std::string TraceText(const std::wstring& text);

// Port and printer names compare without regard to case, as the spooler's.
bool SameName(const wchar_t* a, const wchar_t* b);

// The same text in the character type a caller wants.
inline const std::wstring& InCharset(const std::wstring& text, const wchar_t*) { return text; }
inline std::string InCharset(const std::wstring& text, const char*) { return Narrow(text); }
