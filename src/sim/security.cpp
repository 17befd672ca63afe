// advapi32 of the simulated machine: SIDs, ACLs and security descriptors
// in the SDK's own layout; SetNamedSecurityInfoA and SetSecurityInfo, which
// keep a file's DACL with its node (see FileSystem::SetDacl); the machine's
// accounts and the calling thread's user (ActAs). Only access-allowed
// entries are understood; owner, group and SACL are not kept.
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/code_page.h"
#include "sim/machine.h"
#include "sim/scheduler.h"
#include "sim/win32_api.h"

namespace {

// The SID's fixed part: revision, count, authority; the sub-authorities follow.
struct SidHeader {
  BYTE revision;
  BYTE count;
  BYTE authority[6];
};
constexpr BYTE kSidRevision = 1;
constexpr BYTE kMaxSubAuthorities = 15;

const SidHeader* HeaderOf(PSID sid) { return static_cast<const SidHeader*>(sid); }

bool ValidSid(PSID sid) {
  return sid && HeaderOf(sid)->revision == kSidRevision &&
         HeaderOf(sid)->count <= kMaxSubAuthorities;
}

DWORD SidLength(PSID sid) { return sizeof(SidHeader) + sizeof(DWORD) * HeaderOf(sid)->count; }

// "S-1-5-32-544".
std::string SidText(PSID sid) {
  const SidHeader* h = HeaderOf(sid);
  uint64_t authority = 0;
  for (BYTE b : h->authority) authority = (authority << 8) | b;
  std::string text = "S-1-" + std::to_string(authority);
  const BYTE* subs = static_cast<const BYTE*>(sid) + sizeof(SidHeader);
  for (BYTE i = 0; i < h->count; ++i) {
    DWORD sub;
    std::memcpy(&sub, subs + i * sizeof(DWORD), sizeof(sub));
    text += "-" + std::to_string(sub);
  }
  return text;
}

bool ValidAcl(const ACL* acl) {
  return acl && acl->AclRevision == ACL_REVISION && acl->AclSize >= sizeof(ACL);
}

// Where the ACL's entries end, or null when they overrun its size.
BYTE* EndOfEntries(PACL acl) {
  BYTE* base = reinterpret_cast<BYTE*>(acl);
  size_t offset = sizeof(ACL);
  for (WORD i = 0; i < acl->AceCount; ++i) {
    if (offset + sizeof(ACE_HEADER) > acl->AclSize) return nullptr;
    ACE_HEADER header;
    std::memcpy(&header, base + offset, sizeof(header));
    if (header.AceSize < sizeof(ACE_HEADER) || offset + header.AceSize > acl->AclSize) return nullptr;
    offset += header.AceSize;
  }
  return base + offset;
}

// The entries of a well-formed ACL (see EndOfEntries) into `dacl`.
// Returns 0, or the error for an entry this machine does not understand.
DWORD ReadAcl(PACL acl, sim::Dacl* dacl) {
  const BYTE* entry = reinterpret_cast<const BYTE*>(acl) + sizeof(ACL);
  for (WORD i = 0; i < acl->AceCount; ++i) {
    ACE_HEADER header;
    std::memcpy(&header, entry, sizeof(header));
    if (header.AceType != ACCESS_ALLOWED_ACE_TYPE) return ERROR_INVALID_ACL;
    sim::AceEntry e;
    std::memcpy(&e.mask, entry + sizeof(ACE_HEADER), sizeof(DWORD));
    PSID sid = const_cast<BYTE*>(entry + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD));
    if (!ValidSid(sid)) return ERROR_INVALID_SID;
    e.sid = SidText(sid);
    e.flags = header.AceFlags;
    dacl->entries.push_back(e);
    entry += header.AceSize;
  }
  return ERROR_SUCCESS;
}

// For SetNamedSecurityInfoA and SetSecurityInfo: the DACL a call sets on
// a file, in *dacl. Windows 2000 and later take
// PROTECTED_DACL_SECURITY_INFORMATION; NT 4.0, which has no protected
// DACLs, refuses it like anything else but the DACL (87). Returns 0 or the
// error.
DWORD DaclToSet(SE_OBJECT_TYPE type, SECURITY_INFORMATION what, PACL acl, sim::Dacl* dacl) {
  const bool windows2000 = sim::M().platform().Windows2000OrLater();
  const DWORD known = DACL_SECURITY_INFORMATION | (windows2000 ? PROTECTED_DACL_SECURITY_INFORMATION : 0);
  if (type != SE_FILE_OBJECT || what != (what & known) || !(what & DACL_SECURITY_INFORMATION) ||
      !ValidAcl(acl) || !EndOfEntries(acl))
    return ERROR_INVALID_PARAMETER;
  dacl->is_protected = (what & PROTECTED_DACL_SECURITY_INFORMATION) != 0;
  return ReadAcl(acl, dacl);
}

