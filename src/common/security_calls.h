// advapi32's SID, ACL and security-descriptor functions, looked up by name
// at each use, for the setup (the product tree's DACL) and the port monitor
// (its own folders and log): Windows 95's advapi32 lacks them, 9x's most of
// them and NT 4.0's SetSecurityDescriptorControl, and an import would keep
// the program or the library from loading there. Header only: both
// binaries build it in.
#pragma once

#include "common/system_function.h"
#include "common/win32.h"

#include <vector>

// The functions the loaded advapi32 has; any may be null.
struct SecurityCalls {
  using AllocateAndInitializeSidFn = BOOL(WINAPI*)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD,
                                                   DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, PSID*);
  using FreeSidFn = PVOID(WINAPI*)(PSID);
  using GetLengthSidFn = DWORD(WINAPI*)(PSID);
  using InitializeAclFn = BOOL(WINAPI*)(PACL, DWORD, DWORD);
  using AddAccessAllowedAceFn = BOOL(WINAPI*)(PACL, DWORD, DWORD, PSID);
  using SetNamedSecurityInfoAFn = DWORD(WINAPI*)(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID,
                                                 PSID, PACL, PACL);
  using SetSecurityInfoFn = DWORD(WINAPI*)(HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID,
                                           PSID, PACL, PACL);
  using InitializeSecurityDescriptorFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD);
  using SetSecurityDescriptorDaclFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
  using SetSecurityDescriptorControlFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR,
                                                       SECURITY_DESCRIPTOR_CONTROL,
                                                       SECURITY_DESCRIPTOR_CONTROL);
  using LookupAccountNameWFn = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, PSID, LPDWORD, LPWSTR, LPDWORD,
                                             PSID_NAME_USE);

  AllocateAndInitializeSidFn allocate_sid = nullptr;
  FreeSidFn free_sid = nullptr;
  GetLengthSidFn sid_length = nullptr;
  InitializeAclFn initialize_acl = nullptr;
  AddAccessAllowedAceFn add_allowed = nullptr;
  SetNamedSecurityInfoAFn set_named = nullptr;
  SetSecurityInfoFn set_security_info = nullptr;
  InitializeSecurityDescriptorFn initialize_descriptor = nullptr;
  SetSecurityDescriptorDaclFn set_descriptor_dacl = nullptr;
  SetSecurityDescriptorControlFn set_descriptor_control = nullptr;  // Windows 2000 and later
  LookupAccountNameWFn lookup_account = nullptr;

  // Every function the loaded advapi32 exports.
  static SecurityCalls Find() {
    SecurityCalls c;
    Get("AllocateAndInitializeSid", &c.allocate_sid);
    Get("FreeSid", &c.free_sid);
    Get("GetLengthSid", &c.sid_length);
    Get("InitializeAcl", &c.initialize_acl);
    Get("AddAccessAllowedAce", &c.add_allowed);
    Get("SetNamedSecurityInfoA", &c.set_named);
    Get("SetSecurityInfo", &c.set_security_info);
    Get("InitializeSecurityDescriptor", &c.initialize_descriptor);
    Get("SetSecurityDescriptorDacl", &c.set_descriptor_dacl);
    Get("SetSecurityDescriptorControl", &c.set_descriptor_control);
    Get("LookupAccountNameW", &c.lookup_account);
    return c;
  }

  // The name of the first function a DACL is built with (NtSid, BuildDacl)
  // that is missing; null when all are there.
  const char* MissingForDacl() const {
    if (!allocate_sid) return "AllocateAndInitializeSid";
    if (!free_sid) return "FreeSid";
    if (!sid_length) return "GetLengthSid";
    if (!initialize_acl) return "InitializeAcl";
    if (!add_allowed) return "AddAccessAllowedAce";
    return nullptr;
  }

 private:
  template <typename Fn>
  static void Get(const char* name, Fn* out) {
    *out = SystemFunction<Fn>("advapi32.dll", name);
  }
};

// A SID in its own buffer (the SDK's layout); empty for none.
using SidBytes = std::vector<BYTE>;

// The SID "S-1-5-<first>[-<second>]" of the NT authority; empty, with the
// last error set, when it cannot be made.
inline SidBytes NtSid(const SecurityCalls& calls, BYTE count, DWORD first, DWORD second) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  if (!calls.allocate_sid(&nt, count, first, second, 0, 0, 0, 0, 0, 0, &sid)) return {};
  const BYTE* bytes = static_cast<const BYTE*>(sid);
  SidBytes out(bytes, bytes + calls.sid_length(sid));
  calls.free_sid(sid);
  return out;
}

// One entry of a DACL: who, which rights, which inheritance flags.
struct AceGrant {
  const SidBytes* sid;
  DWORD rights;
  BYTE flags;
};

// Builds the DACL of `grants` in *acl, a DWORD-aligned buffer. Each entry
// is added with AddAccessAllowedAce (NT 4.0 has no Ex form) and its flags
// are then put into its header, which every NT takes. Returns
// ERROR_SUCCESS, or the error with *failed naming the call that failed.
inline DWORD BuildDacl(const SecurityCalls& calls, const std::vector<AceGrant>& grants,
                       std::vector<DWORD>* acl, const char** failed) {
  DWORD size = sizeof(ACL);
  for (const AceGrant& g : grants)
    size += static_cast<DWORD>(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + g.sid->size());
  size = (size + 3) & ~DWORD{3};
  acl->assign(size / sizeof(DWORD), 0);
  PACL list = reinterpret_cast<PACL>(acl->data());
  if (!calls.initialize_acl(list, size, ACL_REVISION)) {
    *failed = "InitializeAcl";
    return GetLastError();
  }
  BYTE* entry = reinterpret_cast<BYTE*>(list) + sizeof(ACL);
  for (const AceGrant& g : grants) {
    if (!calls.add_allowed(list, ACL_REVISION, g.rights, const_cast<BYTE*>(g.sid->data()))) {
      *failed = "AddAccessAllowedAce";
      return GetLastError();
    }
    ACE_HEADER* header = reinterpret_cast<ACE_HEADER*>(entry);
    header->AceFlags = g.flags;
    entry += header->AceSize;
  }
  return ERROR_SUCCESS;
}
