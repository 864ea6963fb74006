// Security descriptors as SDDL text, the form a saved machine keeps them in:
// "O:<owner>G:<group>D:<flags>(<type>;<flags>;<rights>;;;<sid>)...". Only the
// allow and deny entries of the plain layout are written; that is what keys
// of a machine carry.
#include "security_model.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace platform::security {

namespace {

struct Code {
  const char *text;
  DWORD value;
};

constexpr std::array<Code, 5> kAceFlags{{
    {"OI", OBJECT_INHERIT_ACE},
    {"CI", CONTAINER_INHERIT_ACE},
    {"NP", NO_PROPAGATE_INHERIT_ACE},
    {"IO", INHERIT_ONLY_ACE},
    {"ID", INHERITED_ACE},
}};

// Whole-mask names first: they are what a mask is written as.
constexpr std::array<Code, 18> kRights{{
    {"KA", KEY_ALL_ACCESS},
    {"KR", KEY_READ},
    {"KW", KEY_WRITE},
    {"KX", KEY_EXECUTE},
    {"GA", GENERIC_ALL},
    {"GR", GENERIC_READ},
    {"GW", GENERIC_WRITE},
    {"GX", GENERIC_EXECUTE},
    {"SD", DELETE},
    {"RC", READ_CONTROL},
    {"WD", WRITE_DAC},
    {"WO", WRITE_OWNER},
    {"CC", KEY_QUERY_VALUE},
    {"DC", KEY_SET_VALUE},
    {"LC", KEY_CREATE_SUB_KEY},
    {"SW", KEY_ENUMERATE_SUB_KEYS},
    {"RP", KEY_NOTIFY},
    {"WP", KEY_CREATE_LINK},
}};

std::optional<std::string> AceText(const Bytes &ace) {
  const uint8_t *sid = AceSid(ace);
  if (ace[0] > ACCESS_DENIED_ACE_TYPE || sid == nullptr || ace.size() != 8 + SidLength(sid)) return std::nullopt;
  std::string text = ace[0] == ACCESS_ALLOWED_ACE_TYPE ? "(A;" : "(D;";
  for (const Code &flag : kAceFlags) {
    if ((ace[1] & flag.value) != 0) text += flag.text;
  }
  if ((ace[1] & ~VALID_INHERIT_FLAGS) != 0) return std::nullopt;
  DWORD mask = 0;
  std::memcpy(&mask, ace.data() + 4, 4);
  text += ";";
  const Code *name = nullptr;
  for (const Code &right : kRights) {
    if (right.value == mask && name == nullptr) name = &right;
  }
  if (name != nullptr) {
    text += name->text;
  } else {
    std::array<char, 16> hex{};
    std::snprintf(hex.data(), hex.size(), "0x%x", static_cast<unsigned>(mask));
    text += hex.data();
  }
  return text + ";;;" + SidText(SidBytes(sid), true) + ")";
}

std::optional<Bytes> ParseAce(std::string_view text) {
  std::array<std::string_view, 6> fields{};
  for (size_t i = 0; i < fields.size(); ++i) {
    const size_t end = i + 1 < fields.size() ? text.find(';') : text.size();
    if (end == std::string_view::npos) return std::nullopt;
    fields[i] = text.substr(0, end);
    text.remove_prefix(end == text.size() ? end : end + 1);
  }
  if (!fields[3].empty() || !fields[4].empty()) return std::nullopt;
  Bytes ace(8, 0);
  if (fields[0] == "A") {
    ace[0] = ACCESS_ALLOWED_ACE_TYPE;
  } else if (fields[0] == "D") {
    ace[0] = ACCESS_DENIED_ACE_TYPE;
  } else {
    return std::nullopt;
  }
  for (std::string_view flags = fields[1]; !flags.empty(); flags.remove_prefix(2)) {
    const Code *found = nullptr;
    for (const Code &flag : kAceFlags) {
      if (flags.substr(0, 2) == flag.text) found = &flag;
    }
    if (found == nullptr) return std::nullopt;
    ace[1] |= static_cast<uint8_t>(found->value);
  }
  DWORD mask = 0;
  std::string_view rights = fields[2];
  if (rights.size() > 2 && rights[0] == '0' && (rights[1] == 'x' || rights[1] == 'X')) {
    for (char ch : rights.substr(2)) {
      const char *digits = "0123456789abcdef";
      const char *at = std::strchr(digits, ch >= 'A' && ch <= 'F' ? ch - 'A' + 'a' : ch);
      if (ch == '\0' || at == nullptr || (mask >> 28) != 0) return std::nullopt;
      mask = (mask << 4) | static_cast<DWORD>(at - digits);
    }
  } else {
    for (; !rights.empty(); rights.remove_prefix(2)) {
      const Code *found = nullptr;
      for (const Code &right : kRights) {
        if (rights.substr(0, 2) == right.text) found = &right;
      }
      if (found == nullptr) return std::nullopt;
      mask |= found->value;
    }
  }
  std::memcpy(ace.data() + 4, &mask, 4);
  std::optional<Bytes> sid = ParseSid(fields[5]);
  if (!sid) return std::nullopt;
  ace.insert(ace.end(), sid->begin(), sid->end());
  const auto size = static_cast<WORD>(ace.size());
  std::memcpy(ace.data() + 2, &size, 2);
  return ace;
}

bool ParseDacl(std::string_view text, Descriptor *descriptor) {
  if (text == "NO_ACCESS_CONTROL") {
    descriptor->daclPresent = false;
    return true;
  }
  while (!text.empty() && text[0] != '(') {
    if (text.substr(0, 1) == "P") {
      descriptor->daclProtected = true;
      text.remove_prefix(1);
    } else if (text.substr(0, 2) == "AI" || text.substr(0, 2) == "AR") {
      if (text[1] == 'I') descriptor->daclAutoInherited = true;
      text.remove_prefix(2);
    } else {
      return false;
    }
  }
  std::vector<Bytes> aces;
  while (!text.empty()) {
    const size_t close = text.find(')');
    if (text[0] != '(' || close == std::string_view::npos) return false;
    std::optional<Bytes> ace = ParseAce(text.substr(1, close - 1));
    if (!ace) return false;
    aces.push_back(std::move(*ace));
    text.remove_prefix(close + 1);
  }
  descriptor->dacl = BuildAcl(aces);
  return descriptor->dacl.size() == 8 + [&aces] {
    size_t total = 0;
    for (const Bytes &ace : aces) total += ace.size();
    return total;
  }();
}

}  // namespace

