// Access-control lists in their Windows layout: an 8-byte header (revision,
// size, entry count) followed by the entries back to back, each starting
// with its type, flags and size. The advapi32 ACL calls and the model's
// helpers that read and build such lists.
#include "security_model.h"

#include <cstring>

namespace platform::security {

namespace {

constexpr size_t kAclHeader = sizeof(ACL);

// The bytes in use by the header and the entries of a valid ACL.
size_t BytesInUse(const ACL *acl) {
  const auto *bytes = reinterpret_cast<const uint8_t *>(acl);
  size_t offset = kAclHeader;
  for (WORD i = 0; i < acl->AceCount; ++i) {
    WORD size = 0;
    std::memcpy(&size, bytes + offset + 2, 2);
    offset += size;
  }
  return offset;
}

size_t OffsetOfAce(const ACL *acl, DWORD index) {
  const auto *bytes = reinterpret_cast<const uint8_t *>(acl);
  size_t offset = kAclHeader;
  for (DWORD i = 0; i < index; ++i) {
    WORD size = 0;
    std::memcpy(&size, bytes + offset + 2, 2);
    offset += size;
  }
  return offset;
}

// Counts the well-formed entries in `length` bytes; false when they do not
// fill the bytes exactly.
bool CountAces(const uint8_t *list, size_t length, WORD *count) {
  size_t offset = 0;
  WORD entries = 0;
  while (offset < length) {
    if (length - offset < sizeof(ACE_HEADER)) return false;
    WORD size = 0;
    std::memcpy(&size, list + offset + 2, 2);
    if (size < sizeof(ACE_HEADER) || size > length - offset) return false;
    offset += size;
    ++entries;
  }
  *count = entries;
  return true;
}

bool IsObjectAce(uint8_t type) {
  return type == ACCESS_ALLOWED_OBJECT_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE;
}

}  // namespace

bool IsValidAclBytes(const ACL *acl) {
  if (acl == nullptr || acl->AclRevision < MIN_ACL_REVISION || acl->AclRevision > MAX_ACL_REVISION) return false;
  if (acl->AclSize < kAclHeader) return false;
  const auto *bytes = reinterpret_cast<const uint8_t *>(acl);
  size_t offset = kAclHeader;
  for (WORD i = 0; i < acl->AceCount; ++i) {
    if (acl->AclSize - offset < sizeof(ACE_HEADER)) return false;
    WORD size = 0;
    std::memcpy(&size, bytes + offset + 2, 2);
    if (size < sizeof(ACE_HEADER) || size > acl->AclSize - offset) return false;
    offset += size;
  }
  return true;
}

std::vector<Bytes> AceList(const ACL *acl) {
  std::vector<Bytes> aces;
  const auto *bytes = reinterpret_cast<const uint8_t *>(acl);
  size_t offset = kAclHeader;
  for (WORD i = 0; i < acl->AceCount; ++i) {
    WORD size = 0;
    std::memcpy(&size, bytes + offset + 2, 2);
    aces.emplace_back(bytes + offset, bytes + offset + size);
    offset += size;
  }
  return aces;
}

Bytes BuildAcl(const std::vector<Bytes> &aces) {
  Bytes acl(kAclHeader, 0);
  acl[0] = ACL_REVISION;
  WORD count = 0;
  for (const Bytes &ace : aces) {
    // An ACL cannot grow past 64 KB; entries that would not fit are left out.
    if (acl.size() + ace.size() > 0xFFFF) break;
    if (IsObjectAce(ace[0])) acl[0] = ACL_REVISION_DS;
    acl.insert(acl.end(), ace.begin(), ace.end());
    ++count;
  }
  const auto aclSize = static_cast<WORD>(acl.size());
  std::memcpy(acl.data() + 2, &aclSize, 2);
  std::memcpy(acl.data() + 4, &count, 2);
  return acl;
}

const uint8_t *AceSid(const Bytes &ace) {
  size_t offset = 8;
  if (IsObjectAce(ace[0])) {
    if (ace.size() < 12) return nullptr;
    DWORD flags = 0;
    std::memcpy(&flags, ace.data() + 8, 4);
    offset = 12 + ((flags & 1) != 0 ? 16 : 0) + ((flags & 2) != 0 ? 16 : 0);
  } else if (ace[0] > SYSTEM_ALARM_ACE_TYPE) {
    return nullptr;
  }
  if (ace.size() <= offset || !IsValidSidBytes(ace.data() + offset, ace.size() - offset)) return nullptr;
  return ace.data() + offset;
}

}  // namespace platform::security

using namespace platform::security;

