// The simulated kernel32 against what each Windows version does: version
// records, the per-thread last error, the module and folder queries with
// their truncation rules, process starts with the program search, the clock,
// the heap and message boxes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "sim/handles.h"
#include "sim/machine.h"
#include "sim/win32_api.h"

namespace {

using sim::M;
using sim::Platform;

constexpr DWORD kUntouched = 0xDEADBEEF;

TEST(SimKernel, VersionOfEachPlatform) {
  struct Expect {
    Platform platform;
    DWORD version, major, minor, build, platform_id;
    const char* csd;
  };
  const Expect table[] = {
      {Platform::Win95(), 0xC3B60004, 4, 0, 0x040003B6, VER_PLATFORM_WIN32_WINDOWS, ""},
      {Platform::Win98(), 0xC0000A04, 4, 10, 0x040A07CE, VER_PLATFORM_WIN32_WINDOWS, ""},
      {Platform::WinMe(), 0xC0005A04, 4, 90, 0x045A0BB8, VER_PLATFORM_WIN32_WINDOWS, ""},
      {Platform::NT4(), 0x05650004, 4, 0, 1381, VER_PLATFORM_WIN32_NT, ""},
      {Platform::NT4(true), 0x05650004, 4, 0, 1381, VER_PLATFORM_WIN32_NT, "Service Pack 6"},
      {Platform::Win2000(), 0x08930005, 5, 0, 2195, VER_PLATFORM_WIN32_NT, ""},
      {Platform::WinXP(), 0x0A280105, 5, 1, 2600, VER_PLATFORM_WIN32_NT, ""},
  };
  for (const Expect& e : table) {
    SCOPED_TRACE(e.platform.name);
    M().Reset(e.platform);
    EXPECT_EQ(GetVersion(), e.version);
    OSVERSIONINFOA info;
    std::memset(&info, 0x55, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    SetLastError(kUntouched);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), kUntouched);
    EXPECT_EQ(info.dwMajorVersion, e.major);
    EXPECT_EQ(info.dwMinorVersion, e.minor);
    EXPECT_EQ(info.dwBuildNumber, e.build);
    EXPECT_EQ(info.dwPlatformId, e.platform_id);
    EXPECT_STREQ(info.szCSDVersion, e.csd);
  }
}

TEST(SimKernel, ExtendedVersionRecordOnlyWhereSupported) {
  auto ask = [](DWORD size, OSVERSIONINFOEXA* ex) {
    std::memset(ex, 0, sizeof(*ex));
    ex->dwOSVersionInfoSize = size;
    SetLastError(kUntouched);
    return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(ex));
  };
  OSVERSIONINFOEXA ex;
  M().Reset(Platform::WinXP());
  ASSERT_TRUE(ask(sizeof(OSVERSIONINFOEXA), &ex));
  EXPECT_EQ(ex.dwBuildNumber, 2600u);
  EXPECT_EQ(ex.wProductType, 1);  // a workstation
  EXPECT_EQ(ex.wServicePackMajor, 0);
  EXPECT_FALSE(ask(sizeof(OSVERSIONINFOA) + 1, &ex));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

  M().Reset(Platform::NT4(true));
  ASSERT_TRUE(ask(sizeof(OSVERSIONINFOEXA), &ex));
  EXPECT_EQ(ex.wServicePackMajor, 6);

  M().Reset(Platform::NT4(false));
  EXPECT_FALSE(ask(sizeof(OSVERSIONINFOEXA), &ex));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(ex.dwMajorVersion, 0u);

  // Windows 9x refuses without setting the last error.
  M().Reset(Platform::Win95());
  EXPECT_FALSE(ask(sizeof(OSVERSIONINFOEXA), &ex));
  EXPECT_EQ(GetLastError(), kUntouched);
  EXPECT_FALSE(ask(0, &ex));
  EXPECT_EQ(GetLastError(), kUntouched);
}

