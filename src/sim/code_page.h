// Text conversions the parts of the simulated machine share: the ANSI code
// page (Windows-1252) and UTF-16 against the UTF-8 in which the machine
// keeps names. For the implementations only; tests use the machine's
// interface.
#pragma once

#include <string>

namespace sim {

// ANSI (Windows-1252) text in UTF-8.
std::string AnsiToUtf8(const std::string& ansi);

// ANSI text in UTF-16, one unit for each byte; embedded NULs are kept (a
// REG_MULTI_SZ block converts whole).
std::wstring AnsiToWide(const std::string& ansi);

// UTF-16 text in the ANSI code page, one byte for each unit: '?' for a unit
// the code page lacks; embedded NULs are kept.
std::string WideToAnsi(const std::wstring& wide);

// UTF-8 text in the ANSI code page, unit by unit as the kernel converts a
// file name: each UTF-16 unit the code page lacks becomes '?', so a
// character beyond the BMP gives two. A byte that is no part of valid
// UTF-8 gives one '?'.
std::string Utf8ToAnsi(const std::string& utf8);

// UTF-16 code units, one to a wchar_t up to the NUL, in UTF-8: surrogate
// pairs are combined, a lone surrogate is kept as its own three-byte
// sequence (as NTFS keeps any unit). Returns false, leaving `out` as it
// was, when a unit exceeds 0xFFFF: no UTF-16 text holds such a value.
bool WideToUtf8(const wchar_t* wide, std::string* out);

// UTF-8 text in UTF-16 units, one to a wchar_t; a byte that is no part of
// valid UTF-8 gives U+FFFD.
std::wstring Utf8ToWide(const std::string& utf8);

// The length in bytes of the UTF-8 character that starts at `text`: 1 for
// ASCII and for a byte that starts no valid sequence; never past the NUL.
size_t Utf8CharLength(const char* text);

}  // namespace sim
