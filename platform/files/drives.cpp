// The machine's drives and paths: C: is a host folder owned by the machine
// (a private temporary folder for a fresh machine, `<dir>/drive_c` for a
// loaded one), Z: is the host's root. Windows paths are normalized as
// Windows does (".", "..", trailing dots and blanks) and then looked up
// component by component, ignoring case, so that "c:\windows\INF" finds the
// folder that was made as "C:\WINDOWS\Inf".
#include "files_internal.h"

#include "../kernel/text.h"

#include <platform/testing.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace platform::files {

namespace {

constexpr std::u16string_view kSystemFolders[] = {
    u"WINDOWS", u"WINDOWS\\system32", u"WINDOWS\\Inf", u"WINDOWS\\Temp", u"WINDOWS\\system32\\spool\\drivers\\color",
};

// Owns the temporary folder of a fresh machine and removes it with all its
// contents when the machine is replaced or the process ends.
class TemporaryDrive {
 public:
  TemporaryDrive() = default;
  TemporaryDrive(const TemporaryDrive &) = delete;
  TemporaryDrive &operator=(const TemporaryDrive &) = delete;
  ~TemporaryDrive() { Remove(); }

  bool Create() {
    Remove();
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "kvt-machine-XXXXXX").string();
    if (error) pattern = "/tmp/kvt-machine-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) return false;
    folder_ = name.data();
    return true;
  }
  void Remove() {
    if (folder_.empty()) return;
    std::error_code error;
    std::filesystem::remove_all(folder_, error);
    folder_.clear();
  }
  const std::string &folder() const { return folder_; }

 private:
  std::string folder_;
};

struct DriveState {
  TemporaryDrive temporary;
  std::string driveC;                      // host folder of C:, canonical, no trailing slash
  std::u16string currentFolder = u"C:\\";  // always full, root ends in "\"
};

DriveState &State() {
  static DriveState state;
  return state;
}

void MakeSystemFolders(const std::string &root) {
  std::error_code error;
  for (std::u16string_view folder : kSystemFolders) {
    std::string host = ToUtf8(folder);
    for (char &ch : host) {
      if (ch == '\\') ch = '/';
    }
    std::filesystem::create_directories(root + "/" + host, error);
  }
}

std::string Canonical(const std::string &folder) {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, error);
  std::string result = error ? folder : canonical.string();
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

bool IsSeparator(char16_t ch) { return ch == u'\\' || ch == u'/'; }

bool IsDriveLetter(char16_t ch) { return (ch >= u'a' && ch <= u'z') || (ch >= u'A' && ch <= u'Z'); }

char16_t UpperDrive(char16_t ch) { return (ch >= u'a' && ch <= u'z') ? ch - 0x20 : ch; }

bool IsInvalidNameChar(char16_t ch) {
  return ch < 0x20 || ch == u'<' || ch == u'>' || ch == u':' || ch == u'"' || ch == u'|' || ch == u'?' || ch == u'*';
}

// Windows drops trailing dots and blanks of a component ("name." is
// "name"); a component of dots only is "." or "..", more dots count as ".".
std::u16string_view TrimComponent(std::u16string_view part) {
  bool onlyDots = true;
  for (char16_t ch : part) onlyDots = onlyDots && ch == u'.';
  if (onlyDots) return part.size() == 2 ? part : u".";
  while (!part.empty() && (part.back() == u'.' || part.back() == u' ')) part.remove_suffix(1);
  return part;
}

// Splits `rest` onto `parts`, applying "." and "..". False for an invalid name.
bool AppendComponents(std::u16string_view rest, std::vector<std::u16string> *parts) {
  size_t start = 0;
  while (start <= rest.size()) {
    size_t end = start;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::u16string_view part = TrimComponent(rest.substr(start, end - start));
    if (part == u"..") {
      if (!parts->empty()) parts->pop_back();
    } else if (!part.empty() && part != u".") {
      for (char16_t ch : part) {
        if (IsInvalidNameChar(ch)) return false;
      }
      parts->emplace_back(part);
    }
    start = end + 1;
  }
  return true;
}

std::optional<std::string> DriveHostRoot(char16_t drive) {
  if (drive == u'C') return DriveCFolder();
  if (drive == u'Z') return std::string();  // "" + "/name" gives host absolute paths
  return std::nullopt;
}

}  // namespace

