// Registry values and numbers between a command line, a screen and the
// bytes the registry holds.
#include "value_text.h"

#include <windows.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <limits>

namespace kvt::setup {

namespace {

struct TypeName {
  uint32_t type;
  const char *name;
};
constexpr std::array<TypeName, 8> kTypeNames{{{REG_NONE, "REG_NONE"},
                                              {REG_SZ, "REG_SZ"},
                                              {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
                                              {REG_BINARY, "REG_BINARY"},
                                              {REG_DWORD, "REG_DWORD"},
                                              {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
                                              {REG_MULTI_SZ, "REG_MULTI_SZ"},
                                              {REG_QWORD, "REG_QWORD"}}};

std::string Upper(std::string text) {
  for (char &ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return text;
}

std::string HexBytes(const std::vector<uint8_t> &data) {
  std::string text = "hex:";
  for (size_t i = 0; i < data.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x", data[i]);
    if (i != 0) text += ',';
    text += byte;
  }
  return text;
}

int HexDigit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// The texts of a multi-string, up to its empty text or its end.
std::optional<std::vector<std::string>> MultiTexts(const std::vector<uint8_t> &data) {
  std::vector<std::string> texts;
  size_t at = 0;
  while (at < data.size() && data[at] != 0) {
    size_t end = at;
    while (end < data.size() && data[end] != 0) ++end;
    if (end == data.size()) return std::nullopt;  // a text without its terminator
    texts.emplace_back(data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(end));
    at = end + 1;
  }
  return texts;
}

}  // namespace

std::string QuotedText(const std::string &text) {
  std::string quoted = "\"";
  for (char ch : text) {
    const unsigned char byte = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      quoted += '\\';
      quoted += ch;
    } else if (ch == '\r') {
      quoted += "\\r";
    } else if (ch == '\n') {
      quoted += "\\n";
    } else if (ch == '\t') {
      quoted += "\\t";
    } else if (byte < 0x20 || byte == 0x7f) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      quoted += escape;
    } else {
      quoted += ch;
    }
  }
  return quoted + "\"";
}

std::optional<int64_t> ParseNumber(const std::string &text, int64_t low, int64_t high) {
  size_t at = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++at;
  int base = 10;
  if (text.size() > at + 1 && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
    base = 16;
    at += 2;
  }
  if (at >= text.size()) return std::nullopt;
  int64_t magnitude = 0;
  for (; at < text.size(); ++at) {
    const int digit = HexDigit(text[at]);
    if (digit < 0 || digit >= base) return std::nullopt;
    if (magnitude > (std::numeric_limits<int64_t>::max() - digit) / base) return std::nullopt;
    magnitude = magnitude * base + digit;
  }
  const int64_t value = negative ? -magnitude : magnitude;
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::string ValueTypeText(uint32_t type) {
  for (const TypeName &name : kTypeNames) {
    if (name.type == type) return name.name;
  }
  return std::to_string(type);
}

std::optional<uint32_t> ParseValueType(const std::string &text) {
  const std::string upper = Upper(text);
  for (const TypeName &name : kTypeNames) {
    if (upper == name.name) return name.type;
  }
  const std::optional<int64_t> number = ParseNumber(text, 0, std::numeric_limits<uint32_t>::max());
  if (!number) return std::nullopt;
  return static_cast<uint32_t>(*number);
}

std::string ValueDataText(uint32_t type, const std::vector<uint8_t> &data) {
  if ((type == REG_SZ || type == REG_EXPAND_SZ) && !data.empty() && data.back() == 0) {
    const std::string text(data.begin(), data.end() - 1);
    if (text.find('\0') == std::string::npos) return QuotedText(text);
  }
  if (type == REG_DWORD && data.size() == 4) {
    const uint32_t number = data[0] | (data[1] << 8) | (data[2] << 16) | (static_cast<uint32_t>(data[3]) << 24);
    return std::to_string(number);
  }
  if (type == REG_MULTI_SZ) {
    if (const std::optional<std::vector<std::string>> texts = MultiTexts(data)) {
      std::string list;
      for (const std::string &text : *texts) list += (list.empty() ? "" : ", ") + QuotedText(text);
      return "[" + list + "]";
    }
  }
  return HexBytes(data);
}

bool ParseValueData(uint32_t type, const std::string &text, std::vector<uint8_t> &bytes, std::string &error) {
  bytes.clear();
  if (text.rfind("hex:", 0) == 0) {
    int high = -1;
    for (size_t at = 4; at < text.size(); ++at) {
      if (text[at] == ',' && high < 0) continue;
      const int digit = HexDigit(text[at]);
      if (digit < 0) {
        error = "\"" + text + "\" holds something that is not a hex digit";
        return false;
      }
      if (high < 0) {
        high = digit;
      } else {
        bytes.push_back(static_cast<uint8_t>(high * 16 + digit));
        high = -1;
      }
    }
    if (high >= 0) {
      error = "\"" + text + "\" ends in half a byte";
      return false;
    }
    return true;
  }
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    bytes.assign(text.begin(), text.end());
    bytes.push_back(0);
    return true;
  }
  if (type == REG_DWORD) {
    const std::optional<int64_t> number =
        ParseNumber(text, std::numeric_limits<int32_t>::min(), std::numeric_limits<uint32_t>::max());
    if (!number) {
      error = "a REG_DWORD value is a number from " + std::to_string(std::numeric_limits<int32_t>::min()) + " to " +
              std::to_string(std::numeric_limits<uint32_t>::max()) + ", not \"" + text + "\"";
      return false;
    }
    const uint32_t value = static_cast<uint32_t>(*number);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
    return true;
  }
  error = "give the bytes of a " + ValueTypeText(type) + " value as hex:01,02,...";
  return false;
}

}  // namespace kvt::setup
