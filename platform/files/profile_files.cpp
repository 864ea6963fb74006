// The profile functions over the machine's files: GetPrivateProfileStringA,
// GetPrivateProfileIntA and WritePrivateProfileStringA. The file is read
// anew on every call (no cache), so a file changed on the host is seen at
// once. A file that cannot be read counts as empty.
#include "files_internal.h"
#include "profile_parser.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace platform::files {

namespace {

// Profile files are small; a larger file is not read, which bounds memory.
constexpr std::streamsize kMaxProfileBytes = 16 * 1024 * 1024;

// A bare file name is in the Windows folder, as Windows looks it up.
std::string ProfilePathText(LPCSTR fileName) {
  const std::string name = fileName != nullptr ? fileName : "win.ini";
  const bool hasFolder = name.find_first_of("\\/") != std::string::npos || (name.size() >= 2 && name[1] == ':');
  return hasFolder ? name : "C:\\WINDOWS\\" + name;
}

// The file's bytes; nullopt when it is missing, a folder, held open without
// read sharing, too large or unreadable.
std::optional<std::string> ReadProfile(LPCSTR fileName) {
  ResolvedPath path;
  const std::string pathText = ProfilePathText(fileName);
  if (ResolveArgument(pathText.c_str(), &path) != 0 || !path.exists || path.isDirectory) return std::nullopt;
  const std::string host = path.HostPath();
  const std::optional<FileIdentity> identity = IdentityOf(host);
  if (!identity || !SharingAllows(*identity, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE)) return std::nullopt;
  std::ifstream in(host, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text;
  char block[4096];
  while (in.read(block, sizeof(block)) || in.gcount() > 0) {
    if (static_cast<std::streamsize>(text.size()) + in.gcount() > kMaxProfileBytes) return std::nullopt;
    text.append(block, static_cast<size_t>(in.gcount()));
  }
  return text;
}

// Copies `text` into a buffer of `size` characters, cut to size - 1.
DWORD CopyValue(std::string_view text, LPSTR buffer, DWORD size) {
  const size_t count = text.size() < size ? text.size() : size - 1;
  text.copy(buffer, count);
  buffer[count] = '\0';
  return static_cast<DWORD>(count);
}

// A list of names, each terminated, the list ending in a second terminator.
// When it does not fit, it is cut and the result is size - 2, as Windows
// reports a cut list.
DWORD CopyNameList(const std::vector<std::string_view> &names, LPSTR buffer, DWORD size) {
  std::string list;
  for (std::string_view name : names) {
    list.append(name);
    list.push_back('\0');
  }
  if (list.size() + 1 <= size) {
    list.copy(buffer, list.size());
    buffer[list.size()] = '\0';
    return static_cast<DWORD>(list.size());
  }
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  list.copy(buffer, size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

std::optional<std::string> ReadValue(LPCSTR section, LPCSTR key, LPCSTR fileName) {
  const std::optional<std::string> text = ReadProfile(fileName);
  if (!text) return std::nullopt;
  const std::vector<profile::Section> sections = profile::Parse(*text);
  const profile::Section *found = profile::FindSection(sections, section);
  if (found == nullptr) return std::nullopt;
  const profile::Entry *entry = profile::FindEntry(*found, key);
  if (entry == nullptr || !entry->value) return std::nullopt;
  return std::string(profile::StripQuotes(*entry->value));
}

// An editable copy of a profile, for writing.
struct EditableSection {
  std::string name;
  std::vector<std::pair<std::string, std::optional<std::string>>> entries;
};

std::vector<EditableSection> Editable(const std::string &text) {
  std::vector<EditableSection> result;
  for (const profile::Section &section : profile::Parse(text)) {
    EditableSection copy{std::string(section.name), {}};
    for (const profile::Entry &entry : section.entries) {
      copy.entries.emplace_back(std::string(entry.name),
                                entry.value ? std::optional<std::string>(std::string(*entry.value)) : std::nullopt);
    }
    result.push_back(std::move(copy));
  }
  return result;
}

std::string Serialize(const std::vector<EditableSection> &sections) {
  std::string out;
  for (size_t i = 0; i < sections.size(); ++i) {
    const EditableSection &section = sections[i];
    if (i == 0 && section.entries.empty()) continue;  // the nameless lead section
    if (i > 0) {
      if (!out.empty()) out += "\r\n";
      out += "[" + section.name + "]\r\n";
    }
    for (const auto &[name, value] : section.entries) out += value ? name + "=" + *value + "\r\n" : name + "\r\n";
  }
  return out;
}

bool SameAnsiName(const std::string &a, LPCSTR b) {
  std::vector<profile::Section> probe(1);
  probe[0].name = a;
  return profile::FindSection(probe, b) != nullptr;
}

BOOL WriteValue(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
  ResolvedPath path;
  const std::string pathText = ProfilePathText(fileName);
  if (const DWORD error = ResolveArgument(pathText.c_str(), &path)) {
    SetLastError(error);
    return FALSE;
  }
  if (path.isDirectory) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const std::string host = path.HostPath();
  if (path.exists) {
    struct stat info {};
    const std::optional<FileIdentity> identity = IdentityOf(host);
    if (::stat(host.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (identity && !SharingAllows(*identity, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ)) {
      SetLastError(ERROR_SHARING_VIOLATION);
      return FALSE;
    }
  }
  const std::optional<std::string> text = path.exists ? ReadProfile(pathText.c_str()) : std::string();
  std::vector<EditableSection> sections = Editable(text.value_or(std::string()));
  size_t index = 1;
  while (index < sections.size() && !SameAnsiName(sections[index].name, section)) ++index;
  if (key == nullptr) {
    if (index < sections.size()) sections.erase(sections.begin() + static_cast<std::ptrdiff_t>(index));
  } else {
    if (index == sections.size()) {
      if (value == nullptr) return TRUE;
      sections.push_back(EditableSection{section, {}});
    }
    auto &entries = sections[index].entries;
    auto entry = entries.begin();
    while (entry != entries.end() && !SameAnsiName(entry->first, key)) ++entry;
    if (value == nullptr) {
      if (entry != entries.end()) entries.erase(entry);
    } else if (entry != entries.end()) {
      entry->second = std::string(value);
    } else {
      entries.emplace_back(key, std::string(value));
    }
  }
  std::ofstream out(host, std::ios::binary | std::ios::trunc);
  const std::string serialized = Serialize(sections);
  out.write(serialized.data(), static_cast<std::streamsize>(serialized.size()));
  if (!out) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

}  // namespace

}  // namespace platform::files

using namespace platform::files;

extern "C" DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                                 LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
  if (lpReturnedString == nullptr || nSize == 0) return 0;
  if (lpAppName == nullptr || lpKeyName == nullptr) {
    const std::optional<std::string> text = ReadProfile(lpFileName);
    std::vector<std::string_view> names;
    if (text) {
      const std::vector<platform::profile::Section> sections = platform::profile::Parse(*text);
      if (lpAppName == nullptr) {
        for (size_t i = 1; i < sections.size(); ++i) names.push_back(sections[i].name);
      } else if (const platform::profile::Section *section = platform::profile::FindSection(sections, lpAppName)) {
        for (const platform::profile::Entry &entry : section->entries) {
          if (!entry.name.empty() && entry.name.front() != ';') names.push_back(entry.name);
        }
      }
    }
    return CopyNameList(names, lpReturnedString, nSize);
  }
  if (const std::optional<std::string> value = ReadValue(lpAppName, lpKeyName, lpFileName)) {
    return CopyValue(*value, lpReturnedString, nSize);
  }
  // Windows drops trailing blanks of the default.
  std::string_view fallback = lpDefault != nullptr ? lpDefault : "";
  while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
  return CopyValue(fallback, lpReturnedString, nSize);
}

extern "C" UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName) {
  if (lpAppName == nullptr || lpKeyName == nullptr) return static_cast<UINT>(nDefault);
  const std::optional<std::string> value = ReadValue(lpAppName, lpKeyName, lpFileName);
  if (!value || value->empty()) return static_cast<UINT>(nDefault);
  return platform::profile::LeadingInteger(*value);
}

extern "C" BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                                  LPCSTR lpFileName) {
  // Without a section this only flushes a cache, and there is none.
  if (lpAppName == nullptr) return lpKeyName == nullptr && lpString == nullptr ? TRUE : FALSE;
  return WriteValue(lpAppName, lpKeyName, lpString, lpFileName);
}
