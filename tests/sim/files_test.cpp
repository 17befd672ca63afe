// The simulated file system against what Windows does: names, dispositions,
// sharing, files held by others or mapped as modules, failing media, full
// disks, wide names against ANSI ones, the standard handles and the handle
// table.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/handles.h"
#include "sim/machine.h"
#include "sim/win32_api.h"
#include "test_support.h"

namespace {

using sim::M;
using sim::Platform;
using test::OpenError;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kUntouched = 0xDEADBEEF;

HANDLE Open(const std::string& path, DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING) {
  return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

DWORD DeleteError(const std::string& path) {
  return DeleteFileA(path.c_str()) ? 0 : GetLastError();
}

DWORD MoveError(const std::string& from, const std::string& to) {
  return MoveFileA(from.c_str(), to.c_str()) ? 0 : GetLastError();
}

std::string ReadAll(HANDLE h) {
  std::string out;
  char buf[64];
  DWORD got = 0;
  while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got > 0) out.append(buf, got);
  return out;
}

bool Write(HANDLE h, const std::string& text, DWORD* written = nullptr) {
  DWORD n = 0;
  BOOL ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
  if (written) *written = n;
  return ok != FALSE;
}

bool Journaled(const std::string& line) {
  for (const std::string& entry : M().journal)
    if (entry == line) return true;
  return false;
}

// UTF-16 text as the wide functions take it: one code unit to a wchar_t.
std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

HANDLE OpenWide(const std::wstring& path, DWORD access, DWORD share,
                DWORD disposition = OPEN_EXISTING) {
  return CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// The name FindFirstFileA gives for `pattern`, or "" when it finds none.
std::string FoundName(const char* pattern) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) return std::string();
  FindClose(find);
  return data.cFileName;
}

const char kFile[] = "C:\\tavrin\\data.bin";

