// Creating the output folder, claiming a job's file names and giving the
// PDF its name.
#include "monitor/job_files.h"

#include "common/system_function.h"
#include "monitor/file_calls.h"
#include "monitor/job_naming.h"
#include "monitor/monitor_text.h"

namespace {

using job_naming::Attempt;

// Temporary names tried before giving up: each try takes a new serial.
constexpr int kTemporaryTries = 1000;
// Less room than this counts as a full disk: a write that failed for want
// of room leaves at most a part of a cluster.
constexpr ULONGLONG kFullDiskBytes = 64 * 1024;

typedef BOOL(WINAPI* GetDiskFreeSpaceExAFn)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                             PULARGE_INTEGER);

// `folder` without its trailing backslash (a drive's root keeps it).
std::string WithoutSlash(const std::string& folder) {
  return folder.size() > 3 && folder.back() == '\\' ? folder.substr(0, folder.size() - 1)
                                                     : folder;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsNameTaken(DWORD error) {
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// The path of `stem` numbered `n` in `folder`, without extension.
std::wstring NumberedBase(const JobFiles& files, unsigned n) {
  return files.folder + FromUtf16(job_naming::NumberedStem(files.stem, n));
}

// Reserves a temporary PDF name in `folder`: one that neither a file nor
// the program's report (".out", the deferred way) has yet, created empty
// so that no other job or link takes it. Returns ERROR_SUCCESS,
// ERROR_FILE_EXISTS when every try found the name taken, or the error of
// the file call.
DWORD ReserveTemporaryName(const std::string& folder, DWORD job_id, std::string* path) {
  static LONG serial = 0;
  for (int i = 0; i < kTemporaryTries; ++i) {
    const std::string candidate =
        folder + job_naming::TemporaryPdfName(job_id, GetCurrentProcessId(), GetTickCount(),
                                              static_cast<unsigned long>(InterlockedIncrement(&serial)));
    const std::string report = job_naming::ReportPath(candidate);
    if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES ||
        GetFileAttributesA(report.c_str()) != INVALID_FILE_ATTRIBUTES)
      continue;
    HANDLE file = CreateFileA(candidate.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL | NoFollowFlag(), nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (IsNameTaken(error)) continue;
      return error;
    }
    CloseHandle(file);
    *path = candidate;
    return ERROR_SUCCESS;
  }
  return ERROR_FILE_EXISTS;
}

}  // namespace

std::string FirstLink(const std::string& path, std::size_t from) {
  for (std::size_t at = path.find('\\', from); at != std::string::npos;
       at = path.find('\\', at + 1)) {
    const std::string folder = path.substr(0, at);
    if (IsLink(Widen(folder.c_str()))) return folder;
  }
  // A folder's own name was the loop's last.
  if (path.empty() || path.back() == '\\' || path.size() < from) return std::string();
  return IsLink(Widen(path.c_str())) ? path : std::string();
}

DWORD MakeFolder(const std::string& folder, SECURITY_ATTRIBUTES* security) {
  const std::string path = WithoutSlash(folder);
  if (CreateDirectoryA(path.c_str(), security)) return ERROR_SUCCESS;
  const DWORD error = GetLastError();
  if (error != ERROR_ALREADY_EXISTS) return error;
  return IsFolder(path) ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS;
}

DWORD MakeFolders(const std::string& folder) {
  // Each prefix ending before a backslash, past the drive ("c:\") or the
  // server and share of a UNC path.
  std::size_t start = 3;
  if (folder.compare(0, 2, "\\\\") == 0) {
    start = folder.find('\\', 2);
    start = start == std::string::npos ? folder.size() : folder.find('\\', start + 1);
    if (start == std::string::npos) start = folder.size();
  }
  DWORD error = ERROR_SUCCESS;
  for (std::size_t at = folder.find('\\', start); at != std::string::npos;
       at = folder.find('\\', at + 1)) {
    const std::string prefix = folder.substr(0, at);
    if (!CreateDirectoryA(prefix.c_str(), nullptr)) error = GetLastError();
  }
  if (IsFolder(WithoutSlash(folder))) return ERROR_SUCCESS;
  return error == ERROR_SUCCESS ? ERROR_PATH_NOT_FOUND : error;
}

