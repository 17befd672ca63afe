// The program a job's data is fed to. Its standard input is either an
// anonymous pipe the job's data is written to as it comes, or a file that
// already holds the whole job; its standard output and error go to the
// port's log file or to NUL.
//
// A write into a full anonymous pipe blocks until the program reads (such
// a pipe has no overlapped I/O, and Windows 9x has no named-pipe server).
// So that a program that never reads cannot hold the port for ever, a
// watchdog thread ends the program when a write has made no progress for
// the time allowed: its end breaks the pipe and the blocked write returns.
//
// From Windows 2000 on the program runs in a job object of its own that
// ends it, and every process assigned to it, when its handle is closed:
// at the program's end, or when it is ended. It is created suspended,
// put in the job, and only then let run, so it can start nothing outside
// the job. Where there are no job objects (Windows 9x, NT 4.0) or one
// cannot be used, the program runs without, and the trace says why.
#pragma once

#include "common/win32.h"

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
  // empty. A program reading a pipe is ended when a write makes no
  // progress for `stall_ms`. Returns null with *error set when it cannot
  // start.
  static std::unique_ptr<ChildProcess> Start(const std::string& application,
                                             const std::string& command_line,
                                             const std::string& directory, WORD show_window,
                                             const std::wstring& input_file,
                                             const std::string& output_log, DWORD stall_ms,
                                             DWORD* error);

  // Writes all `size` bytes to the program's standard input, in pieces the
  // watchdog sees progress by. Returns ERROR_SUCCESS or the error of the
  // write (ERROR_BROKEN_PIPE or ERROR_NO_DATA once the program stopped
  // reading, or was ended for not reading).
  DWORD Write(const BYTE* data, DWORD size);

  // Whether the watchdog ended the program because it took no data.
  bool stalled() const;

  // Closes the program's standard input: it reads the end of the job.
  void CloseInput();

  // Whether the program's end can be waited for: not where the system
  // gives no process handle (Wine, for a program that is not a Windows
  // one).
  bool can_wait() const { return process_ != nullptr; }

  // Waits at most `timeout_ms` for the program to end (can_wait() only).
  // Returns ERROR_SUCCESS with *exit_code set, or ERROR_TIMEOUT.
  DWORD Wait(DWORD timeout_ms, DWORD* exit_code);

  // Ends a program that did not end by itself, with its job object, and
  // waits a little for it to be gone so that its files are free.
  void Terminate();

 private:
  ChildProcess();
  // Starts the watchdog thread. Returns ERROR_SUCCESS or the error.
  DWORD StartWatchdog(DWORD stall_ms);
  // Stops the watchdog thread and waits for it.
  void StopWatchdog();
  static DWORD WINAPI WatchdogMain(LPVOID self);
  // The watchdog's loop: ends the program once a write has stalled.
  void Watch();
  // Notes that a write began (`writing`), moved on, or ended.
  void NoteProgress(bool writing);
  // Closes the job object: what still runs in it ends.
  void CloseJob();

  HANDLE input_ = nullptr;    // write end of the program's standard input
  HANDLE process_ = nullptr;  // null where the system gives none
  HANDLE job_ = nullptr;      // the program's job object; guarded by lock_
  HANDLE watchdog_ = nullptr; // the watchdog thread
  HANDLE stop_ = nullptr;     // set when the watchdog is to end
  DWORD stall_ms_ = 0;
  mutable CRITICAL_SECTION lock_;  // guards job_ and the three below
  bool writing_ = false;
  DWORD progress_tick_ = 0;  // GetTickCount of the write's last progress
  bool stalled_ = false;
};

// Whether the file at `path` is a Windows program (begins with "MZ"). Only
// those can read a pipe everywhere: Wine runs other files as Unix programs
// and hands them files, never pipes, as their standard input.
bool IsWindowsProgram(const std::string& path);
