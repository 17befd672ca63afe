// The ANSI code page of the simulated machine: Windows-1252, the code page
// of Western European Windows installations. Bytes 0x80-0x9F carry its
// typographic characters; the rest is ISO 8859-1, the first 256 code points.
// Also the conversions between it, UTF-16 and the UTF-8 in which the
// machine keeps names (code_page.h).
#include "sim/code_page.h"

#include <cstdint>
#include <string>

#include "sim/win32_api.h"

namespace {

// Windows-1252 bytes 0x80-0x9F; the five bytes it leaves unassigned stand
// for the C1 control with their own value, as Windows converts them.
constexpr wchar_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The character a byte stands for.
wchar_t ToWide(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : static_cast<wchar_t>(byte);
}

// The byte that stands for `c`; false when the code page lacks it.
bool ToByte(wchar_t c, char* byte) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    *byte = static_cast<char>(c);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == c) {
      *byte = static_cast<char>(0x80 + i);
      return true;
    }
  }
  return false;
}

// The characters a call converts: -1 counts the text with its NUL.
template <typename CharT>
int SourceLength(const CharT* text, int length) {
  if (length >= 0) return length;
  int n = 0;
  while (text[n]) ++n;
  return n + 1;
}

// Appends code point `c` (below 0x110000) to `out` in UTF-8.
void AppendUtf8(uint32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Decodes the UTF-8 character at `text` (NUL-terminated). Returns its length
// in bytes and stores its code point, or returns 0 when no valid sequence
// starts there (overlong forms and values past 0x10FFFF are not valid;
// surrogates are, as WideToUtf8 writes them for lone units).
size_t DecodeUtf8(const char* text, uint32_t* code_point) {
  const unsigned char lead = static_cast<unsigned char>(text[0]);
  size_t length = 0;
  uint32_t c = 0, minimum = 0;
  if (lead < 0x80) {
    *code_point = lead;
    return 1;
  } else if (lead >= 0xC0 && lead < 0xE0) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead < 0xF8) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  for (size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[i]);
    if ((next & 0xC0) != 0x80) return 0;  // also stops at the NUL
    c = (c << 6) | (next & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF) return 0;
  *code_point = c;
  return length;
}

}  // namespace

namespace sim {

std::string AnsiToUtf8(const std::string& ansi) {
  std::string out;
  for (char byte : ansi) AppendUtf8(ToWide(static_cast<unsigned char>(byte)), &out);
  return out;
}

std::wstring AnsiToWide(const std::string& ansi) {
  std::wstring out;
  for (char byte : ansi) out.push_back(ToWide(static_cast<unsigned char>(byte)));
  return out;
}

std::string WideToAnsi(const std::wstring& wide) {
  std::string out;
  for (wchar_t unit : wide) {
    char byte = '?';
    if (!ToByte(unit, &byte)) byte = '?';
    out.push_back(byte);
  }
  return out;
}

// Unit by unit: a surrogate, like U+FFFD for a bad byte, is no character of
// the code page.
std::string Utf8ToAnsi(const std::string& utf8) { return WideToAnsi(Utf8ToWide(utf8)); }

bool WideToUtf8(const wchar_t* wide, std::string* out) {
  std::string text;
  for (size_t i = 0; wide[i]; ++i) {
    uint32_t unit = static_cast<uint32_t>(wide[i]);
    if (unit > 0xFFFF) return false;
    const uint32_t next = static_cast<uint32_t>(wide[i + 1]);
    if (unit >= 0xD800 && unit < 0xDC00 && next >= 0xDC00 && next < 0xE000) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
      ++i;
    }
    AppendUtf8(unit, &text);
  }
  *out = text;
  return true;
}

std::wstring Utf8ToWide(const std::string& utf8) {
  std::wstring out;
  const char* text = utf8.c_str();
  const char* end = text + utf8.size();
  while (text < end) {
    uint32_t c = 0;
    const size_t length = DecodeUtf8(text, &c);
    text += length == 0 ? 1 : length;
    if (length == 0) c = 0xFFFD;
    if (c >= 0x10000) {
      out.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(c));
    }
  }
  return out;
}

size_t Utf8CharLength(const char* text) {
  uint32_t c = 0;
  const size_t length = DecodeUtf8(text, &c);
  return length == 0 ? 1 : length;
}

}  // namespace sim

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                               int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar) {
  if (CodePage != CP_ACP || !lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int length = SourceLength(lpMultiByteStr, cbMultiByte);
  if (cchWideChar == 0) return length;
  if (cchWideChar < length) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  for (int i = 0; i < length; ++i)
    lpWideCharStr[i] = ToWide(static_cast<unsigned char>(lpMultiByteStr[i]));
  return length;
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr,
                               int cchWideChar, LPSTR lpMultiByteStr, int cbMultiByte,
                               LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar) {
  if (CodePage != CP_ACP || !lpWideCharStr || cchWideChar == 0 || cbMultiByte < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int length = SourceLength(lpWideCharStr, cchWideChar);
  if (cbMultiByte != 0 && cbMultiByte < length) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  BOOL used_default = FALSE;
  for (int i = 0; i < length; ++i) {
    char byte = 0;
    if (!ToByte(lpWideCharStr[i], &byte)) {
      byte = lpDefaultChar ? *lpDefaultChar : '?';
      used_default = TRUE;
    }
    if (cbMultiByte != 0) lpMultiByteStr[i] = byte;
  }
  if (lpUsedDefaultChar) *lpUsedDefaultChar = used_default;
  return length;
}
