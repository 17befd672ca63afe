// libFuzzer target: packing the port list into the caller's EnumPorts
// buffer (PackPorts, levels 1 and 2, ANSI and wide). The buffer's size is
// whatever the application calling EnumPorts passed, the port names and
// descriptions whatever the registry holds; a write past the size given
// corrupts the heap of the spooler, which runs as LocalSystem.
//
// Input:
//   byte 0   bit 0: ANSI (1) or wide (0) records; bit 1: level 2 (1) or 1
//            (0); bit 2: the size is relative (1) or absolute (0); bit 3:
//            a level that does not exist instead (bits 4-7 pick it);
//            bit 4: a size of 0 comes with a null buffer
//   byte 1-2 the size, big-endian: absolute, or added as a signed number to
//            the least the records and their texts take
//   byte 3   spare bytes (0-63) after the buffer on the second call (below)
//   rest     the ports: one a line ('\n'), the name, then a tab and the
//            description; UTF-8, where any byte that starts no character
//            stands for the code point of its value and encoded
//            surrogates are taken as they are.
//
// The first call gets a heap buffer of exactly the size, so AddressSanitizer
// sees any write past it. When that size is short the call must fail with
// ERROR_INSUFFICIENT_BUFFER, write nothing and report the size needed; a
// second call with that size, its buffer followed by spare guard bytes, must
// then succeed and leave the guard alone. A successful call must return a
// record per port whose texts lie inside the buffer, after the records,
// apart from each other, and hold the port's texts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "monitor/port_info_buffer.h"

namespace {

constexpr BYTE kFill = 0xA5;
constexpr DWORD kUnsetError = 0xC0FFEE;

struct Call {
  bool ansi = false;
  DWORD level = 1;
  bool relative = false;
  bool null_when_empty = false;
  int size_field = 0;
  size_t spare = 0;
  std::vector<PortEntry> ports;
};

[[noreturn]] void Broken(const Call& call, const char* rule, DWORD size, DWORD needed,
                         DWORD returned) {
  std::fprintf(stderr,
               "ports_fuzzer: %s\n  %s level %lu, %zu port(s), size %lu, needed %lu, "
               "returned %lu, last error %lu\n",
               rule, call.ansi ? "ANSI" : "wide", static_cast<unsigned long>(call.level),
               call.ports.size(), static_cast<unsigned long>(size),
               static_cast<unsigned long>(needed), static_cast<unsigned long>(returned),
               static_cast<unsigned long>(GetLastError()));
  std::abort();
}

// The UTF-16 text of `bytes`: UTF-8 where it is, encoded surrogates taken
// as they are, any other byte as the code point of its value.
std::wstring Decoded(const uint8_t* bytes, size_t size) {
  std::wstring text;
  for (size_t i = 0; i < size;) {
    const uint8_t lead = bytes[i];
    size_t extra = 0;
    char32_t c = lead;
    if (lead >= 0xC2 && lead <= 0xDF) extra = 1, c = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) extra = 2, c = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) extra = 3, c = lead & 0x07;
    bool whole = extra > 0 && i + extra < size;
    for (size_t k = 1; whole && k <= extra; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) whole = false;
      else c = (c << 6) | (bytes[i + k] & 0x3F);
    }
    if (whole && ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF))))
      whole = false;
    if (!whole) extra = 0, c = lead;
    // One UTF-16 unit to a wchar_t, as the wide functions take text.
    if (c >= 0x10000) {
      text += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      text += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      text += static_cast<wchar_t>(c);
    }
    i += extra + 1;
  }
  return text;
}