std::optional<std::string> FindEntryIgnoringCase(const std::string &folder, const std::u16string &name) {
  const std::string exact = ToUtf8(name);
  struct stat info {};
  if (::lstat((folder + "/" + exact).c_str(), &info) == 0) return exact;
  std::unique_ptr<DIR, int (*)(DIR *)> dir(::opendir(folder.empty() ? "/" : folder.c_str()), &::closedir);
  if (!dir) return std::nullopt;
  while (const dirent *entry = ::readdir(dir.get())) {
    const std::optional<std::u16string> entryName = FromUtf8(entry->d_name);
    if (entryName && EqualsIgnoreCase(*entryName, name)) return std::string(entry->d_name);
  }
  return std::nullopt;
}

std::string ResolvedPath::HostPath() const {
  if (hostName.empty()) return hostFolder.empty() ? "/" : hostFolder;
  return hostFolder + "/" + hostName;
}

const std::string &DriveCFolder() {
  DriveState &state = State();
  if (state.driveC.empty()) ResetFiles();
  return state.driveC;
}

void ResetFiles() {
  CloseAllFinds();
  CloseAllFiles();
  ResetMainModulePath();
  DriveState &state = State();
  state.currentFolder = u"C:\\";
  if (state.temporary.Create()) {
    state.driveC = Canonical(state.temporary.folder());
  } else {
    // No temporary folder: fall back to one that cannot collide with a
    // real machine, so that failures show as missing files, not damage.
    state.driveC = "/nonexistent-kvt-machine";
  }
  MakeSystemFolders(state.driveC);
}

void UseDriveCFolder(const std::string &hostFolder) {
  CloseAllFinds();
  CloseAllFiles();
  DriveState &state = State();
  std::error_code error;
  std::filesystem::create_directories(hostFolder, error);
  state.temporary.Remove();
  state.driveC = Canonical(hostFolder);
  state.currentFolder = u"C:\\";
  MakeSystemFolders(state.driveC);
}

DWORD PathArgument(LPCSTR path, std::u16string *out) {
  if (path == nullptr) return ERROR_PATH_NOT_FOUND;
  size_t length = 0;
  while (length < MAX_PATH && path[length] != '\0') ++length;
  if (length >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  *out = AnsiToWide(path);
  return 0;
}

DWORD ResolveArgument(LPCSTR path, ResolvedPath *out) {
  std::u16string text;
  if (const DWORD error = PathArgument(path, &text)) return error;
  return Resolve(text, out);
}

DWORD Resolve(std::u16string_view path, ResolvedPath *out) {
  *out = ResolvedPath();
  if (path.empty()) return ERROR_PATH_NOT_FOUND;
  const DriveState &state = State();
  char16_t drive = state.currentFolder[0];
  std::vector<std::u16string> parts;
  std::u16string_view rest = path;
  if (path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == u':') {
    drive = UpperDrive(path[0]);
    rest = path.substr(2);
    if (rest.empty() || !IsSeparator(rest.front())) {
      // "C:name" is relative to the current folder when C: is its drive.
      if (drive == state.currentFolder[0]) AppendComponents(std::u16string_view(state.currentFolder).substr(3), &parts);
    }
  } else if (IsSeparator(path[0])) {
    if (path.size() >= 2 && IsSeparator(path[1])) return ERROR_PATH_NOT_FOUND;  // no network shares
  } else {
    AppendComponents(std::u16string_view(state.currentFolder).substr(3), &parts);
  }
  if (!AppendComponents(rest, &parts)) return ERROR_INVALID_NAME;
  out->endsWithSeparator = IsSeparator(path.back());

  std::u16string full{drive, u':', u'\\'};
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) full.push_back(u'\\');
    full += parts[i];
  }
  if (full.size() >= MAX_PATH) return ERROR_PATH_NOT_FOUND;
  out->windowsPath = full;

  const std::optional<std::string> root = DriveHostRoot(drive);
  if (!root) return ERROR_PATH_NOT_FOUND;
  std::string host = *root;
  if (parts.empty()) {
    out->hostFolder = host;
    out->isRoot = out->exists = out->isDirectory = true;
    return 0;
  }
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    const std::optional<std::string> entry = FindEntryIgnoringCase(host, parts[i]);
    if (!entry) return ERROR_PATH_NOT_FOUND;
    host += "/" + *entry;
    struct stat info {};
    if (::stat(host.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return ERROR_PATH_NOT_FOUND;
  }
  out->hostFolder = host;
  const std::optional<std::string> last = FindEntryIgnoringCase(host, parts.back());
  out->hostName = last ? *last : ToUtf8(parts.back());
  struct stat info {};
  if (last && ::stat(out->HostPath().c_str(), &info) == 0) {
    out->exists = true;
    out->isDirectory = S_ISDIR(info.st_mode);
  }
  return 0;
}

