#include "saved_file.h"

#include <platform/testing.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {

namespace fs = std::filesystem;

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// One entry of a tree, one step of a save.
bool TransferEntry(const fs::path &from, const fs::path &to, TreeTransfer how) {
  if (ShouldFail(Fault::MachineSave)) return false;
  std::error_code error;
  const fs::file_status status = fs::symlink_status(from, error);
  if (error) return false;
  if (fs::is_directory(status)) return fs::create_directory(to, from, error) && !error;
  if (fs::is_symlink(status)) {
    fs::copy_symlink(from, to, error);
    return !error;
  }
  if (how == TreeTransfer::Link) {
    if (::link(from.c_str(), to.c_str()) != 0) return false;
  } else if (!fs::is_regular_file(status) || !fs::copy_file(from, to, fs::copy_options::none, error) || error) {
    return false;
  }
  // A linked file is flushed too: its data is now the new folder's.
  return !fs::is_regular_file(status) || FlushToDisk(to.string());
}

}  // namespace

bool WriteSavedFile(const std::string &path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  // An injected failure stops half-way, as a disk that fills up does.
  const bool fail = ShouldFail(Fault::MachineSave);
  bool written = WriteAll(fd, fail ? bytes.substr(0, bytes.size() / 2) : bytes) && !fail && ::fsync(fd) == 0;
  written = ::close(fd) == 0 && written;
  if (!written) ::unlink(path.c_str());
  return written;
}

bool FlushToDisk(const std::string &path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool flushed = ::fsync(fd) == 0;
  return ::close(fd) == 0 && flushed;
}

bool TransferTree(const std::string &from, const std::string &to, TreeTransfer how) {
  if (!TransferEntry(from, to, how)) return false;
  std::error_code error;
  if (!fs::is_directory(fs::symlink_status(from, error))) return !error;
  // The iterator keeps its own stack of folders and lists a folder before
  // what it holds, so every entry finds its folder already made.
  for (fs::recursive_directory_iterator it(from, error), end; !error && it != end; it.increment(error)) {
    if (!TransferEntry(it->path(), fs::path(to) / it->path().lexically_relative(from), how)) return false;
  }
  return !error;
}

std::string CutShortText(std::string_view content) {
  if (content.empty()) return "is empty";
  return "is cut short at line " + std::to_string(std::count(content.begin(), content.end() - 1, '\n') + 1);
}

}  // namespace platform