Call Parse(const uint8_t* data, size_t size) {
  Call call;
  if (size < 4) return call;
  call.ansi = data[0] & 1;
  call.level = (data[0] & 2) ? 2 : 1;
  call.relative = data[0] & 4;
  if (data[0] & 8) {
    // 0, 3..15 and one far past any level.
    const DWORD picked = data[0] >> 4;
    call.level = picked == 1 ? 0xFFFFFFFFu : picked == 2 ? 3 : picked;
  }
  call.null_when_empty = data[0] & 16;
  const int raw = (data[1] << 8) | data[2];
  call.size_field = call.relative ? static_cast<int16_t>(raw) : raw;
  call.spare = data[3] % 64;
  if (size == 4) return call;
  size_t start = 4;
  for (size_t i = 4; i <= size; ++i) {
    if (i < size && data[i] != '\n') continue;
    const uint8_t* line = data + start;
    const size_t length = i - start;
    const uint8_t* tab = static_cast<const uint8_t*>(std::memchr(line, '\t', length));
    PortEntry entry;
    if (tab) {
      entry.name = Decoded(line, static_cast<size_t>(tab - line));
      entry.description = Decoded(tab + 1, length - static_cast<size_t>(tab - line) - 1);
    } else {
      entry.name = Decoded(line, length);
    }
    call.ports.push_back(std::move(entry));
    start = i + 1;
  }
  return call;
}

// A port's texts as the records must hold them.
template <typename CharT>
std::vector<std::basic_string<CharT>> ExpectedTexts(const PortEntry& port, DWORD level) {
  const CharT* charset = nullptr;
  std::vector<std::basic_string<CharT>> texts{InCharset(port.name, charset)};
  if (level == 2) {
    texts.push_back(InCharset(kMonitorNameW.c_str(), charset));
    texts.push_back(InCharset(port.description, charset));
  }
  return texts;
}

template <typename CharT>
size_t RecordSize(DWORD level) {
  return level == 1 ? sizeof(typename PortInfoTypes<CharT>::Level1)
                    : sizeof(typename PortInfoTypes<CharT>::Level2);
}

// The least the list can take: the records and their texts with their NULs.
template <typename CharT>
size_t LeastBytes(const Call& call) {
  size_t bytes = 0;
  for (const PortEntry& port : call.ports) {
    bytes += RecordSize<CharT>(call.level);
    for (const auto& text : ExpectedTexts<CharT>(port, call.level))
      bytes += (text.size() + 1) * sizeof(CharT);
  }
  return bytes;
}

bool Untouched(const BYTE* from, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (from[i] != kFill) return false;
  return true;
}

template <typename T>
T Load(const BYTE* at) {
  T value;
  std::memcpy(&value, at, sizeof(T));
  return value;
}

// Checks the records of a successful call into `buffer` of `size` bytes.
template <typename CharT>
void CheckRecords(const Call& call, const BYTE* buffer, DWORD size, DWORD needed,
                  DWORD returned) {
  using Level1 = typename PortInfoTypes<CharT>::Level1;
  using Level2 = typename PortInfoTypes<CharT>::Level2;
  const size_t record_size = RecordSize<CharT>(call.level);
  const uintptr_t begin = reinterpret_cast<uintptr_t>(buffer);
  const uintptr_t texts_begin = begin + call.ports.size() * record_size;
  const uintptr_t end = begin + size;
  std::vector<std::pair<uintptr_t, uintptr_t>> spans;
  for (size_t i = 0; i < call.ports.size(); ++i) {
    const BYTE* record = buffer + i * record_size;
    std::vector<CharT*> pointers;
    if (call.level == 1) {
      pointers.push_back(Load<CharT*>(record + offsetof(Level1, pName)));
    } else {
      pointers.push_back(Load<CharT*>(record + offsetof(Level2, pPortName)));
      pointers.push_back(Load<CharT*>(record + offsetof(Level2, pMonitorName)));
      pointers.push_back(Load<CharT*>(record + offsetof(Level2, pDescription)));
    }
    const auto expected = ExpectedTexts<CharT>(call.ports[i], call.level);
    for (size_t k = 0; k < pointers.size(); ++k) {
      const uintptr_t at = reinterpret_cast<uintptr_t>(pointers[k]);
      const size_t bytes = (expected[k].size() + 1) * sizeof(CharT);
      if (at < texts_begin || at > end || end - at < bytes)
        Broken(call, "a text pointer outside the buffer or into the records", size, needed,
               returned);
      if (at % alignof(CharT) != 0)
        Broken(call, "a text pointer off its character boundary", size, needed, returned);
      if (std::memcmp(pointers[k], expected[k].c_str(), bytes) != 0)
        Broken(call, "a record's text differs from the port's", size, needed, returned);
      spans.emplace_back(at, at + bytes);
    }
  }
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i)
    if (spans[i].first < spans[i - 1].second)
      Broken(call, "two texts overlap", size, needed, returned);
}

