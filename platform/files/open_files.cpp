// File handles: CreateFileA and the calls on its handles. Each handle owns
// one host file descriptor and records the access and sharing it was opened
// with, so that a later open, delete or copy of the same file meets the
// sharing violations Windows gives. Reads and writes go to the descriptor
// directly; nothing is buffered between calls.
#include "files_internal.h"

#include "../kernel/kernel_internal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <utility>

namespace platform::files {

namespace {

constexpr DWORD kReadRights = GENERIC_READ | GENERIC_ALL | FILE_READ_DATA;
constexpr DWORD kWriteRights = GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA;
constexpr DWORD kDeleteRights = GENERIC_ALL | DELETE;

// The single owner of a host file descriptor.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  UniqueFd(UniqueFd &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd &operator=(UniqueFd &&other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  UniqueFd(const UniqueFd &) = delete;
  UniqueFd &operator=(const UniqueFd &) = delete;
  ~UniqueFd() { Reset(); }

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

struct OpenFile {
  UniqueFd fd;
  FileIdentity identity;
  bool canRead = false;
  bool canWrite = false;
  bool canDelete = false;
  DWORD shareMode = 0;
  std::string hostPath;  // for delete-on-close
  bool deleteOnClose = false;
};

std::map<HANDLE, OpenFile> &OpenFiles() {
  static std::map<HANDLE, OpenFile> files;
  return files;
}

OpenFile *Lookup(HANDLE handle) {
  auto &files = OpenFiles();
  const auto found = files.find(handle);
  return found == files.end() ? nullptr : &found->second;
}

void CloseOpenFile(OpenFile &file) {
  file.fd.Reset();
  if (file.deleteOnClose) ::unlink(file.hostPath.c_str());
}

// Read-only is kept as the host file's owner write bit, and checked here
// rather than left to the host, which would let a privileged user through.
bool IsReadOnly(const struct stat &info) { return !S_ISDIR(info.st_mode) && (info.st_mode & S_IWUSR) == 0; }

DWORD OpenHostFile(const ResolvedPath &path, DWORD access, DWORD shareMode, DWORD disposition, DWORD flags,
                   bool *existed, UniqueFd *out) {
  const bool wantsWrite = (access & kWriteRights) != 0;
  const bool wantsRead = (access & kReadRights) != 0;
  const std::string host = path.HostPath();
  *existed = path.exists;
  if (path.exists && path.isDirectory) return ERROR_ACCESS_DENIED;
  if (path.endsWithSeparator) return path.exists ? ERROR_INVALID_NAME : ERROR_PATH_NOT_FOUND;
  int hostFlags = O_CLOEXEC;
  hostFlags |= wantsWrite ? (wantsRead ? O_RDWR : O_WRONLY) : O_RDONLY;
  switch (disposition) {
    case CREATE_NEW:
      if (path.exists) return ERROR_FILE_EXISTS;
      hostFlags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      hostFlags |= O_CREAT | O_TRUNC;
      break;
    case OPEN_EXISTING:
      if (!path.exists) return ERROR_FILE_NOT_FOUND;
      break;
    case OPEN_ALWAYS:
      hostFlags |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      if (!wantsWrite) return ERROR_INVALID_PARAMETER;
      if (!path.exists) return ERROR_FILE_NOT_FOUND;
      hostFlags |= O_TRUNC;
      break;
    default:
      return ERROR_INVALID_PARAMETER;
  }
  if (path.exists) {
    struct stat info {};
    if (::stat(host.c_str(), &info) != 0) return ErrorOfErrno(errno);
    const bool replaces = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    if (IsReadOnly(info) && (wantsWrite || replaces || (access & kDeleteRights) != 0)) return ERROR_ACCESS_DENIED;
    if (!SharingAllows(FileIdentity{info.st_dev, info.st_ino}, access | (replaces ? GENERIC_WRITE : 0), shareMode)) {
      return ERROR_SHARING_VIOLATION;
    }
  }
  // A truncating open needs write access on the host even when the caller
  // asked only to read; Windows grants it implicitly.
  if ((hostFlags & O_TRUNC) != 0 && (hostFlags & O_ACCMODE) == O_RDONLY) hostFlags = (hostFlags & ~O_ACCMODE) | O_RDWR;
  const mode_t mode = (flags & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0644;
  const int fd = ::open(host.c_str(), hostFlags, mode);
  if (fd < 0) return ErrorOfErrno(errno);
  *out = UniqueFd(fd);
  return 0;
}

DWORD FileAccessOf(DWORD access) {
  DWORD result = 0;
  if (access & kReadRights) result |= GENERIC_READ;
  if (access & kWriteRights) result |= GENERIC_WRITE;
  if (access & kDeleteRights) result |= DELETE;
  return result;
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string &hostPath) {
  struct stat info {};
  if (::stat(hostPath.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{info.st_dev, info.st_ino};
}

// The share check of the NT I/O manager: a new open is refused when it asks
// for an access that an existing open does not share, or when it does not
// share an access that an existing open holds.
bool SharingAllows(const FileIdentity &file, DWORD access, DWORD shareMode) {
  const DWORD wanted = FileAccessOf(access);
  if (wanted == 0) return true;
  for (const auto &[handle, open] : OpenFiles()) {
    if (!(open.identity == file) || !(open.canRead || open.canWrite || open.canDelete)) continue;
    if ((wanted & GENERIC_READ) && !(open.shareMode & FILE_SHARE_READ)) return false;
    if ((wanted & GENERIC_WRITE) && !(open.shareMode & FILE_SHARE_WRITE)) return false;
    if ((wanted & DELETE) && !(open.shareMode & FILE_SHARE_DELETE)) return false;
    if (open.canRead && !(shareMode & FILE_SHARE_READ)) return false;
    if (open.canWrite && !(shareMode & FILE_SHARE_WRITE)) return false;
    if (open.canDelete && !(shareMode & FILE_SHARE_DELETE)) return false;
  }
  return true;
}

bool IsOpen(const FileIdentity &file) {
  for (const auto &[handle, open] : OpenFiles()) {
    if (open.identity == file) return true;
  }
  return false;
}

void CloseAllFiles() {
  for (auto &[handle, open] : OpenFiles()) CloseOpenFile(open);
  OpenFiles().clear();
}

size_t OpenFileCount() { return OpenFiles().size(); }

}  // namespace platform::files

using namespace platform::files;

extern "C" HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE /*hTemplateFile*/) {
  ResolvedPath path;
  if (const DWORD error = ResolveArgument(lpFileName, &path)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  if (path.isRoot) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  bool existed = false;
  UniqueFd fd;
  if (const DWORD error = OpenHostFile(path, dwDesiredAccess, dwShareMode, dwCreationDisposition, dwFlagsAndAttributes,
                                       &existed, &fd)) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    SetLastError(ErrorOfErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  OpenFile open;
  open.fd = std::move(fd);
  open.identity = FileIdentity{info.st_dev, info.st_ino};
  open.canRead = (dwDesiredAccess & kReadRights) != 0;
  open.canWrite = (dwDesiredAccess & kWriteRights) != 0;
  open.canDelete = (dwDesiredAccess & kDeleteRights) != 0 || (dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
  open.shareMode = dwShareMode;
  open.hostPath = path.HostPath();
  open.deleteOnClose = (dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
  const HANDLE handle = platform::NewHandleValue();
  OpenFiles().emplace(handle, std::move(open));
  if (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS) {
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  }
  return handle;
}

extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
  OpenFile *file = Lookup(hFile);
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToWrite > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!file->canWrite) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const auto *next = static_cast<const unsigned char *>(lpBuffer);
  DWORD done = 0;
  while (done < nNumberOfBytesToWrite) {
    const ssize_t n = ::write(file->fd.get(), next + done, nNumberOfBytesToWrite - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = done;
      SetLastError(ErrorOfErrno(errno));
      return FALSE;
    }
    done += static_cast<DWORD>(n);
  }
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = done;
  return TRUE;
}

extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                                LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  OpenFile *file = Lookup(hFile);
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToRead > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!file->canRead) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  auto *next = static_cast<unsigned char *>(lpBuffer);
  DWORD done = 0;
  while (done < nNumberOfBytesToRead) {
    const ssize_t n = ::read(file->fd.get(), next + done, nNumberOfBytesToRead - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastError(ErrorOfErrno(errno));
      return FALSE;
    }
    if (n == 0) break;  // end of file: success with what was read
    done += static_cast<DWORD>(n);
  }
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = done;
  return TRUE;
}

extern "C" DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                                       DWORD dwMoveMethod) {
  OpenFile *file = Lookup(hFile);
  if (file == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_SET_FILE_POINTER;
  }
  // Without a high part the distance is a signed 32-bit value; with one,
  // the two make a signed 64-bit value.
  int64_t distance = lDistanceToMove;
  if (lpDistanceToMoveHigh != nullptr) {
    distance = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                                    static_cast<uint32_t>(lDistanceToMove));
  }
  int64_t base = 0;
  if (dwMoveMethod == FILE_CURRENT) {
    base = ::lseek(file->fd.get(), 0, SEEK_CUR);
  } else if (dwMoveMethod == FILE_END) {
    struct stat info {};
    base = ::fstat(file->fd.get(), &info) == 0 ? info.st_size : -1;
  } else if (dwMoveMethod != FILE_BEGIN) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (base < 0) {
    SetLastError(ErrorOfErrno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  int64_t target = 0;
  if (__builtin_add_overflow(base, distance, &target) || target < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  if (::lseek(file->fd.get(), static_cast<off_t>(target), SEEK_SET) < 0) {
    SetLastError(ErrorOfErrno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  const auto low = static_cast<DWORD>(static_cast<uint64_t>(target) & 0xFFFFFFFFu);
  if (lpDistanceToMoveHigh != nullptr) {
    *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<uint32_t>(static_cast<uint64_t>(target) >> 32));
  } else if (target > 0xFFFFFFFFll) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  // A low part that looks like the failure value is told apart by the
  // last error, as on Windows.
  if (low == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);
  return low;
}

extern "C" DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  OpenFile *file = Lookup(hFile);
  struct stat info {};
  if (file == nullptr || ::fstat(file->fd.get(), &info) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  const auto size = static_cast<uint64_t>(info.st_size);
  if (lpFileSizeHigh != nullptr) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  if (static_cast<DWORD>(size) == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

extern "C" BOOL WINAPI CloseHandle(HANDLE hObject) {
  auto &files = OpenFiles();
  const auto found = files.find(hObject);
  if (found == files.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  CloseOpenFile(found->second);
  files.erase(found);
  return TRUE;
}
