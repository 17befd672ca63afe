// UTF-16 and UTF-8 conversions the monitor does itself: Windows 95 knows no
// UTF-8 code page, and the naming rules must behave alike on every system.
// Plain text work without any system call.
#pragma once

#include <cstddef>
#include <string>

namespace unicode_text {

// The code point at text[*at]: a surrogate pair is taken whole, a surrogate
// without its partner is given as it is. Moves *at past what it took.
char32_t NextCodePoint(const std::u16string& text, std::size_t* at);

// Appends the UTF-16 units of the code point `c` to *out.
void AppendUtf16(char32_t c, std::u16string* out);

// `text` in UTF-8. A surrogate without its partner becomes U+FFFD.
std::string ToUtf8(const std::u16string& text);

// The UTF-8 bytes `text` decoded to UTF-16 in *out. Returns false (and
// leaves *out alone) when they are not well-formed UTF-8.
bool FromUtf8(const std::string& text, std::u16string* out);

// The first `count` UTF-16 units of `text`, one fewer where the cut would
// part a surrogate pair.
std::u16string FirstUnits(const std::u16string& text, std::size_t count);

}  // namespace unicode_text
