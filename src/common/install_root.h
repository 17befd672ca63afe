// The install root and the setup directory: the two bases of every path the
// program forms.
#pragma once

#include <string>

// Returns the install root from HKLM\Software\Tavrin "Path", always ending in
// a backslash; "c:\" when the key or value is missing, empty or too long.
// A 64-bit process on 64-bit Windows reads its own (64-bit) view first and,
// when the key or the value is missing there, the 32-bit view, where a
// 32-bit outer installer puts it. Reads the registry afresh at every call.
std::string InstallRoot();

// Returns the folder of the running executable, without trailing backslash
// (empty when the module path has no backslash).
std::string SetupDirectory();
