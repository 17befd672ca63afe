// The product's printer and driver, and where the spooler keeps them.
#pragma once

inline constexpr char kPrinterName[] = "TAVRIN";
inline constexpr char kDriverName[] = "TAVRIN Printer Driver";

inline constexpr char kEnvironment9x[] = "Windows 4.0";
inline constexpr char kEnvironmentNT[] = "Windows NT x86";
inline constexpr char kEnvironmentX64[] = "Windows x64";

// Under HKEY_LOCAL_MACHINE.
inline constexpr char kPrintersKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
inline constexpr char kDriversKeyNT2[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-2";
inline constexpr char kDriversKeyNT3[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3";
inline constexpr char kDriversKeyX64v2[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-2";
inline constexpr char kDriversKeyX64v3[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\Version-3";
inline constexpr char kDriversKey9x[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows 4.0\\Drivers";

// The Add/Remove Programs entry.
inline constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr char kUninstallEntryName[] = "Tavrin";
inline constexpr char kUninstallEntryKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tavrin";
