// Wide file calls with the ANSI ones where the system has no wide ones.
#include "monitor/file_calls.h"

#include "monitor/monitor_text.h"

namespace {

// Whether the last wide call failed only because the system lacks it.
bool WideCallMissing() { return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED; }

}  // namespace

std::string AnsiPath(const std::wstring& path) { return Narrow(path, '_'); }

HANDLE OpenPath(const std::wstring& path, DWORD access, DWORD share,
                SECURITY_ATTRIBUTES* security, DWORD disposition, DWORD flags) {
  HANDLE file = CreateFileW(path.c_str(), access, share, security, disposition, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE && WideCallMissing())
    file = CreateFileA(AnsiPath(path).c_str(), access, share, security, disposition, flags,
                       nullptr);
  return file;
}

bool IsLink(const std::wstring& path) {
  // Only the NT family answers the wide call, and only it has links.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool OnNtFamily() {
  // Asked each time: the answer is cheap.
  OSVERSIONINFOA version;
  version.dwOSVersionInfoSize = sizeof(version);
  return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

DWORD NoFollowFlag() { return OnNtFamily() ? FILE_FLAG_OPEN_REPARSE_POINT : 0; }

bool PathExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES && WideCallMissing())
    attributes = GetFileAttributesA(AnsiPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES;
}

DWORD DeletePath(const std::wstring& path) {
  if (DeleteFileW(path.c_str())) return ERROR_SUCCESS;
  if (WideCallMissing() && DeleteFileA(AnsiPath(path).c_str())) return ERROR_SUCCESS;
  return GetLastError();
}

DWORD MovePathNoReplace(const std::wstring& from, const std::wstring& to) {
  if (MoveFileW(from.c_str(), to.c_str())) return ERROR_SUCCESS;
  if (WideCallMissing() && MoveFileA(AnsiPath(from).c_str(), AnsiPath(to).c_str()))
    return ERROR_SUCCESS;
  return GetLastError();
}
