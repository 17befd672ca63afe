// advapi32 of the simulated machine: SIDs and ACLs in the SDK's own layout,
// and SetNamedSecurityInfoA, which keeps a file's DACL with its node (see
// FileSystem::SetDacl). Only access-allowed entries are understood; owner,
// group and SACL are not kept.
#include <cstring>
#include <string>

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
  const bool windows2000 = sim::M().platform().driver_version >= 3;
  const DWORD known = DACL_SECURITY_INFORMATION | (windows2000 ? PROTECTED_DACL_SECURITY_INFORMATION : 0);
  if (!pObjectName || ObjectType != SE_FILE_OBJECT || SecurityInfo != (SecurityInfo & known) ||
      !(SecurityInfo & DACL_SECURITY_INFORMATION) || !ValidAcl(pDacl) || !EndOfEntries(pDacl))
    return ERROR_INVALID_PARAMETER;
  sim::Dacl dacl;
  dacl.is_protected = (SecurityInfo & PROTECTED_DACL_SECURITY_INFORMATION) != 0;
  const BYTE* entry = reinterpret_cast<const BYTE*>(pDacl) + sizeof(ACL);
  for (WORD i = 0; i < pDacl->AceCount; ++i) {
    ACE_HEADER header;
    std::memcpy(&header, entry, sizeof(header));
    if (header.AceType != ACCESS_ALLOWED_ACE_TYPE) return ERROR_INVALID_ACL;
    sim::AceEntry e;
    std::memcpy(&e.mask, entry + sizeof(ACE_HEADER), sizeof(DWORD));
    PSID sid = const_cast<BYTE*>(entry + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD));
    if (!ValidSid(sid)) return ERROR_INVALID_SID;
    e.sid = SidText(sid);
    e.flags = header.AceFlags;
    dacl.entries.push_back(e);
    entry += header.AceSize;
  }
  return sim::M().files.SetDacl(sim::AnsiToUtf8(pObjectName), dacl, windows2000);
}
