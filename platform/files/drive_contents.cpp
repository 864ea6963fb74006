// What C: holds, as a whole: its entries in a fixed order for a machine
// description, and the attributes that a saved machine keeps beside its
// host files, which cannot keep them (read-only, hidden, system). Saving
// records every entry that has one; loading checks every recorded entry
// against the folder that is to become C: before anything is set.
#include <platform/testing.h>

#include "../kernel/json_file.h"
#include "../kernel/text.h"
#include "files_internal.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

namespace platform::files {

namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

constexpr DWORD kSavedBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

struct AttributeWord {
  DWORD bit;
  const char *word;
};
constexpr std::array<AttributeWord, 3> kAttributeWords{
    {{FILE_ATTRIBUTE_READONLY, "read-only"}, {FILE_ATTRIBUTE_HIDDEN, "hidden"}, {FILE_ATTRIBUTE_SYSTEM, "system"}}};

struct DriveEntry {
  std::string host;
  bool isDirectory = false;
};

std::u16string Folded(const std::string &utf8Name) {
  std::u16string name = FromUtf8(utf8Name).value_or(u"");
  for (char16_t &ch : name) ch = FoldCase(ch);
  return name;
}

// The entries of host folder `folder` in name order, letter case ignored.
// Symbolic links are entries of their own, never followed.
std::vector<DriveEntry> EntriesOf(const std::string &folder) {
  std::vector<std::pair<std::u16string, DriveEntry>> named;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code kind;
    const bool isDirectory = it->is_directory(kind) && !it->is_symlink(kind);
    named.push_back({Folded(it->path().filename().string()), {it->path().string(), isDirectory}});
  }
  std::sort(named.begin(), named.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
  std::vector<DriveEntry> entries;
  for (auto &item : named) entries.push_back(std::move(item.second));
  return entries;
}

// Every entry below `root`, each folder followed by what it holds.
std::vector<DriveEntry> EntriesBelow(const std::string &root) {
  std::vector<DriveEntry> entries;
  std::vector<DriveEntry> pending = EntriesOf(root);
  std::reverse(pending.begin(), pending.end());
  while (!pending.empty()) {
    DriveEntry entry = std::move(pending.back());
    pending.pop_back();
    if (entry.isDirectory) {
      std::vector<DriveEntry> inside = EntriesOf(entry.host);
      pending.insert(pending.end(), std::make_move_iterator(inside.rbegin()), std::make_move_iterator(inside.rend()));
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

uint64_t ContentDigest(const std::string &host, uint64_t *size) {
  // FNV-1a: a change of any byte shows; no one chooses these files to collide.
  uint64_t digest = 14695981039346656037ull;
  *size = 0;
  std::ifstream in(host, std::ios::binary);
  std::array<char, 65536> chunk{};
  while (in) {
    in.read(chunk.data(), chunk.size());
    const std::streamsize got = in.gcount();
    for (std::streamsize i = 0; i < got; ++i) {
      digest = (digest ^ static_cast<uint8_t>(chunk[static_cast<size_t>(i)])) * 1099511628211ull;
    }
    *size += static_cast<uint64_t>(got);
  }
  return digest;
}

}  // namespace

void DescribeDriveC(MachineDescription &machine) {
  for (const DriveEntry &entry : EntriesBelow(DriveCFolder())) {
    MachineDescription::FileEntry file;
    file.path = ToUtf8(WindowsPathOfHost(entry.host));
    file.folder = entry.isDirectory;
    file.attributes = EntryAttributes(entry.host, entry.isDirectory) & kSavedBits;
    if (!entry.isDirectory) file.digest = ContentDigest(entry.host, &file.size);
    machine.files.push_back(std::move(file));
  }
}

}  // namespace platform::files

namespace platform::files {

namespace {

constexpr int kAttributesVersion = 1;

json AttributeWords(DWORD attributes) {
  json words = json::array();
  for (const AttributeWord &word : kAttributeWords) {
    if (attributes & word.bit) words.push_back(word.word);
  }
  return words;
}

// The host path of the Windows path `path` ("C:\..."), looked up in
// `driveC` ignoring case as Windows would; nullopt when an entry on the
// way is missing or the text is no path below C:'s root.
std::optional<std::string> HostEntryOf(const std::string &driveC, const std::u16string &path) {
  if (path.size() < 4 || FoldCase(path[0]) != u'C' || path[1] != u':' || path[2] != u'\\') return std::nullopt;
  std::string host = driveC;
  for (size_t start = 3; start <= path.size();) {
    size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos) end = path.size();
    const std::u16string part = path.substr(start, end - start);
    if (part.empty() || part == u"." || part == u"..") return std::nullopt;
    const std::optional<std::string> entry = FindEntryIgnoringCase(host, part);
    if (!entry) return std::nullopt;
    host += "/" + *entry;
    start = end + 1;
  }
  return host;
}

}  // namespace

bool SaveAttributes(const std::string &path) {
  json entries = json::array();
  for (const DriveEntry &entry : EntriesBelow(DriveCFolder())) {
    const DWORD attributes = EntryAttributes(entry.host, entry.isDirectory) & kSavedBits;
    if (attributes == 0) continue;
    entries.push_back({{"path", ToUtf8(WindowsPathOfHost(entry.host))}, {"attributes", AttributeWords(attributes)}});
  }
  return WriteJsonFile(path, {{"version", kAttributesVersion}, {"entries", entries}});
}

std::optional<std::vector<SavedAttribute>> ReadAttributes(const std::string &path, const std::string &driveC,
                                                          std::string *problem) {
  std::error_code error;
  if (!fs::exists(path, error)) return std::vector<SavedAttribute>{};
  const std::optional<json> document = ReadJsonFile(path, problem);
  if (!document) return std::nullopt;
  auto invalid = [problem](const std::string &what) -> std::optional<std::vector<SavedAttribute>> {
    *problem = "is not a valid list of file attributes: " + what;
    return std::nullopt;
  };
  const json &root = *document;
  if (!root.is_object() || !root.contains("version") || root["version"] != kAttributesVersion ||
      !root.contains("entries") || !root["entries"].is_array()) {
    return invalid("unknown version or no list");
  }
  std::vector<SavedAttribute> saved;
  for (const json &item : root["entries"]) {
    if (!item.is_object() || !item.contains("path") || !item["path"].is_string() || !item.contains("attributes") ||
        !item["attributes"].is_array()) {
      return invalid("an entry without its path or attributes");
    }
    const std::string text = item["path"].get<std::string>();
    const std::optional<std::u16string> windowsPath = FromUtf8(text);
    if (!windowsPath) return invalid("a path that is not UTF-8");
    SavedAttribute entry;
    for (const json &word : item["attributes"]) {
      auto known = std::find_if(kAttributeWords.begin(), kAttributeWords.end(),
                                [&word](const AttributeWord &candidate) { return word == candidate.word; });
      if (known == kAttributeWords.end()) return invalid("an unknown attribute for " + text);
      entry.attributes |= known->bit;
    }
    if (entry.attributes == 0) return invalid("no attribute for " + text);
    const std::optional<std::string> host = HostEntryOf(driveC, *windowsPath);
    if (!host) return invalid(text + " is not on the machine's C:");
    for (const SavedAttribute &other : saved) {
      if (other.host == *host) return invalid(text + " is listed twice");
    }
    entry.host = *host;
    entry.isDirectory = fs::is_directory(fs::symlink_status(*host, error));
    saved.push_back(std::move(entry));
  }
  return saved;
}

void UseAttributes(const std::vector<SavedAttribute> &attributes) {
  for (const SavedAttribute &entry : attributes) ApplyAttributes(entry.host, entry.isDirectory, entry.attributes);
}

}  // namespace platform::files
