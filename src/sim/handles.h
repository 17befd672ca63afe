// The process's table of kernel handles (files, find handles, the standard
// handles, processes and threads), kept by files.cpp. CloseHandle ends any
// entry but a find handle; FileSystem::Reset and ReleaseAll empty the table.
// For the implementations only; tests use the machine's interface.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/win32_types.h"

namespace sim {

// A kernel object that is no file: an event, a thread, a process or one end
// of a pipe. The handles to it share it, and it goes with the last one, as
// on Windows. Its functions are called with the machine's lock held.
class KernelItem {
 public:
  virtual ~KernelItem() = default;
  // Whether a wait on it is satisfied now.
  virtual bool Signaled() const { return false; }
  // A wait on it was satisfied (an auto-reset event resets).
  virtual void Acquired() {}
  // ReadFile and WriteFile on it: ERROR_SUCCESS or the error. They may
  // wait (WaitUntil) for the other end of a pipe.
  virtual DWORD Read(void* buffer, DWORD size, DWORD* done) {
    *done = 0;
    return ERROR_INVALID_HANDLE;
  }
  virtual DWORD Write(const void* buffer, DWORD size, DWORD* done) {
    *done = 0;
    return ERROR_INVALID_HANDLE;
  }
};

// Adds a handle of `kind` ("event", "thread", "process", "pipe") to `item`,
// held by the simulated `process` (0: the program under test). Returns it.
HANDLE NewItemHandle(const char* kind, std::shared_ptr<KernelItem> item, bool inheritable,
                     DWORD process = 0);

// The item behind a live handle, or null (not a handle, or a file's).
std::shared_ptr<KernelItem> ItemOf(HANDLE handle);

// A new handle to what `source` stands for (a file shares its position),
// held by `process`. Null when `source` is no handle that can be
// duplicated.
HANDLE DuplicateKernelHandle(HANDLE source, bool inheritable, DWORD process);

// Marks a handle inheritable or not. Returns false when it is no handle.
bool SetHandleInheritable(HANDLE handle, bool inheritable);

// The handles the program holds that a child it starts with inheritance
// receives, duplicated for `process`, old handle to new.
void InheritHandles(DWORD process, std::vector<std::pair<HANDLE, HANDLE>>* inherited);

// Closes every handle `process` holds (its end, or its termination).
void CloseHandlesOf(DWORD process);

// Ends every simulated program still running (Machine::Reset), as a
// restart would (processes.cpp).
void EndAllPrograms();

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
