// After the files are in place: the setup folder's tree belongs to the
// administrators. The monitor runs res\convert\gswin32c.exe with the
// response file res\pdfwrite.rsp as SYSTEM, so whoever may change them
// runs code as SYSTEM at the next job. NT family only.
//
// Every advapi32 security function is looked up by name: Windows 95's
// advapi32 lacks them, and an import would keep setup.exe from loading
// there. AddAccessAllowedAce (without inheritance flags) is used on every
// NT and the flags are put into each entry's header afterwards, which NT
// 4.0 needs and later Windows accepts as well.
#include <cstring>
#include <string>
#include <vector>

#include "common/last_error.h"
#include "common/platform.h"
#include "common/setup_log.h"
#include "common/text.h"
#include "contract/product_layout.h"
#include "install/install_phases.h"

namespace {

using AllocateAndInitializeSidFn = BOOL(WINAPI*)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD,
                                                 DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, PSID*);
using FreeSidFn = PVOID(WINAPI*)(PSID);
using GetLengthSidFn = DWORD(WINAPI*)(PSID);
using InitializeAclFn = BOOL(WINAPI*)(PACL, DWORD, DWORD);
using AddAccessAllowedAceFn = BOOL(WINAPI*)(PACL, DWORD, DWORD, PSID);
using SetNamedSecurityInfoAFn = DWORD(WINAPI*)(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID,
                                               PSID, PACL, PACL);

// The advapi32 functions this phase calls, found by name.
struct SecurityApi {
  AllocateAndInitializeSidFn allocate_sid = nullptr;
  FreeSidFn free_sid = nullptr;
  GetLengthSidFn sid_length = nullptr;
  InitializeAclFn initialize_acl = nullptr;
  AddAccessAllowedAceFn add_allowed = nullptr;
  SetNamedSecurityInfoAFn set_named = nullptr;

  // Finds them all; on failure logs the first one missing and returns false.
  bool Load() {
    HMODULE advapi32 = GetModuleHandleA("advapi32.dll");
    return Find(advapi32, "AllocateAndInitializeSid", &allocate_sid) &&
           Find(advapi32, "FreeSid", &free_sid) && Find(advapi32, "GetLengthSid", &sid_length) &&
           Find(advapi32, "InitializeAcl", &initialize_acl) &&
           Find(advapi32, "AddAccessAllowedAce", &add_allowed) &&
           Find(advapi32, "SetNamedSecurityInfoA", &set_named);
  }

 private:
  template <typename Fn>
  static bool Find(HMODULE module, const char* name, Fn* out) {
    // Through a plain function pointer type: FARPROC stands for any export.
    if (module)
      *out = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    if (*out) return true;
    LogLine(std::string("Security not set: advapi32 lacks ") + name);
    return false;
  }
};

// A SID of the NT authority, freed with FreeSid.
class NtSid {
 public:
  NtSid(const SecurityApi& api, BYTE count, DWORD first, DWORD second) : api_(api) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    if (!api_.allocate_sid(&nt, count, first, second, 0, 0, 0, 0, 0, 0, &sid_)) sid_ = nullptr;
  }
  ~NtSid() {
    if (sid_) api_.free_sid(sid_);
  }
  NtSid(const NtSid&) = delete;
  NtSid& operator=(const NtSid&) = delete;
  PSID get() const { return sid_; }

 private:
  const SecurityApi& api_;
  PSID sid_ = nullptr;
};

// One entry of the tree's DACL.
struct Grant {
  PSID sid;
  DWORD rights;
};

// Builds the DACL of the entries in a DWORD-aligned buffer, each entry
// inherited by folders and files. Empty, with the failure logged, when a
// call fails.
std::vector<DWORD> BuildDacl(const SecurityApi& api, const std::vector<Grant>& grants) {
  DWORD size = sizeof(ACL);
  for (const Grant& g : grants)
    size += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + api.sid_length(g.sid);
  size = (size + 3) & ~DWORD{3};
  std::vector<DWORD> buffer(size / sizeof(DWORD));
  PACL acl = reinterpret_cast<PACL>(buffer.data());
  if (!api.initialize_acl(acl, size, ACL_REVISION)) {
    LogError("InitializeAcl", GetLastError());
    return {};
  }
  BYTE* entry = reinterpret_cast<BYTE*>(acl) + sizeof(ACL);
  for (const Grant& g : grants) {
    if (!api.add_allowed(acl, ACL_REVISION, g.rights, g.sid)) {
      LogError("AddAccessAllowedAce", GetLastError());
      return {};
    }
    // The entry just added: its header gets the inheritance flags.
    ACE_HEADER* header = reinterpret_cast<ACE_HEADER*>(entry);
    header->AceFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    entry += header->AceSize;
  }
  return buffer;
}

// Sets the DACL on one file or folder; logs a failure with the path and the
// code and returns false.
bool SetDacl(const SecurityApi& api, std::string path, PACL acl, SECURITY_INFORMATION what) {
  DWORD code = api.set_named(&path[0], SE_FILE_OBJECT, what, nullptr, nullptr, acl, nullptr);
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
bool SetDaclBelow(const SecurityApi& api, const std::string& folder, const std::string& output,
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
  SecurityApi api;
  if (!api.Load()) return;

  NtSid system(api, 1, SECURITY_LOCAL_SYSTEM_RID, 0);
  NtSid administrators(api, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
  NtSid users(api, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS);
  if (!system.get() || !administrators.get() || !users.get()) {
    LogError("AllocateAndInitializeSid", GetLastError());
    return;
  }
  std::vector<DWORD> dacl = BuildDacl(api, {{system.get(), FILE_ALL_ACCESS},
                                            {administrators.get(), FILE_ALL_ACCESS},
                                            {users.get(), FILE_GENERIC_READ | FILE_GENERIC_EXECUTE}});
  if (dacl.empty()) return;
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
