// Creating the output folder and claiming a job's file names.
#include "monitor/job_files.h"

#include <vector>

#include "monitor/job_naming.h"

namespace {

// Enough for "stem (9999)": a folder full of one document's copies.
constexpr unsigned kMaxCandidates = 9999;

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

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
  const std::string path = folder.size() > 3 && folder.back() == '\\'
                               ? folder.substr(0, folder.size() - 1)
                               : folder;
  if (IsFolder(path)) return ERROR_SUCCESS;
  return error == ERROR_SUCCESS ? ERROR_PATH_NOT_FOUND : error;
}

std::string NarrowFileName(const std::wstring& name) {
  if (name.empty()) return std::string();
  char fallback[] = "_";
  const int length =
      WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, nullptr, 0, fallback, nullptr);
  if (length <= 1) return std::string();
  std::vector<char> narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, narrow.data(), length, fallback, nullptr);
  return std::string(narrow.data());
}

DWORD ClaimJobFiles(const std::string& folder, const std::wstring& stem, JobFiles* files) {
  for (unsigned n = 1; n <= kMaxCandidates; ++n) {
    const std::string base = folder + NarrowFileName(job_naming::NumberedStem(stem, n));
    const std::string pdf = base + ".pdf";
    const std::string ps = base + ".ps";
    if (Exists(pdf)) continue;
    HANDLE file = CreateFileA(ps.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return error;
    }
    files->pdf = pdf;
    files->ps = ps;
    files->ps_file = file;
    return ERROR_SUCCESS;
  }
  return ERROR_FILE_EXISTS;
}

bool FileSize(const std::string& path, DWORD* size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  *size = GetFileSize(file, nullptr);
  CloseHandle(file);
  return *size != INVALID_FILE_SIZE;
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
