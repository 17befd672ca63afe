// The simulated machine's threads, pipes and programs: a program reads what
// a pipe carries and ends when it is done or ended; a full pipe holds its
// writer until the reader makes room or goes; timed waits run on the
// virtual clock, so a watchdog waiting ten minutes wakes at once and never
// early; and only the handles a program inherits reach it.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "sim/handles.h"
#include "sim/machine.h"
#include "sim/programs.h"
#include "sim/win32_api.h"

namespace {

using sim::M;

constexpr char kProgram[] = "C:\\tools\\prog.exe";
constexpr char kPdf[] = "C:\\out\\job.pdf";

class SimProcesses : public ::testing::Test {
 protected:
  void SetUp() override {
    M().Reset(sim::Platform::WinXP());
    M().files.MakeDirectory("C:\\out");
  }

  // Starts kProgram with `command_line` reading the read end of a new pipe
  // of `pipe_bytes`; *input receives the write end.
  PROCESS_INFORMATION Start(const std::string& command_line, HANDLE* input,
                            DWORD pipe_bytes = 4096, bool inheritable = true) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, inheritable};
    HANDLE read_end = nullptr;
    EXPECT_TRUE(CreatePipe(&read_end, input, &inherit, pipe_bytes));
    EXPECT_TRUE(SetHandleInformation(*input, HANDLE_FLAG_INHERIT, 0));
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = read_end;
    PROCESS_INFORMATION info{};
    std::string line = command_line;
    EXPECT_TRUE(CreateProcessA(kProgram, &line[0], nullptr, nullptr, TRUE, DETACHED_PROCESS,
                               nullptr, nullptr, &startup, &info));
    CloseHandle(read_end);
    return info;
  }

  static DWORD ExitCode(HANDLE process) {
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    return code;
  }

  static DWORD Write(HANDLE input, const std::string& data) {
    DWORD written = 0;
    return WriteFile(input, data.data(), static_cast<DWORD>(data.size()), &written, nullptr)
               ? ERROR_SUCCESS
               : GetLastError();
  }
};

TEST_F(SimProcesses, ConverterReadsAJobLargerThanItsPipeAndLeavesNoHandle) {
  M().InstallProgram(kProgram, sim::programs::PdfWriter());
  HANDLE input = nullptr;
  PROCESS_INFORMATION info = Start("prog -sOutputFile=\"C:\\out\\job.pdf\" -", &input);
  std::string job;
  for (int i = 0; job.size() < 100000; ++i) job += "line " + std::to_string(i) + "\n";
  EXPECT_EQ(Write(input, job), ERROR_SUCCESS);  // 25 times the pipe: the program made room
  CloseHandle(input);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(ExitCode(info.hProcess), 0u);
  EXPECT_EQ(M().files.Get(kPdf), "%PDF-1.4\n" + job + "\n%%EOF\n");
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);
  EXPECT_EQ(M().files.OpenHandles(), 0);
  EXPECT_EQ(sim::OpenKernelHandles("pipe") + sim::OpenKernelHandles("process"), 0);
  EXPECT_EQ(M().now_ms, 0u);              // no time passed: nobody waited for a clock
}

// From Windows 2000 on: a program created suspended runs only from
// ResumeThread on, and closing its kill-on-close job object ends it.
TEST_F(SimProcesses, SuspendedProgramRunsFromResumeAndEndsWithItsJobObject) {
  std::atomic<bool> ran{false};
  M().InstallProgram(kProgram, [&ran](const sim::ProgramStart&) -> DWORD {
    ran = true;
    sim::WaitForProgramEnd();
    return 7;
  });
  ASSERT_NE(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateJobObjectA"), nullptr);
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  ASSERT_NE(job, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  ASSERT_TRUE(SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                      sizeof(limits)));
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  char line[] = "prog";
  ASSERT_TRUE(CreateProcessA(kProgram, line, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                             nullptr, &startup, &info));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 1000), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FALSE(ran);
  ASSERT_TRUE(AssignProcessToJobObject(job, info.hProcess));
  EXPECT_FALSE(AssignProcessToJobObject(job, info.hProcess));  // one job a process
  EXPECT_EQ(ResumeThread(info.hThread), 1u);
  EXPECT_EQ(ResumeThread(info.hThread), 0u);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 1000), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(ran);
  CloseHandle(job);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(ExitCode(info.hProcess), 0u);
  CloseHandle(info.hProcess);
  CloseHandle(info.hThread);

  M().Reset(sim::Platform::NT4());
  EXPECT_EQ(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateJobObjectA"), nullptr);
}

