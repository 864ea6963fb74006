// Operations on files and folders by name: delete, attributes, create and
// remove folders, copy and move. Each checks what Windows checks before it
// touches the host (missing names, read-only files, folders where a file is
// expected, files held open without the needed sharing) and reports the
// same error codes.
#include "files_internal.h"

#include "../kernel/text.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

namespace platform::files {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

// Resolves an argument naming an entry that must exist: ERROR_FILE_NOT_FOUND
// when only the last component is missing.
bool ResolveExisting(LPCSTR name, ResolvedPath *path) {
  if (const DWORD error = ResolveArgument(name, path)) return Fail(error);
  if (!path->exists) return Fail(ERROR_FILE_NOT_FOUND);
  return true;
}

bool IsReadOnlyFile(const std::string &host) {
  struct stat info {};
  return ::stat(host.c_str(), &info) == 0 && !S_ISDIR(info.st_mode) && (info.st_mode & S_IWUSR) == 0;
}

bool SharingAllowsPath(const std::string &host, DWORD access, DWORD shareMode) {
  const std::optional<FileIdentity> identity = IdentityOf(host);
  return !identity || SharingAllows(*identity, access, shareMode);
}

bool FolderIsEmpty(const std::string &host) {
  std::error_code error;
  return std::filesystem::directory_iterator(host, error) == std::filesystem::directory_iterator() && !error;
}

// Copies the bytes of `source` to `target` (created or replaced) and gives
// the copy the source's read-only state, as CopyFile does.
bool CopyContents(const std::string &source, const std::string &target) {
  std::error_code error;
  std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing, error);
  if (error) return Fail(ErrorOfErrno(error.value()));
  struct stat info {};
  if (::stat(source.c_str(), &info) == 0) ::chmod(target.c_str(), info.st_mode & 07777);
  return true;
}

}  // namespace

DWORD EntryAttributes(const std::string &host, bool isDirectory) {
  if (isDirectory) return KeptAttributes(host);
  return (IsReadOnlyFile(host) ? FILE_ATTRIBUTE_READONLY : 0) | KeptAttributes(host);
}

DWORD ApplyAttributes(const std::string &host, bool isDirectory, DWORD attributes) {
  if (isDirectory) {
    KeepAttributes(host, attributes);
    return 0;
  }
  KeepAttributes(host, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  struct stat info {};
  if (::stat(host.c_str(), &info) != 0) return ErrorOfErrno(errno);
  mode_t mode = info.st_mode & 07777;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  return ::chmod(host.c_str(), mode) == 0 ? 0 : ErrorOfErrno(errno);
}

}  // namespace platform::files

using namespace platform::files;

extern "C" BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  ResolvedPath path;
  if (!ResolveExisting(lpFileName, &path)) return FALSE;
  const std::string host = path.HostPath();
  // A mapped image cannot go while it is mapped, whatever its sharing.
  if (path.isDirectory || IsReadOnlyFile(host) || IsLoadedModule(host)) return Fail(ERROR_ACCESS_DENIED);
  if (!SharingAllowsPath(host, DELETE, kShareAll)) return Fail(ERROR_SHARING_VIOLATION);
  const std::optional<FileIdentity> identity = IdentityOf(host);
  if (::unlink(host.c_str()) != 0) return Fail(ErrorOfErrno(errno));
  if (identity) ForgetEntry(*identity);
  return TRUE;
}

extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  ResolvedPath path;
  if (!ResolveExisting(lpFileName, &path)) return INVALID_FILE_ATTRIBUTES;
  const std::string host = path.HostPath();
  if (path.isDirectory) return FILE_ATTRIBUTE_DIRECTORY | EntryAttributes(host, true);
  return FILE_ATTRIBUTE_ARCHIVE | EntryAttributes(host, false);
}

// The read-only attribute of a file is its write permission; hidden and
// system, and all three of a folder, are kept beside the host's entries.
// Other attributes are accepted and not stored.
extern "C" BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  ResolvedPath path;
  if (!ResolveExisting(lpFileName, &path)) return FALSE;
  if (const DWORD error = ApplyAttributes(path.HostPath(), path.isDirectory, dwFileAttributes)) return Fail(error);
  return TRUE;
}