TEST(SimKernel, LastErrorBelongsToEachThread) {
  M().Reset(Platform::WinXP());
  EXPECT_EQ(GetLastError(), 0u);
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seen_first = kUntouched, seen_after = 0;
  std::thread other([&] {
    seen_first = GetLastError();
    SetLastError(ERROR_FILE_NOT_FOUND);
    seen_after = GetLastError();
  });
  other.join();
  EXPECT_EQ(seen_first, 0u);
  EXPECT_EQ(seen_after, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  M().Reset(Platform::Win98());
  EXPECT_EQ(GetLastError(), 0u);
}

TEST(SimKernel, CommandLineAndEnvironmentBlock) {
  M().Reset(Platform::Win2000());
  LPSTR line = GetCommandLineA();
  EXPECT_STREQ(line, "C:\\tavrin\\setup.exe");
  EXPECT_EQ(GetCommandLineA(), line);  // the same buffer every time
  M().command_line = "\"C:\\tavrin\\setup.exe\" /uninstall";
  EXPECT_STREQ(GetCommandLineA(), "\"C:\\tavrin\\setup.exe\" /uninstall");

  M().environment = {"PATH=C:\\WINNT", "TEMP=C:\\TEMP"};
  LPCH block = GetEnvironmentStrings();
  ASSERT_NE(block, nullptr);
  EXPECT_STREQ(block, "PATH=C:\\WINNT");
  EXPECT_STREQ(block + 14, "TEMP=C:\\TEMP");
  EXPECT_EQ(block[14 + 13], '\0');
  EXPECT_TRUE(FreeEnvironmentStringsA(block));
  EXPECT_FALSE(FreeEnvironmentStringsA(block));

  M().environment.clear();
  block = GetEnvironmentStrings();
  EXPECT_EQ(block[0], '\0');
  EXPECT_EQ(block[1], '\0');
  FreeEnvironmentStringsA(block);
}

TEST(SimKernel, ModuleFileNameAndItsTruncation) {
  const std::string path = "C:\\tavrin\\setup.exe";  // 19 characters
  char buf[64];
  for (const Platform& platform : {Platform::WinXP(), Platform::NT4(), Platform::Win98()}) {
    SCOPED_TRACE(platform.name);
    M().Reset(platform);
    bool nt = platform.family == sim::Family::NT;
    std::memset(buf, 'x', sizeof(buf));
    EXPECT_EQ(GetModuleFileNameA(nullptr, buf, sizeof(buf)), 19u);
    EXPECT_EQ(buf, path);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buf, 20), 19u);

    // NT fills the buffer without a NUL; 9x keeps the last byte for it.
    std::memset(buf, 'x', sizeof(buf));
    SetLastError(kUntouched);
    DWORD n = GetModuleFileNameA(nullptr, buf, 19);
    EXPECT_EQ(GetLastError(), kUntouched);
    if (nt) {
      EXPECT_EQ(n, 19u);
      EXPECT_EQ(std::string(buf, 20), path + "x");
    } else {
      EXPECT_EQ(n, 18u);
      EXPECT_EQ(std::string(buf), path.substr(0, 18));
    }
    std::memset(buf, 'x', sizeof(buf));
    n = GetModuleFileNameA(nullptr, buf, 8);
    EXPECT_EQ(n, nt ? 8u : 7u);
    EXPECT_EQ(std::string(buf, 9), nt ? std::string("C:\\tavrix") : std::string("C:\\tavr\0x", 9));
  }

  M().Reset(Platform::WinXP());
  HMODULE self = GetModuleHandleA(nullptr);
  EXPECT_NE(self, nullptr);
  EXPECT_EQ(GetModuleHandleA("SETUP.EXE"), self);
  HMODULE kernel = GetModuleHandleA("KERNEL32");
  ASSERT_NE(kernel, nullptr);
  EXPECT_EQ(GetModuleFileNameA(kernel, buf, sizeof(buf)), 32u);
  EXPECT_STREQ(buf, "C:\\WINDOWS\\system32\\kernel32.dll");
  EXPECT_EQ(GetModuleHandleA("tavmon.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(SimKernel, SystemAndWindowsFolders) {
  M().Reset(Platform::WinXP());
  char buf[MAX_PATH];
  EXPECT_EQ(GetSystemDirectoryA(buf, sizeof(buf)), 19u);
  EXPECT_STREQ(buf, "C:\\WINDOWS\\system32");
  EXPECT_EQ(GetWindowsDirectoryA(buf, sizeof(buf)), 10u);
  EXPECT_STREQ(buf, "C:\\WINDOWS");
  // Too small: the size needed with the NUL, and nothing written.
  std::strcpy(buf, "keep");
  EXPECT_EQ(GetSystemDirectoryA(buf, 19), 20u);
  EXPECT_EQ(GetWindowsDirectoryA(buf, 10), 11u);
  EXPECT_STREQ(buf, "keep");

  M().system_directory_fails = true;
  SetLastError(kUntouched);
  EXPECT_EQ(GetSystemDirectoryA(buf, sizeof(buf)), 0u);
  EXPECT_EQ(GetLastError(), kUntouched);

  M().Reset(Platform::Win95());
  EXPECT_EQ(GetSystemDirectoryA(buf, sizeof(buf)), 17u);
  EXPECT_STREQ(buf, "C:\\WINDOWS\\SYSTEM");
}

// Starts a command line the way the program does and returns the error, or 0.
DWORD Start(const char* app, std::string command_line) {
  STARTUPINFOA si;
  std::memset(&si, 0, sizeof(si));
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi;
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  if (!CreateProcessA(app, command_line.empty() ? nullptr : line.data(), nullptr, nullptr, FALSE,
                      0, nullptr, nullptr, &si, &pi))
    return GetLastError();
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return 0;
}

TEST(SimKernel, CreateProcessSearchesForThePrograms) {
  M().Reset(Platform::WinXP());
  EXPECT_EQ(Start(nullptr, "rundll32.exe url.dll,FileProtocolHandler http://tavrin"), 0u);
  EXPECT_EQ(Start(nullptr, "RUNDLL32 shell32.dll,Control_RunDLL"), 0u);  // ".exe" added
  EXPECT_EQ(Start(nullptr, "\"rundll32.exe\" x"), 0u);
  EXPECT_EQ(Start(nullptr, "C:\\TEMP\\rundll32.exe x"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Start(nullptr, "notthere.exe"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Start(nullptr, "rundll32. x"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  const sim::ProcessRecord& failed = M().processes.back();
  EXPECT_FALSE(failed.started);
  EXPECT_EQ(failed.error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // The program's own folder comes first, then the current directory and PATH.
  M().current_directory = "C:\\TEMP";
  M().files.Put("C:\\tavrin\\helper.exe", "MZ");
  M().files.Put("C:\\TEMP\\here.exe", "MZ");
  M().files.Put("D:\\tools\\far.exe", "MZ");
  EXPECT_EQ(Start(nullptr, "helper /x"), 0u);
  EXPECT_EQ(Start(nullptr, "here"), 0u);
  EXPECT_EQ(Start(nullptr, "far"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  M().environment[0] += ";D:\\tools\\";
  EXPECT_EQ(Start(nullptr, "far"), 0u);

  // On 9x rundll32.exe lives in the Windows folder.
  M().Reset(Platform::Win98());
  EXPECT_EQ(Start(nullptr, "rundll32.exe url.dll,FileProtocolHandler x"), 0u);
}

TEST(SimKernel, CreateProcessNamesWithBlanks) {
  M().Reset(Platform::Win2000());
  M().files.Put("C:\\Program Files\\Tavrin\\tool.exe", "MZ");
  EXPECT_EQ(Start(nullptr, "C:\\Program Files\\Tavrin\\tool.exe /quiet"), 0u);
  EXPECT_EQ(Start(nullptr, "\"C:\\Program Files\\Tavrin\\tool\" /quiet"), 0u);
  EXPECT_EQ(Start(nullptr, "C:\\Program Files\\Tavrin\\gone.exe /quiet"),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  // Unquoted, the shorter names are tried first: a C:\Program.exe runs instead.
  M().files.Put("C:\\Program.exe", "MZ");
  EXPECT_EQ(Start(nullptr, "C:\\Program Files\\Tavrin\\gone.exe /quiet"), 0u);
  EXPECT_EQ(Start(nullptr, "\"C:\\Program Files\\Tavrin\\gone.exe\" /quiet"),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  // An application name is taken as it stands: no search, no ".exe".
  M().current_directory = "C:\\WINNT\\system32";
  EXPECT_EQ(Start("rundll32.exe", "rundll32 x"), 0u);
  EXPECT_EQ(Start("rundll32", "rundll32 x"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  M().current_directory = "C:\\tavrin";
  EXPECT_EQ(Start("rundll32.exe", "rundll32 x"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(Start("C:\\WINNT\\system32\\rundll32.exe", ""), 0u);
}

TEST(SimKernel, CreateProcessRecordsTheCall) {
  M().Reset(Platform::WinXP());
  char line[] = "rundll32.exe printui.dll,PrintUIEntry /il";
  char env[] = "A=1\0B=two\0";
  char desktop[] = "winsta0\\default";
  char title[] = "Tavrin";
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  STARTUPINFOA si;
  std::memset(&si, 0, sizeof(si));
  si.cb = sizeof(si);
  si.lpDesktop = desktop;
  si.lpTitle = title;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessA(nullptr, line, &sa, nullptr, TRUE, CREATE_NO_WINDOW, env, "C:\\TEMP",
                             &si, &pi));
  ASSERT_EQ(M().processes.size(), 1u);
  const sim::ProcessRecord& r = M().processes[0];
  EXPECT_FALSE(r.has_application_name);
  EXPECT_EQ(r.command_line, line);
  EXPECT_TRUE(r.process_attributes);
  EXPECT_FALSE(r.thread_attributes);
  EXPECT_EQ(r.inherit_handles, TRUE);
  EXPECT_EQ(r.creation_flags, static_cast<DWORD>(CREATE_NO_WINDOW));
  EXPECT_TRUE(r.environment_passed);
  EXPECT_EQ(r.environment, (std::vector<std::string>{"A=1", "B=two"}));
  EXPECT_TRUE(r.has_current_directory);
  EXPECT_EQ(r.current_directory, "C:\\TEMP");
  EXPECT_EQ(r.startup.wShowWindow, SW_HIDE);
  EXPECT_EQ(r.startup_desktop, "winsta0\\default");
  EXPECT_EQ(r.startup_title, "Tavrin");
  EXPECT_TRUE(r.started);
  EXPECT_EQ(M().journal.back(), std::string("CreateProcessA ") + line);

  EXPECT_STREQ(sim::KernelHandleKind(pi.hProcess), "process");
  EXPECT_STREQ(sim::KernelHandleKind(pi.hThread), "thread");
  EXPECT_NE(pi.dwProcessId, pi.dwThreadId);
  EXPECT_EQ(M().files.OpenHandles(), 0);  // process handles are no file handles
  EXPECT_TRUE(CloseHandle(pi.hThread));
  EXPECT_TRUE(CloseHandle(pi.hProcess));
  EXPECT_EQ(sim::OpenKernelHandles("process") + sim::OpenKernelHandles("thread"), 0);

  // Refused calls are recorded too.
  si.cb = sizeof(si) - 4;
  EXPECT_FALSE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  si.cb = sizeof(si);
  EXPECT_FALSE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, "C:\\nodir", &si, &pi));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
  M().FailCall("CreateProcessA", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  ASSERT_EQ(M().processes.size(), 4u);
  EXPECT_EQ(M().processes[1].error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(M().processes[2].error, static_cast<DWORD>(ERROR_DIRECTORY));
  EXPECT_EQ(M().processes[3].error, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_FALSE(M().processes[3].started);
}

TEST(SimKernel, SleepAdvancesTheVirtualClock) {
  M().Reset(Platform::WinXP());
  EXPECT_EQ(GetTickCount(), 0u);
  Sleep(1500);
  Sleep(0);
  EXPECT_EQ(M().Sleeps(), (std::vector<DWORD>{1500, 0}));
  EXPECT_EQ(M().journal.front(), "Sleep 1500");
  EXPECT_EQ(GetTickCount(), 1500u);
  SYSTEMTIME st;
  GetLocalTime(&st);
  EXPECT_EQ(st.wYear, 2002);
  EXPECT_EQ(st.wMonth, 12);
  EXPECT_EQ(st.wDay, 3);
  EXPECT_EQ(st.wDayOfWeek, 2);  // a Tuesday
  EXPECT_EQ(st.wHour, 21);
  EXPECT_EQ(st.wMinute, 35);
  EXPECT_EQ(st.wSecond, 1);
  EXPECT_EQ(st.wMilliseconds, 500);

  M().SetLocalTime(2002, 12, 31, 23, 59, 59);
  Sleep(1000);
  GetLocalTime(&st);
  EXPECT_EQ(st.wYear, 2003);
  EXPECT_EQ(st.wMonth, 1);
  EXPECT_EQ(st.wDay, 1);
  EXPECT_EQ(st.wSecond, 0);
}

TEST(SimKernel, MessageBoxAnswers) {
  M().Reset(Platform::WinXP());
  EXPECT_EQ(MessageBoxA(nullptr, "Done.", "Tavrin", MB_OK | MB_ICONASTERISK), IDOK);
  EXPECT_EQ(MessageBoxA(nullptr, "Remove?", "Tavrin", MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(MessageBoxA(nullptr, "Go on?", "Tavrin", MB_OKCANCEL), IDOK);
  M().answers = {IDYES, IDCANCEL};
  EXPECT_EQ(MessageBoxA(nullptr, "Remove?", "Tavrin", MB_YESNO), IDYES);
  EXPECT_EQ(MessageBoxA(nullptr, "Go on?", nullptr, MB_OKCANCEL), IDCANCEL);
  EXPECT_TRUE(M().answers.empty());

  ASSERT_EQ(M().message_boxes.size(), 5u);
  const sim::MessageBoxRecord& last = M().message_boxes.back();
  EXPECT_EQ(last.text, "Go on?");
  EXPECT_EQ(last.caption, "Error");
  EXPECT_EQ(last.type, static_cast<UINT>(MB_OKCANCEL));
  EXPECT_EQ(last.answer, IDCANCEL);
  EXPECT_EQ(M().message_boxes[1].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
  EXPECT_EQ(M().journal.front(), "MessageBoxA Done.");
}

TEST(SimKernel, ProcessHeap) {
  M().Reset(Platform::WinXP());
  HANDLE heap = GetProcessHeap();
  ASSERT_NE(heap, nullptr);
  auto* block = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 64));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(block[i], 0);
  EXPECT_TRUE(HeapFree(heap, 0, block));
  EXPECT_FALSE(HeapFree(heap, 0, block));  // freed twice
  EXPECT_TRUE(HeapFree(heap, 0, nullptr));

  M().FailCall("HeapAlloc", ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(kUntouched);
  EXPECT_EQ(HeapAlloc(heap, 0, 16), nullptr);
  EXPECT_EQ(GetLastError(), kUntouched);
  void* again = HeapAlloc(heap, 0, 16);
  EXPECT_NE(again, nullptr);
  HeapFree(heap, 0, again);
}

}  // namespace
