// Editing a registry key's DACL. The new list is built beside the old one
// and reaches the key only in one final SetSecurityInfo, so a failure at any
// step leaves the key's security as it was. Explicit entries rank before
// inherited ones, and deny before allow, as Windows' canonical order has it.
#include "registry/acl_edit.h"

#include <scoped_handle.h>

namespace {

// The rank of an entry in canonical order, or -1 for types outside it.
INT AcePrecedence(const ACE_HEADER *header) {
  INT rank;
  switch (header->AceType) {
    case ACCESS_DENIED_ACE_TYPE:
      rank = 0;
      break;
    case ACCESS_DENIED_OBJECT_ACE_TYPE:
      rank = 1;
      break;
    case ACCESS_ALLOWED_ACE_TYPE:
      rank = 2;
      break;
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
      rank = 3;
      break;
    default:
      return -1;
  }
  return (header->AceFlags & INHERITED_ACE) ? rank + 4 : rank;
}

BOOL ReadAclSize(PACL list, ACL_SIZE_INFORMATION *info) {
  if (list == NULL) {
    return FALSE;  // a null DACL has no entries to read
  }
  return GetAclInformation(list, info, sizeof(*info), AclSizeInformation);
}

BOOL IdenticalAce(const ACCESS_ALLOWED_ACE *a, const ACCESS_ALLOWED_ACE *b) {
  const BYTE *left = reinterpret_cast<const BYTE *>(a);
  const BYTE *right = reinterpret_cast<const BYTE *>(b);
  for (DWORD i = 0; i < 8; ++i) {
    if (left[i] != right[i]) {
      return FALSE;
    }
  }
  // Equal sizes: both SIDs claim the same room. Check that it is the room
  // the SID itself declares before comparing, so nothing is read past it.
  PSID leftSid = const_cast<DWORD *>(&a->SidStart);
  PSID rightSid = const_cast<DWORD *>(&b->SidStart);
  if (GetLengthSid(leftSid) + 8 != a->Header.AceSize || GetLengthSid(rightSid) + 8 != b->Header.AceSize) {
    return FALSE;
  }
  return EqualSid(leftSid, rightSid) ? TRUE : FALSE;
}

// A zero-filled entry allowing `sid` full, container-inherited access; empty
// when it cannot be built.
kvt::ScopedLocalBlock<ACCESS_ALLOWED_ACE> BuildFullAccessAce(PSID sid) {
  const DWORD sidLength = GetLengthSid(sid);
  const DWORD size = 8 + sidLength;
  kvt::ScopedLocalBlock<ACCESS_ALLOWED_ACE> entry(static_cast<ACCESS_ALLOWED_ACE *>(LocalAlloc(LPTR, size)));
  if (!entry) {
    return entry;
  }
  ACCESS_ALLOWED_ACE *ace = entry.get();
  ace->Header.AceType = ACCESS_ALLOWED_ACE_TYPE;
  ace->Header.AceFlags = CONTAINER_INHERIT_ACE;
  ace->Header.AceSize = static_cast<WORD>(size);
  ace->Mask = KEY_ALL_ACCESS;
  if (!CopySid(sidLength, &ace->SidStart, sid)) {
    entry.reset();
  }
  return entry;
}

// Builds in a new block the entries of `old` followed by nothing else, with
// `extra` more bytes of room; empty on any failure.
kvt::ScopedLocalBlock<ACL> CopyAclWithRoom(PACL old, DWORD extra) {
  ACL_SIZE_INFORMATION info;
  if (!ReadAclSize(old, &info)) {
    return {};
  }
  const DWORD size = info.AclBytesInUse + extra;
  kvt::ScopedLocalBlock<ACL> list(static_cast<PACL>(LocalAlloc(LPTR, size)));
  if (!list) {
    return list;
  }
  BOOL ok = InitializeAcl(list.get(), size, ACL_REVISION);
  for (DWORD i = 0; ok && i < info.AceCount; ++i) {
    LPVOID entry = NULL;
    ok = GetAce(old, i, &entry) &&
         AddAce(list.get(), ACL_REVISION, MAXDWORD, entry, static_cast<ACE_HEADER *>(entry)->AceSize);
  }
  if (!ok) {
    list.reset();
  }
  return list;
}

}  // namespace

INT FindAce(PACL list, const ACCESS_ALLOWED_ACE *entry) {
  ACL_SIZE_INFORMATION info;
  if (!ReadAclSize(list, &info)) {
    return -1;
  }
  for (DWORD i = info.AceCount; i > 0; --i) {
    LPVOID candidate = NULL;
    if (!GetAce(list, i - 1, &candidate)) {
      return -1;
    }
    if (IdenticalAce(static_cast<const ACCESS_ALLOWED_ACE *>(candidate), entry)) {
      return static_cast<INT>(i - 1);
    }
  }
  return -1;
}

INT CanonicalAceIndex(PACL list, const ACE_HEADER *entry) {
  const INT rank = AcePrecedence(entry);
  ACL_SIZE_INFORMATION info;
  if (rank < 0 || !ReadAclSize(list, &info)) {
    return -1;
  }
  for (DWORD i = 0; i < info.AceCount; ++i) {
    LPVOID candidate = NULL;
    if (!GetAce(list, i, &candidate)) {
      return -1;
    }
    const INT candidateRank = AcePrecedence(static_cast<const ACE_HEADER *>(candidate));
    if (candidateRank < 0) {
      return -1;
    }
    if (candidateRank >= rank) {
      return static_cast<INT>(i);
    }
  }
  return static_cast<INT>(info.AceCount);
}

INT GrantKeyAccess(PSID sid, HKEY key) {
  PACL oldDacl = NULL;
  kvt::ScopedSecurityDescriptor descriptor;
  if (GetSecurityInfo(reinterpret_cast<HANDLE>(key), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, &oldDacl,
                      NULL, descriptor.receive()) != ERROR_SUCCESS) {
    return 0;
  }
  const kvt::ScopedLocalBlock<ACCESS_ALLOWED_ACE> entry = BuildFullAccessAce(sid);
  if (!entry) {
    return 0;
  }
  // The old list lives inside the descriptor and is edited there.
  ACCESS_ALLOWED_ACE *ace = entry.get();
  const INT existing = FindAce(oldDacl, ace);
  if (existing >= 0 && !DeleteAce(oldDacl, static_cast<DWORD>(existing))) {
    return 1;
  }
  const kvt::ScopedLocalBlock<ACL> newDacl = CopyAclWithRoom(oldDacl, ace->Header.AceSize + 8u);
  if (!newDacl) {
    return 0;
  }
  // -1 becomes MAXDWORD: the entry is then appended.
  const DWORD index = static_cast<DWORD>(CanonicalAceIndex(newDacl.get(), &ace->Header));
  if (!AddAce(newDacl.get(), ACL_REVISION, index, ace, ace->Header.AceSize) ||
      SetSecurityInfo(reinterpret_cast<HANDLE>(key), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL,
                      newDacl.get(), NULL) != ERROR_SUCCESS) {
    return 0;
  }
  return 1;
}
