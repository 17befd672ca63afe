// The product's entry in the Add/Remove Programs list.
#pragma once

#include <string>

// Writes HKLM\...\Uninstall\Tavrin with "DisplayName" and "UninstallString".
// Returns 1 in every case.
int RegisterUninstallEntry();

// Deletes the entry and tells the shell. Returns 1 in every case.
int RemoveUninstallEntry();

// The command the entry runs: the root's setup.exe with "uninstall", the
// path quoted when it holds a blank.
std::string UninstallCommand(const std::string& install_root);
