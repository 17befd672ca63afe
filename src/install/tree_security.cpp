// After the files are in place: the setup folder's tree belongs to the
// administrators. The monitor runs res\convert\gswin32c.exe with the
// response file res\pdfwrite.rsp as SYSTEM, so whoever may change them
// runs code as SYSTEM at the next job. NT family only. The advapi32
// functions are looked up by name (common/security_calls.h).
#include <string>
#include <vector>

#include "common/last_error.h"
#include "common/platform.h"
#include "common/security_calls.h"
#include "common/setup_log.h"
#include "common/text.h"
#include "contract/product_layout.h"
#include "install/install_phases.h"

namespace {

// Sets the DACL on one file or folder; logs a failure with the path and the
// code and returns false.
bool SetDacl(const SecurityCalls& api, const std::string& path, PACL acl,
             SECURITY_INFORMATION what) {
  DWORD code = api.set_named(Writable(path), SE_FILE_OBJECT, what, nullptr, nullptr, acl, nullptr);
  if (code == ERROR_SUCCESS) return true;
  LogLine(Format("SetNamedSecurityInfo %s: %lu", path.c_str(), static_cast<unsigned long>(code)));
  return false;
}

// Whether two paths are the same, ASCII letters in either case.
bool SamePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// NT 4.0 passes nothing on to existing children: every folder and file
// under `folder` gets the DACL itself, except what lies in the monitor's
// output folder `output` (no trailing backslash), whose users' folders and
// log carry the monitor's own DACLs. Stops at the first failure, logged.
bool SetDaclBelow(const SecurityCalls& api, const std::string& folder, const std::string& output,
                  PACL acl) {
  WIN32_FIND_DATAA found;
  const std::string pattern = folder + "\\*";
  HANDLE find = FindFirstFileA(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) {
    LogError(("FindFirstFile " + pattern).c_str(), GetLastError());
    return false;
  }
  bool ok = true;
  do {
    const std::string name = found.cFileName;
    // A link is passed over: setting it would set what it leads to, which
    // is not the product's.
    if (name == "." || name == ".." || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      continue;
    const std::string path = folder + "\\" + name;
    ok = SetDacl(api, path, acl, DACL_SECURITY_INFORMATION);
    if (ok && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !SamePath(path, output))
      ok = SetDaclBelow(api, path, output, acl);
  } while (ok && FindNextFileA(find, &found));
  FindClose(find);
  return ok;
}

// The root of the volume that holds `path`: "C:\" or "\\server\share\".
std::string VolumeRoot(const std::string& path) {
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    size_t share = path.find('\\', 2);
    size_t end = share == std::string::npos ? share : path.find('\\', share + 1);
    return (end == std::string::npos ? path : path.substr(0, end)) + "\\";
  }
  return path.substr(0, 2) + "\\";
}

// Whether the volume of `folder` keeps ACLs; logs why not.
bool VolumeKeepsAcls(const std::string& folder) {
  const std::string root = VolumeRoot(folder);
  DWORD flags = 0;
  if (!GetVolumeInformationA(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0)) {
    LogError(("GetVolumeInformation " + root).c_str(), GetLastError());
    return false;
  }
  if (flags & FS_PERSISTENT_ACLS) return true;
  LogLine("Security not set: " + folder + " is on a volume without ACLs");
  return false;
}

}  // namespace

void SecureSetupTree(const InstallState& state) {
  if (state.Win9xCase()) return;
  // The probes and lookups leave their codes behind; the next phases'
  // log lines must not read them.
  LastErrorKeeper keep;
  const std::string& folder = state.setup_dir;
  if (!VolumeKeepsAcls(folder)) return;
  const SecurityCalls api = SecurityCalls::Find();
  const char* missing = api.MissingForDacl();
  if (!missing && !api.set_named) missing = "SetNamedSecurityInfoA";
  if (missing) {
    LogLine(std::string("Security not set: advapi32 lacks ") + missing);
    return;
  }

  const SidBytes system = NtSid(api, 1, SECURITY_LOCAL_SYSTEM_RID, 0);
  const SidBytes administrators = NtSid(api, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
  const SidBytes users = NtSid(api, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS);
  if (system.empty() || administrators.empty() || users.empty()) {
    LogError("AllocateAndInitializeSid", GetLastError());
    return;
  }
  // Each entry inherited by folders and files.
  const BYTE inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  std::vector<DWORD> dacl;
  const char* failed = nullptr;
  const DWORD error = BuildDacl(api,
                                {{&system, FILE_ALL_ACCESS, inherit},
                                 {&administrators, FILE_ALL_ACCESS, inherit},
                                 {&users, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, inherit}},
                                &dacl, &failed);
  if (error != ERROR_SUCCESS) {
    LogError(failed, error);
    return;
  }
  PACL acl = reinterpret_cast<PACL>(dacl.data());

  if (IsWindows2000OrLater()) {
    // Protected, so that nothing from the drive's root is inherited; the
    // system passes the entries on to what lies below.
    SetDacl(api, folder, acl, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION);
    return;
  }
  // NT 4.0 knows no protected DACL: the folder's own entries replace what
  // it had, and the children are set one by one.
  std::string output = state.root + kOutputPath;
  output.pop_back();
  if (SetDacl(api, folder, acl, DACL_SECURITY_INFORMATION))
    SetDaclBelow(api, folder, output, acl);
}
