// Starting the job's program and feeding it.
#include "monitor/child_process.h"

#include <vector>

#include "common/system_function.h"
#include "monitor/file_calls.h"
#include "monitor/job_log.h"
#include "monitor/trace.h"

namespace {

constexpr DWORD kPipeBytes = 65536;
// The piece written at a time: the watchdog sees progress after each.
constexpr DWORD kWritePiece = 4096;
// How long Terminate waits for the program to be gone.
constexpr DWORD kTerminateWaitMs = 5000;
// The exit code of a program the monitor ended.
constexpr UINT kEndedExitCode = ERROR_TIMEOUT;

// The lock of the starts, made when the library is loaded and deleted when
// it is unloaded. Not a function-local static: the C++ runtime guards the
// first use of those with a lock of its own, a semaphore it never closes,
// so every load of the library would leave one handle behind (Wine's
// spooler loads the monitor afresh for every job).
struct StartSection {
  StartSection() { InitializeCriticalSection(&section); }
  ~StartSection() { DeleteCriticalSection(&section); }
  CRITICAL_SECTION section;
} start_section;

// Serialises the starts: while one job's inheritable handles exist, no
// other job's program may be started, or it would inherit them and keep
// that job's pipe open.
class StartLock {
 public:
  StartLock() { EnterCriticalSection(&start_section.section); }
  ~StartLock() { LeaveCriticalSection(&start_section.section); }
  StartLock(const StartLock&) = delete;
  StartLock& operator=(const StartLock&) = delete;
};

// A handle closed at the end of its scope unless released.
class OwnedHandle {
 public:
  OwnedHandle() = default;
  ~OwnedHandle() { Reset(); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  HANDLE* out() { return &handle_; }
  HANDLE get() const { return handle_; }
  void set(HANDLE handle) {
    Reset();
    handle_ = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
  }
  HANDLE release() {
    HANDLE h = handle_;
    handle_ = nullptr;
    return h;
  }
  void Reset() {
    if (handle_ && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

SECURITY_ATTRIBUTES Inheritable() {
  SECURITY_ATTRIBUTES inherit;
  inherit.nLength = sizeof(inherit);
  inherit.lpSecurityDescriptor = nullptr;
  inherit.bInheritHandle = TRUE;
  return inherit;
}

// An anonymous pipe whose read end the program inherits and whose write
// end stays ours only. Windows 9x has no SetHandleInformation: both ends
// are made inheritable and ours is replaced by a copy that is not.
// Returns ERROR_SUCCESS or the error of the failed call.
DWORD MakeInputPipe(OwnedHandle* child_end, OwnedHandle* our_end) {
  SECURITY_ATTRIBUTES inherit = Inheritable();
  OwnedHandle read_end, write_end;
  if (!CreatePipe(read_end.out(), write_end.out(), &inherit, kPipeBytes)) return GetLastError();
  const HANDLE self = GetCurrentProcess();
  if (!DuplicateHandle(self, write_end.get(), self, our_end->out(), 0, FALSE,
                       DUPLICATE_SAME_ACCESS))
    return GetLastError();
  *child_end->out() = read_end.release();
  return ERROR_SUCCESS;
}

// The program's standard output: the log file, appended to, or NUL.
HANDLE OpenOutput(const std::string& output_log) {
  SECURITY_ATTRIBUTES inherit = Inheritable();
  if (!output_log.empty()) {
    HANDLE log = OpenLog(output_log, true);
    if (log != INVALID_HANDLE_VALUE) {
      SetFilePointer(log, 0, nullptr, FILE_END);
      return log;
    }
  }
  return CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                     OPEN_EXISTING, 0, nullptr);
}

// kernel32's job object functions. Windows 95 to Me and NT 4.0 lack them:
// imported, they would keep the library from loading there.
typedef HANDLE(WINAPI* CreateJobObjectAFn)(LPSECURITY_ATTRIBUTES, LPCSTR);
typedef BOOL(WINAPI* AssignProcessToJobObjectFn)(HANDLE, HANDLE);
typedef BOOL(WINAPI* SetInformationJobObjectFn)(HANDLE, JOBOBJECTINFOCLASS, LPVOID, DWORD);

struct JobCalls {
  CreateJobObjectAFn create = nullptr;
  AssignProcessToJobObjectFn assign = nullptr;
  SetInformationJobObjectFn set_information = nullptr;
};

// Looks up the job object functions. Returns false where one is missing.
bool FindJobCalls(JobCalls* calls) {
  calls->create = SystemFunction<CreateJobObjectAFn>("kernel32.dll", "CreateJobObjectA");
  calls->assign =
      SystemFunction<AssignProcessToJobObjectFn>("kernel32.dll", "AssignProcessToJobObject");
  calls->set_information =
      SystemFunction<SetInformationJobObjectFn>("kernel32.dll", "SetInformationJobObject");
  return calls->create && calls->assign && calls->set_information;
}

// Makes a job object that ends its processes when its last handle closes,
// into *job. Returns ERROR_SUCCESS or the error of the failed call.
DWORD MakeKillOnCloseJob(const JobCalls& calls, OwnedHandle* job) {
  job->set(calls.create(nullptr, nullptr));
  if (!job->get()) return GetLastError();
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
  ZeroMemory(&limits, sizeof(limits));
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!calls.set_information(job->get(), JobObjectExtendedLimitInformation, &limits,
                             sizeof(limits))) {
    const DWORD error = GetLastError();
    job->Reset();
    return error;
  }
  return ERROR_SUCCESS;
}

}  // namespace

bool IsWindowsProgram(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;  // CreateProcess tells what is wrong
  char magic[2] = {0, 0};
  DWORD got = 0;
  const BOOL read = ReadFile(file, magic, sizeof(magic), &got, nullptr);
  CloseHandle(file);
  return !read || got != sizeof(magic) || (magic[0] == 'M' && magic[1] == 'Z');
}

ChildProcess::ChildProcess() { InitializeCriticalSection(&lock_); }

ChildProcess::~ChildProcess() {
  StopWatchdog();
  CloseInput();
  CloseJob();  // ends the program if it still runs
  if (process_) CloseHandle(process_);
  DeleteCriticalSection(&lock_);
}

DWORD ChildProcess::StartWatchdog(DWORD stall_ms) {
  stall_ms_ = stall_ms;
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!stop_) return GetLastError();
  DWORD thread_id = 0;  // Windows 9x wants somewhere to put it
  watchdog_ = CreateThread(nullptr, 0, WatchdogMain, this, 0, &thread_id);
  if (!watchdog_) {
    const DWORD error = GetLastError();
    CloseHandle(stop_);
    stop_ = nullptr;
    return error;
  }
  return ERROR_SUCCESS;
}

void ChildProcess::StopWatchdog() {
  if (watchdog_) {
    SetEvent(stop_);
    WaitForSingleObject(watchdog_, INFINITE);
    CloseHandle(watchdog_);
    watchdog_ = nullptr;
  }
  if (stop_) CloseHandle(stop_);
  stop_ = nullptr;
}

DWORD WINAPI ChildProcess::WatchdogMain(LPVOID self) {
  static_cast<ChildProcess*>(self)->Watch();
  return 0;
}

void ChildProcess::Watch() {
  for (;;) {
    DWORD wait = stall_ms_;
    {
      EnterCriticalSection(&lock_);
      if (writing_) {
        const DWORD idle = GetTickCount() - progress_tick_;
        if (idle >= stall_ms_) {
          // Its end breaks the pipe: the blocked write returns.
          stalled_ = true;
          TerminateProcess(process_, kEndedExitCode);
          // And what it started, which may hold the pipe open too.
          CloseJob();
          LeaveCriticalSection(&lock_);
          return;
        }
        wait = stall_ms_ - idle;
      }
      LeaveCriticalSection(&lock_);
    }
    if (WaitForSingleObject(stop_, wait) != WAIT_TIMEOUT) return;
  }
}

void ChildProcess::NoteProgress(bool writing) {
  EnterCriticalSection(&lock_);
  writing_ = writing;
  progress_tick_ = GetTickCount();
  LeaveCriticalSection(&lock_);
}

void ChildProcess::CloseJob() {
  EnterCriticalSection(&lock_);
  if (job_) CloseHandle(job_);
  job_ = nullptr;
  LeaveCriticalSection(&lock_);
}

bool ChildProcess::stalled() const {
  EnterCriticalSection(&lock_);
  const bool stalled = stalled_;
  LeaveCriticalSection(&lock_);
  return stalled;
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::string& application,
                                                  const std::string& command_line,
                                                  const std::string& directory, WORD show_window,
                                                  const std::wstring& input_file,
                                                  const std::string& output_log, DWORD stall_ms,
                                                  DWORD* error) {
  std::unique_ptr<ChildProcess> child(new ChildProcess);
  StartLock lock;
  OwnedHandle child_input, our_input, child_output;
  if (input_file.empty()) {
    *error = MakeInputPipe(&child_input, &our_input);
    if (*error != ERROR_SUCCESS) return nullptr;
  } else {
    SECURITY_ATTRIBUTES inherit = Inheritable();
    child_input.set(OpenPath(input_file, GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING));
    if (!child_input.get()) {
      *error = GetLastError();
      return nullptr;
    }
  }
  child_output.set(OpenOutput(output_log));

  // Only a Windows program is confined: Wine starts any other as a Unix
  // program, which a job object cannot hold and a suspended start would
  // never let run.
  OwnedHandle job;
  JobCalls calls;
  if (!FindJobCalls(&calls)) {
    Trace("%s runs without a job object: the system has none", application.c_str());
  } else if (IsWindowsProgram(application)) {
    const DWORD made = MakeKillOnCloseJob(calls, &job);
    if (made != ERROR_SUCCESS)
      Trace("%s runs without a job object: it could not be made: %lu", application.c_str(),
            static_cast<unsigned long>(made));
  }

  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof(startup));
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = show_window;
  startup.hStdInput = child_input.get();
  startup.hStdOutput = child_output.get();
  startup.hStdError = child_output.get();
  PROCESS_INFORMATION info;
  ZeroMemory(&info, sizeof(info));
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  // DETACHED_PROCESS: a console program gets no console, so no window, on
  // either family, and reads the standard handles given here. Wine closes
  // the standard input of a program given a console of its own
  // (CREATE_NO_WINDOW, CREATE_NEW_CONSOLE), so neither is used.
  // A program to be put in a job starts suspended, so that nothing it
  // starts escapes the job.
  const bool suspended = job.get() != nullptr;
  const DWORD flags = DETACHED_PROCESS | (suspended ? CREATE_SUSPENDED : 0);
  if (!CreateProcessA(application.c_str(), line.data(), nullptr, nullptr, TRUE, flags, nullptr,
                      directory.empty() ? nullptr : directory.c_str(), &startup, &info)) {
    *error = GetLastError();
    return nullptr;
  }
  OwnedHandle thread;
  thread.set(info.hThread);
  if (suspended) {
    // Fails where the spooler itself runs in a job that allows no other
    // (before Windows 8): the program then runs as it would have anyway.
    if (!info.hProcess || !calls.assign(job.get(), info.hProcess)) {
      Trace("%s runs without a job object: AssignProcessToJobObject failed: %lu",
            application.c_str(), static_cast<unsigned long>(GetLastError()));
      job.Reset();
    }
    if (!thread.get() || ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
      // It would never run: it is ended rather than waited for.
      *error = thread.get() ? GetLastError() : ERROR_INVALID_HANDLE;
      if (info.hProcess) {
        TerminateProcess(info.hProcess, kEndedExitCode);
        CloseHandle(info.hProcess);
      }
      return nullptr;
    }
  }
  child->process_ = info.hProcess;
  child->job_ = job.release();
  child->input_ = our_input.release();
  *error = ERROR_SUCCESS;
  // Without a process handle the program cannot be ended: no watchdog.
  if (child->input_ && child->process_ && stall_ms > 0) {
    const DWORD watchdog = child->StartWatchdog(stall_ms);
    if (watchdog != ERROR_SUCCESS) {
      // A program that could not be watched must not be fed: it might
      // hold the port for ever.
      child->Terminate();
      *error = watchdog;
      return nullptr;
    }
  }
  return child;  // the program's own ends close here: its end closes the pipe
}

