// The program a job's data is fed to. Its standard input is either an
// anonymous pipe the job's data is written to as it comes, or a file that
// already holds the whole job; its standard output and error go to the
// port's log file or to NUL.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

class ChildProcess {
 public:
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `application` with `command_line` in `directory`, its window
  // (if it opens one) shown as `show_window`. With `input_file` (a path)
  // the program reads that file; without, it reads what Write sends it.
  // Its output is appended to `output_log`, or goes to NUL when that is
  // empty. Returns null with *error set when it cannot start.
  static std::unique_ptr<ChildProcess> Start(const std::string& application,
                                             const std::string& command_line,
                                             const std::string& directory, WORD show_window,
                                             const std::wstring& input_file,
                                             const std::string& output_log, DWORD* error);

  // Writes all `size` bytes to the program's standard input, as often as
  // the pipe needs. Returns ERROR_SUCCESS or the error of the write
  // (ERROR_BROKEN_PIPE or ERROR_NO_DATA once the program stopped reading).
  DWORD Write(const BYTE* data, DWORD size);

  // Closes the program's standard input: it reads the end of the job.
  void CloseInput();

  // Whether the program's end can be waited for: not where the system
  // gives no process handle (Wine, for a program that is not a Windows
  // one).
  bool can_wait() const { return process_ != nullptr; }

  // Waits at most `timeout_ms` for the program to end (can_wait() only).
  // Returns ERROR_SUCCESS with *exit_code set, or ERROR_TIMEOUT.
  DWORD Wait(DWORD timeout_ms, DWORD* exit_code);

  // Ends a program that did not end by itself.
  void Terminate();

 private:
  ChildProcess() = default;

  HANDLE input_ = nullptr;    // write end of the program's standard input
  HANDLE process_ = nullptr;  // null where the system gives none
};

// Whether the file at `path` is a Windows program (begins with "MZ"). Only
// those can read a pipe everywhere: Wine runs other files as Unix programs
// and hands them files, never pipes, as their standard input.
bool IsWindowsProgram(const std::string& path);