template <typename CharT>
void Run(const Call& call) {
  const bool valid_level = call.level == 1 || call.level == 2;
  const size_t least = valid_level ? LeastBytes<CharT>(call) : 0;
  long wanted = call.relative ? static_cast<long>(least) + call.size_field : call.size_field;
  const DWORD size = static_cast<DWORD>(std::max(wanted, 0L));

  // The first call: a buffer of exactly `size` bytes.
  BYTE* buffer = nullptr;
  if (size > 0 || !call.null_when_empty) {
    buffer = static_cast<BYTE*>(std::malloc(size ? size : 1));
    std::memset(buffer, kFill, size);
  }
  DWORD needed = 0xDEADBEEF, returned = 0xDEADBEEF;
  SetLastError(kUnsetError);
  const BOOL packed = PackPorts<CharT>(call.ports, call.level, buffer, size, &needed, &returned);

  if (!valid_level) {
    if (packed || GetLastError() != ERROR_INVALID_LEVEL || returned != 0)
      Broken(call, "an unknown level not refused with ERROR_INVALID_LEVEL", size, needed,
             returned);
    if (buffer && !Untouched(buffer, size))
      Broken(call, "written to the buffer for an unknown level", size, needed, returned);
  } else if (call.ports.empty()) {
    if (!packed || returned != 0 || needed != 0)
      Broken(call, "an empty list not packed as nothing", size, needed, returned);
    if (buffer && !Untouched(buffer, size))
      Broken(call, "written to the buffer for an empty list", size, needed, returned);
  } else {
    if (needed < least)
      Broken(call, "needed is less than the records and texts take", size, needed, returned);
    if (size < needed) {
      if (packed || GetLastError() != ERROR_INSUFFICIENT_BUFFER || returned != 0)
        Broken(call, "a short buffer not refused with ERROR_INSUFFICIENT_BUFFER", size, needed,
               returned);
      if (buffer && !Untouched(buffer, size))
        Broken(call, "written to a buffer that was too short", size, needed, returned);
    } else {
      if (!packed) Broken(call, "failed although the buffer was large enough", size, needed,
                          returned);
      if (returned != call.ports.size())
        Broken(call, "returned is not the number of ports", size, needed, returned);
      CheckRecords<CharT>(call, buffer, size, needed, returned);
    }
  }
  std::free(buffer);
  if (!valid_level || call.ports.empty() || size >= needed) return;

  // The second call: the size the first one asked for, with guard bytes
  // after the buffer.
  const DWORD asked = needed;
  BYTE* larger = static_cast<BYTE*>(std::malloc(asked + call.spare));
  std::memset(larger, kFill, asked + call.spare);
  SetLastError(kUnsetError);
  const BOOL repacked = PackPorts<CharT>(call.ports, call.level, larger, asked, &needed, &returned);
  if (!repacked) Broken(call, "failed with the size it asked for", asked, needed, returned);
  if (needed != asked) Broken(call, "needed changed between two calls", asked, needed, returned);
  if (returned != call.ports.size())
    Broken(call, "returned is not the number of ports", asked, needed, returned);
  if (!Untouched(larger + asked, call.spare))
    Broken(call, "written past the size it was given", asked, needed, returned);
  CheckRecords<CharT>(call, larger, asked, needed, returned);
  std::free(larger);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Call call = Parse(data, size);
  if (call.ansi)
    Run<char>(call);
  else
    Run<wchar_t>(call);
  return 0;
}
