// The framework's file object over Win32 file handles.
#include "framework/afx_file.h"

#include <cstring>

CFileException::CFileException(int cause, LONG os_error, LPCSTR file_name)
    : m_cause(cause), m_lOsError(os_error), m_strFileName(file_name ? file_name : "") {}

int CFileException::OsErrorToException(LONG os_error) {
  switch (os_error) {
    case NO_ERROR:
      return none;
    case ERROR_FILE_NOT_FOUND:
      return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return badPath;
    case ERROR_ACCESS_DENIED:
      return accessDenied;
    case ERROR_INVALID_HANDLE:
      return invalidFile;
    case ERROR_SHARING_VIOLATION:
      return sharingViolation;
    case ERROR_DISK_FULL:
      return diskFull;
    case ERROR_HANDLE_EOF:
      return endOfFile;
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
      return hardIO;
    default:
      return genericException;
  }
}

CFile::~CFile() { Abort(); }

BOOL CFile::Open(LPCSTR file_name, UINT open_flags, CFileException* error) {
  Abort();
  file_name_ = file_name ? file_name : "";

  DWORD access = 0;
  switch (open_flags & 3) {
    case modeRead:
      access = GENERIC_READ;
      break;
    case modeWrite:
      access = GENERIC_WRITE;
      break;
    case modeReadWrite:
      access = GENERIC_READ | GENERIC_WRITE;
      break;
    default:
      access = GENERIC_READ;
      break;
  }

  DWORD share = 0;
  switch (open_flags & 0x70) {
    case shareDenyWrite:
      share = FILE_SHARE_READ;
      break;
    case shareDenyRead:
      share = FILE_SHARE_WRITE;
      break;
    case shareDenyNone:
      share = FILE_SHARE_READ | FILE_SHARE_WRITE;
      break;
    default:  // shareCompat and shareExclusive
      share = 0;
      break;
  }

  DWORD disposition = OPEN_EXISTING;
  if (open_flags & modeCreate) disposition = (open_flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

  SECURITY_ATTRIBUTES security;
  security.nLength = sizeof(security);
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = (open_flags & modeNoInherit) == 0;

  HANDLE handle = CreateFileA(file_name, access, share, &security, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    if (error) {
      LONG os_error = static_cast<LONG>(GetLastError());
      *error = CFileException(CFileException::OsErrorToException(os_error), os_error, file_name);
    }
    return FALSE;
  }
  m_hFile = handle;
  return TRUE;
}

void CFile::ThrowLastError() const {
  LONG os_error = static_cast<LONG>(GetLastError());
  throw CFileException(CFileException::OsErrorToException(os_error), os_error,
                       file_name_.c_str());
}

UINT CFile::Read(void* buffer, UINT count) {
  if (count == 0) return 0;
  DWORD read = 0;
  if (!ReadFile(m_hFile, buffer, count, &read, nullptr)) ThrowLastError();
  return read;
}

void CFile::Write(const void* buffer, UINT count) {
  if (count == 0) return;
  DWORD written = 0;
  if (!WriteFile(m_hFile, buffer, count, &written, nullptr)) ThrowLastError();
  if (written != count)
    throw CFileException(CFileException::diskFull, -1, file_name_.c_str());
}

DWORD CFile::Seek(LONG offset, UINT from) {
  DWORD position = SetFilePointer(m_hFile, offset, nullptr, from);
  if (position == INVALID_SET_FILE_POINTER) ThrowLastError();
  return position;
}

DWORD CFile::GetLength() const {
  DWORD size = GetFileSize(m_hFile, nullptr);
  if (size == INVALID_FILE_SIZE) ThrowLastError();
  return size;
}

void CFile::Close() {
  if (m_hFile == INVALID_HANDLE_VALUE) return;
  HANDLE handle = m_hFile;
  m_hFile = INVALID_HANDLE_VALUE;
  if (!CloseHandle(handle)) ThrowLastError();
}

void CFile::Abort() {
  if (m_hFile == INVALID_HANDLE_VALUE) return;
  CloseHandle(m_hFile);
  m_hFile = INVALID_HANDLE_VALUE;
}

void CFile::Remove(LPCSTR file_name) {
  if (!DeleteFileA(file_name)) {
    LONG os_error = static_cast<LONG>(GetLastError());
    throw CFileException(CFileException::OsErrorToException(os_error), os_error, file_name);
  }
}

void CFile::Rename(LPCSTR old_name, LPCSTR new_name) {
  if (!MoveFileA(old_name, new_name)) {
    LONG os_error = static_cast<LONG>(GetLastError());
    throw CFileException(CFileException::OsErrorToException(os_error), os_error, old_name);
  }
}

BOOL CFile::GetStatus(LPCSTR file_name, CFileStatus& status) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(file_name, &found);
  if (find == INVALID_HANDLE_VALUE) return FALSE;
  FindClose(find);
  status.m_size = found.nFileSizeLow;
  status.m_attribute = static_cast<BYTE>(found.dwFileAttributes);
  std::strncpy(status.m_szFullName, file_name, MAX_PATH - 1);
  status.m_szFullName[MAX_PATH - 1] = '\0';
  return TRUE;
}
