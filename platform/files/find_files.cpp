// FindFirstFileA and FindNextFileA: a folder listing filtered by a pattern
// with "*" and "?", taken when the search starts. As on Windows, a folder
// other than a drive's root lists "." and ".." first, and the names follow
// in the order of their upper-case forms, as NTFS keeps them.
#include "files_internal.h"

#include "../kernel/kernel_internal.h"
#include "../kernel/text.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <system_error>
#include <vector>

namespace platform::files {

namespace {

struct FindState {
  std::vector<WIN32_FIND_DATAA> entries;
  size_t next = 0;
};

std::map<HANDLE, FindState> &Finds() {
  static std::map<HANDLE, FindState> finds;
  return finds;
}

// Windows' file times count 100 ns steps since 1601-01-01.
FILETIME FileTimeOf(const struct timespec &time) {
  constexpr int64_t kSecondsFrom1601To1970 = 11644473600LL;
  const int64_t ticks = (static_cast<int64_t>(time.tv_sec) + kSecondsFrom1601To1970) * 10000000LL + time.tv_nsec / 100;
  const auto value = static_cast<uint64_t>(ticks < 0 ? 0 : ticks);
  return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

bool MatchesFrom(std::u16string_view pattern, std::u16string_view name) {
  // Iterative "*" matching with one back-tracking point: linear in practice
  // and free of deep recursion on hostile patterns.
  size_t p = 0, n = 0, starP = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::u16string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

// "*.*" and "name.*" also match names without an extension, as DOS did.
bool Matches(std::u16string_view pattern, std::u16string_view name) {
  if (MatchesFrom(pattern, name)) return true;
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == u".*") {
    return MatchesFrom(pattern.substr(0, pattern.size() - 2), name);
  }
  return false;
}

bool FillEntry(const std::string &hostPath, std::u16string_view name, WIN32_FIND_DATAA *data) {
  if (name.size() >= MAX_PATH) return false;
  struct stat info {};
  if (::stat(hostPath.c_str(), &info) != 0) return false;
  *data = WIN32_FIND_DATAA{};
  if (S_ISDIR(info.st_mode)) {
    data->dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY | KeptAttributes(hostPath);
  } else {
    data->dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE | ((info.st_mode & S_IWUSR) == 0 ? FILE_ATTRIBUTE_READONLY : 0) |
                             KeptAttributes(hostPath);
    const auto size = static_cast<uint64_t>(info.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  }
  data->ftCreationTime = FileTimeOf(info.st_ctim);
  data->ftLastAccessTime = FileTimeOf(info.st_atim);
  data->ftLastWriteTime = FileTimeOf(info.st_mtim);
  for (size_t i = 0; i < name.size(); ++i) data->cFileName[i] = WideToAnsiChar(name[i]);
  return true;
}

std::u16string SortKey(const char *name) {
  std::u16string key = AnsiToWide(name);
  for (char16_t &ch : key) ch = FoldCase(ch);
  return key;
}

DWORD ListMatches(const ResolvedPath &path, std::u16string_view pattern, std::vector<WIN32_FIND_DATAA> *out) {
  const std::string &folder = path.hostFolder.empty() ? std::string("/") : path.hostFolder;
  WIN32_FIND_DATAA entry;
  // The folder of the pattern is a root exactly when it has no host name
  // of its own, i.e. the pattern sits right below "X:\".
  const bool folderIsRoot = std::count(path.windowsPath.begin(), path.windowsPath.end(), u'\\') == 1;
  if (!folderIsRoot) {
    for (std::u16string_view dot : {std::u16string_view(u"."), std::u16string_view(u"..")}) {
      const std::string host = dot.size() == 1 ? folder : folder + "/..";
      if (Matches(pattern, dot) && FillEntry(host, dot, &entry)) out->push_back(entry);
    }
  }
  std::vector<WIN32_FIND_DATAA> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string hostName = it->path().filename().string();
    const std::optional<std::u16string> name = FromUtf8(hostName);
    if (!name || !Matches(pattern, *name)) continue;
    if (FillEntry(folder + "/" + hostName, *name, &entry)) names.push_back(entry);
  }
  if (error) return ERROR_PATH_NOT_FOUND;
  std::sort(names.begin(), names.end(), [](const WIN32_FIND_DATAA &a, const WIN32_FIND_DATAA &b) {
    return SortKey(a.cFileName) < SortKey(b.cFileName);
  });
  out->insert(out->end(), names.begin(), names.end());
  return out->empty() ? ERROR_FILE_NOT_FOUND : 0;
}

}  // namespace

void CloseAllFinds() { Finds().clear(); }

size_t OpenFindCount() { return Finds().size(); }

}  // namespace platform::files

using namespace platform::files;

extern "C" HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  std::u16string text;
  if (const DWORD error = PathArgument(lpFileName, &text)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  if (lpFindFileData == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  // The last component is the pattern; the folder before it must exist.
  const size_t cut = text.find_last_of(u"\\/");
  const size_t patternStart = cut == std::u16string::npos ? (text.size() >= 2 && text[1] == u':' ? 2 : 0) : cut + 1;
  const std::u16string pattern = text.substr(patternStart);
  if (pattern.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  // Resolve the folder through a stand-in name, so that the folder is the
  // resolved entry's parent whatever the pattern holds.
  ResolvedPath path;
  if (const DWORD error = Resolve(text.substr(0, patternStart) + u"x", &path)) {
    SetLastError(error == ERROR_INVALID_NAME ? ERROR_PATH_NOT_FOUND : error);
    return INVALID_HANDLE_VALUE;
  }
  FindState state;
  if (const DWORD error = ListMatches(path, pattern, &state.entries)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  *lpFindFileData = state.entries[0];
  state.next = 1;
  const HANDLE handle = platform::NewHandleValue();
  Finds().emplace(handle, std::move(state));
  return handle;
}

extern "C" BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  auto &finds = Finds();
  const auto found = finds.find(hFindFile);
  if (found == finds.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  FindState &state = found->second;
  if (state.next >= state.entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  if (lpFindFileData == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpFindFileData = state.entries[state.next++];
  return TRUE;
}

extern "C" BOOL WINAPI FindClose(HANDLE hFindFile) {
  if (Finds().erase(hFindFile) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
