// Drives the SDDL parser of saved machines with arbitrary text. A text it
// takes must describe a descriptor whose parts are valid (SIDs and ACL in
// their binary layouts) and that writes back to SDDL which parses to the
// same descriptor: what a machine saves, it loads unchanged.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "../platform/security/security_model.h"

namespace {

namespace security = platform::security;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

bool Same(const security::Descriptor &a, const security::Descriptor &b) {
  return a.owner == b.owner && a.group == b.group && a.daclPresent == b.daclPresent && a.dacl == b.dacl &&
         a.daclProtected == b.daclProtected && a.daclAutoInherited == b.daclAutoInherited;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string_view text(reinterpret_cast<const char *>(data), size);
  std::optional<security::Descriptor> parsed = security::ParseSddl(text);
  if (!parsed) return 0;
  if (!parsed->owner.empty()) Require(security::IsValidSidBytes(parsed->owner.data(), parsed->owner.size()));
  if (!parsed->group.empty()) Require(security::IsValidSidBytes(parsed->group.data(), parsed->group.size()));
  if (parsed->daclPresent) {
    Require(parsed->dacl.size() >= sizeof(ACL));
    Require(security::IsValidAclBytes(reinterpret_cast<const ACL *>(parsed->dacl.data())));
  }
  std::optional<std::string> written = security::ToSddl(*parsed);
  if (!written) return 0;  // an entry type SDDL is not written for
  std::optional<security::Descriptor> again = security::ParseSddl(*written);
  Require(again.has_value() && Same(*parsed, *again));
  return 0;
}
