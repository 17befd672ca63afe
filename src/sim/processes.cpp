// Anonymous pipes and the processes of the simulated programs: a program
// installed at a path (Machine::InstallProgram) runs on a thread of its own
// with the handles it inherited; its process object is signaled when it
// returns or is ended, and its handles close then, which breaks the pipes
// it held. A process created suspended runs its program only from
// ResumeThread on. Job objects hold the processes assigned to them (not
// those those processes start: the stand-in programs start none).
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/handles.h"
#include "sim/machine.h"
#include "sim/processes.h"
#include "sim/scheduler.h"
#include "sim/win32_api.h"

namespace sim {

namespace {

// The program under test is process 0 in the handle table; this is the id
// GetCurrentProcessId gives it.
constexpr DWORD kProgramProcessId = 0x1F0;
// A pipe's buffer when CreatePipe is given no size.
constexpr DWORD kDefaultPipeBytes = 4096;

bool CallerEnded();

// The shared state of one anonymous pipe.
struct Pipe {
  std::string buffer;
  size_t capacity = kDefaultPipeBytes;
  int readers = 0;  // live read ends
  int writers = 0;  // live write ends
};

class PipeReadEnd : public KernelItem {
 public:
  explicit PipeReadEnd(std::shared_ptr<Pipe> pipe) : pipe_(std::move(pipe)) { ++pipe_->readers; }
  ~PipeReadEnd() override { --pipe_->readers; }
  // Waits for data; at the end of the data once every write end is gone,
  // ERROR_BROKEN_PIPE.
  DWORD Read(void* buffer, DWORD size, DWORD* done) override {
    *done = 0;
    if (size == 0) return ERROR_SUCCESS;
    WaitUntil([&] { return !pipe_->buffer.empty() || pipe_->writers == 0 || CallerEnded(); },
              kForever);
    if (pipe_->buffer.empty() || CallerEnded()) return ERROR_BROKEN_PIPE;
    const size_t count = std::min<size_t>(size, pipe_->buffer.size());
    pipe_->buffer.copy(static_cast<char*>(buffer), count);
    pipe_->buffer.erase(0, count);
    *done = static_cast<DWORD>(count);
    return ERROR_SUCCESS;
  }

 private:
  std::shared_ptr<Pipe> pipe_;
};

class PipeWriteEnd : public KernelItem {
 public:
  explicit PipeWriteEnd(std::shared_ptr<Pipe> pipe) : pipe_(std::move(pipe)) { ++pipe_->writers; }
  ~PipeWriteEnd() override { --pipe_->writers; }
  // Returns once every byte is in the pipe's buffer, waiting for the reader
  // to make room; ERROR_NO_DATA once no read end is left.
  DWORD Write(const void* buffer, DWORD size, DWORD* done) override {
    *done = 0;
    const char* data = static_cast<const char*>(buffer);
    while (*done < size) {
      WaitUntil(
          [&] {
            return pipe_->readers == 0 || pipe_->buffer.size() < pipe_->capacity || CallerEnded();
          },
          kForever);
      if (pipe_->readers == 0 || CallerEnded()) return ERROR_NO_DATA;
      const size_t room = pipe_->capacity - pipe_->buffer.size();
      const size_t count = std::min<size_t>(room, size - *done);
      pipe_->buffer.append(data + *done, count);
      *done += static_cast<DWORD>(count);
    }
    return ERROR_SUCCESS;
  }