TEST_F(SimProcesses, ProgramThatStopsReadingBreaksThePipe) {
  M().InstallProgram(kProgram, sim::programs::StopsReadingAfter(1000, 3));
  HANDLE input = nullptr;
  PROCESS_INFORMATION info = Start("prog", &input, 512);
  EXPECT_EQ(Write(input, std::string(5000, 'x')), static_cast<DWORD>(ERROR_NO_DATA));
  EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_OBJECT_0);
  EXPECT_EQ(ExitCode(info.hProcess), 3u);
  EXPECT_FALSE(M().files.Exists(kPdf));
}

// The monitor's watchdog: a thread that ends the program when a write has
// stalled, while the writer is blocked in the full pipe.
struct Watch {
  HANDLE process;
  HANDLE stop;
};

DWORD WINAPI Watchdog(LPVOID context) {
  auto* watch = static_cast<Watch*>(context);
  if (WaitForSingleObject(watch->stop, 600000) == WAIT_TIMEOUT)
    TerminateProcess(watch->process, ERROR_TIMEOUT);
  return 0;
}

TEST_F(SimProcesses, TimedWaitWakesWhenEverythingElseWaitsAndEndsTheHungProgram) {
  M().InstallProgram(kProgram, sim::programs::Hangs());
  HANDLE input = nullptr;
  PROCESS_INFORMATION info = Start("prog", &input, 1024);
  Watch watch{info.hProcess, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HANDLE thread = CreateThread(nullptr, 0, Watchdog, &watch, 0, nullptr);
  // Blocks in the full pipe until the watchdog's ten virtual minutes are up.
  EXPECT_EQ(Write(input, std::string(4096, 'x')), static_cast<DWORD>(ERROR_NO_DATA));
  EXPECT_EQ(M().now_ms, 600000u);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(ExitCode(info.hProcess), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_FALSE(TerminateProcess(info.hProcess, 1));  // it has ended
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  // A wait that is satisfied in time does not move the clock.
  M().InstallProgram(kProgram, sim::programs::PdfWriter());
  PROCESS_INFORMATION second = Start("prog -sOutputFile=C:\\out\\b.pdf", &input);
  CloseHandle(input);
  EXPECT_EQ(WaitForSingleObject(second.hProcess, 600000), WAIT_OBJECT_0);
  EXPECT_EQ(M().now_ms, 600000u);
}

TEST_F(SimProcesses, OnlyInheritedHandlesReachTheProgramWhichStartsWithoutALastError) {
  std::string seen;
  M().InstallProgram(kProgram, [&seen](const sim::ProgramStart& start) -> DWORD {
    seen = start.input ? "input" : "no input";
    return GetLastError();
  });
  SetLastError(ERROR_ACCESS_DENIED);
  HANDLE input = nullptr;
  PROCESS_INFORMATION info = Start("prog", &input, 4096, /*inheritable=*/false);
  EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(seen, "no input");
  EXPECT_EQ(ExitCode(info.hProcess), 0u);
  // With the input no longer read by anyone, the writer is told at once.
  EXPECT_EQ(Write(input, "x"), static_cast<DWORD>(ERROR_NO_DATA));
}

}  // namespace
