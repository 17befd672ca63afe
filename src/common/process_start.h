// Starting another program and leaving it to run on its own.
#pragma once

#include <string>

#include "common/win32.h"

// Starts `command_line` (its first word names the program, found by the
// usual search rules) in a new process group, with this process's own
// environment block passed explicitly, no handles inherited, the current
// folder unchanged, and a full start-up record whose only non-zero fields
// are the flags and the show state given. The child is not waited for.
// Returns whether the process was created.
bool StartDetachedProcess(const std::string& command_line, DWORD startup_flags,
                          WORD show_window);
