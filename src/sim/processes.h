// Starting the processes of CreateProcessA (processes.cpp). For the
// implementations only.
#pragma once

#include <string>

#include "sim/machine.h"

namespace sim {

// Starts `program` as a new process on a thread of its own. With
// `inherit_handles` it receives the program's inheritable handles, and of
// the standard input and output in `startup` (STARTF_USESTDHANDLES) those
// it inherited. Fills *info with a process handle that can be waited for.
// With CREATE_SUSPENDED in `creation_flags` the program runs only once
// ResumeThread is given the thread handle. Called with the machine's lock
// held.
void StartProgramProcess(const Program& program, const std::string& command_line,
                         const std::string& directory, BOOL inherit_handles,
                         DWORD creation_flags, const STARTUPINFOA& startup,
                         PROCESS_INFORMATION* info);

// For a file the machine has no program for: a process that has already
// ended, with exit code 0. Called with the machine's lock held.
void StartEndedProcess(PROCESS_INFORMATION* info);

}  // namespace sim
