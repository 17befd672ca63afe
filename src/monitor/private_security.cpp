// DACLs of the monitor's own folders and log.
#include "monitor/private_security.h"

#include <cstring>

#include "monitor/trace.h"

namespace {

using AllocateAndInitializeSidFn = BOOL(WINAPI*)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD,
                                                 DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, PSID*);
using FreeSidFn = PVOID(WINAPI*)(PSID);
using GetLengthSidFn = DWORD(WINAPI*)(PSID);
using InitializeAclFn = BOOL(WINAPI*)(PACL, DWORD, DWORD);
using AddAccessAllowedAceFn = BOOL(WINAPI*)(PACL, DWORD, DWORD, PSID);
using InitializeSecurityDescriptorFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD);
using SetSecurityDescriptorDaclFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
using SetSecurityDescriptorControlFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR,
                                                     SECURITY_DESCRIPTOR_CONTROL,
                                                     SECURITY_DESCRIPTOR_CONTROL);
using SetSecurityInfoFn = DWORD(WINAPI*)(HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID,
                                         PACL, PACL);
using LookupAccountNameWFn = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, PSID, LPDWORD, LPWSTR, LPDWORD,
                                           PSID_NAME_USE);

// The advapi32 functions; any may be null.
struct Advapi {
  AllocateAndInitializeSidFn allocate_sid;
  FreeSidFn free_sid;
  GetLengthSidFn sid_length;
  InitializeAclFn initialize_acl;
  AddAccessAllowedAceFn add_allowed;
  InitializeSecurityDescriptorFn initialize_descriptor;
  SetSecurityDescriptorDaclFn set_descriptor_dacl;
  SetSecurityDescriptorControlFn set_descriptor_control;  // Windows 2000 and later
  SetSecurityInfoFn set_security_info;
  LookupAccountNameWFn lookup_account;

  // Whether everything a DACL needs is there.
  bool CanBuild() const {
    return allocate_sid && free_sid && sid_length && initialize_acl && add_allowed &&
           initialize_descriptor && set_descriptor_dacl;
  }
};

template <typename Fn>
Fn Find(HMODULE module, const char* name) {
  // Through a plain function pointer type: FARPROC stands for any export.
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)))
                : nullptr;
}

// Looked up at each use: cheap, and right on whatever system the library
// finds itself.
Advapi Api() {
  HMODULE advapi32 = GetModuleHandleA("advapi32.dll");
  Advapi a;
  a.allocate_sid = Find<AllocateAndInitializeSidFn>(advapi32, "AllocateAndInitializeSid");
  a.free_sid = Find<FreeSidFn>(advapi32, "FreeSid");
  a.sid_length = Find<GetLengthSidFn>(advapi32, "GetLengthSid");
  a.initialize_acl = Find<InitializeAclFn>(advapi32, "InitializeAcl");
  a.add_allowed = Find<AddAccessAllowedAceFn>(advapi32, "AddAccessAllowedAce");
  a.initialize_descriptor =
      Find<InitializeSecurityDescriptorFn>(advapi32, "InitializeSecurityDescriptor");
  a.set_descriptor_dacl = Find<SetSecurityDescriptorDaclFn>(advapi32, "SetSecurityDescriptorDacl");
  a.set_descriptor_control =
      Find<SetSecurityDescriptorControlFn>(advapi32, "SetSecurityDescriptorControl");
  a.set_security_info = Find<SetSecurityInfoFn>(advapi32, "SetSecurityInfo");
  a.lookup_account = Find<LookupAccountNameWFn>(advapi32, "LookupAccountNameW");
  return a;
}

// A SID of the NT authority ("S-1-5-<first>[-<second>]") in its own buffer;
// empty when it cannot be made.
SidBytes NtSid(const Advapi& api, BYTE count, DWORD first, DWORD second) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  if (!api.allocate_sid(&nt, count, first, second, 0, 0, 0, 0, 0, 0, &sid)) return {};
  const BYTE* bytes = static_cast<const BYTE*>(sid);
  SidBytes out(bytes, bytes + api.sid_length(sid));
  api.free_sid(sid);
  return out;
}

// One entry of a DACL: who, which rights, which inheritance.
struct Grant {
  const SidBytes* sid;
  DWORD rights;
  BYTE flags;
};

// What a folder's user may do to the folder itself: list it and read its
// attributes and security, not add a file or folder to it.
constexpr DWORD kUserFolderRights = FILE_GENERIC_READ | FILE_TRAVERSE;
// What the user may do to each file the folder holds: read and delete it.
constexpr DWORD kUserFileRights = FILE_GENERIC_READ | DELETE;

}  // namespace