 private:
  std::shared_ptr<Pipe> pipe_;
};

// A process: signaled once its program has returned or was ended.
class ProcessItem : public KernelItem {
 public:
  bool Signaled() const override { return ended; }
  DWORD id = 0;
  bool ended = false;
  bool in_job = false;  // assigned to a job object: no other takes it
  DWORD exit_code = STILL_ACTIVE;
};

// The first thread of a simulated program's process. Created suspended,
// it holds the program's run until ResumeThread brings its count to 0.
class ProgramThreadItem : public KernelItem {
 public:
  bool Signaled() const override { return process->ended; }
  std::shared_ptr<ProcessItem> process;
  DWORD suspend_count = 0;
  std::function<void()> run;  // the program's thread; empty once started
};

struct ProcessTable {
  std::map<DWORD, std::shared_ptr<ProcessItem>> live;  // started, not ended
  DWORD next_id = 0x100;
};

// Never destroyed: the programs' threads may still use it while the
// process exits.
ProcessTable& Processes() {
  static ProcessTable* table = new ProcessTable;
  return *table;
}

// The simulated process the calling thread runs in; 0 for the program.
thread_local DWORD t_process = 0;

// Whether the calling thread's process was ended under it: its waits end.
bool CallerEnded() { return t_process != 0 && Processes().live.count(t_process) == 0; }

// Ends `process` with `code`: its handles close, its waiters wake.
void EndProcess(ProcessItem& process, DWORD code) {
  if (process.ended) return;
  process.ended = true;
  process.exit_code = code;
  Processes().live.erase(process.id);
  CloseHandlesOf(process.id);
}

// A new process object with the next free id.
std::shared_ptr<ProcessItem> NewProcess() {
  ProcessTable& table = Processes();
  auto process = std::make_shared<ProcessItem>();
  process->id = table.next_id;
  table.next_id += 8;
  return process;
}

// Fills *info with new handles to `process` and to its first thread
// (`thread`; null for one with no object behind its handle), and their ids.
void FillProcessInformation(const std::shared_ptr<ProcessItem>& process,
                            std::shared_ptr<KernelItem> thread, PROCESS_INFORMATION* info) {
  info->hProcess = NewItemHandle("process", process, false);
  info->hThread = NewItemHandle("thread", std::move(thread), false);
  info->dwProcessId = process->id;
  info->dwThreadId = process->id + 4;
}

// A job object: the processes assigned to it and its limits. With
// JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE the close of its last handle ends
// those still running, with exit code 0: the documentation names no code.
class JobItem : public KernelItem {
 public:
  ~JobItem() override;
  DWORD limit_flags = 0;
  std::vector<std::weak_ptr<ProcessItem>> processes;
};

JobItem::~JobItem() {
  if (!(limit_flags & JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE)) return;
  std::vector<std::shared_ptr<ProcessItem>> live;
  for (const auto& weak : processes)
    if (auto process = weak.lock())
      if (!process->ended) live.push_back(process);
  if (live.empty()) return;
  for (const auto& process : live)
    M().Note("job object closed: ends process " + std::to_string(process->id));
  // The last handle goes while the handle table removes it, so the table
  // must not change under it here: the processes end on a thread of their
  // own once the closing thread gives the lock up, before the clock moves.
  StartMachineThread([live] {
    ApiLock lock;
    for (const auto& process : live) EndProcess(*process, 0);
  });
}

}  // namespace

void WaitForProgramEnd() {
  ApiLock lock;
  auto it = Processes().live.find(t_process);
  if (it == Processes().live.end()) return;
  std::shared_ptr<ProcessItem> self = it->second;
  WaitUntil([&] { return self->ended; }, kForever);
}

void EndAllPrograms() {
  ApiLock lock;
  std::vector<std::shared_ptr<ProcessItem>> live;
  for (auto& entry : Processes().live) live.push_back(entry.second);
  for (auto& process : live) EndProcess(*process, 1);
}

void StartProgramProcess(const Program& program, const std::string& command_line,
                         const std::string& directory, BOOL inherit_handles,
                         DWORD creation_flags, const STARTUPINFOA& startup,
                         PROCESS_INFORMATION* info) {
  std::shared_ptr<ProcessItem> process = NewProcess();

  ProgramStart start;
  start.command_line = command_line;
  start.current_directory = directory;
  start.process_id = process->id;
  std::vector<std::pair<HANDLE, HANDLE>> inherited;
  if (inherit_handles) InheritHandles(process->id, &inherited);
  // A standard handle reaches the program only when it was inherited.
  auto inherited_as = [&](HANDLE ours) -> HANDLE {
    for (const auto& pair : inherited)
      if (pair.first == ours) return pair.second;
    return nullptr;
  };
  if (startup.dwFlags & STARTF_USESTDHANDLES) {
    start.input = inherited_as(startup.hStdInput);
    start.output = inherited_as(startup.hStdOutput);
  }

  Processes().live[process->id] = process;
  auto thread = std::make_shared<ProgramThreadItem>();
  thread->process = process;
  thread->run = [program, start, process] {
    t_process = start.process_id;
    const DWORD code = program(start);
    ApiLock lock;
    EndProcess(*process, code);
  };
  FillProcessInformation(process, thread, info);
  if (creation_flags & CREATE_SUSPENDED) {
    thread->suspend_count = 1;
  } else {
    StartMachineThread(std::move(thread->run));
    thread->run = nullptr;
  }
}

void StartEndedProcess(PROCESS_INFORMATION* info) {
  std::shared_ptr<ProcessItem> process = NewProcess();
  process->ended = true;
  process->exit_code = 0;
  FillProcessInformation(process, nullptr, info);
}

}  // namespace sim

BOOL WINAPI CreatePipe(PHANDLE hReadPipe, PHANDLE hWritePipe,
                       LPSECURITY_ATTRIBUTES lpPipeAttributes, DWORD nSize) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("CreatePipe")) return FALSE;
  if (!hReadPipe || !hWritePipe) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto pipe = std::make_shared<sim::Pipe>();
  if (nSize > 0) pipe->capacity = nSize;
  const bool inherit = lpPipeAttributes && lpPipeAttributes->bInheritHandle;
  *hReadPipe = sim::NewItemHandle("pipe", std::make_shared<sim::PipeReadEnd>(pipe), inherit,
                                  sim::t_process);
  *hWritePipe = sim::NewItemHandle("pipe", std::make_shared<sim::PipeWriteEnd>(pipe), inherit,
                                   sim::t_process);
  return TRUE;
}

