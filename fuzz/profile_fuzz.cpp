// Drives the profile (INI) parser with arbitrary bytes: the first line of
// the input names a section and a key to look up, the rest is the file.
// Nothing touches the disk.
#include "../platform/files/profile_parser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string_view input(reinterpret_cast<const char *>(data), size);
  const size_t split = input.find('\n');
  const std::string_view query = input.substr(0, split == std::string_view::npos ? 0 : split);
  const std::string_view text = split == std::string_view::npos ? input : input.substr(split + 1);
  const size_t equals = query.find('=');
  const std::string_view section = query.substr(0, equals);
  const std::string_view key = equals == std::string_view::npos ? std::string_view() : query.substr(equals + 1);

  const auto sections = platform::profile::Parse(text);
  if (const auto *found = platform::profile::FindSection(sections, section)) {
    if (const auto *entry = platform::profile::FindEntry(*found, key)) {
      if (entry->value) {
        const std::string_view value = platform::profile::StripQuotes(*entry->value);
        if (value.size() > entry->value->size()) __builtin_trap();
        static_cast<void>(platform::profile::LeadingInteger(value));
      }
    }
  }
  return 0;
}