std::u16string WindowsPathOfHost(const std::string &hostPath) {
  const std::string &driveC = DriveCFolder();
  std::string rest;
  std::u16string result;
  if (hostPath == driveC || (hostPath.size() > driveC.size() && hostPath.compare(0, driveC.size(), driveC) == 0 &&
                             hostPath[driveC.size()] == '/')) {
    result = u"C:";
    rest = hostPath.substr(driveC.size());
  } else {
    result = u"Z:";
    rest = hostPath;
  }
  const std::optional<std::u16string> wide = FromUtf8(rest);
  result += wide ? *wide : u"\\";
  for (char16_t &ch : result) {
    if (ch == u'/') ch = u'\\';
  }
  if (result.size() == 2) result.push_back(u'\\');
  return result;
}

DWORD CopyPathOut(std::u16string_view text, LPSTR buffer, DWORD size) {
  if (buffer == nullptr || size <= text.size()) return static_cast<DWORD>(text.size() + 1);
  for (char16_t ch : text) *buffer++ = WideToAnsiChar(ch);
  *buffer = '\0';
  return static_cast<DWORD>(text.size());
}

DWORD ErrorOfErrno(int hostError) {
  switch (hostError) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

// Current folder. Kept in the given case after normalization, as Windows
// keeps it; the folder must exist.
BOOL SetCurrentFolder(LPCSTR path) {
  ResolvedPath resolved;
  if (const DWORD error = ResolveArgument(path, &resolved)) {
    SetLastError(error);
    return FALSE;
  }
  if (!resolved.exists) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (!resolved.isDirectory) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  State().currentFolder = resolved.windowsPath;
  return TRUE;
}

std::u16string CurrentFolder() {
  std::u16string folder = State().currentFolder;
  if (folder.size() > 3 && folder.back() == u'\\') folder.pop_back();
  return folder;
}

}  // namespace platform::files

namespace platform {

std::string DriveCFolder() { return files::DriveCFolder(); }

std::optional<std::string> HostPathOfWindowsPath(const std::string &windowsPath) {
  files::ResolvedPath path;
  if (files::Resolve(AnsiToWide(windowsPath.c_str()), &path) != 0) return std::nullopt;
  return path.HostPath();
}

}  // namespace platform

using platform::files::CopyPathOut;

namespace {

std::u16string &WindowsDirectoryOverride() {
  static std::u16string path;
  return path;
}

void ResetWindowsDirectory() { WindowsDirectoryOverride().clear(); }

const bool kWindowsDirectoryRegistered = (platform::RegisterResetHook(&ResetWindowsDirectory), true);

}  // namespace

void platform::SetWindowsDirectoryPath(const std::string &windowsPath) {
  (void)kWindowsDirectoryRegistered;
  WindowsDirectoryOverride() = platform::AnsiToWide(windowsPath.c_str());
}

extern "C" UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  if (!WindowsDirectoryOverride().empty()) return CopyPathOut(WindowsDirectoryOverride(), lpBuffer, uSize);
  return CopyPathOut(u"C:\\WINDOWS", lpBuffer, uSize);
}

extern "C" UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return CopyPathOut(u"C:\\WINDOWS\\system32", lpBuffer, uSize);
}

extern "C" DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  return CopyPathOut(u"C:\\WINDOWS\\Temp\\", lpBuffer, nBufferLength);
}

extern "C" DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  return CopyPathOut(platform::files::CurrentFolder(), lpBuffer, nBufferLength);
}

extern "C" BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) { return platform::files::SetCurrentFolder(lpPathName); }
