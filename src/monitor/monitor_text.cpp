// Conversions between the spooler's two character sets.
#include "monitor/monitor_text.h"

#include "monitor/unicode_text.h"

namespace {

// Whether `c` may not stand in a log line as it is: a C0 or C1 control
// (CR, LF and TAB among them), DEL, or the line or paragraph separator,
// where editors break a line.
bool NeedsEscape(char16_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// `text` with each such character written out: "\x" and two
// hex digits up to U+00FF, "\u" and four above. The one place where log
// and trace text is made safe.
std::u16string Escaped(const std::u16string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    if (!NeedsEscape(c)) {
      out += c;
      continue;
    }
    const int digits = c <= 0xFF ? 2 : 4;
    out += c <= 0xFF ? u"\\x" : u"\\u";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
      out += static_cast<char16_t>(kHex[(c >> shift) & 0xF]);
  }
  return out;
}

}  // namespace

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
  std::u16string out;
  out.reserve(text.size());
  // A 32-bit wchar_t may hold a whole code point: it becomes its pair.
  for (wchar_t c : text) unicode_text::AppendUtf16(static_cast<char32_t>(c), &out);
  return out;
}

std::wstring FromUtf16(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

std::string LogText(const std::wstring& text) {
  return unicode_text::ToUtf8(Escaped(ToUtf16(text)));
}

std::string LogTextFromAnsi(const std::string& text) { return LogText(Widen(text.c_str())); }

std::string TraceText(const std::wstring& text) {
  return Narrow(FromUtf16(Escaped(ToUtf16(text))));
}

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
