// Starting another program and leaving it to run on its own.
#include "common/process_start.h"

#include <cstring>
#include <vector>

// The start-up record is passed whole: 68 bytes on 32-bit Windows.
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOA) == 68, "STARTUPINFOA layout");

bool StartDetachedProcess(const std::string& command_line, DWORD startup_flags,
                          WORD show_window) {
  // CreateProcessA may write into the command line it is given.
  std::vector<char> command(command_line.begin(), command_line.end());
  command.push_back('\0');

  STARTUPINFOA startup;
  std::memset(&startup, 0, sizeof(startup));
  startup.cb = sizeof(startup);
  startup.dwFlags = startup_flags;
  startup.wShowWindow = show_window;

  PROCESS_INFORMATION process;
  std::memset(&process, 0, sizeof(process));

  LPCH environment = GetEnvironmentStrings();
  BOOL created = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE,
                                CREATE_NEW_PROCESS_GROUP, environment, nullptr, &startup,
                                &process);
  if (environment) FreeEnvironmentStringsA(environment);
  if (created) {
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
  }
  return created != FALSE;
}