BOOL WINAPI DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle,
                            HANDLE hTargetProcessHandle, LPHANDLE lpTargetHandle,
                            DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwOptions) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("DuplicateHandle")) return FALSE;
  // Only within the current process, as the program does it.
  if (hSourceProcessHandle != GetCurrentProcess() || hTargetProcessHandle != GetCurrentProcess() ||
      !lpTargetHandle || !(dwOptions & DUPLICATE_SAME_ACCESS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HANDLE copy = sim::DuplicateKernelHandle(hSourceHandle, bInheritHandle != FALSE, sim::t_process);
  if (!copy) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (dwOptions & DUPLICATE_CLOSE_SOURCE) CloseHandle(hSourceHandle);
  *lpTargetHandle = copy;
  return TRUE;
}

BOOL WINAPI SetHandleInformation(HANDLE hObject, DWORD dwMask, DWORD dwFlags) {
  sim::ApiLock lock;
  // Windows 9x has no such function.
  if (sim::M().platform().family != sim::Family::NT) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
  }
  if ((dwMask & HANDLE_FLAG_INHERIT) &&
      !sim::SetHandleInheritable(hObject, (dwFlags & HANDLE_FLAG_INHERIT) != 0)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode) {
  sim::ApiLock lock;
  auto process = std::dynamic_pointer_cast<sim::ProcessItem>(sim::ItemOf(hProcess));
  if (!process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  sim::M().Note("TerminateProcess " + std::to_string(process->id) + " " +
                std::to_string(uExitCode));
  // A process that has ended can no longer be terminated.
  if (process->ended) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  sim::EndProcess(*process, uExitCode);
  return TRUE;
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
  sim::ApiLock lock;
  auto process = std::dynamic_pointer_cast<sim::ProcessItem>(sim::ItemOf(hProcess));
  if (!process || !lpExitCode) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  *lpExitCode = process->exit_code;
  return TRUE;
}

DWORD WINAPI GetCurrentProcessId(void) {
  return sim::t_process ? sim::t_process : sim::kProgramProcessId;
}

DWORD WINAPI ResumeThread(HANDLE hThread) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("ResumeThread")) return static_cast<DWORD>(-1);
  const char* kind = sim::KernelHandleKind(hThread);
  if (!kind || std::string(kind) != "thread") {
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<DWORD>(-1);
  }
  auto thread = std::dynamic_pointer_cast<sim::ProgramThreadItem>(sim::ItemOf(hThread));
  if (!thread || thread->suspend_count == 0) return 0;  // running already
  sim::M().Note("ResumeThread " + std::to_string(thread->process->id));
  const DWORD previous = thread->suspend_count--;
  if (thread->suspend_count == 0) {
    // A process ended while suspended never runs its program.
    if (!thread->process->ended) sim::StartMachineThread(std::move(thread->run));
    thread->run = nullptr;
  }
  return previous;
}

HANDLE WINAPI CreateJobObjectA(LPSECURITY_ATTRIBUTES lpJobAttributes, LPCSTR lpName) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("CreateJobObjectA")) return nullptr;
  (void)lpName;  // names are not modelled: every job object is a new one
  sim::M().Note("CreateJobObjectA");
  return sim::NewItemHandle("job", std::make_shared<sim::JobItem>(),
                            lpJobAttributes && lpJobAttributes->bInheritHandle, sim::t_process);
}

BOOL WINAPI SetInformationJobObject(HANDLE hJob, JOBOBJECTINFOCLASS JobObjectInformationClass,
                                    LPVOID lpJobObjectInformation,
                                    DWORD cbJobObjectInformationLength) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("SetInformationJobObject")) return FALSE;
  auto job = std::dynamic_pointer_cast<sim::JobItem>(sim::ItemOf(hJob));
  if (!job) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Only the limits are modelled; both records begin with the basic one.
  const DWORD needed = JobObjectInformationClass == JobObjectExtendedLimitInformation
                           ? sizeof(JOBOBJECT_EXTENDED_LIMIT_INFORMATION)
                           : sizeof(JOBOBJECT_BASIC_LIMIT_INFORMATION);
  if ((JobObjectInformationClass != JobObjectExtendedLimitInformation &&
       JobObjectInformationClass != JobObjectBasicLimitInformation) ||
      !lpJobObjectInformation || cbJobObjectInformationLength != needed) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto* limits = static_cast<const JOBOBJECT_BASIC_LIMIT_INFORMATION*>(lpJobObjectInformation);
  job->limit_flags = limits->LimitFlags;
  sim::M().Note("SetInformationJobObject " + std::to_string(JobObjectInformationClass) + " " +
                std::to_string(limits->LimitFlags));
  return TRUE;
}

BOOL WINAPI AssignProcessToJobObject(HANDLE hJob, HANDLE hProcess) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("AssignProcessToJobObject")) return FALSE;
  auto job = std::dynamic_pointer_cast<sim::JobItem>(sim::ItemOf(hJob));
  auto process = std::dynamic_pointer_cast<sim::ProcessItem>(sim::ItemOf(hProcess));
  if (!job || !process) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // Before Windows 8 a process belongs to one job at most, and an ended
  // one to none.
  if (process->in_job || process->ended) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  process->in_job = true;
  job->processes.push_back(process);
  sim::M().Note("AssignProcessToJobObject " + std::to_string(process->id));
  return TRUE;
}