extern "C" BOOL WINAPI InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision) {
  if (dwAclRevision < MIN_ACL_REVISION || dwAclRevision > MAX_ACL_REVISION || nAclLength > 0xFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (pAcl == nullptr || nAclLength < sizeof(ACL)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memset(pAcl, 0, sizeof(ACL));
  pAcl->AclRevision = static_cast<BYTE>(dwAclRevision);
  pAcl->AclSize = static_cast<WORD>(nAclLength);
  return TRUE;
}

extern "C" BOOL WINAPI IsValidAcl(PACL pAcl) { return IsValidAclBytes(pAcl) ? TRUE : FALSE; }

extern "C" BOOL WINAPI GetAclInformation(PACL pAcl, LPVOID pAclInformation, DWORD nAclInformationLength,
                                         ACL_INFORMATION_CLASS dwAclInformationClass) {
  if (!IsValidAclBytes(pAcl)) {
    SetLastError(ERROR_INVALID_ACL);
    return FALSE;
  }
  if (dwAclInformationClass == AclSizeInformation) {
    if (pAclInformation == nullptr || nAclInformationLength < sizeof(ACL_SIZE_INFORMATION)) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    ACL_SIZE_INFORMATION info{};
    info.AceCount = pAcl->AceCount;
    info.AclBytesInUse = static_cast<DWORD>(BytesInUse(pAcl));
    info.AclBytesFree = pAcl->AclSize - info.AclBytesInUse;
    std::memcpy(pAclInformation, &info, sizeof(info));
    return TRUE;
  }
  if (dwAclInformationClass == AclRevisionInformation) {
    if (pAclInformation == nullptr || nAclInformationLength < sizeof(ACL_REVISION_INFORMATION)) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    const ACL_REVISION_INFORMATION info{pAcl->AclRevision};
    std::memcpy(pAclInformation, &info, sizeof(info));
    return TRUE;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

extern "C" BOOL WINAPI GetAce(PACL pAcl, DWORD dwAceIndex, LPVOID *pAce) {
  if (!IsValidAclBytes(pAcl) || pAce == nullptr || dwAceIndex >= pAcl->AceCount) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *pAce = reinterpret_cast<uint8_t *>(pAcl) + OffsetOfAce(pAcl, dwAceIndex);
  return TRUE;
}

extern "C" BOOL WINAPI AddAce(PACL pAcl, DWORD dwAceRevision, DWORD dwStartingAceIndex, LPVOID pAceList,
                              DWORD nAceListLength) {
  WORD added = 0;
  if (!IsValidAclBytes(pAcl) || dwAceRevision < MIN_ACL_REVISION || dwAceRevision > MAX_ACL_REVISION ||
      (pAceList == nullptr && nAceListLength != 0) ||
      !CountAces(static_cast<const uint8_t *>(pAceList), nAceListLength, &added)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const size_t inUse = BytesInUse(pAcl);
  if (nAceListLength > pAcl->AclSize - inUse || pAcl->AceCount + added > 0xFFFF) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const DWORD index = dwStartingAceIndex > pAcl->AceCount ? pAcl->AceCount : dwStartingAceIndex;
  auto *bytes = reinterpret_cast<uint8_t *>(pAcl);
  const size_t at = OffsetOfAce(pAcl, index);
  std::memmove(bytes + at + nAceListLength, bytes + at, inUse - at);
  if (nAceListLength != 0) std::memcpy(bytes + at, pAceList, nAceListLength);
  pAcl->AceCount = static_cast<WORD>(pAcl->AceCount + added);
  if (pAcl->AclRevision < dwAceRevision) pAcl->AclRevision = static_cast<BYTE>(dwAceRevision);
  return TRUE;
}

extern "C" BOOL WINAPI DeleteAce(PACL pAcl, DWORD dwAceIndex) {
  if (!IsValidAclBytes(pAcl) || dwAceIndex >= pAcl->AceCount) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto *bytes = reinterpret_cast<uint8_t *>(pAcl);
  const size_t inUse = BytesInUse(pAcl);
  const size_t at = OffsetOfAce(pAcl, dwAceIndex);
  WORD size = 0;
  std::memcpy(&size, bytes + at + 2, 2);
  std::memmove(bytes + at, bytes + at + size, inUse - at - size);
  std::memset(bytes + inUse - size, 0, size);
  --pAcl->AceCount;
  return TRUE;
}

namespace {

BOOL AddPlainAce(PACL pAcl, DWORD revision, BYTE type, DWORD flags, DWORD mask, PSID sid) {
  if (!IsValidAclBytes(pAcl) || revision < MIN_ACL_REVISION || revision > MAX_ACL_REVISION ||
      (flags & ~static_cast<DWORD>(VALID_INHERIT_FLAGS)) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!IsValidSidBytes(sid, SECURITY_MAX_SID_SIZE)) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  const size_t sidLength = SidLength(sid);
  const size_t size = 8 + sidLength;
  const size_t inUse = BytesInUse(pAcl);
  if (size > pAcl->AclSize - inUse) {
    SetLastError(ERROR_ALLOTTED_SPACE_EXCEEDED);
    return FALSE;
  }
  auto *ace = reinterpret_cast<uint8_t *>(pAcl) + inUse;
  ace[0] = type;
  ace[1] = static_cast<BYTE>(flags);
  const auto aceSize = static_cast<WORD>(size);
  std::memcpy(ace + 2, &aceSize, 2);
  std::memcpy(ace + 4, &mask, 4);
  std::memcpy(ace + 8, sid, sidLength);
  ++pAcl->AceCount;
  if (pAcl->AclRevision < revision) pAcl->AclRevision = static_cast<BYTE>(revision);
  return TRUE;
}

}  // namespace

extern "C" BOOL WINAPI AddAccessAllowedAceEx(PACL pAcl, DWORD dwAceRevision, DWORD AceFlags, DWORD AccessMask,
                                             PSID pSid) {
  return AddPlainAce(pAcl, dwAceRevision, ACCESS_ALLOWED_ACE_TYPE, AceFlags, AccessMask, pSid);
}

extern "C" BOOL WINAPI AddAccessDeniedAceEx(PACL pAcl, DWORD dwAceRevision, DWORD AceFlags, DWORD AccessMask,
                                            PSID pSid) {
  return AddPlainAce(pAcl, dwAceRevision, ACCESS_DENIED_ACE_TYPE, AceFlags, AccessMask, pSid);
}