// The SID "S-1-5-21-...-1001" in the SDK's layout.
std::vector<BYTE> SidBytes(const std::string& text) {
  std::vector<uint64_t> numbers;
  size_t at = 2;  // past "S-"
  while (at < text.size()) {
    size_t end = text.find('-', at);
    if (end == std::string::npos) end = text.size();
    numbers.push_back(std::stoull(text.substr(at, end - at)));
    at = end + 1;
  }
  // numbers: revision, authority, sub-authorities
  SidHeader header{kSidRevision, static_cast<BYTE>(numbers.size() - 2), {}};
  for (int i = 5; i >= 0; --i) header.authority[5 - i] = static_cast<BYTE>(numbers[1] >> (8 * i));
  std::vector<BYTE> sid(sizeof(header) + sizeof(DWORD) * header.count);
  std::memcpy(sid.data(), &header, sizeof(header));
  for (BYTE i = 0; i < header.count; ++i) {
    const DWORD sub = static_cast<DWORD>(numbers[2 + i]);
    std::memcpy(sid.data() + sizeof(header) + i * sizeof(DWORD), &sub, sizeof(sub));
  }
  return sid;
}

}  // namespace

BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority,
                                     BYTE nSubAuthorityCount, DWORD nSubAuthority0,
                                     DWORD nSubAuthority1, DWORD nSubAuthority2,
                                     DWORD nSubAuthority3, DWORD nSubAuthority4,
                                     DWORD nSubAuthority5, DWORD nSubAuthority6,
                                     DWORD nSubAuthority7, PSID* pSid) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("AllocateAndInitializeSid")) return FALSE;
  if (!pIdentifierAuthority || !pSid || nSubAuthorityCount > 8) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD subs[8] = {nSubAuthority0, nSubAuthority1, nSubAuthority2, nSubAuthority3,
                         nSubAuthority4, nSubAuthority5, nSubAuthority6, nSubAuthority7};
  BYTE* sid = new BYTE[sizeof(SidHeader) + sizeof(DWORD) * nSubAuthorityCount];
  SidHeader header{kSidRevision, nSubAuthorityCount, {}};
  std::memcpy(header.authority, pIdentifierAuthority->Value, sizeof(header.authority));
  std::memcpy(sid, &header, sizeof(header));
  std::memcpy(sid + sizeof(header), subs, sizeof(DWORD) * nSubAuthorityCount);
  *pSid = sid;
  return TRUE;
}

// Null when freed, as the documentation has it.
PVOID WINAPI FreeSid(PSID pSid) {
  sim::ApiLock lock;
  delete[] static_cast<BYTE*>(pSid);
  return nullptr;
}

DWORD WINAPI GetLengthSid(PSID pSid) {
  sim::ApiLock lock;
  return ValidSid(pSid) ? SidLength(pSid) : 0;
}

BOOL WINAPI InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("InitializeAcl")) return FALSE;
  if (!pAcl || nAclLength < sizeof(ACL) || nAclLength > 0xFFFF || nAclLength % 4 != 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (dwAclRevision != ACL_REVISION) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::memset(pAcl, 0, sizeof(ACL));
  pAcl->AclRevision = ACL_REVISION;
  pAcl->AclSize = static_cast<WORD>(nAclLength);
  return TRUE;
}

// Appends the entry without inheritance flags, as NT 4.0's function does.
BOOL WINAPI AddAccessAllowedAce(PACL pAcl, DWORD dwAceRevision, DWORD AccessMask, PSID pSid) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("AddAccessAllowedAce")) return FALSE;
  if (!ValidAcl(pAcl) || dwAceRevision != ACL_REVISION) {
    SetLastError(ERROR_INVALID_ACL);
    return FALSE;
  }
  if (!ValidSid(pSid)) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  BYTE* end = EndOfEntries(pAcl);
  if (!end) {
    SetLastError(ERROR_INVALID_ACL);
    return FALSE;
  }
  const DWORD size = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + SidLength(pSid);
  if (end + size > reinterpret_cast<BYTE*>(pAcl) + pAcl->AclSize) {
    SetLastError(ERROR_ALLOTTED_SPACE_EXCEEDED);
    return FALSE;
  }
  ACCESS_ALLOWED_ACE ace{{ACCESS_ALLOWED_ACE_TYPE, 0, static_cast<WORD>(size)}, AccessMask, 0};
  std::memcpy(end, &ace, sizeof(ace) - sizeof(DWORD));
  std::memcpy(end + sizeof(ace) - sizeof(DWORD), pSid, SidLength(pSid));
  ++pAcl->AceCount;
  return TRUE;
}

