// The security module's model for the rest of the platform layer: SIDs and
// access-control lists as the byte strings Windows uses, a key's security
// descriptor, the process identity, access checks and inheritance. Library
// code never includes this header.
#pragma once

#include <aclapi.h>
#include <platform/testing.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::security {

using Bytes = std::vector<uint8_t>;

// A SID is valid when its revision is 1, it has at most 15 sub-authorities
// and all of it lies within `available` bytes.
bool IsValidSidBytes(const void *sid, size_t available);
size_t SidLength(const void *sid);  // of a valid SID
Bytes SidBytes(const void *sid);    // copy of a valid SID
// "S-1-5-32-544" and the SDDL two-letter names (WD, BA, SY, ...).
std::optional<Bytes> ParseSid(std::string_view text);
// The two-letter name where there is one, else the "S-1-..." form.
std::string SidText(const Bytes &sid, bool preferAlias);

// An ACL is valid when its revision is 2..4, its size covers its header and
// its entries, and every entry has a size of at least 8 within the list.
bool IsValidAclBytes(const ACL *acl);
// The entries of a valid ACL, each as its own bytes, in order.
std::vector<Bytes> AceList(const ACL *acl);
// A fresh revision-2 ACL holding `aces` (revision 4 when one is an object
// entry), sized exactly to them.
Bytes BuildAcl(const std::vector<Bytes> &aces);
// The SID of an entry of type 0..3 (the plain allow/deny/audit/alarm
// layout) or of an object entry, or nullptr when the entry has none that
// lies within it.
const uint8_t *AceSid(const Bytes &ace);

// The registry's rights: generic bits mapped to KEY_* rights.
ACCESS_MASK MapKeyGenericRights(ACCESS_MASK mask);

struct Descriptor {
  Bytes owner;
  Bytes group;
  bool daclPresent = true;  // false: a null DACL, which grants everything
  Bytes dacl;               // an ACL when present
  bool daclProtected = false;
  bool daclAutoInherited = false;
};

// The self-relative descriptor of `what` parts (OWNER/GROUP/DACL_...).
Bytes SelfRelative(const Descriptor &descriptor, SECURITY_INFORMATION what);

// The rights that `descriptor` grants the process for `desired` (generic
// bits and MAXIMUM_ALLOWED honoured). True when every desired right is
// granted; `granted` then holds them (all permitted rights for
// MAXIMUM_ALLOWED). The owner always holds READ_CONTROL and WRITE_DAC.
bool CheckKeyAccess(const Descriptor &descriptor, ACCESS_MASK desired, ACCESS_MASK *granted);

// The entries a new subkey of a key with `parentDacl` inherits, flagged
// INHERITED_ACE, in the parent's order.
std::vector<Bytes> InheritedAces(const Descriptor &parent);
// A new subkey's descriptor: the process's default owner and group, and the
// DACL it inherits, or the process's default DACL when nothing is inherited.
Descriptor NewKeyDescriptor(const Descriptor &parent);
// Recomputes an unprotected descriptor's inherited entries from its parent:
// its own explicit entries first, then what it inherits now.
void Reinherit(Descriptor &child, const Descriptor &parent);

// SDDL text: "O:<sid>G:<sid>D:<flags>(<ace>)..." with allow and deny
// entries. ToSddl gives nullopt for an entry type SDDL is not written for.
std::optional<std::string> ToSddl(const Descriptor &descriptor);
std::optional<Descriptor> ParseSddl(std::string_view text);

// The process identity (identity.cpp).
const std::vector<Bytes> &TokenSids();  // the user first, then the groups
Bytes DefaultOwner();
Bytes PrimaryGroup();
bool InToken(const uint8_t *sid, size_t available);
void ResetIdentity();
// Replaces the identity; false, and no change, for a malformed SID text.
bool SetToken(const Identity &identity);

}  // namespace platform::security
