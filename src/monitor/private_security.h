// The security the monitor gives what it makes for one user or for the
// administrators alone: the output folder, a user's folder in it, and the
// log. SYSTEM and Administrators have full control; a folder's user (when
// there is one) may list it and read and delete the files in it, but
// create nothing there; nobody else may open it. On Windows 2000 and later the DACL is
// protected from the inheritable entries of the folder above.
//
// The advapi32 functions are looked up by name (common/security_calls.h):
// none is used on Windows 9x, and NT 4.0 lacks SetSecurityDescriptorControl.
#pragma once

#include "common/win32.h"

#include <string>
#include <vector>

#include "common/security_calls.h"

// The SID of the user account `name` (UTF-16, as the spooler names a job's
// owner), in *sid. Only a user account counts: a group, an alias or a
// well-known name ("Users", "SYSTEM") resolves to nothing, so that no name
// a job carries can open a folder to a whole group. Returns ERROR_SUCCESS,
// ERROR_NONE_MAPPED for no user account of that name, or the error.
DWORD FindUserSid(const std::wstring& name, SidBytes* sid);

// The last sub-authority of a SID (a user's relative id); 0 for none.
DWORD RelativeId(const SidBytes& sid);

// A security descriptor for CreateDirectory and CreateFile (and the DACL
// for SetSecurityInfo), built once.
class PrivateSecurity {
 public:
  // For a folder of `user` (an empty SID: a folder, or a file, of the
  // administrators alone). With `listed_by_users` every user (Users) may
  // also list the folder itself, and open nothing in it: the output
  // folder, where each user finds a folder of the user's own.
  explicit PrivateSecurity(const SidBytes& user, bool listed_by_users = false);
  PrivateSecurity(const PrivateSecurity&) = delete;
  PrivateSecurity& operator=(const PrivateSecurity&) = delete;

  // Security attributes holding the descriptor, inheritable as asked;
  // null when it could not be built (error() says why).
  SECURITY_ATTRIBUTES* attributes(bool inheritable = false);
  DWORD error() const { return error_; }

  // Gives the open file `file` (opened with WRITE_DAC) this DACL. Returns
  // ERROR_SUCCESS or the error.
  DWORD ApplyTo(HANDLE file);

 private:
  std::vector<DWORD> acl_;  // the DACL, DWORD-aligned
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
  bool protected_ = false;  // SE_DACL_PROTECTED was set
  DWORD error_ = ERROR_SUCCESS;
};
