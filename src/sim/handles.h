// The process's table of kernel handles (files, find handles, the standard
// handles, processes and threads), kept by files.cpp. CloseHandle ends any
// entry but a find handle; FileSystem::Reset and ReleaseAll empty the table.
// For the implementations only; tests use the machine's interface.
#pragma once

#include <string>

#include "sim/win32_types.h"

namespace sim {

// Adds a handle of the given kind ("process", "thread", ...) and returns it.
HANDLE NewKernelHandle(const char* kind);

// The kind of a live handle, or nullptr when the table has no such handle.
const char* KernelHandleKind(HANDLE handle);

// How many live handles of that kind the program holds.
int OpenKernelHandles(const char* kind);

// What the program wrote to its standard error handle since the last Reset
// (standard output goes to Machine::console).
const std::string& StandardErrorText();

}  // namespace sim
