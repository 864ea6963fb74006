// Job outputs over POSIX file descriptors.
#include "job_sink.h"

#include "../files/files_internal.h"
#include "../kernel/text.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <unistd.h>
#include <utility>

namespace platform {

namespace {

DWORD WindowsErrorOf(int hostError) {
  switch (hostError) {
    case ENOENT:
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_WRITE_FAULT;
  }
}

}  // namespace

std::optional<std::string> HostPathOf(std::u16string_view windowsPath) {
  if (windowsPath.empty()) return std::nullopt;
  for (char16_t ch : windowsPath) {
    if (ch == 0) return std::nullopt;
  }
  if (windowsPath.front() == u'/') return ToUtf8(windowsPath);
  files::ResolvedPath resolved;
  if (files::Resolve(windowsPath, &resolved) != 0 || resolved.isDirectory) return std::nullopt;
  return resolved.HostPath();
}

bool IsFilePort(std::u16string_view portName) {
  if (portName.empty()) return false;
  if (portName.front() == u'/') return true;
  // "C:\out.prn": a local port that is a file on the machine's drives.
  return portName.size() >= 3 && portName[1] == u':' && (portName[2] == u'\\' || portName[2] == u'/');
}

std::optional<JobSink> JobSink::CreateFile(const std::string &hostPath, DWORD *error) {
  const int fd = ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = WindowsErrorOf(errno);
    return std::nullopt;
  }
  JobSink output(Kind::File);
  output.fd_ = fd;
  return output;
}

JobSink::JobSink(JobSink &&other) noexcept
    : kind_(other.kind_), fd_(std::exchange(other.fd_, -1)), bytes_(std::move(other.bytes_)) {}

JobSink &JobSink::operator=(JobSink &&other) noexcept {
  if (this != &other) {
    Close();
    kind_ = other.kind_;
    fd_ = std::exchange(other.fd_, -1);
    bytes_ = std::move(other.bytes_);
  }
  return *this;
}

JobSink::~JobSink() { Close(); }

void JobSink::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

bool JobSink::Write(const void *data, DWORD size, DWORD *written, DWORD *error) {
  *written = 0;
  switch (kind_) {
    case Kind::Discard:
      *written = size;
      return true;
    case Kind::Memory: {
      const auto *first = static_cast<const uint8_t *>(data);
      try {
        bytes_.insert(bytes_.end(), first, first + size);
      } catch (const std::bad_alloc &) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return false;
      }
      *written = size;
      return true;
    }
    case Kind::File:
      break;
  }
  if (fd_ < 0) {
    *error = ERROR_INVALID_HANDLE;
    return false;
  }
  const auto *next = static_cast<const unsigned char *>(data);
  DWORD left = size;
  while (left > 0) {
    const ssize_t n = ::write(fd_, next, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = WindowsErrorOf(errno);
      return false;
    }
    next += n;
    left -= static_cast<DWORD>(n);
    *written += static_cast<DWORD>(n);
  }
  return true;
}

}  // namespace platform
