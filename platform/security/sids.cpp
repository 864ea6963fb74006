// Security identifiers: the advapi32 SID calls and the SID helpers of the
// model, including the text forms ("S-1-5-32-544" and SDDL's two-letter
// names). A SID is revision 1, a sub-authority count, a six-byte big-endian
// authority and that many 32-bit sub-authorities.
#include "security_model.h"

#include <array>
#include <cstring>

namespace platform::security {

namespace {

constexpr size_t kSidHeader = 8;

struct SidAlias {
  const char *alias;
  const char *text;
};

// The names SDDL uses for the SIDs that keys of a machine carry.
constexpr std::array<SidAlias, 9> kAliases{{
    {"WD", "S-1-1-0"},
    {"CO", "S-1-3-0"},
    {"CG", "S-1-3-1"},
    {"NU", "S-1-5-2"},
    {"AU", "S-1-5-11"},
    {"SY", "S-1-5-18"},
    {"BA", "S-1-5-32-544"},
    {"BU", "S-1-5-32-545"},
    {"RC", "S-1-5-12"},
}};

bool ParseNumber(std::string_view &text, uint64_t limit, uint64_t *value) {
  size_t digits = 0;
  uint64_t result = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
    result = result * 10 + static_cast<uint64_t>(text[digits] - '0');
    if (result > limit) return false;
    ++digits;
  }
  if (digits == 0) return false;
  text.remove_prefix(digits);
  *value = result;
  return true;
}

}  // namespace

bool IsValidSidBytes(const void *sid, size_t available) {
  if (sid == nullptr || available < kSidHeader) return false;
  const auto *bytes = static_cast<const uint8_t *>(sid);
  if (bytes[0] != SID_REVISION || bytes[1] > SID_MAX_SUB_AUTHORITIES) return false;
  return kSidHeader + 4u * bytes[1] <= available;
}

size_t SidLength(const void *sid) { return kSidHeader + 4u * static_cast<const uint8_t *>(sid)[1]; }

Bytes SidBytes(const void *sid) {
  const auto *bytes = static_cast<const uint8_t *>(sid);
  return Bytes(bytes, bytes + SidLength(sid));
}

std::optional<Bytes> ParseSid(std::string_view text) {
  for (const SidAlias &alias : kAliases) {
    if (text == alias.alias) return ParseSid(alias.text);
  }
  if (text.size() < 2 || (text[0] != 'S' && text[0] != 's') || text[1] != '-') return std::nullopt;
  text.remove_prefix(2);
  uint64_t revision = 0;
  uint64_t authority = 0;
  if (!ParseNumber(text, 255, &revision) || revision != SID_REVISION) return std::nullopt;
  if (text.empty() || text[0] != '-') return std::nullopt;
  text.remove_prefix(1);
  if (!ParseNumber(text, 0xFFFFFFFFFFFFull, &authority)) return std::nullopt;
  Bytes sid(kSidHeader, 0);
  sid[0] = SID_REVISION;
  for (int i = 0; i < 6; ++i) sid[2 + i] = static_cast<uint8_t>(authority >> (8 * (5 - i)));
  while (!text.empty()) {
    uint64_t sub = 0;
    if (text[0] != '-') return std::nullopt;
    text.remove_prefix(1);
    if (!ParseNumber(text, 0xFFFFFFFFu, &sub) || sid[1] == SID_MAX_SUB_AUTHORITIES) return std::nullopt;
    for (int i = 0; i < 4; ++i) sid.push_back(static_cast<uint8_t>(sub >> (8 * i)));
    ++sid[1];
  }
  return sid;
}

std::string SidText(const Bytes &sid, bool preferAlias) {
  uint64_t authority = 0;
  for (int i = 0; i < 6; ++i) authority = (authority << 8) | sid[2 + i];
  std::string text = "S-1-";
  text += std::to_string(authority);
  for (size_t i = 0; i < sid[1]; ++i) {
    uint32_t sub = 0;
    std::memcpy(&sub, sid.data() + kSidHeader + 4 * i, 4);
    text += '-';
    text += std::to_string(sub);
  }
  if (preferAlias) {
    for (const SidAlias &alias : kAliases) {
      if (text == alias.text) return alias.alias;
    }
  }
  return text;
}

}  // namespace platform::security

using platform::security::IsValidSidBytes;
using platform::security::SidLength;

namespace {
// SIDs from callers are trusted to be readable for their declared length, as
// on Windows; the largest one is 68 bytes.
constexpr size_t kTrustedSidBytes = SECURITY_MAX_SID_SIZE;
}  // namespace

extern "C" BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY pIdentifierAuthority, BYTE nSubAuthorityCount,
                                                DWORD nSubAuthority0, DWORD nSubAuthority1, DWORD nSubAuthority2,
                                                DWORD nSubAuthority3, DWORD nSubAuthority4, DWORD nSubAuthority5,
                                                DWORD nSubAuthority6, DWORD nSubAuthority7, PSID *pSid) {
  if (pIdentifierAuthority == nullptr || pSid == nullptr || nSubAuthorityCount > 8) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::array<DWORD, 8> subs{nSubAuthority0, nSubAuthority1, nSubAuthority2, nSubAuthority3,
                                  nSubAuthority4, nSubAuthority5, nSubAuthority6, nSubAuthority7};
  const size_t length = 8 + 4u * nSubAuthorityCount;
  auto *sid = static_cast<uint8_t *>(LocalAlloc(LPTR, length));
  if (sid == nullptr) return FALSE;  // LocalAlloc set the error
  sid[0] = SID_REVISION;
  sid[1] = nSubAuthorityCount;
  std::memcpy(sid + 2, pIdentifierAuthority->Value, 6);
  std::memcpy(sid + 8, subs.data(), 4u * nSubAuthorityCount);
  *pSid = sid;
  return TRUE;
}

extern "C" PVOID WINAPI FreeSid(PSID pSid) { return LocalFree(pSid); }

extern "C" BOOL WINAPI IsValidSid(PSID pSid) { return IsValidSidBytes(pSid, kTrustedSidBytes) ? TRUE : FALSE; }

extern "C" DWORD WINAPI GetLengthSid(PSID pSid) {
  if (!IsValidSidBytes(pSid, kTrustedSidBytes)) {
    SetLastError(ERROR_INVALID_SID);
    return 0;
  }
  return static_cast<DWORD>(SidLength(pSid));
}

extern "C" BOOL WINAPI CopySid(DWORD nDestinationSidLength, PSID pDestinationSid, PSID pSourceSid) {
  if (!IsValidSidBytes(pSourceSid, kTrustedSidBytes)) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  const size_t length = SidLength(pSourceSid);
  if (pDestinationSid == nullptr || nDestinationSidLength < length) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memmove(pDestinationSid, pSourceSid, length);
  return TRUE;
}

extern "C" BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2) {
  if (!IsValidSidBytes(pSid1, kTrustedSidBytes) || !IsValidSidBytes(pSid2, kTrustedSidBytes)) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  const size_t length = SidLength(pSid1);
  return length == SidLength(pSid2) && std::memcmp(pSid1, pSid2, length) == 0 ? TRUE : FALSE;
}
