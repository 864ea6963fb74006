// Parsing of profile (INI) files and the value rules of the profile
// functions, kept apart from the file access so that it can be fuzzed.
#include "profile_parser.h"

#include "../kernel/text.h"

namespace platform::profile {

namespace {

// Windows counts the DOS end-of-file mark (0x1A) as a blank in INI files.
bool IsBlank(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r') || ch == 0x1A; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(AnsiToWideChar(a[i])) != FoldCase(AnsiToWideChar(b[i]))) return false;
  }
  return true;
}

int DigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'z') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'Z') return ch - 'A' + 10;
  return 99;
}

}  // namespace

std::vector<Section> Parse(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<Section> sections(1);
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty()) continue;
    if (line.front() == '[') {
      const size_t close = line.rfind(']');
      if (close != std::string_view::npos && close > 0) {
        sections.push_back(Section{line.substr(1, close - 1), {}});
        continue;
      }
    }
    Entry entry;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      entry.name = line;
    } else {
      entry.name = Trim(line.substr(0, equals));
      entry.value = Trim(line.substr(equals + 1));
    }
    sections.back().entries.push_back(entry);
  }
  return sections;
}

const Section *FindSection(const std::vector<Section> &sections, std::string_view name) {
  for (const Section &section : sections) {
    if (SameName(section.name, name)) return &section;
  }
  return nullptr;
}

const Entry *FindEntry(const Section &section, std::string_view name) {
  for (const Entry &entry : section.entries) {
    if (SameName(entry.name, name)) return &entry;
  }
  return nullptr;
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

UINT LeadingInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  unsigned base = 10;
  if (i + 1 < text.size() && text[i] == '0') {
    const char prefix = text[i + 1];
    if (prefix == 'x' || prefix == 'X') base = 16;
    if (prefix == 'o' || prefix == 'O') base = 8;
    if (prefix == 'b' || prefix == 'B') base = 2;
    if (base != 10) i += 2;
  }
  uint32_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i]);
    if (digit >= static_cast<int>(base)) break;
    value = value * base + static_cast<uint32_t>(digit);  // unsigned: wraps as Windows does
  }
  return negative ? 0u - value : value;
}

}  // namespace platform::profile
