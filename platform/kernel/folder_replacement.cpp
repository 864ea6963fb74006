#include "folder_replacement.h"

#include <platform/testing.h>

#include "saved_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

namespace platform {

namespace {

namespace fs = std::filesystem;

// A new, empty, hidden folder beside `target`, named for its purpose.
std::optional<std::string> MakeSiblingFolder(const fs::path &target, const std::string &purpose) {
  static unsigned made = 0;
  std::string stem(1, '.');
  stem.append(target.filename().string()).append(1, '.').append(purpose);
  stem.append(1, '-').append(std::to_string(::getpid())).append(1, '-');
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string folder = (target.parent_path() / (stem + std::to_string(++made))).string();
    if (::mkdir(folder.c_str(), 0777) == 0) return folder;
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

bool FlushTree(const std::string &root) {
  if (!FlushToDisk(root)) return false;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
    if (fs::is_directory(it->symlink_status(error)) && !FlushToDisk(it->path().string())) return false;
  }
  return !error;
}

}  // namespace

FolderReplacement::~FolderReplacement() {
  std::error_code error;
  if (committed_) return;
  if (!next_.empty()) fs::remove_all(next_, error);
  for (auto folder = madeFolders_.rbegin(); folder != madeFolders_.rend(); ++folder) fs::remove(*folder, error);
}

bool FolderReplacement::Begin(const std::string &target) {
  std::error_code error;
  fs::path path = fs::weakly_canonical(fs::absolute(target, error), error);
  if (error || target.empty()) return false;
  if (!path.has_filename()) path = path.parent_path();
  if (path == path.root_path()) return false;
  const fs::file_status status = fs::status(path, error);
  replacesFolder_ = fs::is_directory(status);
  if (fs::exists(status) && !replacesFolder_) return false;
  target_ = path.string();

  std::vector<fs::path> missing;
  for (fs::path folder = path.parent_path(); !fs::exists(folder, error) && folder != folder.root_path();
       folder = folder.parent_path()) {
    missing.push_back(folder);
  }
  for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
    if (ShouldFail(Fault::MachineSave) || ::mkdir(folder->c_str(), 0777) != 0) return false;
    madeFolders_.push_back(folder->string());
  }
  if (ShouldFail(Fault::MachineSave)) return false;
  std::optional<std::string> next = MakeSiblingFolder(path, "saving");
  if (!next) return false;
  next_ = *next;
  if (!replacesFolder_) return true;
  fs::permissions(next_, status.permissions(), error);
  return !error;
}

bool FolderReplacement::Commit() {
  if (next_.empty() || committed_) return false;
  if (ShouldFail(Fault::MachineSave) || !FlushTree(next_)) return false;
  if (ShouldFail(Fault::MachineSave) || !Swap()) return false;
  committed_ = true;
  // The save is done; what follows only tidies up after it.
  FlushToDisk(fs::path(target_).parent_path().string());
  std::error_code error;
  if (!old_.empty()) fs::remove_all(old_, error);
  return true;
}

bool FolderReplacement::Swap() {
  if (!replacesFolder_) return ::rename(next_.c_str(), target_.c_str()) == 0;
  if (::renameat2(AT_FDCWD, next_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0) {
    old_ = next_;
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system that cannot exchange two names (NFS): the old folder steps
  // aside and comes back should the new one fail to take its place.
  std::optional<std::string> aside = MakeSiblingFolder(target_, "old");
  if (!aside) return false;
  if (::rename(target_.c_str(), aside->c_str()) != 0) {
    ::rmdir(aside->c_str());
    return false;
  }
  if (::rename(next_.c_str(), target_.c_str()) != 0) {
    ::rename(aside->c_str(), target_.c_str());
    return false;
  }
  old_ = *aside;
  return true;
}

}  // namespace platform
