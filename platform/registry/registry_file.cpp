// A saved machine's registry: HKEY_LOCAL_MACHINE and HKEY_USERS as a
// REGEDIT4 file in code page 1252, every key listed (parents first) with
// its security descriptor as SDDL on a ";SDDL=" comment line under its
// header, so the file stays importable by regedit. Strings are written as
// strings only when they read back to the same bytes; anything else as hex.
// A key whose name the code page cannot spell cannot be written: the save
// fails rather than store another name. The last line is a closing comment:
// a file cut short at any byte lacks it, and is refused.
#include "../kernel/saved_file.h"
#include "../kernel/text.h"
#include "hive.h"
#include "registry_module.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace platform::registry {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kSddlPrefix = ";SDDL=";
constexpr std::string_view kClosingLine = "; end of registry";

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
  return true;
}

// `root` and every key below it, each before its subkeys and those in the
// order they enumerate in. A key deeper than a load accepts fails the save.
bool WriteTree(std::ostream &out, const Key &root, const std::string &rootPath) {
  struct Pending {
    const Key *key;
    std::string path;
    size_t depth;
  };
  std::vector<Pending> pending{{&root, rootPath, 0}};
  while (!pending.empty()) {
    const Pending next = std::move(pending.back());
    pending.pop_back();
    if (next.depth > kMaxKeyDepth || !WriteKey(out, *next.key, next.path)) return false;
    for (auto entry = next.key->subkeys.rbegin(); entry != next.key->subkeys.rend(); ++entry) {
      std::optional<std::string> name = FileName(*entry->second);
      if (!name) return false;
      pending.push_back({entry->second.get(), next.path + "\\" + *name, next.depth + 1});
    }
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

// The key a header names, made with inherited security when missing; null,
// with what is wrong in `problem`, for a name the file may not hold.
std::shared_ptr<Key> HeaderKey(Hive &hive, std::string_view path, std::string *problem) {
  const size_t end = std::min(path.find('\\'), path.size());
  const std::string_view root = path.substr(0, end);
  std::shared_ptr<Key> key = root == "HKEY_LOCAL_MACHINE" ? hive.machine : root == "HKEY_USERS" ? hive.users : nullptr;
  const std::u16string keyPath = AnsiToWide(std::string(path.substr(std::min(end + 1, path.size()))).c_str());
  std::vector<std::u16string_view> components;
  if (HasLineBreak(path)) {
    *problem = "has a line break in a key name";
  } else if (!key || SplitKeyPath(keyPath, &components) != ERROR_SUCCESS) {
    *problem = "has a malformed key name";
  } else if (components.size() > kMaxKeyDepth) {
    *problem = "names a key more than " + std::to_string(kMaxKeyDepth) + " levels deep";
  } else {
    for (std::u16string_view name : components) {
      std::shared_ptr<Key> next = FindSubkey(*key, name);
      key = next ? next : AddSubkey(*key, name);
    }
    return key;
  }
  return nullptr;
}

// The lines of `text` without their line breaks (LF or CR LF).
std::vector<std::string_view> FileLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
  }
  return lines;
}

struct Line {
  std::string text;
  size_t number;  // in the file, from 1, of the line it starts on
};

// Lines [begin, end) of the file, a hex value that goes on over several
// lines (each but the last ending in a backslash) joined into one.
std::vector<Line> LogicalLines(const std::vector<std::string_view> &lines, size_t begin, size_t end) {
  std::vector<Line> logical;
  bool continued = false;
  for (size_t index = begin; index < end; ++index) {
    const std::string_view line = lines[index];
    if (continued) {
      const size_t start = line.find_first_not_of(' ');
      if (start != std::string_view::npos) logical.back().text += line.substr(start);
    } else {
      logical.push_back({std::string(line), index + 1});
    }
    // Strings end in a quote, so only a hex value goes on.
    std::string &text = logical.back().text;
    continued = !text.empty() && text[0] != '[' && text[0] != ';' && text.back() == '\\';
    if (continued) text.pop_back();
  }
  return logical;
}

// Fills `hive` from the lines between the header and the closing line;
// false, with what is wrong in `problem`, at the first bad line.
bool ReadKeys(const std::vector<Line> &lines, Hive &hive, std::string *problem) {
  std::shared_ptr<Key> current;
  for (const Line &entry : lines) {
    const std::string &line = entry.text;
    std::string what;
    if (line.empty()) continue;
    if (line.rfind(kSddlPrefix, 0) == 0) {
      std::optional<security::Descriptor> descriptor =
          security::ParseSddl(std::string_view(line).substr(kSddlPrefix.size()));
      if (!current) {
        what = "has a security comment outside any key";
      } else if (!descriptor) {
        what = "has a malformed security descriptor";
      } else {
        current->security = std::move(*descriptor);
      }
    } else if (line[0] == ';') {
      continue;
    } else if (line[0] == '[') {
      current =
          line.back() == ']' ? HeaderKey(hive, std::string_view(line).substr(1, line.size() - 2), &what) : nullptr;
      if (!current && what.empty()) what = "has a malformed key header";
    } else {
      std::optional<Value> value = ReadValue(line);
      if (!current) {
        what = "has a value outside any key";
      } else if (!value) {
        what = "has a malformed value";
      } else if (HasLineBreak(value->name)) {
        what = "has a line break in a value name";
      } else {
        const std::u16string folded = FoldedName(value->name);
        std::erase_if(current->values, [&folded](const Value &old) { return FoldedName(old.name) == folded; });
        current->values.push_back(std::move(*value));
      }
    }
    if (!what.empty()) {
      *problem = what + " at line " + std::to_string(entry.number);
      return false;
    }
  }
  return true;
}

}  // namespace

bool SaveRegistry(const std::string &path) {
  std::ostringstream out;
  out << kHeader << "\r\n\r\n";
  const Hive &hive = CurrentHive();
  if (!WriteTree(out, *hive.machine, "HKEY_LOCAL_MACHINE") || !WriteTree(out, *hive.users, "HKEY_USERS")) return false;
  out << kClosingLine << "\r\n";
  return WriteSavedFile(path, out.str());
}

std::shared_ptr<Hive> ReadRegistry(const std::string &path, std::string *problem) {
  std::ifstream file(path, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (!file.is_open() || file.bad()) {
    *problem = "cannot be read";
    return nullptr;
  }
  const std::vector<std::string_view> lines = FileLines(content);
  // The closing line comes last, line break and all: anything short of it
  // is a file cut short, anything after it no file this registry wrote.
  const auto closing = std::find(lines.begin(), lines.end(), kClosingLine);
  if (closing == lines.end() || (closing + 1 == lines.end() && content.back() != '\n')) {
    *problem = CutShortText(content);
    return nullptr;
  }
  if (closing + 1 != lines.end()) {
    *problem = "goes on after its closing line at line " + std::to_string(closing - lines.begin() + 2);
    return nullptr;
  }
  const auto header = std::find_if(lines.begin(), closing, [](std::string_view line) { return !line.empty(); });
  if (header == closing || *header != kHeader) {
    *problem = "does not start with " + std::string(kHeader);
    return nullptr;
  }

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
  const auto first = static_cast<size_t>(header - lines.begin()) + 1;
  if (!ReadKeys(LogicalLines(lines, first, static_cast<size_t>(closing - lines.begin())), *hive, problem)) {
    return nullptr;
  }
  EnsureStandardKeys(*hive);
  return hive;
}

}  // namespace platform::registry
