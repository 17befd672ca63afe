// Our stand-in for the framework's file object: an owned Win32 file handle
// with the framework's open flags, and file errors reported by throwing
// CFileException.
#pragma once

#include <string>

#include "common/win32.h"

// A file error: its cause in the framework's terms, the operating system's
// error code and the file concerned.
class CFileException {
 public:
  enum Cause {
    none = 0,
    genericException,
    fileNotFound,
    badPath,
    tooManyOpenFiles,
    accessDenied,
    invalidFile,
    removeCurrentDir,
    directoryFull,
    badSeek,
    hardIO,
    sharingViolation,
    lockViolation,
    diskFull,
    endOfFile,
  };

  explicit CFileException(int cause = none, LONG os_error = -1, LPCSTR file_name = nullptr);

  // Maps a Win32 error code to the framework's cause.
  static int OsErrorToException(LONG os_error);

  int m_cause;
  LONG m_lOsError;
  std::string m_strFileName;
};

// What a status query learns about a file.
struct CFileStatus {
  DWORD m_size = 0;
  BYTE m_attribute = 0;
  char m_szFullName[MAX_PATH] = {0};
};

class CFile {
 public:
  enum OpenFlags : unsigned {
    modeRead = 0x0000,
    modeWrite = 0x0001,
    modeReadWrite = 0x0002,
    shareCompat = 0x0000,
    shareExclusive = 0x0010,
    shareDenyWrite = 0x0020,
    shareDenyRead = 0x0030,
    shareDenyNone = 0x0040,
    modeNoInherit = 0x0080,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
  };
  enum SeekPosition { begin = 0x0, current = 0x1, end = 0x2 };

  CFile() = default;
  // Closes the file if still open; never throws.
  ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // Opens the file with the framework's flags; returns FALSE and fills
  // *error (when given) on failure.
  BOOL Open(LPCSTR file_name, UINT open_flags, CFileException* error = nullptr);
  // Reads up to count bytes; returns the number read. Throws on a file error.
  UINT Read(void* buffer, UINT count);
  // Writes all count bytes. Throws on a file error, diskFull on a short write.
  void Write(const void* buffer, UINT count);
  // Moves the file pointer; returns the new position. Throws on failure.
  DWORD Seek(LONG offset, UINT from);
  DWORD SeekToEnd() { return Seek(0, end); }
  // Returns the file's length in bytes. Throws on failure.
  DWORD GetLength() const;
  // Closes the file. Throws when the system reports a failure.
  void Close();
  // Closes the file, ignoring every failure.
  void Abort();
  bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }

  // Deletes a file. Throws on failure.
  static void Remove(LPCSTR file_name);
  // Renames a file. Throws on failure.
  static void Rename(LPCSTR old_name, LPCSTR new_name);
  // Fills status for an existing file; returns FALSE when it cannot be found.
  static BOOL GetStatus(LPCSTR file_name, CFileStatus& status);

  HANDLE m_hFile = INVALID_HANDLE_VALUE;

 private:
  [[noreturn]] void ThrowLastError() const;
  std::string file_name_;
};
