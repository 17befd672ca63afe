// Appending to the port's log file.
#include "monitor/job_log.h"

#include <cstddef>
#include <cstdio>
#include <optional>

#include "monitor/file_calls.h"
#include "monitor/monitor_text.h"
#include "monitor/private_security.h"
#include "monitor/trace.h"

namespace {

// Gives an existing log (one an older version made, which inherited
// "Users: read") the administrators' DACL. Traces a failure.
void SecureLog(const std::string& path) {
  if (IsLink(Widen(path.c_str()))) return;  // never opened
  HANDLE file = CreateFileA(path.c_str(), WRITE_DAC, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | NoFollowFlag(), nullptr);
  if (file == INVALID_HANDLE_VALUE) return;  // not there yet: made so
  PrivateSecurity security{SidBytes()};
  const DWORD error = security.ApplyTo(file);
  CloseHandle(file);
  if (error != ERROR_SUCCESS)
    Trace("log %s keeps its security: %lu", path.c_str(), static_cast<unsigned long>(error));
}

// Begins an empty log with the byte-order mark; another job may be
// writing too, so a log with anything in it is left as it is.
void MarkIfEmpty(HANDLE file) {
  if (GetFileSize(file, nullptr) != 0) return;
  static const char kByteOrderMark[] = "\xEF\xBB\xBF";
  DWORD written = 0;
  WriteFile(file, kByteOrderMark, sizeof(kByteOrderMark) - 1, &written, nullptr);
}

// Appends `size` bytes at the end of the open `file`. Returns
// ERROR_SUCCESS or the error.
DWORD AppendTo(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  if (SetFilePointer(file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    return GetLastError();
  if (!WriteFile(file, data, size, &written, nullptr)) return GetLastError();
  return written == size ? ERROR_SUCCESS : ERROR_DISK_FULL;
}

}  // namespace

JobLog::JobLog(const std::string& path, bool enabled, bool debug, const std::string& port,
               const std::string& document)
    : path_(path), enabled_(enabled), debug_(debug), port_(port), document_(document) {}

void JobLog::Begin() {
  if (!enabled_ && !debug_) return;
  HANDLE file = Open();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

HANDLE JobLog::Open() {
  if (!secured_ && OnNtFamily()) SecureLog(path_);
  secured_ = true;
  HANDLE file = OpenLog(path_, false);
  if (file != INVALID_HANDLE_VALUE) MarkIfEmpty(file);
  return file;
}

void JobLog::Failure(const char* format, ...) {
  if (!enabled_) return;
  va_list args;
  va_start(args, format);
  Append(format, args);
  va_end(args);
}

void JobLog::Debug(const char* format, ...) {
  if (!debug_) return;
  va_list args;
  va_start(args, format);
  Append(format, args);
  va_end(args);
}

// Writes "YYYY-MM-DD HH:MM:SS <port> "<document>": <text>" and a line end.
void JobLog::Append(const char* format, va_list args) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[2048];
  std::vsnprintf(text, sizeof(text), format, args);
  char line[2600];
  const int length = std::snprintf(line, sizeof(line), "%04u-%02u-%02u %02u:%02u:%02u %s \"%s\": %s\r\n",
                                   now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                                   now.wSecond, port_.c_str(), document_.c_str(), text);
  if (length <= 0) return;
  std::size_t size = static_cast<std::size_t>(length);
  if (size >= sizeof(line)) {
    // Cut short (a document's name may be any length): the line still
    // ends, on a whole UTF-8 character, so the next one starts its own.
    size = sizeof(line) - 3;
    while (size > 0 && (static_cast<unsigned char>(line[size]) & 0xC0) == 0x80) --size;
    line[size++] = '\r';
    line[size++] = '\n';
  }
  HANDLE file = Open();
  if (file == INVALID_HANDLE_VALUE) return;
  AppendTo(file, line, static_cast<DWORD>(size));
  CloseHandle(file);
}

DWORD AppendToFile(const std::string& path, const void* data, DWORD size) {
  HANDLE file = OpenLog(path, false);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  const DWORD error = AppendTo(file, data, size);
  CloseHandle(file);
  return error;
}

HANDLE OpenLog(const std::string& path, bool inheritable) {
  if (IsLink(Widen(path.c_str()))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  SECURITY_ATTRIBUTES plain = {sizeof(plain), nullptr, inheritable ? TRUE : FALSE};
  SECURITY_ATTRIBUTES* security = &plain;
  // Windows 9x has no users: nothing to build there.
  std::optional<PrivateSecurity> administrators;
  if (OnNtFamily()) {
    administrators.emplace(SidBytes());
    if (SECURITY_ATTRIBUTES* own = administrators->attributes(inheritable)) security = own;
  }
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, security,
                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | NoFollowFlag(), nullptr);
}
