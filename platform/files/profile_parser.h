// The profile (INI) file format as Windows reads it, as pure functions over
// the file's bytes: no disk access, so that a fuzzer can drive the parser
// directly. Views returned point into the text given to Parse.
#pragma once

#include <windows.h>

#include <optional>
#include <string_view>
#include <vector>

namespace platform::profile {

struct Entry {
  std::string_view name;                  // blanks around it dropped
  std::optional<std::string_view> value;  // none for a line without "="
};

struct Section {
  std::string_view name;  // the text between "[" and the line's last "]"
  std::vector<Entry> entries;
};

// Lines end in LF (a CR before it is a blank); blanks around every line are
// dropped and empty lines skipped. Lines before the first section header
// belong to a section with an empty name. A UTF-8 byte-order mark is skipped.
std::vector<Section> Parse(std::string_view text);

// Names match ignoring case (ANSI code page). Of sections of the same name
// only the first counts, and within a section the first entry of a name.
const Section *FindSection(const std::vector<Section> &sections, std::string_view name);
const Entry *FindEntry(const Section &section, std::string_view name);

// A value loses one pair of quotes (both " or both ') around all of it.
std::string_view StripQuotes(std::string_view value);

// The number a value begins with, as GetPrivateProfileIntA reads it: blanks,
// an optional sign, a 0x/0o/0b base prefix, then digits up to the first
// character that is none; the result wraps modulo 2^32.
UINT LeadingInteger(std::string_view text);

}  // namespace platform::profile