// Keeps the DACL with the file or folder. Windows 2000 and later pass the
// inheritable entries on to the existing children; NT 4.0 sets the named
// object alone and, having no protected DACLs, refuses
// PROTECTED_DACL_SECURITY_INFORMATION (87).
DWORD WINAPI SetNamedSecurityInfoA(LPSTR pObjectName, SE_OBJECT_TYPE ObjectType,
                                   SECURITY_INFORMATION SecurityInfo, PSID psidOwner,
                                   PSID psidGroup, PACL pDacl, PACL pSacl) {
  sim::ApiLock lock;
  DWORD fault = 0;
  if (sim::M().TakeFault("SetNamedSecurityInfoA", &fault)) return fault;
  if (!pObjectName) return ERROR_INVALID_PARAMETER;
  sim::Dacl dacl;
  const DWORD error = DaclToSet(ObjectType, SecurityInfo, pDacl, &dacl);
  if (error) return error;
  const bool windows2000 = sim::M().platform().Windows2000OrLater();
  return sim::M().files.SetDacl(sim::AnsiToUtf8(pObjectName), dacl, windows2000);
}

// Sets the DACL of the open file or folder, which is not passed on to
// anything else; the handle needs WRITE_DAC.
DWORD WINAPI SetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType,
                             SECURITY_INFORMATION SecurityInfo, PSID psidOwner, PSID psidGroup,
                             PACL pDacl, PACL pSacl) {
  sim::ApiLock lock;
  DWORD fault = 0;
  if (sim::M().TakeFault("SetSecurityInfo", &fault)) return fault;
  sim::Dacl dacl;
  const DWORD error = DaclToSet(ObjectType, SecurityInfo, pDacl, &dacl);
  if (error) return error;
  return sim::M().files.SetDaclThrough(handle, dacl);
}

BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR pSecurityDescriptor, DWORD dwRevision) {
  sim::ApiLock lock;
  if (dwRevision != SECURITY_DESCRIPTOR_REVISION) {
    SetLastError(ERROR_UNKNOWN_REVISION);
    return FALSE;
  }
  SECURITY_DESCRIPTOR descriptor{};
  descriptor.Revision = SECURITY_DESCRIPTOR_REVISION;
  std::memcpy(pSecurityDescriptor, &descriptor, sizeof(descriptor));
  return TRUE;
}

BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR pSecurityDescriptor, BOOL bDaclPresent,
                                      PACL pDacl, BOOL bDaclDefaulted) {
  sim::ApiLock lock;
  auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
  if (descriptor->Revision != SECURITY_DESCRIPTOR_REVISION) {
    SetLastError(ERROR_UNKNOWN_REVISION);
    return FALSE;
  }
  if (descriptor->Control & SE_SELF_RELATIVE) {
    SetLastError(ERROR_INVALID_SECURITY_DESCR);
    return FALSE;
  }
  descriptor->Control = static_cast<WORD>(bDaclPresent ? descriptor->Control | SE_DACL_PRESENT
                                                       : descriptor->Control & ~SE_DACL_PRESENT);
  descriptor->Dacl = bDaclPresent ? pDacl : nullptr;
  return TRUE;
}

// Only SE_DACL_PROTECTED (and the other inheritance bits) may be changed.
BOOL WINAPI SetSecurityDescriptorControl(PSECURITY_DESCRIPTOR pSecurityDescriptor,
                                         SECURITY_DESCRIPTOR_CONTROL ControlBitsOfInterest,
                                         SECURITY_DESCRIPTOR_CONTROL ControlBitsToSet) {
  sim::ApiLock lock;
  constexpr WORD kSettable = 0x0100 | 0x0200 | 0x0400 | 0x0800 | SE_DACL_PROTECTED | 0x2000;
  auto* descriptor = static_cast<SECURITY_DESCRIPTOR*>(pSecurityDescriptor);
  if ((ControlBitsOfInterest | ControlBitsToSet) & ~kSettable) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  descriptor->Control = static_cast<WORD>((descriptor->Control & ~ControlBitsOfInterest) |
                                          (ControlBitsToSet & ControlBitsOfInterest));
  return TRUE;
}

