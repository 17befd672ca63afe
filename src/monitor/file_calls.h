// The file calls of the job path on UTF-16 paths. The NT family takes them
// as they are; Windows 9x, whose wide file functions are stubs answering
// ERROR_CALL_NOT_IMPLEMENTED, gets the path in the ANSI code page (there
// the names came from ANSI text, so nothing is lost on the way back).
#pragma once

#include "common/win32.h"

#include <string>

// CreateFile on `path` with `flags` (attributes and FILE_FLAG_* bits).
// Returns the handle or INVALID_HANDLE_VALUE with the last error set.
HANDLE OpenPath(const std::wstring& path, DWORD access, DWORD share,
                SECURITY_ATTRIBUTES* security, DWORD disposition,
                DWORD flags = FILE_ATTRIBUTE_NORMAL);

// Whether `path` itself is a link: a junction, a symbolic link, a mount
// point, anything with FILE_ATTRIBUTE_REPARSE_POINT. Windows 9x has no
// such thing: always false there.
bool IsLink(const std::wstring& path);

// Whether the system is of the NT family (which has users, file security
// and links); false on Windows 9x.
bool OnNtFamily();

// FILE_FLAG_OPEN_REPARSE_POINT on the NT family, so that a CreateFile
// that meets a link in the last component takes the link itself instead
// of where it leads; 0 on Windows 9x, which has no links.
DWORD NoFollowFlag();

// Whether a file or folder `path` exists.
bool PathExists(const std::wstring& path);

// Deletes the file `path`. Returns ERROR_SUCCESS or the error.
DWORD DeletePath(const std::wstring& path);

// Renames the file `from` to `to`, never replacing a file already there.
// Returns ERROR_SUCCESS or the error (ERROR_ALREADY_EXISTS or
// ERROR_FILE_EXISTS when `to` is taken).
DWORD MovePathNoReplace(const std::wstring& from, const std::wstring& to);

// `path` in the ANSI code page; characters it lacks become '_'.
std::string AnsiPath(const std::wstring& path);