DWORD ChildProcess::Write(const BYTE* data, DWORD size) {
  if (!input_) return ERROR_BROKEN_PIPE;
  DWORD error = ERROR_SUCCESS;
  NoteProgress(true);
  while (size > 0) {
    DWORD written = 0;
    const DWORD piece = size < kWritePiece ? size : kWritePiece;
    if (!WriteFile(input_, data, piece, &written, nullptr)) {
      error = GetLastError();
      break;
    }
    if (written == 0) {
      error = ERROR_NO_DATA;
      break;
    }
    data += written;
    size -= written;
    NoteProgress(true);
  }
  NoteProgress(false);
  return error;
}

void ChildProcess::CloseInput() {
  if (input_) CloseHandle(input_);
  input_ = nullptr;
}

DWORD ChildProcess::Wait(DWORD timeout_ms, DWORD* exit_code) {
  *exit_code = 0;
  if (!process_ || WaitForSingleObject(process_, timeout_ms) != WAIT_OBJECT_0)
    return ERROR_TIMEOUT;
  if (!GetExitCodeProcess(process_, exit_code)) *exit_code = 0;
  return ERROR_SUCCESS;
}

void ChildProcess::Terminate() {
  if (!process_) return;
  TerminateProcess(process_, kEndedExitCode);
  CloseJob();  // and whatever the program started
  WaitForSingleObject(process_, kTerminateWaitMs);
}
