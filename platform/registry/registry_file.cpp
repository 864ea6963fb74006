// A saved machine's registry: HKEY_LOCAL_MACHINE and HKEY_USERS as a
// REGEDIT4 file in code page 1252, every key listed (parents first) with
// its security descriptor as SDDL on a ";SDDL=" comment line under its
// header, so the file stays importable by regedit. Strings are written as
// strings only when they read back to the same bytes; anything else as hex.
// A key whose name the code page cannot spell cannot be written: the save
// fails rather than store another name.
#include "../kernel/text.h"
#include "hive.h"
#include "registry_module.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace platform::registry {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kSddlPrefix = ";SDDL=";

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  for (char ch : text) {
    if (ch == '\\' || ch == '"') quoted += '\\';
    quoted += ch;
  }
  return quoted + "\"";
}

std::string HexBytes(const std::vector<uint8_t> &data) {
  std::string text;
  for (size_t i = 0; i < data.size(); ++i) {
    std::array<char, 4> hex{};
    std::snprintf(hex.data(), hex.size(), "%02x", data[i]);
    if (i != 0) text += ',';
    text += hex.data();
  }
  return text;
}

bool IsPlainString(const Value &value) {
  if (value.type != REG_SZ || value.data.empty() || value.data.back() != 0) return false;
  const std::string_view text(reinterpret_cast<const char *>(value.data.data()), value.data.size() - 1);
  return text.find('\0') == std::string_view::npos && !HasLineBreak(text);
}

std::optional<std::string> ValueLine(const Value &value) {
  if (HasLineBreak(value.name)) return std::nullopt;
  std::string line = value.name.empty() ? "@=" : Quoted(value.name) + "=";
  if (IsPlainString(value)) {
    return line + Quoted(std::string_view(reinterpret_cast<const char *>(value.data.data()), value.data.size() - 1));
  }
  if (value.type == REG_DWORD && value.data.size() == 4) {
    const DWORD number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) | (DWORD{value.data[3]} << 24);
    std::array<char, 16> hex{};
    std::snprintf(hex.data(), hex.size(), "%08x", static_cast<unsigned>(number));
    return line + "dword:" + hex.data();
  }
  if (value.type == REG_BINARY) return line + "hex:" + HexBytes(value.data);
  std::array<char, 24> type{};
  std::snprintf(type.data(), type.size(), "hex(%x):", static_cast<unsigned>(value.type));
  return line + type.data() + HexBytes(value.data);
}

// The key's name in code page 1252, or nullopt when the file cannot hold
// it: a line break, or a character the code page lacks.
std::optional<std::string> FileName(const Key &key) {
  std::string name = WideToAnsi(key.name);
  if (HasLineBreak(name) || AnsiToWide(name.c_str()) != key.name) return std::nullopt;
  return name;
}

bool WriteKey(std::ostream &out, const Key &key, const std::string &path) {
  std::optional<std::string> sddl = security::ToSddl(key.security);
  if (!sddl) return false;
  out << "[" << path << "]\r\n" << kSddlPrefix << *sddl << "\r\n";
  for (const Value &value : key.values) {
    std::optional<std::string> line = ValueLine(value);
    if (!line) return false;
    out << *line << "\r\n";
  }
  out << "\r\n";
  for (const auto &entry : key.subkeys) {
    std::optional<std::string> name = FileName(*entry.second);
    if (!name || !WriteKey(out, *entry.second, path + "\\" + *name)) return false;
  }
  return true;
}

// Reading.

int HexDigit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// A quoted string at the start of `text`, unescaped; `text` moves past it.
std::optional<std::string> ReadQuoted(std::string_view &text) {
  if (text.empty() || text[0] != '"') return std::nullopt;
  std::string result;
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] == '"') {
      text.remove_prefix(i + 1);
      return result;
    }
    if (text[i] == '\\') {
      if (++i == text.size()) return std::nullopt;
    }
    result += text[i];
  }
  return std::nullopt;
}

std::optional<std::vector<uint8_t>> ReadHex(std::string_view text) {
  std::vector<uint8_t> bytes;
  while (!text.empty()) {
    while (!text.empty() && text[0] == ' ') text.remove_prefix(1);
    if (text.size() < 2 || HexDigit(text[0]) < 0 || HexDigit(text[1]) < 0) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(HexDigit(text[0]) * 16 + HexDigit(text[1])));
    text.remove_prefix(2);
    if (!text.empty()) {
      if (text[0] != ',') return std::nullopt;
      text.remove_prefix(1);
    }
  }
  return bytes;
}

std::optional<uint32_t> ReadHexNumber(std::string_view text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  uint32_t number = 0;
  for (char ch : text) {
    if (HexDigit(ch) < 0) return std::nullopt;
    number = number * 16 + static_cast<uint32_t>(HexDigit(ch));
  }
  return number;
}

