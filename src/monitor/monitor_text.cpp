// Conversions between the spooler's two character sets.
#include "monitor/monitor_text.h"

#include "monitor/unicode_text.h"

std::wstring Widen(const char* text) {
  if (!text || !*text) return std::wstring();
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 1) return std::wstring();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
  wide.resize(static_cast<size_t>(length - 1));
  return wide;
}

std::string Narrow(const wchar_t* text, char substitute) {
  if (!text || !*text) return std::string();
  const char fallback[2] = {substitute, '\0'};
  const char* default_char = substitute ? fallback : nullptr;
  const int length =
      WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, default_char, nullptr);
  if (length <= 1) return std::string();
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &narrow[0], length, default_char, nullptr);
  narrow.resize(static_cast<size_t>(length - 1));
  return narrow;
}

std::u16string ToUtf16(const std::wstring& text) {
  if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
    return std::u16string(text.begin(), text.end());
  } else {
    // A 32-bit wchar_t (the native test build) holds whole code points.
    std::u16string out;
    for (wchar_t c : text) unicode_text::AppendUtf16(static_cast<char32_t>(c), &out);
    return out;
  }
}

std::wstring FromUtf16(const std::u16string& text) {
  if constexpr (sizeof(wchar_t) == sizeof(char16_t)) {
    return std::wstring(text.begin(), text.end());
  } else {
    std::wstring out;
    for (std::size_t i = 0; i < text.size();)
      out.push_back(static_cast<wchar_t>(unicode_text::NextCodePoint(text, &i)));
    return out;
  }
}

std::string LogText(const std::wstring& text) { return unicode_text::ToUtf8(ToUtf16(text)); }

std::string LogTextFromAnsi(const std::string& text) { return LogText(Widen(text.c_str())); }

bool SameName(const wchar_t* a, const wchar_t* b) {
  if (!a || !b) return false;
  // CompareStringW is a stub on Windows 9x: fold ASCII letters by hand and
  // leave everything else to compare exactly.
  for (;; ++a, ++b) {
    wchar_t x = *a, y = *b;
    if (x >= L'a' && x <= L'z') x = static_cast<wchar_t>(x - L'a' + L'A');
    if (y >= L'a' && y <= L'z') y = static_cast<wchar_t>(y - L'a' + L'A');
    if (x != y) return false;
    if (!x) return true;
  }
}
