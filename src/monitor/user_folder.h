// Each user's output folder on the NT family: "<output folder><user>\",
// made by the monitor so that only that user (to list, read and delete)
// and the administrators may open it (see private_security.h). Windows 9x,
// which has no users, keeps the output folder itself.
#pragma once

#include "common/win32.h"

#include <string>

#include "monitor/private_security.h"

// Whose job it is.
struct JobOwner {
  // As the spooler names the job's user; the monitor's own user where the
  // spooler names no job (Wine's passes no printer). Empty when neither is
  // known.
  std::wstring name;
  // The user account's SID; empty when the name is no user account here.
  SidBytes sid;
};

// The owner of job `job_id` of `printer` (null when the spooler named no
// printer) and the account that name stands for.
JobOwner FindJobOwner(HANDLE printer, DWORD job_id);

// The name of the owner's folder, in the ANSI code page, as the paths of a
// job are (the program's command line carries them): the owner's name made
// safe as a document's name is (job_naming::SafeFileStem), "(unknown)" for
// no name. Where the code page lacks some of its characters, which become
// '_', the account's relative id follows (" 1001"), so that two such users
// never share a folder.
std::string UserFolderName(const JobOwner& owner);

// Makes the output folder `output` (ending in a backslash) and the folders
// above it that are missing. One the monitor makes itself every user may
// list, and nobody but the administrators add to, whatever the folder
// above passes on; one already there is kept as it is. Returns
// ERROR_SUCCESS or the error.
DWORD MakeOutputFolder(const std::string& output);

// Makes the folder `folder` (ending in a backslash; the folder above it
// exists) for `owner`, with only the administrators' entries when the
// owner has no account. A folder already there is kept as it is. Returns
// ERROR_SUCCESS or the error.
DWORD MakeUserFolder(const std::string& folder, const JobOwner& owner);