// Finds a user of the machine, or one of the well-known groups a DACL
// names; ERROR_NONE_MAPPED for anyone else (a user of another machine).
BOOL WINAPI LookupAccountNameW(LPCWSTR lpSystemName, LPCWSTR lpAccountName, PSID Sid,
                               LPDWORD cbSid, LPWSTR ReferencedDomainName,
                               LPDWORD cchReferencedDomainName, PSID_NAME_USE peUse) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("LookupAccountNameW")) return FALSE;
  std::string name;
  if (lpSystemName || !lpAccountName || !cbSid || !cchReferencedDomainName || !peUse ||
      !sim::WideToUtf8(lpAccountName, &name)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct Known {
    const char* name;
    const char* sid;
    const char* domain;
    SID_NAME_USE use;
  };
  static const Known kGroups[] = {{"Everyone", "S-1-1-0", "", SidTypeWellKnownGroup},
                                  {"SYSTEM", "S-1-5-18", "NT AUTHORITY", SidTypeWellKnownGroup},
                                  {"Administrators", "S-1-5-32-544", "BUILTIN", SidTypeAlias},
                                  {"Users", "S-1-5-32-545", "BUILTIN", SidTypeAlias}};
  std::string sid_text, domain;
  SID_NAME_USE use = SidTypeUser;
  for (const Known& k : kGroups)
    if (sim::EqualNoCase(name, k.name)) sid_text = k.sid, domain = k.domain, use = k.use;
  const sim::Account* account = sim::M().FindAccount(name);
  if (sid_text.empty() && account) sid_text = account->sid, domain = "WORKSTATION";
  if (sid_text.empty()) {
    SetLastError(ERROR_NONE_MAPPED);
    return FALSE;
  }
  const std::vector<BYTE> sid = SidBytes(sid_text);
  const std::wstring wide_domain = sim::Utf8ToWide(domain);
  if (*cbSid < sid.size() || *cchReferencedDomainName <= wide_domain.size() || !Sid ||
      !ReferencedDomainName) {
    *cbSid = static_cast<DWORD>(sid.size());
    *cchReferencedDomainName = static_cast<DWORD>(wide_domain.size() + 1);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(Sid, sid.data(), sid.size());
  std::memcpy(ReferencedDomainName, wide_domain.c_str(), (wide_domain.size() + 1) * sizeof(wchar_t));
  *cbSid = static_cast<DWORD>(sid.size());
  *cchReferencedDomainName = static_cast<DWORD>(wide_domain.size());
  *peUse = use;
  return TRUE;
}

// The calling thread's user; *pcbBuffer counts characters with the NUL.
BOOL WINAPI GetUserNameW(LPWSTR lpBuffer, LPDWORD pcbBuffer) {
  sim::ApiLock lock;
  if (sim::M().TakeFault("GetUserNameW")) return FALSE;
  const std::wstring name = sim::Utf8ToWide(sim::CurrentUser().name);
  if (!pcbBuffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!lpBuffer || *pcbBuffer <= name.size()) {
    *pcbBuffer = static_cast<DWORD>(name.size() + 1);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(lpBuffer, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  *pcbBuffer = static_cast<DWORD>(name.size() + 1);
  return TRUE;
}

namespace sim {

namespace {
// The user an ActAs made the calling thread act as.
thread_local std::optional<Account> acting;
}  // namespace

ActAs::ActAs(const std::string& name) {
  ApiLock lock;
  previous_ = acting;
  const Account* account = M().FindAccount(name);
  // A user of another machine: a SID of that machine's, none of this one's.
  acting = account ? *account
                   : Account{name, "S-1-5-21-3052124301-2093371811-1404330497-" +
                                       std::to_string(1100 + std::hash<std::string>{}(name) % 8900),
                             false};
}

ActAs::~ActAs() { acting = previous_; }

Account CurrentUser() {
  ApiLock lock;
  if (acting) return *acting;
  return *M().FindAccount(M().administrator ? "Administrator" : "bob");
}

std::vector<std::string> TokenSids() {
  const Account user = CurrentUser();
  std::vector<std::string> sids{user.sid, "S-1-1-0", "S-1-5-11", "S-1-5-32-545"};
  if (user.administrator) sids.push_back("S-1-5-32-544");
  return sids;
}

DWORD DaclOfAttributes(const SECURITY_ATTRIBUTES* attributes, std::optional<Dacl>* dacl) {
  dacl->reset();
  if (!attributes || !attributes->lpSecurityDescriptor) return ERROR_SUCCESS;
  const auto* descriptor = static_cast<const SECURITY_DESCRIPTOR*>(attributes->lpSecurityDescriptor);
  if (descriptor->Revision != SECURITY_DESCRIPTOR_REVISION || (descriptor->Control & SE_SELF_RELATIVE))
    return ERROR_INVALID_SECURITY_DESCR;
  // No DACL, or a null one: nothing restricts the new file.
  if (!(descriptor->Control & SE_DACL_PRESENT) || !descriptor->Dacl) return ERROR_SUCCESS;
  if (!ValidAcl(descriptor->Dacl) || !EndOfEntries(descriptor->Dacl)) return ERROR_INVALID_ACL;
  Dacl read;
  read.is_protected = (descriptor->Control & SE_DACL_PROTECTED) != 0;
  const DWORD error = ReadAcl(descriptor->Dacl, &read);
  if (error) return error;
  *dacl = read;
  return ERROR_SUCCESS;
}

}  // namespace sim