DWORD FindUserSid(const std::wstring& name, SidBytes* sid) {
  sid->clear();
  const Advapi api = Api();
  if (!api.lookup_account) return ERROR_CALL_NOT_IMPLEMENTED;
  if (name.empty()) return ERROR_NONE_MAPPED;
  DWORD sid_size = 0, domain_size = 0;
  SID_NAME_USE use = SidTypeUnknown;
  api.lookup_account(nullptr, name.c_str(), nullptr, &sid_size, nullptr, &domain_size, &use);
  DWORD error = GetLastError();
  if (error != ERROR_INSUFFICIENT_BUFFER) return error;
  SidBytes found(sid_size);
  std::wstring domain(domain_size + 1, L'\0');
  if (!api.lookup_account(nullptr, name.c_str(), found.data(), &sid_size, &domain[0],
                          &domain_size, &use))
    return GetLastError();
  if (use != SidTypeUser) return ERROR_NONE_MAPPED;
  found.resize(sid_size);
  *sid = found;
  return ERROR_SUCCESS;
}

DWORD RelativeId(const SidBytes& sid) {
  // Revision, count, six bytes of authority, then the sub-authorities.
  if (sid.size() < 8 || sid[1] == 0 || sid.size() < 8 + 4u * sid[1]) return 0;
  DWORD rid = 0;
  std::memcpy(&rid, &sid[8 + 4 * (sid[1] - 1)], sizeof(rid));
  return rid;
}

PrivateSecurity::PrivateSecurity(const SidBytes& user, bool listed_by_users) {
  const Advapi api = Api();
  if (!api.CanBuild()) {
    error_ = ERROR_CALL_NOT_IMPLEMENTED;
    return;
  }
  const SidBytes system = NtSid(api, 1, SECURITY_LOCAL_SYSTEM_RID, 0);
  const SidBytes administrators = NtSid(api, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
  const SidBytes users = NtSid(api, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS);
  if (system.empty() || administrators.empty() || users.empty()) {
    error_ = GetLastError() ? GetLastError() : ERROR_INVALID_SID;
    return;
  }
  std::vector<Grant> grants = {{&system, FILE_ALL_ACCESS, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE},
                               {&administrators, FILE_ALL_ACCESS,
                                OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE}};
  if (listed_by_users) grants.push_back({&users, kUserFolderRights, 0});
  if (!user.empty()) {
    grants.push_back({&user, kUserFolderRights, 0});
    grants.push_back({&user, kUserFileRights, OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE});
  }
  DWORD size = sizeof(ACL);
  for (const Grant& g : grants)
    size += static_cast<DWORD>(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + g.sid->size());
  size = (size + 3) & ~DWORD{3};
  acl_.assign(size / sizeof(DWORD), 0);
  PACL acl = reinterpret_cast<PACL>(acl_.data());
  if (!api.initialize_acl(acl, size, ACL_REVISION)) {
    error_ = GetLastError();
    return;
  }
  BYTE* entry = reinterpret_cast<BYTE*>(acl) + sizeof(ACL);
  for (const Grant& g : grants) {
    // AddAccessAllowedAce (NT 4.0 has no Ex form), then the flags put into
    // the entry's header.
    if (!api.add_allowed(acl, ACL_REVISION, g.rights, const_cast<BYTE*>(g.sid->data()))) {
      error_ = GetLastError();
      return;
    }
    ACE_HEADER* header = reinterpret_cast<ACE_HEADER*>(entry);
    header->AceFlags = g.flags;
    entry += header->AceSize;
  }
  if (!api.initialize_descriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
      !api.set_descriptor_dacl(&descriptor_, TRUE, acl, FALSE)) {
    error_ = GetLastError();
    return;
  }
  // Windows 2000 and later would add the inheritable entries of the folder
  // above (Users may read there) to a DACL not protected from them.
  protected_ = api.set_descriptor_control &&
               api.set_descriptor_control(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  attributes_.nLength = sizeof(attributes_);
  attributes_.lpSecurityDescriptor = &descriptor_;
}

SECURITY_ATTRIBUTES* PrivateSecurity::attributes(bool inheritable) {
  if (error_ != ERROR_SUCCESS) return nullptr;
  attributes_.bInheritHandle = inheritable ? TRUE : FALSE;
  return &attributes_;
}

DWORD PrivateSecurity::ApplyTo(HANDLE file) {
  if (error_ != ERROR_SUCCESS) return error_;
  const Advapi api = Api();
  if (!api.set_security_info) return ERROR_CALL_NOT_IMPLEMENTED;
  const SECURITY_INFORMATION what =
      DACL_SECURITY_INFORMATION | (protected_ ? PROTECTED_DACL_SECURITY_INFORMATION : 0);
  return api.set_security_info(file, SE_FILE_OBJECT, what, nullptr, nullptr,
                               reinterpret_cast<PACL>(acl_.data()), nullptr);
}