std::optional<std::string> ToSddl(const Descriptor &descriptor) {
  std::string text = "O:" + SidText(descriptor.owner, true) + "G:" + SidText(descriptor.group, true) + "D:";
  if (!descriptor.daclPresent) return text + "NO_ACCESS_CONTROL";
  if (descriptor.daclProtected) text += "P";
  if (descriptor.daclAutoInherited) text += "AI";
  for (const Bytes &ace : AceList(reinterpret_cast<const ACL *>(descriptor.dacl.data()))) {
    std::optional<std::string> entry = AceText(ace);
    if (!entry) return std::nullopt;
    text += *entry;
  }
  return text;
}

std::optional<Descriptor> ParseSddl(std::string_view text) {
  Descriptor descriptor;
  bool owner = false;
  bool group = false;
  bool dacl = false;
  while (!text.empty()) {
    if (text.size() < 2 || text[1] != ':') return std::nullopt;
    const char part = text[0];
    text.remove_prefix(2);
    // A part runs up to the letter before the next colon; colons appear
    // nowhere else.
    size_t end = text.find(':');
    end = end == std::string_view::npos ? text.size() : end - 1;
    if (end == std::string_view::npos || end > text.size()) return std::nullopt;
    const std::string_view value = text.substr(0, end);
    text.remove_prefix(end);
    if (part == 'O' && !owner) {
      std::optional<Bytes> sid = ParseSid(value);
      if (!sid) return std::nullopt;
      descriptor.owner = std::move(*sid);
      owner = true;
    } else if (part == 'G' && !group) {
      std::optional<Bytes> sid = ParseSid(value);
      if (!sid) return std::nullopt;
      descriptor.group = std::move(*sid);
      group = true;
    } else if (part == 'D' && !dacl) {
      if (!ParseDacl(value, &descriptor)) return std::nullopt;
      dacl = true;
    } else {
      return std::nullopt;
    }
  }
  // A key always has an owner, a group and a DACL (possibly null).
  if (!owner || !group || !dacl) return std::nullopt;
  return descriptor;
}

}  // namespace platform::security
