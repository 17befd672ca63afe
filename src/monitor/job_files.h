// The files of a job in the output folder. The job's data is written to
// "<stem>.ps" under the document's own name while the job runs, and kept
// when no PDF came of it. The program writes the PDF under a temporary
// name of plain ASCII ("%1"), which becomes "<stem>.pdf" once the job has
// succeeded: no program ever sees the document's name.
#pragma once

#include "common/win32.h"

#include <string>

// Creates `folder` (ending in a backslash) and every missing folder above
// it. Returns ERROR_SUCCESS when it exists afterwards, the error otherwise.
DWORD MakeFolders(const std::string& folder);

// Creates the one folder `folder` (ending in a backslash; the folder
// above it exists) with `security`; a folder already there counts as made.
// Returns ERROR_SUCCESS, ERROR_ALREADY_EXISTS when a file stands there, or
// the error.
DWORD MakeFolder(const std::string& folder, SECURITY_ATTRIBUTES* security);

// The first link (see IsLink) among the folders of `path` that end after
// its first `from` characters, from the top down, and `path` itself (a
// trailing backslash left off). Empty when there is none, and always on
// Windows 9x.
std::string FirstLink(const std::string& path, std::size_t from);

// Whether a file (not a folder) stands at `folder` (ending in a backslash).
bool FileStandsAt(const std::string& folder);

// Whether the disk of `folder` has (next to) no room left. False when that
// cannot be found out.
bool FolderDiskFull(const std::string& folder);

struct JobFiles {
  std::wstring folder;    // the output folder, ending in a backslash
  std::u16string stem;    // the document's file stem before numbering
  unsigned number = 1;    // the number taken: job_naming::NumberedStem(stem, number)
  std::wstring ps;        // the copy of the job's data
  std::wstring pdf;       // the PDF's own name (the next free number once placed)
  std::string temp_pdf;   // the file the program writes ("%1"): ASCII letters, digits, '-'
  HANDLE ps_file = INVALID_HANDLE_VALUE;  // open for writing while the job runs
  std::wstring link;      // a name of the job found to be a link: nothing was made
};

// Gives the job `job_id` of the document named `document` its files in
// `folder`: the stem of the document's name (job_naming::DocumentFileStem)
// as long as MAX_PATH leaves room for in that folder
// (job_naming::StemBudget), its first number for which neither the .pdf
// nor the .ps exists, the .ps created there (exclusively, so that two
// jobs never take the same name), and a temporary PDF name that no file
// has, reserved by creating it empty. A link at any name looked at (and
// its ".out" beside the temporary PDF) stops the job: files->link names
// it, nothing is created, and ERROR_ACCESS_DENIED is returned. Returns
// ERROR_SUCCESS or the error of the file call.
DWORD ClaimJobFiles(const std::string& folder, const std::u16string& document, DWORD job_id,
                    JobFiles* files);

// Renames the finished temporary PDF to the document's own name: the
// number taken, or the next free one when a file of that name appeared
// meanwhile (never replacing one, and passing over numbers whose .ps
// another job holds; a link at a name stops it with ERROR_ACCESS_DENIED).
// Sets files->pdf to the name given. Returns ERROR_SUCCESS, or the error
// with the PDF left under its temporary name.
DWORD PlaceFinishedPdf(JobFiles* files);

// The size of the file at `path`, 4 GiB and more too; false when it does
// not open or its size cannot be read.
bool FileSize(const std::string& path, ULONGLONG* size);

// Writes all `size` bytes to `file`. Returns ERROR_SUCCESS or the error.
DWORD WriteAll(HANDLE file, const BYTE* data, DWORD size);
