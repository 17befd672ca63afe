// The ANSI code page of the native test build: Windows-1252, the code page
// of Western European Windows installations. Bytes 0x80-0x9F carry its
// typographic characters; the rest is ISO 8859-1, the first 256 code points.
#include <windows.h>

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

}  // namespace

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
