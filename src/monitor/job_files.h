// The files of a job in the output folder: "<stem>.pdf" made by the
// program, and "<stem>.ps", the job's own data written alongside while the
// job runs and kept when no PDF came of it.
#pragma once

#include <windows.h>

#include <string>

// Creates `folder` (ending in a backslash) and every missing folder above
// it. Returns ERROR_SUCCESS when it exists afterwards, the error otherwise.
DWORD MakeFolders(const std::string& folder);

struct JobFiles {
  std::string pdf;               // the file the program is to write ("%1")
  std::string ps;                // the copy of the job's data
  HANDLE ps_file = INVALID_HANDLE_VALUE;  // open for writing while the job runs
};

// Chooses the first stem of `document` (already made safe) in `folder` for
// which neither the .pdf nor the .ps exists, and creates the .ps there
// (exclusively, so that two jobs never take the same name). Returns
// ERROR_SUCCESS or the error of the file call.
DWORD ClaimJobFiles(const std::string& folder, const std::wstring& stem, JobFiles* files);

// The size of the file at `path`; false when it does not open.
bool FileSize(const std::string& path, DWORD* size);

// Writes all `size` bytes to `file`. Returns ERROR_SUCCESS or the error.
DWORD WriteAll(HANDLE file, const BYTE* data, DWORD size);

// The text in the ANSI code page for a file name: characters the code page
// lacks become '_'.
std::string NarrowFileName(const std::wstring& name);
