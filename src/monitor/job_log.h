// The port's log file ("LogFileUse", "LogFileName", "LogFileDebug"): lines
// appended with the local time, the port and the document. The file is
// UTF-8, begun with a byte-order mark so that editors of every code page
// read the document names of every script; all text handed in is UTF-8.
#pragma once

#include "common/win32.h"

#include <cstdarg>
#include <string>

class JobLog {
 public:
  // A log of the job `document` on `port` (both UTF-8) into `path`;
  // `enabled` turns the failure lines on, `debug` the per-call lines (each
  // switch on its own).
  JobLog(const std::string& path, bool enabled, bool debug, const std::string& port,
         const std::string& document);

  // A line saying why a job failed (kept when "LogFileUse" is on).
  void Failure(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  // A line about one call of the spooler (kept when "LogFileDebug" is on).
  void Debug(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

  // Begins the file with the byte-order mark when it is missing or empty
  // and any of its lines are on; before a program's output is sent there.
  void Begin();

  bool enabled() const { return enabled_; }
  const std::string& path() const { return path_; }

 private:
  void Append(const char* format, va_list args);
  // Opens the log for writing: an older version's log secured first (once
  // a job), an empty one begun with the mark. INVALID_HANDLE_VALUE when it
  // does not open.
  HANDLE Open();

  std::string path_;
  bool enabled_;
  bool debug_;
  std::string port_;
  std::string document_;
  bool secured_ = false;  // an existing log was given the administrators' DACL
};

// Appends `size` bytes to the file `path`, creating it when missing, shared
// with other writers; a link at `path` is not written through
// (ERROR_ACCESS_DENIED). Returns ERROR_SUCCESS or the error of the file
// call.
DWORD AppendToFile(const std::string& path, const void* data, DWORD size);

// Opens the log `path` for writing, creating it when missing, shared with
// other writers; the handle inheritable when asked. The log names every
// user's documents: on the NT family one it creates only the
// administrators may open (private_security.h). A link in its place is
// never followed: refused (ERROR_ACCESS_DENIED) when seen first, and one
// that appears after the look is opened itself, not what it leads to.
// Returns the handle or INVALID_HANDLE_VALUE with the last error set.
HANDLE OpenLog(const std::string& path, bool inheritable);
