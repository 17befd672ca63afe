// The monitor's names as the spooler sees them, in UTF-16. They come from
// the contract the setup program installs by, so the two cannot drift apart.
#pragma once

#include "common/win32.h"

#include <cstddef>

#include "contract/product_layout.h"
#include "contract/product_names.h"

// An ASCII text of the contract widened at compile time.
template <std::size_t N>
struct WideText {
  wchar_t text[N];
  constexpr const wchar_t* c_str() const { return text; }
};

template <std::size_t N>
constexpr WideText<N> ToWide(const char (&ascii)[N]) {
  WideText<N> wide{};
  for (std::size_t i = 0; i < N; ++i) wide.text[i] = static_cast<wchar_t>(ascii[i]);
  return wide;
}

inline constexpr auto kMonitorNameW = ToWide(kMonitorName);
inline constexpr auto kMonitorKeyW = ToWide(kMonitorKey);
inline constexpr auto kPortsSubKeyW = ToWide(kPortsSubKey);
inline constexpr auto kProductKeyW = ToWide(kProductKey);
inline constexpr auto kProductPathValueW = ToWide(kProductPathValue);

// The user-interface library the spooler is pointed to ("MonitorUI"): the
// one built alongside this monitor library.
#ifdef TAVRIN_MONITOR_9X
inline constexpr auto kUiLibraryW = ToWide(kMonitorUiLibrary9x);
#else
inline constexpr auto kUiLibraryW = ToWide(kMonitorUiLibraryNT);
#endif

// The port's type as EnumPorts reports it: written to, and redirected to a
// program rather than to a device.
inline constexpr DWORD kPortType = PORT_TYPE_WRITE | PORT_TYPE_REDIRECTED;
