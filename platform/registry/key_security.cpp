// The security of keys: GetSecurityInfo and SetSecurityInfo on key handles,
// with a new DACL flowing down to every subkey that does not protect its
// own, and the test interface that reads and writes a key's security past
// every check.
#include <platform/testing.h>

#include "../kernel/text.h"
#include "hive.h"

#include <cstring>

using namespace platform::registry;
namespace security = platform::security;

namespace {

constexpr SECURITY_INFORMATION kOwnerGroup = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION;
constexpr SECURITY_INFORMATION kParts = kOwnerGroup | DACL_SECURITY_INFORMATION;

// Gives each unprotected subkey the entries it now inherits, down the tree,
// a key always after its parent.
void PropagateDacl(Key &top) {
  std::vector<Key *> pending{&top};
  while (!pending.empty()) {
    Key &key = *pending.back();
    pending.pop_back();
    for (auto &entry : key.subkeys) {
      Key &child = *entry.second;
      if (child.security.daclProtected || !child.security.daclPresent) continue;
      security::Reinherit(child.security, key.security);
      pending.push_back(&child);
    }
  }
}

std::shared_ptr<Key> KeyAtPath(HKEY root, const std::string &path) {
  std::shared_ptr<Key> key = IsPredefined(root) ? PredefinedKey(root) : nullptr;
  const std::u16string widePath = platform::AnsiToWide(path.c_str());
  std::vector<std::u16string_view> components;
  if (!key || SplitKeyPath(widePath, &components) != ERROR_SUCCESS) return nullptr;
  for (std::u16string_view name : components) {
    key = FindSubkey(*key, name);
    if (!key) return nullptr;
  }
  return key;
}

}  // namespace

extern "C" DWORD WINAPI GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType, SECURITY_INFORMATION SecurityInfo,
                                        PSID *ppsidOwner, PSID *ppsidGroup, PACL *ppDacl, PACL *ppSacl,
                                        PSECURITY_DESCRIPTOR *ppSecurityDescriptor) {
  if (ObjectType != SE_REGISTRY_KEY || ppSecurityDescriptor == nullptr) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (DWORD status = LookUpHandle(static_cast<HKEY>(handle), &open); status != ERROR_SUCCESS) return status;
  if ((SecurityInfo & SACL_SECURITY_INFORMATION) != 0) return ERROR_PRIVILEGE_NOT_HELD;
  if ((SecurityInfo & kParts) != 0 && (open.granted & READ_CONTROL) == 0) return ERROR_ACCESS_DENIED;
  if (open.key->deleted) return ERROR_KEY_DELETED;
  if (platform::ShouldFail(platform::Fault::Registry)) return ERROR_NOT_ENOUGH_MEMORY;
  const security::Bytes bytes = security::SelfRelative(open.key->security, SecurityInfo & kParts);
  auto *block = static_cast<uint8_t *>(LocalAlloc(LMEM_FIXED, bytes.size()));
  if (block == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  std::memcpy(block, bytes.data(), bytes.size());
  // The pointers lead into the block at the offsets its header gives.
  auto part = [block](size_t offsetField) -> uint8_t * {
    DWORD offset = 0;
    std::memcpy(&offset, block + offsetField, 4);
    return offset == 0 ? nullptr : block + offset;
  };
  if (ppsidOwner != nullptr) *ppsidOwner = part(4);
  if (ppsidGroup != nullptr) *ppsidGroup = part(8);
  if (ppDacl != nullptr) *ppDacl = reinterpret_cast<PACL>(part(16));
  if (ppSacl != nullptr) *ppSacl = nullptr;
  *ppSecurityDescriptor = block;
  return ERROR_SUCCESS;
}

extern "C" DWORD WINAPI SetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType, SECURITY_INFORMATION SecurityInfo,
                                        PSID psidOwner, PSID psidGroup, PACL pDacl, PACL pSacl) {
  (void)pSacl;
  if (ObjectType != SE_REGISTRY_KEY) return ERROR_INVALID_PARAMETER;
  OpenKey open;
  if (DWORD status = LookUpHandle(static_cast<HKEY>(handle), &open); status != ERROR_SUCCESS) return status;
  if ((SecurityInfo & SACL_SECURITY_INFORMATION) != 0) return ERROR_PRIVILEGE_NOT_HELD;
  if ((SecurityInfo & kOwnerGroup) != 0 && (open.granted & WRITE_OWNER) == 0) return ERROR_ACCESS_DENIED;
  if ((SecurityInfo & DACL_SECURITY_INFORMATION) != 0 && (open.granted & WRITE_DAC) == 0) return ERROR_ACCESS_DENIED;
  security::Descriptor updated = open.key->security;
  if ((SecurityInfo & OWNER_SECURITY_INFORMATION) != 0) {
    // Any owner is taken, as for a caller holding the restore privilege.
    if (!security::IsValidSidBytes(psidOwner, SECURITY_MAX_SID_SIZE)) return ERROR_INVALID_PARAMETER;
    updated.owner = security::SidBytes(psidOwner);
  }
  if ((SecurityInfo & GROUP_SECURITY_INFORMATION) != 0) {
    if (!security::IsValidSidBytes(psidGroup, SECURITY_MAX_SID_SIZE)) return ERROR_INVALID_PARAMETER;
    updated.group = security::SidBytes(psidGroup);
  }
  if ((SecurityInfo & DACL_SECURITY_INFORMATION) != 0) {
    if (pDacl != nullptr && !security::IsValidAclBytes(pDacl)) return ERROR_INVALID_ACL;
    updated.daclPresent = pDacl != nullptr;
    updated.dacl.clear();
    if (pDacl != nullptr) {
      const auto *bytes = reinterpret_cast<const uint8_t *>(pDacl);
      updated.dacl.assign(bytes, bytes + pDacl->AclSize);
    }
    if ((SecurityInfo & PROTECTED_DACL_SECURITY_INFORMATION) != 0) updated.daclProtected = true;
    if ((SecurityInfo & UNPROTECTED_DACL_SECURITY_INFORMATION) != 0) updated.daclProtected = false;
  }
  if (open.key->deleted) return ERROR_KEY_DELETED;
  if (platform::ShouldFail(platform::Fault::Registry)) return ERROR_NOT_ENOUGH_MEMORY;
  open.key->security = std::move(updated);
  // A null DACL has nothing to hand down: subkeys keep what they have.
  if ((SecurityInfo & DACL_SECURITY_INFORMATION) != 0 && pDacl != nullptr) PropagateDacl(*open.key);
  return ERROR_SUCCESS;
}

namespace platform {

std::optional<std::string> KeySecurity(HKEY root, const std::string &path) {
  std::shared_ptr<Key> key = KeyAtPath(root, path);
  if (!key) return std::nullopt;
  return security::ToSddl(key->security);
}

bool SetKeySecurity(HKEY root, const std::string &path, const std::string &sddl) {
  std::shared_ptr<Key> key = KeyAtPath(root, path);
  std::optional<security::Descriptor> descriptor = security::ParseSddl(sddl);
  if (!key || !descriptor) return false;
  key->security = std::move(*descriptor);
  return true;
}

bool SetProcessIdentity(const Identity &identity) {
  if (!security::SetToken(identity)) return false;
  EnsureUserKey(CurrentHive());
  return true;
}

}  // namespace platform
