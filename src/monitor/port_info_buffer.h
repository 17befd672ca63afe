// Packs the port list into the caller's EnumPorts buffer the way the
// spooler's own providers do: the PORT_INFO records first, in order, and the
// texts they point to from the end of the buffer backwards.
#pragma once

#include "common/win32.h"

#include <cstring>
#include <string>
#include <vector>

#include "monitor/monitor_names.h"
#include "monitor/monitor_text.h"
#include "monitor/port_list.h"

// The record types of each character set.
template <typename CharT>
struct PortInfoTypes;
template <>
struct PortInfoTypes<wchar_t> {
  using Level1 = PORT_INFO_1W;
  using Level2 = PORT_INFO_2W;
};
template <>
struct PortInfoTypes<char> {
  using Level1 = PORT_INFO_1A;
  using Level2 = PORT_INFO_2A;
};

// One port's texts in the caller's character set.
template <typename CharT>
struct PortTexts {
  std::basic_string<CharT> name, monitor, description;
};

// Writes texts downwards from the end of a buffer.
template <typename CharT>
class TextStack {
 public:
  explicit TextStack(BYTE* end) : end_(end) {}
  // Copies `text` with its NUL just below the texts so far; returns where.
  CharT* Push(const std::basic_string<CharT>& text) {
    const size_t bytes = (text.size() + 1) * sizeof(CharT);
    end_ -= bytes;
    std::memcpy(end_, text.c_str(), bytes);
    return reinterpret_cast<CharT*>(end_);
  }

 private:
  BYTE* end_;
};

// Bytes one port takes at `level`: the record and its texts.
template <typename CharT>
DWORD PortBytes(DWORD level, const PortTexts<CharT>& texts) {
  using Types = PortInfoTypes<CharT>;
  DWORD bytes = static_cast<DWORD>((texts.name.size() + 1) * sizeof(CharT));
  if (level == 1) return bytes + sizeof(typename Types::Level1);
  bytes +=
      static_cast<DWORD>((texts.monitor.size() + 1 + texts.description.size() + 1) * sizeof(CharT));
  return bytes + sizeof(typename Types::Level2);
}

// Fills `buffer` with the ports at level 1 or 2. *needed receives the bytes
// the whole list takes, *returned the records written. Fails with
// ERROR_INVALID_LEVEL or ERROR_INSUFFICIENT_BUFFER (then nothing is
// written and *returned is 0).
template <typename CharT>
BOOL PackPorts(const std::vector<PortEntry>& ports, DWORD level, BYTE* buffer, DWORD size,
               DWORD* needed, DWORD* returned) {
  using Types = PortInfoTypes<CharT>;
  *returned = 0;
  *needed = 0;
  if (level != 1 && level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }

  std::vector<PortTexts<CharT>> texts;
  const CharT* charset = nullptr;
  DWORD total = 0;
  for (const PortEntry& port : ports) {
    texts.push_back({InCharset(port.name, charset), InCharset(kMonitorNameW.c_str(), charset),
                     InCharset(port.description, charset)});
    total += PortBytes(level, texts.back());
  }
  *needed = total;
  if (total == 0) return TRUE;
  if (!buffer || size < total) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }

  // Texts end on a character boundary even when the buffer's size is odd.
  TextStack<CharT> stack(buffer + (size - size % sizeof(CharT)));
  for (size_t i = 0; i < texts.size(); ++i) {
    if (level == 1) {
      auto* record = reinterpret_cast<typename Types::Level1*>(buffer) + i;
      record->pName = stack.Push(texts[i].name);
    } else {
      auto* record = reinterpret_cast<typename Types::Level2*>(buffer) + i;
      record->pPortName = stack.Push(texts[i].name);
      record->pMonitorName = stack.Push(texts[i].monitor);
      record->pDescription = stack.Push(texts[i].description);
      record->fPortType = kPortType;
      record->Reserved = 0;
    }
  }
  *returned = static_cast<DWORD>(texts.size());
  return TRUE;
}
