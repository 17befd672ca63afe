// Starting another program and leaving it to run on its own.
#include "common/process_start.h"

#include <cstring>
#include <vector>

#include "common/platform.h"

// The start-up record is passed whole: 68 bytes on 32-bit Windows.
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOA) == 68, "STARTUPINFOA layout");

bool StartDetachedProcess(const std::string& application, const std::string& command_line,
                          DWORD startup_flags, WORD show_window) {
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
  BOOL created = CreateProcessA(application.empty() ? nullptr : application.c_str(),
                                command.data(), nullptr, nullptr, FALSE,
                                CREATE_NEW_PROCESS_GROUP, environment, nullptr, &startup,
                                &process);
  if (environment) FreeEnvironmentStringsA(environment);
  if (created) {
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
  }
  return created != FALSE;
}

bool StartRundll32(const std::string& command_line) {
  return StartDetachedProcess(WindowsProgramPath("rundll32.exe"), command_line, 0, SW_SHOWNORMAL);
}

std::string WindowsProgramPath(const char* program) {
  char folder[MAX_PATH] = {0};
  const UINT length = ReadPlatformFlags().Win9xCase()
                          ? GetWindowsDirectoryA(folder, sizeof(folder))
                          : GetSystemDirectoryA(folder, sizeof(folder));
  if (length == 0 || length >= sizeof(folder)) return std::string();
  std::string path(folder, length);
  if (path.back() != '\\') path += '\\';
  return path + program;
}
