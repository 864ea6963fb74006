// Memory and file sources for the spool reader.
#include "byte_source.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "system_text.h"

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
    error = errno == ENOENT ? "the file does not exist" : text::ReasonOfErrno(errno);
    return nullptr;
  }
  return FromFile(std::move(file), error);
}

std::unique_ptr<FileSource> FileSource::OpenStandardInput(std::string &error) {
  std::unique_ptr<std::FILE, FileCloser> copy(std::tmpfile());
  if (!copy) {
    error = "cannot make a temporary file: " + text::ReasonOfErrno(errno);
    return nullptr;
  }
  std::vector<char> buffer(1 << 16);
  size_t got = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), stdin)) > 0) {
    if (std::fwrite(buffer.data(), 1, got, copy.get()) != got) {
      error = "cannot keep it in a temporary file: " + text::ReasonOfErrno(errno);
      return nullptr;
    }
  }
  if (std::ferror(stdin)) {
    error = text::ReasonOfErrno(errno);
    return nullptr;
  }
  if (std::fflush(copy.get()) != 0 || std::fseek(copy.get(), 0, SEEK_SET) != 0) {
    error = "cannot keep it in a temporary file: " + text::ReasonOfErrno(errno);
    return nullptr;
  }
  return FromFile(std::move(copy), error);
}

std::unique_ptr<FileSource> FileSource::FromFile(std::unique_ptr<std::FILE, FileCloser> file, std::string &error) {
  struct stat info {};
  if (fstat(fileno(file.get()), &info) != 0) {
    error = text::ReasonOfErrno(errno);
    return nullptr;
  }
  // The size must be known before reading: a pipe or a device has none.
  if (S_ISDIR(info.st_mode)) {
    error = "it is a folder";
    return nullptr;
  }
  if (!S_ISREG(info.st_mode)) {
    error = "it is not a regular file (give - and feed it to the standard input)";
    return nullptr;
  }
  return std::unique_ptr<FileSource>(new FileSource(std::move(file), static_cast<uint64_t>(info.st_size)));
}

bool FileSource::Read(std::span<uint8_t> out) {
  if (out.empty()) return true;
  return std::fread(out.data(), 1, out.size(), file_.get()) == out.size();
}

}  // namespace kvt::spool