bool FileStandsAt(const std::string& folder) {
  const DWORD attributes = GetFileAttributesA(WithoutSlash(folder).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderDiskFull(const std::string& folder) {
  // GetDiskFreeSpaceExA takes any folder (a mounted volume's own), but the
  // first Windows 95 lacks it: looked up by name.
  const auto free_space =
      SystemFunction<GetDiskFreeSpaceExAFn>("kernel32.dll", "GetDiskFreeSpaceExA");
  if (!free_space) return false;
  ULARGE_INTEGER available, total, total_free;
  if (!free_space(folder.c_str(), &available, &total, &total_free)) return false;
  return available.QuadPart < kFullDiskBytes;
}

DWORD ClaimJobFiles(const std::string& folder, const std::u16string& document, DWORD job_id,
                    JobFiles* files) {
  files->folder = Widen(folder.c_str());
  files->stem = job_naming::DocumentFileStem(
      document, job_naming::StemBudget(ToUtf16(files->folder).size()));
  DWORD error = ERROR_SUCCESS;
  HANDLE file = INVALID_HANDLE_VALUE;
  const unsigned number = job_naming::FirstFreeNumber(1, [&](unsigned n) {
    const std::wstring base = NumberedBase(*files, n);
    for (const wchar_t* extension : {L".pdf", L".ps"}) {
      if (!IsLink(base + extension)) continue;
      files->link = base + extension;
      error = ERROR_ACCESS_DENIED;
      return Attempt::kFailed;
    }
    if (PathExists(base + L".pdf")) return Attempt::kNameTaken;
    file = OpenPath(base + L".ps", GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_NORMAL | NoFollowFlag());
    if (file != INVALID_HANDLE_VALUE) return Attempt::kDone;
    error = GetLastError();
    return IsNameTaken(error) ? Attempt::kNameTaken : Attempt::kFailed;
  });
  if (number == 0) return error == ERROR_SUCCESS ? ERROR_FILE_EXISTS : error;
  const std::wstring ps = NumberedBase(*files, number) + L".ps";
  error = ReserveTemporaryName(folder, job_id, &files->temp_pdf);
  if (error != ERROR_SUCCESS) {
    CloseHandle(file);
    DeletePath(ps);
    return error;
  }
  files->number = number;
  files->ps = ps;
  files->pdf = NumberedBase(*files, number) + L".pdf";
  files->ps_file = file;
  return ERROR_SUCCESS;
}

DWORD PlaceFinishedPdf(JobFiles* files) {
  const std::wstring temporary = Widen(files->temp_pdf.c_str());
  DWORD error = ERROR_SUCCESS;
  const unsigned number = job_naming::FirstFreeNumber(files->number, [&](unsigned n) {
    const std::wstring base = NumberedBase(*files, n);
    // A running job's data under that name: its PDF is to have it.
    if (n != files->number && PathExists(base + L".ps")) return Attempt::kNameTaken;
    if (IsLink(base + L".pdf")) {
      files->link = base + L".pdf";
      error = ERROR_ACCESS_DENIED;
      return Attempt::kFailed;
    }
    error = MovePathNoReplace(temporary, base + L".pdf");
    if (error == ERROR_SUCCESS) return Attempt::kDone;
    return IsNameTaken(error) ? Attempt::kNameTaken : Attempt::kFailed;
  });
  if (number == 0) return error == ERROR_SUCCESS ? ERROR_FILE_EXISTS : error;
  files->number = number;
  files->pdf = NumberedBase(*files, number) + L".pdf";
  return ERROR_SUCCESS;
}

bool FileSize(const std::string& path, ULONGLONG* size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // GetFileSizeEx is missing before Windows 2000: the high half comes
  // apart, and INVALID_FILE_SIZE is then also a low half, so only the last
  // error tells a failure.
  DWORD high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = GetFileSize(file, &high);
  const bool known = low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR;
  CloseHandle(file);
  if (known) *size = (static_cast<ULONGLONG>(high) << 32) | low;
  return known;
}

DWORD WriteAll(HANDLE file, const BYTE* data, DWORD size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, nullptr)) return GetLastError();
    if (written == 0) return ERROR_DISK_FULL;
    data += written;
    size -= written;
  }
  return ERROR_SUCCESS;
}
