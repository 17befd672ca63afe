// DACLs of the monitor's own folders and log.
#include "monitor/private_security.h"

#include <cstring>

namespace {

// What a folder's user may do to the folder itself: list it and read its
// attributes and security, not add a file or folder to it.
constexpr DWORD kUserFolderRights = FILE_GENERIC_READ | FILE_TRAVERSE;
// What the user may do to each file the folder holds: read and delete it.
constexpr DWORD kUserFileRights = FILE_GENERIC_READ | DELETE;

}  // namespace

DWORD FindUserSid(const std::wstring& name, SidBytes* sid) {
  sid->clear();
  const SecurityCalls api = SecurityCalls::Find();
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
  const SecurityCalls api = SecurityCalls::Find();
  if (api.MissingForDacl() || !api.initialize_descriptor || !api.set_descriptor_dacl) {
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
  const BYTE inherit = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  std::vector<AceGrant> grants = {{&system, FILE_ALL_ACCESS, inherit},
                                  {&administrators, FILE_ALL_ACCESS, inherit}};
  if (listed_by_users) grants.push_back({&users, kUserFolderRights, 0});
  if (!user.empty()) {
    grants.push_back({&user, kUserFolderRights, 0});
    grants.push_back({&user, kUserFileRights, OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE});
  }
  const char* failed = nullptr;
  error_ = BuildDacl(api, grants, &acl_, &failed);
  if (error_ != ERROR_SUCCESS) return;
  PACL acl = reinterpret_cast<PACL>(acl_.data());
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
  const SecurityCalls api = SecurityCalls::Find();
  if (!api.set_security_info) return ERROR_CALL_NOT_IMPLEMENTED;
  const SECURITY_INFORMATION what =
      DACL_SECURITY_INFORMATION | (protected_ ? PROTECTED_DACL_SECURITY_INFORMATION : 0);
  return api.set_security_info(file, SE_FILE_OBJECT, what, nullptr, nullptr,
                               reinterpret_cast<PACL>(acl_.data()), nullptr);
}
