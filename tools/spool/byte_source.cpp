// Memory and file sources for the spool reader.
#include "byte_source.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace kvt::spool {

bool MemorySource::Read(std::span<uint8_t> out) {
  if (out.size() > bytes_.size() - position_) return false;
  if (!out.empty()) std::memcpy(out.data(), bytes_.data() + position_, out.size());
  position_ += out.size();
  return true;
}

std::unique_ptr<FileSource> FileSource::Open(const std::string &path, std::string &error) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = std::strerror(errno);
    return nullptr;
  }
  struct stat info {};
  if (fstat(fileno(file.get()), &info) != 0) {
    error = std::strerror(errno);
    return nullptr;
  }
  // The size must be known before reading: a pipe or a device has none.
  if (!S_ISREG(info.st_mode)) {
    error = "not a regular file";
    return nullptr;
  }
  return std::unique_ptr<FileSource>(new FileSource(std::move(file), static_cast<uint64_t>(info.st_size)));
}

bool FileSource::Read(std::span<uint8_t> out) {
  if (out.empty()) return true;
  return std::fread(out.data(), 1, out.size(), file_.get()) == out.size();
}

}  // namespace kvt::spool
