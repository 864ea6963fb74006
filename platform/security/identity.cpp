// The process identity that access checks use: a user SID and its groups.
// A fresh machine's process runs as an elevated administrator, so keys it
// creates are owned by Administrators, as Windows does for such a token.
#include <platform/testing.h>

#include "security_model.h"

#include <algorithm>

namespace platform::security {

namespace {

constexpr const char *kDefaultUser = "S-1-5-21-1004336348-1177238915-682003330-1000";
constexpr const char *kAdministrators = "S-1-5-32-544";

struct Token {
  Identity identity;
  std::vector<Bytes> sids;
};

Token MakeDefaultToken() {
  Token token;
  token.identity = Identity{kDefaultUser, {kAdministrators, "S-1-1-0"}};
  token.sids = {*ParseSid(kDefaultUser), *ParseSid(kAdministrators), *ParseSid("S-1-1-0")};
  return token;
}

Token &CurrentToken() {
  static Token token = MakeDefaultToken();
  return token;
}

}  // namespace

const std::vector<Bytes> &TokenSids() { return CurrentToken().sids; }

Bytes DefaultOwner() {
  const Bytes administrators = *ParseSid(kAdministrators);
  for (const Bytes &sid : TokenSids()) {
    if (sid == administrators) return sid;
  }
  return TokenSids().front();
}

// A domain user's primary group is its domain's "None"/"Domain Users" group
// (RID 513); any other user is its own primary group.
Bytes PrimaryGroup() {
  Bytes group = TokenSids().front();
  if (group.size() == 8 + 4 * 5 && SidText(group, false).rfind("S-1-5-21-", 0) == 0) {
    const DWORD rid = 513;
    std::copy_n(reinterpret_cast<const uint8_t *>(&rid), 4, group.end() - 4);
  }
  return group;
}

bool InToken(const uint8_t *sid, size_t available) {
  if (!IsValidSidBytes(sid, available)) return false;
  const size_t length = SidLength(sid);
  for (const Bytes &member : TokenSids()) {
    if (member.size() == length && std::equal(member.begin(), member.end(), sid)) return true;
  }
  return false;
}

void ResetIdentity() { CurrentToken() = MakeDefaultToken(); }

bool SetToken(const Identity &identity) {
  Token token;
  token.identity = identity;
  for (const std::string *text = &identity.user; text != nullptr;) {
    // Only the S-1-... form is accepted here, not SDDL names.
    std::optional<Bytes> sid = ParseSid(*text);
    if (!sid || text->size() < 2 || (*text)[1] != '-') return false;
    token.sids.push_back(std::move(*sid));
    const size_t next = token.sids.size() - 1;
    text = next < identity.groups.size() ? &identity.groups[next] : nullptr;
  }
  CurrentToken() = std::move(token);
  return true;
}

}  // namespace platform::security

namespace platform {

Identity ProcessIdentity() { return security::CurrentToken().identity; }

}  // namespace platform
