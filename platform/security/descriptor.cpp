// A key's security descriptor: its self-relative form for GetSecurityInfo,
// the access check against the process identity, and the inheritance of
// container-inherit entries by subkeys.
#include "security_model.h"

#include <cstring>

namespace platform::security {

namespace {

constexpr size_t kRelativeHeader = 20;  // revision, control, four offsets

void PutDword(Bytes &bytes, size_t at, DWORD value) { std::memcpy(bytes.data() + at, &value, 4); }

DWORD AceMask(const Bytes &ace) {
  DWORD mask = 0;
  std::memcpy(&mask, ace.data() + 4, 4);
  return mask;
}

// Everything a key's access mask can hold.
constexpr ACCESS_MASK kKeyRights = KEY_ALL_ACCESS;

}  // namespace

ACCESS_MASK MapKeyGenericRights(ACCESS_MASK mask) {
  if ((mask & GENERIC_READ) != 0) mask |= KEY_READ;
  if ((mask & GENERIC_WRITE) != 0) mask |= KEY_WRITE;
  if ((mask & GENERIC_EXECUTE) != 0) mask |= KEY_EXECUTE;
  if ((mask & GENERIC_ALL) != 0) mask |= KEY_ALL_ACCESS;
  return mask & ~static_cast<ACCESS_MASK>(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
}

Bytes SelfRelative(const Descriptor &descriptor, SECURITY_INFORMATION what) {
  struct Part {
    const Bytes *bytes;
    size_t offsetField;
  };
  std::vector<Part> parts;
  WORD control = SE_SELF_RELATIVE;
  if ((what & OWNER_SECURITY_INFORMATION) != 0) parts.push_back({&descriptor.owner, 4});
  if ((what & GROUP_SECURITY_INFORMATION) != 0) parts.push_back({&descriptor.group, 8});
  if ((what & DACL_SECURITY_INFORMATION) != 0) {
    control |= SE_DACL_PRESENT;
    if (descriptor.daclProtected) control |= SE_DACL_PROTECTED;
    if (descriptor.daclAutoInherited) control |= SE_DACL_AUTO_INHERITED;
    if (descriptor.daclPresent) parts.push_back({&descriptor.dacl, 16});
  }
  // Sized once, then filled: each part follows the header at the offset
  // its field gives.
  size_t size = kRelativeHeader;
  for (const Part &part : parts) size += part.bytes->size();
  Bytes bytes(size, 0);
  bytes[0] = SECURITY_DESCRIPTOR_REVISION;
  std::memcpy(bytes.data() + 2, &control, 2);
  size_t at = kRelativeHeader;
  for (const Part &part : parts) {
    PutDword(bytes, part.offsetField, static_cast<DWORD>(at));
    if (!part.bytes->empty()) std::memcpy(bytes.data() + at, part.bytes->data(), part.bytes->size());
    at += part.bytes->size();
  }
  return bytes;
}

bool CheckKeyAccess(const Descriptor &descriptor, ACCESS_MASK desired, ACCESS_MASK *granted) {
  const bool maximum = (desired & MAXIMUM_ALLOWED) != 0;
  desired = MapKeyGenericRights(desired & ~static_cast<ACCESS_MASK>(MAXIMUM_ALLOWED | SYNCHRONIZE)) & kKeyRights;
  if (!descriptor.daclPresent) {
    *granted = maximum ? kKeyRights : desired;
    return true;
  }
  ACCESS_MASK allowed = 0;
  ACCESS_MASK denied = 0;
  if (InToken(descriptor.owner.data(), descriptor.owner.size())) allowed |= READ_CONTROL | WRITE_DAC;
  const ACL *acl = reinterpret_cast<const ACL *>(descriptor.dacl.data());
  for (const Bytes &ace : AceList(acl)) {
    const uint8_t type = ace[0];
    if ((ace[1] & INHERIT_ONLY_ACE) != 0) continue;
    if (type != ACCESS_ALLOWED_ACE_TYPE && type != ACCESS_DENIED_ACE_TYPE) continue;
    const uint8_t *sid = AceSid(ace);
    if (sid == nullptr || !InToken(sid, ace.size() - 8)) continue;
    // The first entry that names a right decides it.
    const ACCESS_MASK rights = MapKeyGenericRights(AceMask(ace)) & kKeyRights & ~(allowed | denied);
    if (type == ACCESS_ALLOWED_ACE_TYPE) {
      allowed |= rights;
    } else {
      denied |= rights;
    }
  }
  if (maximum) {
    *granted = allowed;
    return allowed != 0 && (desired & ~allowed) == 0;
  }
  *granted = desired;
  return (desired & ~allowed) == 0;
}

std::vector<Bytes> InheritedAces(const Descriptor &parent) {
  std::vector<Bytes> inherited;
  if (!parent.daclPresent) return inherited;
  for (Bytes ace : AceList(reinterpret_cast<const ACL *>(parent.dacl.data()))) {
    const uint8_t flags = ace[1];
    if ((flags & (CONTAINER_INHERIT_ACE | OBJECT_INHERIT_ACE)) == 0) continue;
    uint8_t childFlags = 0;
    if ((flags & NO_PROPAGATE_INHERIT_ACE) != 0) {
      // Inherited by the children, no further; an object-only entry does not
      // reach a key at all.
      if ((flags & CONTAINER_INHERIT_ACE) == 0) continue;
    } else if ((flags & CONTAINER_INHERIT_ACE) != 0) {
      childFlags = flags & (CONTAINER_INHERIT_ACE | OBJECT_INHERIT_ACE);
    } else {
      // Object-inherit only: a key passes it on without using it itself.
      childFlags = OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE;
    }
    ace[1] = static_cast<uint8_t>(childFlags | INHERITED_ACE);
    inherited.push_back(std::move(ace));
  }
  return inherited;
}

Descriptor NewKeyDescriptor(const Descriptor &parent) {
  Descriptor child;
  child.owner = DefaultOwner();
  child.group = PrimaryGroup();
  std::vector<Bytes> aces = InheritedAces(parent);
  if (aces.empty()) {
    // The token's default DACL: full access for the owner and for SYSTEM.
    for (const Bytes &sid : {child.owner, *ParseSid("SY")}) {
      Bytes ace(8, 0);
      ace[0] = ACCESS_ALLOWED_ACE_TYPE;
      const auto size = static_cast<WORD>(8 + sid.size());
      std::memcpy(ace.data() + 2, &size, 2);
      PutDword(ace, 4, KEY_ALL_ACCESS);
      ace.insert(ace.end(), sid.begin(), sid.end());
      aces.push_back(std::move(ace));
    }
  } else {
    child.daclAutoInherited = true;
  }
  child.dacl = BuildAcl(aces);
  return child;
}

void Reinherit(Descriptor &child, const Descriptor &parent) {
  if (child.daclProtected || !child.daclPresent) return;
  std::vector<Bytes> aces;
  for (Bytes &ace : AceList(reinterpret_cast<const ACL *>(child.dacl.data()))) {
    if ((ace[1] & INHERITED_ACE) == 0) aces.push_back(std::move(ace));
  }
  for (Bytes &ace : InheritedAces(parent)) aces.push_back(std::move(ace));
  child.dacl = BuildAcl(aces);
}

}  // namespace platform::security