TEST(SimFiles, NamesIgnoreCaseKeepTheirSpellingAndTakeSlashes) {
  M().Reset(Platform::WinXP());
  HANDLE h = Open("C:\\tavrin\\Read Me.TXT", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Write(h, "abc"));
  CloseHandle(h);

  EXPECT_TRUE(M().files.Exists("c:/TAVRIN/read me.txt"));
  EXPECT_EQ(M().files.NameOf("C:\\TAVRIN\\READ ME.TXT"), "C:\\tavrin\\Read Me.TXT");
  EXPECT_EQ(M().files.NameOf("c:\\"), "C:\\");
  h = Open("c:/tavrin/READ ME.txt", GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(h), "abc");
  CloseHandle(h);

  // Relative names start at the current directory; nothing else is tidied.
  EXPECT_EQ(OpenError("read me.txt", GENERIC_READ, FILE_SHARE_READ), 0u);
  EXPECT_EQ(GetFileAttributesA("C:\\tavrin\\\\Read Me.TXT"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA("C:\\tavrin\\.\\Read Me.TXT"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(M().files.List("C:\\TAVRIN"), (std::vector<std::string>{"Read Me.TXT", "setup.exe"}));
}

TEST(SimFiles, MissingFilesFoldersAndDrives) {
  M().Reset(Platform::Win2000());
  EXPECT_EQ(OpenError("C:\\tavrin\\none.txt", GENERIC_READ, FILE_SHARE_READ),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenError("C:\\nodir\\new.txt", GENERIC_WRITE, 0, CREATE_ALWAYS),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(OpenError("D:\\new.txt", GENERIC_WRITE, 0, CREATE_ALWAYS),
            static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(M().files.DirectoryExists("C:\\nodir"));  // a failed create makes no folder

  EXPECT_EQ(GetFileAttributesA("C:\\tavrin\\none.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA("C:\\nodir\\none.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA("C:\\tavrin\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

  EXPECT_FALSE(CreateDirectoryA("C:\\nodir\\sub", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(CreateDirectoryA("c:\\TAVRIN", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(CreateDirectoryA("C:\\nodir", nullptr));
  EXPECT_TRUE(CreateDirectoryA("C:\\nodir\\Sub\\", nullptr));
  EXPECT_EQ(M().files.NameOf("c:\\NODIR\\sub"), "C:\\nodir\\Sub");
  EXPECT_EQ(DeleteError("C:\\nodir\\none.txt"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(DeleteError("C:\\other\\none.txt"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

  EXPECT_TRUE(Journaled("CreateFileA C:\\nodir\\new.txt"));
  EXPECT_TRUE(Journaled("CreateDirectoryA C:\\nodir\\sub"));
  EXPECT_TRUE(Journaled("CreateDirectoryA C:\\nodir"));
  EXPECT_TRUE(Journaled("DeleteFileA C:\\nodir\\none.txt -> 2"));
}

TEST(SimFiles, DispositionsAndTheirLastErrors) {
  M().Reset(Platform::WinXP());
  auto open = [](DWORD disposition, DWORD access = GENERIC_READ | GENERIC_WRITE) {
    SetLastError(kUntouched);
    return Open(kFile, access, 0, disposition);
  };
  HANDLE h = open(CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), 0u);
  Write(h, "12345");
  CloseHandle(h);

  EXPECT_EQ(open(CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

  h = open(OPEN_ALWAYS);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(GetFileSize(h, nullptr), 5u);
  CloseHandle(h);
  h = open(OPEN_EXISTING);
  EXPECT_EQ(GetLastError(), 0u);
  CloseHandle(h);

  h = open(CREATE_ALWAYS);  // succeeds, truncates, and says the file was there
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(GetFileSize(h, nullptr), 0u);
  Write(h, "xy");
  CloseHandle(h);

  EXPECT_EQ(open(TRUNCATE_EXISTING, GENERIC_READ), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  h = open(TRUNCATE_EXISTING, GENERIC_WRITE);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(*M().files.Get(kFile), "");
  CloseHandle(h);

  M().files.Remove(kFile);
  EXPECT_EQ(open(TRUNCATE_EXISTING, GENERIC_WRITE), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  h = open(OPEN_ALWAYS);
  EXPECT_EQ(GetLastError(), 0u);
  CloseHandle(h);
  M().files.Remove(kFile);
  h = open(CREATE_ALWAYS);
  EXPECT_EQ(GetLastError(), 0u);
  CloseHandle(h);
  EXPECT_EQ(open(0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // Only opens that may change the file are journaled.
  M().journal.clear();
  CloseHandle(Open(kFile, GENERIC_READ, FILE_SHARE_READ));
  EXPECT_TRUE(M().journal.empty());
  CloseHandle(Open(kFile, GENERIC_WRITE, 0));
  EXPECT_EQ(M().journal, std::vector<std::string>{std::string("CreateFileA ") + kFile});
}

TEST(SimFiles, SharingIsCheckedInBothDirections) {
  M().Reset(Platform::WinXP());
  M().files.Put(kFile, "data");
  // An existing reader that shares reading only.
  HANDLE reader = Open(kFile, GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenError(kFile, GENERIC_READ, FILE_SHARE_READ), 0u);
  EXPECT_EQ(OpenError(kFile, GENERIC_WRITE, kShareAll), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(OpenError(kFile, GENERIC_READ, 0), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(OpenError(kFile, 0, 0), 0u);  // attributes only: no sharing check
  // Truncating counts as writing, whatever access was asked for.
  EXPECT_EQ(OpenError(kFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS),
            static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(reader);

  // An existing writer that shares everything still needs the newcomer to
  // share writing.
  HANDLE writer = Open(kFile, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenError(kFile, GENERIC_READ, FILE_SHARE_READ), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(OpenError(kFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE), 0u);
  EXPECT_EQ(M().files.OpenHandles(), 1);
  CloseHandle(writer);
  EXPECT_EQ(OpenError(kFile, GENERIC_READ | GENERIC_WRITE, 0), 0u);
  EXPECT_EQ(M().files.OpenHandles(), 0);
}

TEST(SimFiles, DeletingOpenFilesNtAgainst9x) {
  M().Reset(Platform::WinXP());
  M().files.Put(kFile, "data");
  HANDLE h = Open(kFile, GENERIC_READ, FILE_SHARE_READ);
  EXPECT_EQ(DeleteError(kFile), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(h);
  // Shared for deletion: the name stays until the last handle goes, and
  // nobody can open it meanwhile.
  h = Open(kFile, GENERIC_READ, kShareAll);
  EXPECT_EQ(DeleteError(kFile), 0u);
  EXPECT_TRUE(M().files.Exists(kFile));
  EXPECT_EQ(OpenError(kFile, GENERIC_READ, kShareAll), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(GetFileAttributesA(kFile), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ReadAll(h), "data");
  CloseHandle(h);
  EXPECT_FALSE(M().files.Exists(kFile));
  EXPECT_TRUE(Journaled(std::string("DeleteFileA ") + kFile + " -> 32"));
  EXPECT_TRUE(Journaled(std::string("DeleteFileA ") + kFile + " -> ok"));

  M().Reset(Platform::Win98());
  M().files.Put(kFile, "data");
  EXPECT_EQ(OpenError(kFile, GENERIC_READ, kShareAll), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  h = Open(kFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_EQ(DeleteError(kFile), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(MoveError(kFile, "C:\\tavrin\\moved.bin"), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(h);
  EXPECT_EQ(DeleteError(kFile), 0u);
  EXPECT_FALSE(M().files.Exists(kFile));
}

TEST(SimFiles, FilesInUseByAnotherProcess) {
  for (const Platform& platform : {Platform::WinXP(), Platform::WinMe()}) {
    SCOPED_TRACE(platform.name);
    M().Reset(platform);
    M().files.Put(kFile, "data");
    M().files.SetInUse(kFile, true);
    EXPECT_EQ(OpenError(kFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(OpenError(kFile, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS),
              static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(DeleteError(kFile), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(MoveError(kFile, "C:\\tavrin\\moved.bin"), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(*M().files.Get(kFile), "data");
    M().files.ReleaseAll();
    EXPECT_EQ(DeleteError(kFile), 0u);
  }
}

TEST(SimFiles, LoadedModulesNtAgainst9x) {
  const std::string dll = "C:\\WINDOWS\\system32\\tavmon.dll";
  M().Reset(Platform::WinXP());
  M().files.Put(dll, "MZ monitor");
  M().files.SetLoaded(dll, true);
  EXPECT_EQ(OpenError(dll, GENERIC_READ, FILE_SHARE_READ), 0u);
  EXPECT_EQ(OpenError(dll, GENERIC_READ, 0), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(OpenError(dll, GENERIC_WRITE, kShareAll), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(OpenError(dll, GENERIC_READ, kShareAll, CREATE_ALWAYS),
            static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(DeleteError(dll), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  // NT renames a mapped module; the mapping goes with the new name.
  const std::string old_name = "C:\\WINDOWS\\system32\\tavmon.old";
  EXPECT_EQ(MoveError(dll, old_name), 0u);
  EXPECT_TRUE(M().files.IsLoaded(old_name));
  EXPECT_FALSE(M().files.IsLoaded(dll));
  EXPECT_EQ(DeleteError(old_name), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  M().files.ReleaseAll();
  EXPECT_FALSE(M().files.IsLoaded(old_name));
  EXPECT_EQ(DeleteError(old_name), 0u);

  M().Reset(Platform::Win95());
  const std::string dll9x = "C:\\WINDOWS\\SYSTEM\\TAVMON.DLL";
  M().files.Put(dll9x, "MZ monitor");
  M().files.SetLoaded(dll9x, true);
  EXPECT_EQ(OpenError(dll9x, GENERIC_READ, FILE_SHARE_READ), 0u);
  EXPECT_EQ(OpenError(dll9x, GENERIC_WRITE, FILE_SHARE_READ), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(DeleteError(dll9x), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(MoveError(dll9x, "C:\\WINDOWS\\SYSTEM\\TAVMON.OLD"),
            static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

TEST(SimFiles, ReadOnlyFilesAndFolders) {
  M().Reset(Platform::NT4());
  M().files.Put(kFile, "data");
  M().files.SetReadOnly(kFile, true);
  EXPECT_EQ(GetFileAttributesA(kFile),
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(OpenError(kFile, GENERIC_READ, FILE_SHARE_READ), 0u);
  EXPECT_EQ(OpenError(kFile, GENERIC_WRITE, 0), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(OpenError(kFile, GENERIC_READ, 0, CREATE_ALWAYS), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(DeleteError(kFile), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(MoveError(kFile, "C:\\tavrin\\renamed.bin"), 0u);  // renaming is allowed

  EXPECT_EQ(OpenError("C:\\tavrin", GENERIC_READ, FILE_SHARE_READ), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(OpenError("C:\\tavrin", GENERIC_WRITE, 0, CREATE_NEW), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(DeleteError("C:\\tavrin"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(SimFiles, UsersWithoutAdministratorRightsOnNt) {
  const std::string driver = "C:\\WINNT\\system32\\spool\\drivers\\w32x86\\tavrin.dll";
  M().Reset(Platform::Win2000());
  M().administrator = false;
  M().files.Put("C:\\WINNT\\system32\\present.dll", "MZ");
  EXPECT_EQ(OpenError(driver, GENERIC_WRITE, 0, CREATE_ALWAYS), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(OpenError("C:\\WINNT\\system32\\present.dll", GENERIC_READ, FILE_SHARE_READ), 0u);
  EXPECT_EQ(DeleteError("C:\\WINNT\\system32\\present.dll"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(CreateDirectoryA("C:\\WINNT\\Tavrin", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(OpenError("C:\\tavrin\\log.txt", GENERIC_WRITE, 0, CREATE_ALWAYS), 0u);

  // Windows 9x has no such rights.
  M().Reset(Platform::Win98());
  M().administrator = false;
  EXPECT_EQ(OpenError("C:\\WINDOWS\\SYSTEM\\TAVRIN.DLL", GENERIC_WRITE, 0, CREATE_ALWAYS), 0u);
}

TEST(SimFiles, ReadsFailHalfWayAfterDeliveringWhatCameBefore) {
  M().Reset(Platform::WinXP());
  M().files.Put(kFile, "0123456789");
  M().files.FailReads(kFile, ERROR_READ_FAULT, 4);
  HANDLE h = Open(kFile, GENERIC_READ, FILE_SHARE_READ);
  char buf[8] = {};
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(h, buf, 3, &got, nullptr));
  EXPECT_EQ(got, 3u);
  EXPECT_FALSE(ReadFile(h, buf, 3, &got, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_READ_FAULT));
  EXPECT_EQ(got, 1u);
  EXPECT_EQ(buf[0], '3');
  EXPECT_FALSE(ReadFile(h, buf, 3, &got, nullptr));
  EXPECT_EQ(got, 0u);
  CloseHandle(h);
}

TEST(SimFiles, WritesFailHalfWayKeepingWhatCameBefore) {
  M().Reset(Platform::Win98());
  M().files.FailWrites(kFile, ERROR_DISK_FULL, 5);  // before the file exists
  HANDLE h = Open(kFile, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  EXPECT_TRUE(Write(h, "abc", &written));
  EXPECT_FALSE(Write(h, "defg", &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(written, 2u);
  EXPECT_FALSE(Write(h, "h", &written));
  EXPECT_EQ(written, 0u);
  CloseHandle(h);
  EXPECT_EQ(*M().files.Get(kFile), "abcde");
}

TEST(SimFiles, FilePointerSizeAndHandleRights) {
  M().Reset(Platform::WinXP());
  HANDLE h = Open(kFile, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  Write(h, "hello");
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 5u);
  EXPECT_EQ(SetFilePointer(h, 1, nullptr, FILE_BEGIN), 1u);
  char buf[4] = {};
  DWORD got = 0;
  EXPECT_TRUE(ReadFile(h, buf, 2, &got, nullptr));
  EXPECT_EQ(std::string(buf, got), "el");
  EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_END), 4u);
  EXPECT_EQ(SetFilePointer(h, -10, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 4u);  // not moved
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // Seeking past the end does not grow the file; writing there does.
  EXPECT_EQ(SetFilePointer(h, 8, nullptr, FILE_BEGIN), 8u);
  EXPECT_EQ(GetFileSize(h, nullptr), 5u);
  EXPECT_TRUE(ReadFile(h, buf, 4, &got, nullptr));
  EXPECT_EQ(got, 0u);
  Write(h, "!");
  DWORD high = 1;
  EXPECT_EQ(GetFileSize(h, &high), 9u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(*M().files.Get(kFile), std::string("hello\0\0\0!", 9));
  EXPECT_FALSE(ReadFile(h, buf, 4, nullptr, nullptr));  // a count must be given
  CloseHandle(h);

  h = Open(kFile, GENERIC_READ, FILE_SHARE_READ);
  EXPECT_FALSE(Write(h, "x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(FlushFileBuffers(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(h);
  h = Open(kFile, GENERIC_WRITE, 0);
  EXPECT_FALSE(ReadFile(h, buf, 1, &got, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(FlushFileBuffers(h));
  CloseHandle(h);
}

TEST(SimFiles, StandardHandles) {
  M().Reset(Platform::WinXP());
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  EXPECT_TRUE(Write(out, "Tavrin "));
  EXPECT_TRUE(Write(out, "installed\r\n"));
  EXPECT_EQ(M().console, "Tavrin installed\r\n");
  EXPECT_TRUE(Write(GetStdHandle(STD_ERROR_HANDLE), "warning"));
  EXPECT_EQ(sim::StandardErrorText(), "warning");
  EXPECT_EQ(M().console, "Tavrin installed\r\n");

  char buf[4];
  DWORD got = 7;
  EXPECT_TRUE(ReadFile(GetStdHandle(STD_INPUT_HANDLE), buf, sizeof(buf), &got, nullptr));
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(GetStdHandle(5), INVALID_HANDLE_VALUE);
  EXPECT_EQ(M().files.OpenHandles(), 0);

  M().Reset(Platform::WinXP());
  EXPECT_EQ(M().console, "");
  EXPECT_EQ(sim::StandardErrorText(), "");
}

TEST(SimFiles, MovingFilesAndFolders) {
  M().Reset(Platform::WinXP());
  M().files.Put(kFile, "data");
  M().files.Put("C:\\tavrin\\other.bin", "other");
  EXPECT_EQ(MoveError(kFile, "C:\\tavrin\\OTHER.bin"), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(MoveError("C:\\tavrin\\none.bin", "C:\\tavrin\\x.bin"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(MoveError(kFile, "C:\\nodir\\x.bin"), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(MoveError(kFile, "C:\\tavrin\\DATA.BIN"), 0u);  // a change of case
  EXPECT_EQ(M().files.NameOf(kFile), "C:\\tavrin\\DATA.BIN");

  // An open handle that shares deletion follows the file (NT).
  HANDLE h = Open(kFile, GENERIC_READ, kShareAll);
  EXPECT_EQ(MoveError(kFile, "C:\\TEMP\\data.bin"), 0u);
  EXPECT_EQ(ReadAll(h), "data");
  EXPECT_EQ(DeleteError("C:\\TEMP\\data.bin"), 0u);
  CloseHandle(h);
  EXPECT_FALSE(M().files.Exists("C:\\TEMP\\data.bin"));

  // A folder moves with its contents, unless something in it is open.
  h = Open("C:\\tavrin\\other.bin", GENERIC_READ, kShareAll);
  EXPECT_EQ(MoveError("C:\\tavrin", "C:\\Tavrin2"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseHandle(h);
  EXPECT_EQ(MoveError("C:\\tavrin", "C:\\tavrin\\inner"), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(MoveError("C:\\tavrin", "C:\\Tavrin2"), 0u);
  EXPECT_EQ(*M().files.Get("C:\\tavrin2\\other.bin"), "other");
  EXPECT_EQ(M().files.NameOf("C:\\TAVRIN2\\OTHER.BIN"), "C:\\Tavrin2\\other.bin");
  EXPECT_FALSE(M().files.DirectoryExists("C:\\tavrin"));
  EXPECT_TRUE(Journaled("MoveFileA C:\\tavrin, C:\\Tavrin2"));
}

TEST(SimFiles, FindFirstFile) {
  M().Reset(Platform::WinXP());
  M().files.Put("C:\\tavrin\\Tavmon.DLL", "MZ12345");
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA("c:\\tavrin\\TAVMON.dll", &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "Tavmon.DLL");
  EXPECT_EQ(data.nFileSizeLow, 7u);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(M().files.OpenHandles(), 1);
  EXPECT_FALSE(CloseHandle(find));  // find handles belong to FindClose
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(FindClose(find));
  EXPECT_FALSE(FindClose(find));
  EXPECT_EQ(M().files.OpenHandles(), 0);

  find = FindFirstFileA("C:\\WINDOWS\\system32\\*.dll", &data);
  EXPECT_STREQ(data.cFileName, "localspl.dll");
  FindClose(find);
  find = FindFirstFileA("C:\\tavrin\\*", &data);  // folders list "." first
  EXPECT_STREQ(data.cFileName, ".");
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  FindClose(find);
  find = FindFirstFileA("C:\\tavrin", &data);
  EXPECT_STREQ(data.cFileName, "tavrin");
  FindClose(find);

  EXPECT_EQ(FindFirstFileA("C:\\tavrin\\none.dll", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindFirstFileA("C:\\tavrin\\*.sys", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindFirstFileA("C:\\nodir\\x.dll", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(SimFiles, HandleTableAndRelease) {
  M().Reset(Platform::WinXP());
  M().files.Put(kFile, "data");
  HANDLE a = Open(kFile, GENERIC_READ, kShareAll);
  HANDLE b = Open(kFile, GENERIC_READ, kShareAll);
  EXPECT_NE(a, b);
  EXPECT_STREQ(sim::KernelHandleKind(a), "file");
  EXPECT_TRUE(CloseHandle(a));
  EXPECT_FALSE(CloseHandle(a));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(CloseHandle(nullptr));
  EXPECT_TRUE(CloseHandle(INVALID_HANDLE_VALUE));  // the current-process pseudo handle

  HANDLE process = sim::NewKernelHandle("process");
  EXPECT_EQ(sim::OpenKernelHandles("process"), 1);
  EXPECT_EQ(DeleteError(kFile), 0u);  // pending while b is open
  M().files.ReleaseAll();
  EXPECT_EQ(M().files.OpenHandles(), 0);
  EXPECT_EQ(sim::OpenKernelHandles("process"), 0);
  EXPECT_EQ(sim::KernelHandleKind(process), nullptr);
  EXPECT_FALSE(M().files.Exists(kFile));
  EXPECT_TRUE(Write(GetStdHandle(STD_OUTPUT_HANDLE), "after"));
  EXPECT_EQ(M().console, "after");
}

TEST(SimFiles, EachPlatformBootsWithItsFolders) {
  struct Expect {
    Platform platform;
    std::vector<std::string> files;
  };
  const Expect table[] = {
      {Platform::Win95(), {"C:\\WINDOWS\\RUNDLL32.EXE", "C:\\WINDOWS\\SYSTEM\\URL.DLL"}},
      {Platform::Win98(), {"C:\\WINDOWS\\RUNDLL32.EXE", "C:\\WINDOWS\\SYSTEM\\SHELL32.DLL"}},
      {Platform::WinMe(), {"C:\\WINDOWS\\RUNDLL32.EXE"}},
      {Platform::NT4(), {"C:\\WINNT\\system32\\rundll32.exe", "C:\\WINNT\\system32\\localspl.dll",
                         "C:\\WINNT\\system32\\spoolss.dll"}},
      {Platform::Win2000(), {"C:\\WINNT\\system32\\rundll32.exe", "C:\\WINNT\\system32\\url.dll"}},
      {Platform::WinXP(),
       {"C:\\WINDOWS\\system32\\rundll32.exe", "C:\\WINDOWS\\system32\\shell32.dll",
        "C:\\WINDOWS\\system32\\spool\\prtprocs\\w32x86\\winprint.dll"}},
  };
  for (const Expect& e : table) {
    SCOPED_TRACE(e.platform.name);
    M().Reset(e.platform);
    for (const std::string& dir : {e.platform.windows_dir, e.platform.system_dir,
                                   e.platform.driver_dir, std::string("C:\\TEMP"),
                                   std::string("C:\\tavrin")})
      EXPECT_TRUE(M().files.DirectoryExists(dir)) << dir;
    for (const std::string& file : e.files) {
      EXPECT_TRUE(M().files.Exists(file)) << file;
      EXPECT_EQ(M().files.NameOf(file), file);
      EXPECT_FALSE(M().files.Get(file)->empty());
    }
    EXPECT_TRUE(M().files.Exists(M().module_path));
    EXPECT_EQ(M().files.Exists("C:\\WINDOWS\\RUNDLL32.EXE"), e.platform.family == sim::Family::Win9x);
  }
}

TEST(SimFiles, InjectedFaults) {
  M().Reset(Platform::WinXP());
  M().files.Put(kFile, "data");
  M().FailCall("CreateFileA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(OpenError(kFile, GENERIC_READ, FILE_SHARE_READ), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(OpenError(kFile, GENERIC_READ, FILE_SHARE_READ), 0u);
  M().FailCall("DeleteFileA", ERROR_SHARING_VIOLATION);
  EXPECT_EQ(DeleteError(kFile), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(M().files.Exists(kFile));
  EXPECT_TRUE(Journaled(std::string("DeleteFileA ") + kFile + " -> 32"));

  // The wide functions have faults of their own, journaled as the ANSI ones.
  const std::wstring file = L"C:\\tavrin\\data.bin", moved = L"C:\\tavrin\\moved.bin";
  M().FailCall("CreateFileW", ERROR_ACCESS_DENIED);
  EXPECT_EQ(OpenError(kFile, GENERIC_WRITE, 0), 0u);
  EXPECT_EQ(OpenWide(file, GENERIC_WRITE, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(Journaled(std::string("CreateFileW ") + kFile));
  M().FailCall("MoveFileW", ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(MoveFileW(file.c_str(), moved.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(M().files.Exists(kFile));
  EXPECT_TRUE(MoveFileW(file.c_str(), moved.c_str()));
  EXPECT_EQ(M().files.Get("C:\\tavrin\\moved.bin").value_or("none"), "data");
  EXPECT_TRUE(Journaled("MoveFileW C:\\tavrin\\data.bin, C:\\tavrin\\moved.bin"));
}

TEST(SimFiles, WideAndAnsiFunctionsSeeTheSameFiles) {
  M().Reset(Platform::WinXP());
  // Cyrillic, CJK and a character beyond the BMP (a surrogate pair in UTF-16).
  const std::wstring report =
      Wide(u"C:\\tavrin\\\u041E\u0442\u0447\u0451\u0442 \u65E5\u672C \U0001F600.pdf");
  const std::string leaf = u8"\u041E\u0442\u0447\u0451\u0442 \u65E5\u672C \U0001F600.pdf";
  const std::string report_utf8 = "C:\\tavrin\\" + leaf;
  HANDLE h = OpenWide(report, GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Write(h, "pdf"));
  CloseHandle(h);
  EXPECT_EQ(M().files.List("C:\\tavrin"), (std::vector<std::string>{"setup.exe", leaf}));
  EXPECT_EQ(M().files.Get(report_utf8).value_or("none"), "pdf");
  EXPECT_TRUE(Journaled("CreateFileW " + report_utf8));
  // The ANSI view: one '?' a UTF-16 unit the code page lacks.
  EXPECT_EQ(FoundName("C:\\tavrin\\*.pdf"), "????? ?? ??.pdf");
  M().files.Put(report_utf8, "replaced");
  h = OpenWide(report, GENERIC_READ, FILE_SHARE_READ);
  EXPECT_EQ(ReadAll(h), "replaced");
  CloseHandle(h);

  // An ANSI name with Windows-1252 characters is the wide one with their
  // code points, ASCII letters in any case.
  h = Open("C:\\tavrin\\caf\xE9.txt", GENERIC_WRITE, 0, CREATE_NEW);
  EXPECT_TRUE(Write(h, "x"));
  CloseHandle(h);
  EXPECT_TRUE(Journaled(u8"CreateFileA C:\\tavrin\\caf\u00E9.txt"));
  EXPECT_EQ(GetFileAttributesW(L"C:\\TAVRIN\\CAF\u00E9.TXT"),
            static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_TRUE(MoveFileW(L"c:\\tavrin\\caf\u00E9.txt", L"C:\\tavrin\\\u20AC r\u00E9sum\u00E9.txt"));
  EXPECT_EQ(FoundName("C:\\tavrin\\\x80 r?sum\xE9.TXT"), "\x80 r\xE9sum\xE9.txt");
  EXPECT_EQ(M().files.Get(u8"C:\\tavrin\\\u20AC r\u00E9sum\u00E9.txt").value_or("none"), "x");
  EXPECT_EQ(DeleteError("C:\\tavrin\\\x80 R\xE9SUM\xE9.TXT"), 0u);
  EXPECT_EQ(FoundName("C:\\tavrin\\*.txt"), "");

  EXPECT_TRUE(CreateDirectoryW(Wide(u"C:\\tavrin\\\u65E5\u672C").c_str(), nullptr));
  EXPECT_TRUE(M().files.DirectoryExists(u8"C:\\tavrin\\\u65E5\u672C"));
  // A wchar_t above 0xFFFF is no UTF-16 unit: a program that put a code
  // point there would pass Windows a different name.
  EXPECT_EQ(OpenWide(L"C:\\tavrin\\\U0001F600.txt", GENERIC_WRITE, 0, CREATE_NEW),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_EQ(M().files.OpenHandles(), 0);
}

TEST(SimFiles, WideFunctionsAreStubsOnWindows9x) {
  for (const Platform& platform : {Platform::Win95(), Platform::Win98(), Platform::WinMe()}) {
    SCOPED_TRACE(platform.name);
    M().Reset(platform);
    M().files.Put(kFile, "data");
    M().journal.clear();
    const std::wstring file = L"C:\\tavrin\\data.bin";
    auto expect_stub = [](bool failed) {
      EXPECT_TRUE(failed);
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    };
    expect_stub(OpenWide(file, GENERIC_WRITE, 0, CREATE_ALWAYS) == INVALID_HANDLE_VALUE);
    expect_stub(!DeleteFileW(file.c_str()));
    expect_stub(!MoveFileW(file.c_str(), L"C:\\tavrin\\moved.bin"));
    expect_stub(GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES);
    expect_stub(!CreateDirectoryW(L"C:\\tavrin\\sub", nullptr));
    EXPECT_EQ(*M().files.Get(kFile), "data");
    EXPECT_EQ(M().files.List("C:\\tavrin"), (std::vector<std::string>{"data.bin", "setup.exe"}));
    EXPECT_TRUE(M().journal.empty());
    EXPECT_EQ(M().files.OpenHandles(), 0);
  }
}

TEST(SimFiles, AFullDiskTakesWhatFitsAndDeletingGivesItBack) {
  M().Reset(Platform::WinXP());
  ULARGE_INTEGER caller{}, total{}, total_free{};
  ASSERT_TRUE(GetDiskFreeSpaceExA(nullptr, &caller, &total, &total_free));
  EXPECT_GE(caller.QuadPart, uint64_t{1} << 30);  // plenty unless a test says otherwise

  M().files.SetFreeSpace("C:", 10);
  M().files.Put("C:\\tavrin\\log.txt", "1234");  // takes its room too
  HANDLE h = OpenWide(L"C:\\tavrin\\job.ps", GENERIC_WRITE, kShareAll, CREATE_NEW);
  DWORD written = 0;
  EXPECT_TRUE(Write(h, "012", &written));
  EXPECT_FALSE(Write(h, "3456", &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  EXPECT_EQ(written, 3u);
  EXPECT_FALSE(Write(h, "6", &written));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
  EXPECT_TRUE(Write(h, "AB"));  // overwriting needs no room
  EXPECT_EQ(*M().files.Get("C:\\tavrin\\job.ps"), "AB2345");
  ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\tavrin\\", &caller, &total, &total_free));
  EXPECT_EQ(caller.QuadPart, 0u);
  EXPECT_EQ(total_free.QuadPart, 0u);

  // Deleted while open, the file keeps its room until its last handle goes.
  EXPECT_TRUE(DeleteFileW(L"C:\\tavrin\\job.ps"));
  EXPECT_EQ(M().files.FreeSpace("C:"), 0u);
  CloseHandle(h);
  ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\tavrin", &caller, &total, &total_free));
  EXPECT_EQ(caller.QuadPart, 6u);
  EXPECT_EQ(total_free.QuadPart, 6u);
  EXPECT_GT(total.QuadPart, 10u);  // the system's files fill the rest
  CloseHandle(Open("C:\\tavrin\\log.txt", GENERIC_WRITE, 0, CREATE_ALWAYS));  // truncates
  EXPECT_EQ(M().files.FreeSpace("c:\\"), 10u);

  EXPECT_FALSE(GetDiskFreeSpaceExA("C:\\nodir", &caller, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(GetDiskFreeSpaceExA("D:\\", &caller, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

// The SIDs of the entries of the DACL at `path`, marked "+" when inherited.
std::vector<std::string> EntriesOf(const std::string& path) {
  std::vector<std::string> out;
  if (auto dacl = M().files.DaclOf(path))
    for (const sim::AceEntry& e : dacl->entries) out.push_back(e.sid + (e.Inherited() ? "+" : ""));
  return out;
}

// Makes `folder` with a DACL granting Users read, protected or not.
BOOL MakeFolderForUsers(const std::string& folder, bool is_protected) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID users = nullptr;
  AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS, 0, 0, 0,
                           0, 0, 0, &users);
  DWORD acl[32];
  InitializeAcl(reinterpret_cast<PACL>(acl), sizeof(acl), ACL_REVISION);
  AddAccessAllowedAce(reinterpret_cast<PACL>(acl), ACL_REVISION, FILE_GENERIC_READ, users);
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(acl), FALSE);
  if (is_protected) SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};
  const BOOL made = CreateDirectoryA(folder.c_str(), &attributes);
  FreeSid(users);
  return made;
}

}  // namespace

// A new file or folder takes its folder's inheritable entries, or the DACL
// its security attributes give; on Windows 2000 and later an unprotected
// one gets the inherited entries after its own, on NT 4.0 it stands alone.
// Access is checked against the DACL with the calling thread's user.
TEST(SimFiles, NewFilesTakeTheirDaclAndAccessFollowsIt) {
  for (const Platform& platform : {Platform::NT4(), Platform::WinXP()}) {
    M().Reset(platform);
    const sim::Dacl admins{
        true, {{"S-1-5-32-544", FILE_ALL_ACCESS, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE}}};
    M().files.MakeDirectory("C:\\d");
    ASSERT_EQ(M().files.SetDacl("C:\\d", admins, false), 0u);
    ASSERT_TRUE(CreateDirectoryA("C:\\d\\plain", nullptr));
    EXPECT_EQ(EntriesOf("C:\\d\\plain"), std::vector<std::string>{"S-1-5-32-544+"});
    ASSERT_TRUE(MakeFolderForUsers("C:\\d\\open", false));
    const bool merges = platform.driver_version >= 3;
    EXPECT_EQ(EntriesOf("C:\\d\\open"),
              merges ? (std::vector<std::string>{"S-1-5-32-545", "S-1-5-32-544+"})
                     : std::vector<std::string>{"S-1-5-32-545"})
        << platform.name;
    if (merges) {
      ASSERT_TRUE(MakeFolderForUsers("C:\\d\\shut", true));
      EXPECT_EQ(EntriesOf("C:\\d\\shut"), std::vector<std::string>{"S-1-5-32-545"});
    }
    ASSERT_EQ(OpenError("C:\\d\\plain\\f.txt", GENERIC_WRITE, 0, CREATE_NEW), 0u);
    EXPECT_EQ(EntriesOf("C:\\d\\plain\\f.txt"), std::vector<std::string>{"S-1-5-32-544+"});
    sim::ActAs bob("bob");
    EXPECT_EQ(OpenError("C:\\d\\plain\\f.txt", GENERIC_READ, kShareAll), ERROR_ACCESS_DENIED);
    EXPECT_EQ(DeleteError("C:\\d\\plain\\f.txt"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(OpenError("C:\\d\\open\\g.txt", GENERIC_WRITE, 0, CREATE_NEW), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(MoveFileA("C:\\d\\plain\\f.txt", "C:\\f.txt"));
  }
}