std::optional<Value> ReadValue(std::string_view line) {
  Value value;
  if (!line.empty() && line[0] == '@') {
    line.remove_prefix(1);
  } else {
    std::optional<std::string> name = ReadQuoted(line);
    if (!name || name->size() > kMaxValueNameLength) return std::nullopt;
    value.name = std::move(*name);
  }
  if (line.empty() || line[0] != '=') return std::nullopt;
  line.remove_prefix(1);
  if (!line.empty() && line[0] == '"') {
    std::optional<std::string> text = ReadQuoted(line);
    if (!text || !line.empty()) return std::nullopt;
    value.type = REG_SZ;
    value.data.assign(text->begin(), text->end());
    value.data.push_back(0);
    return value;
  }
  if (line.rfind("dword:", 0) == 0) {
    std::optional<uint32_t> number = ReadHexNumber(line.substr(6), 8);
    if (!number) return std::nullopt;
    value.type = REG_DWORD;
    for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<uint8_t>(*number >> (8 * i)));
    return value;
  }
  std::string_view bytes;
  if (line.rfind("hex:", 0) == 0) {
    value.type = REG_BINARY;
    bytes = line.substr(4);
  } else if (line.rfind("hex(", 0) == 0 && line.find("):") != std::string_view::npos) {
    const size_t close = line.find("):");
    std::optional<uint32_t> type = ReadHexNumber(line.substr(4, close - 4), 8);
    if (!type) return std::nullopt;
    value.type = *type;
    bytes = line.substr(close + 2);
  } else {
    return std::nullopt;
  }
  std::optional<std::vector<uint8_t>> data = ReadHex(bytes);
  if (!data) return std::nullopt;
  value.data = std::move(*data);
  return value;
}

// The key a header names, made with inherited security when missing.
std::shared_ptr<Key> HeaderKey(Hive &hive, std::string_view path) {
  const size_t end = std::min(path.find('\\'), path.size());
  const std::string_view root = path.substr(0, end);
  std::shared_ptr<Key> key = root == "HKEY_LOCAL_MACHINE" ? hive.machine : root == "HKEY_USERS" ? hive.users : nullptr;
  const std::u16string keyPath = AnsiToWide(std::string(path.substr(std::min(end + 1, path.size()))).c_str());
  std::vector<std::u16string_view> components;
  if (!key || SplitKeyPath(keyPath, &components) != ERROR_SUCCESS) return nullptr;
  for (std::u16string_view name : components) {
    std::shared_ptr<Key> next = FindSubkey(*key, name);
    key = next ? next : AddSubkey(*key, name);
  }
  return key;
}

std::vector<std::string> LogicalLines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  bool continued = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (continued) {
      const size_t start = line.find_first_not_of(' ');
      lines.back() += start == std::string::npos ? "" : line.substr(start);
    } else {
      lines.push_back(line);
    }
    // A hex value goes on after a trailing backslash; strings end in a quote.
    continued =
        !lines.back().empty() && lines.back()[0] != '[' && lines.back()[0] != ';' && lines.back().back() == '\\';
    if (continued) lines.back().pop_back();
  }
  return lines;
}

}  // namespace

bool SaveRegistry(const std::string &path) {
  std::ostringstream out;
  out << kHeader << "\r\n\r\n";
  const Hive &hive = CurrentHive();
  if (!WriteKey(out, *hive.machine, "HKEY_LOCAL_MACHINE") || !WriteKey(out, *hive.users, "HKEY_USERS")) return false;
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << out.str();
  file.close();
  return !file.fail();
}

std::shared_ptr<Hive> ReadRegistry(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return nullptr;
  std::ostringstream content;
  content << file.rdbuf();
  const std::vector<std::string> lines = LogicalLines(content.str());
  auto hive = std::make_shared<Hive>();
  Hive fresh = FreshHive();
  // Roots start empty, with a fresh machine's security until the file
  // gives theirs.
  hive->machine = std::make_shared<Key>();
  hive->machine->name = u"HKEY_LOCAL_MACHINE";
  hive->machine->security = fresh.machine->security;
  hive->users = std::make_shared<Key>();
  hive->users->name = u"HKEY_USERS";
  hive->users->security = fresh.users->security;
  size_t index = 0;
  while (index < lines.size() && lines[index].empty()) ++index;
  if (index == lines.size() || lines[index] != kHeader) return nullptr;
  std::shared_ptr<Key> current;
  for (++index; index < lines.size(); ++index) {
    const std::string &line = lines[index];
    if (line.empty()) continue;
    if (line.rfind(kSddlPrefix, 0) == 0) {
      std::optional<security::Descriptor> descriptor =
          security::ParseSddl(std::string_view(line).substr(kSddlPrefix.size()));
      if (!current || !descriptor) return nullptr;
      current->security = std::move(*descriptor);
    } else if (line[0] == ';') {
      continue;
    } else if (line[0] == '[') {
      if (line.back() != ']') return nullptr;
      current = HeaderKey(*hive, std::string_view(line).substr(1, line.size() - 2));
      if (!current) return nullptr;
    } else {
      std::optional<Value> value = ReadValue(line);
      if (!current || !value) return nullptr;
      const std::u16string folded = FoldedName(value->name);
      for (auto it = current->values.begin(); it != current->values.end(); ++it) {
        if (FoldedName(it->name) == folded) {
          current->values.erase(it);
          break;
        }
      }
      current->values.push_back(std::move(*value));
    }
  }
  EnsureStandardKeys(*hive);
  return hive;
}

}  // namespace platform::registry
