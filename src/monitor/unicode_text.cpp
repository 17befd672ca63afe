// UTF-16 and UTF-8 by hand.
#include "monitor/unicode_text.h"

namespace unicode_text {

namespace {

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Appends the UTF-8 bytes of the code point `c` to *out.
void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

char32_t NextCodePoint(const std::u16string& text, std::size_t* at) {
  const char32_t c = text[(*at)++];
  if (IsHighSurrogate(c) && *at < text.size() && IsLowSurrogate(text[*at]))
    return 0x10000 + ((c - 0xD800) << 10) + (text[(*at)++] - 0xDC00);
  return c;
}

void AppendUtf16(char32_t c, std::u16string* out) {
  if (c < 0x10000) {
    *out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    *out += static_cast<char16_t>(0xD800 + (c >> 10));
    *out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }
}

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size();) {
    char32_t c = NextCodePoint(text, &i);
    if (IsHighSurrogate(c) || IsLowSurrogate(c)) c = 0xFFFD;
    AppendUtf8(c, &out);
  }
  return out;
}

bool FromUtf8(const std::string& text, std::u16string* out) {
  std::u16string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t extra;
    char32_t c;
    if (lead < 0x80) {
      extra = 0, c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, c = lead & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;  // cut short
    for (std::size_t k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are no UTF-8.
    if ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF))
      return false;
    AppendUtf16(c, &decoded);
    i += extra + 1;
  }
  *out = std::move(decoded);
  return true;
}

std::u16string FirstUnits(const std::u16string& text, std::size_t count) {
  if (text.size() <= count) return text;
  if (count > 0 && IsHighSurrogate(text[count - 1]) && IsLowSurrogate(text[count])) --count;
  return text.substr(0, count);
}

}  // namespace unicode_text
