// Starting another program and leaving it to run on its own.
#pragma once

#include <string>

#include "common/win32.h"

// Starts `command_line` in a new process group, with this process's own
// environment block passed explicitly, no handles inherited, the current
// folder unchanged, and a full start-up record whose only non-zero fields
// are the flags and the show state given. `application` names the program
// by its full path; empty, the command line's first word names it, found by
// the usual search rules (the setup's own folder first). The child is not
// waited for. Returns whether the process was created.
bool StartDetachedProcess(const std::string& application, const std::string& command_line,
                          DWORD startup_flags, WORD show_window);

// The full path of Windows' own `program` (such as "rundll32.exe"): in the
// Windows folder on the 9x family, where Windows 95 to Me keep it, in the
// system folder on the NT family. So that a file of that name beside
// setup.exe is never started in its place. Empty when the folder cannot be
// read.
std::string WindowsProgramPath(const char* program);

// Starts Windows' own rundll32.exe by its full path (WindowsProgramPath),
// shown, with `command_line` as its command line, which names it as the
// user would ("rundll32.exe url.dll,..."). Returns whether it started.
bool StartRundll32(const std::string& command_line);