extern "C" BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/) {
  ResolvedPath path;
  if (const DWORD error = ResolveArgument(lpPathName, &path)) return Fail(error);
  if (path.exists) return Fail(ERROR_ALREADY_EXISTS);
  if (::mkdir(path.HostPath().c_str(), 0755) != 0) return Fail(ErrorOfErrno(errno));
  return TRUE;
}

extern "C" BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  ResolvedPath path;
  if (!ResolveExisting(lpPathName, &path)) return FALSE;
  if (path.isRoot) return Fail(ERROR_ACCESS_DENIED);
  if (!path.isDirectory) return Fail(ERROR_DIRECTORY);
  const std::string host = path.HostPath();
  if (!FolderIsEmpty(host)) return Fail(ERROR_DIR_NOT_EMPTY);
  // The process holds its current folder open, so Windows refuses to
  // remove it.
  char current[MAX_PATH];
  ResolvedPath currentPath;
  if (GetCurrentDirectoryA(MAX_PATH, current) < MAX_PATH && ResolveArgument(current, &currentPath) == 0 &&
      currentPath.HostPath() == host) {
    return Fail(ERROR_SHARING_VIOLATION);
  }
  const std::optional<FileIdentity> identity = IdentityOf(host);
  if (::rmdir(host.c_str()) != 0) return Fail(ErrorOfErrno(errno));
  if (identity) ForgetEntry(*identity);
  return TRUE;
}

extern "C" BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  ResolvedPath source;
  if (!ResolveExisting(lpExistingFileName, &source)) return FALSE;
  ResolvedPath target;
  if (const DWORD error = ResolveArgument(lpNewFileName, &target)) return Fail(error);
  if (source.isDirectory) return Fail(ERROR_ACCESS_DENIED);
  const std::string sourceHost = source.HostPath();
  const std::string targetHost = target.HostPath();
  if (!SharingAllowsPath(sourceHost, GENERIC_READ, FILE_SHARE_READ)) return Fail(ERROR_SHARING_VIOLATION);
  if (target.exists) {
    if (bFailIfExists) return Fail(ERROR_FILE_EXISTS);
    if (target.isDirectory || IsReadOnlyFile(targetHost)) return Fail(ERROR_ACCESS_DENIED);
    if (!SharingAllowsPath(targetHost, GENERIC_WRITE, 0)) return Fail(ERROR_SHARING_VIOLATION);
    const std::optional<FileIdentity> a = IdentityOf(sourceHost);
    if (a && a == IdentityOf(targetHost)) return Fail(ERROR_SHARING_VIOLATION);
  }
  return CopyContents(sourceHost, targetHost) ? TRUE : FALSE;
}

extern "C" BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  ResolvedPath source;
  if (!ResolveExisting(lpExistingFileName, &source)) return FALSE;
  ResolvedPath target;
  if (const DWORD error = ResolveArgument(lpNewFileName, &target)) return Fail(error);
  if (source.isRoot) return Fail(ERROR_ACCESS_DENIED);
  const std::string sourceHost = source.HostPath();
  const std::string targetHost = target.HostPath();
  if (!SharingAllowsPath(sourceHost, DELETE, kShareAll)) return Fail(ERROR_SHARING_VIOLATION);
  // Renaming a file to another case of its own name is a rename, not a clash.
  const bool sameEntry = target.exists && IdentityOf(sourceHost) == IdentityOf(targetHost);
  if (target.exists && !sameEntry) {
    if (!(dwFlags & MOVEFILE_REPLACE_EXISTING)) return Fail(ERROR_ALREADY_EXISTS);
    if (target.isDirectory || IsReadOnlyFile(targetHost)) return Fail(ERROR_ACCESS_DENIED);
    if (!SharingAllowsPath(targetHost, DELETE, kShareAll)) return Fail(ERROR_SHARING_VIOLATION);
  }
  std::string finalTarget = targetHost;
  if (sameEntry) {
    // The entry keeps its identity and takes the new spelling.
    const std::u16string &full = target.windowsPath;
    finalTarget = target.hostFolder + "/" + platform::ToUtf8(std::u16string_view(full).substr(full.rfind(u'\\') + 1));
  }
  if (::rename(sourceHost.c_str(), finalTarget.c_str()) != 0) return Fail(ErrorOfErrno(errno));
  return TRUE;
}

extern "C" BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
  return MoveFileExA(lpExistingFileName, lpNewFileName, 0);
}
