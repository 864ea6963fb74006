// The work file is made with O_EXCL under a hidden name of its own, so the
// program knows that it, and only it, is the program's to remove.
#include "job_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "system_text.h"

namespace kvt::print {

namespace fs = std::filesystem;

namespace {

constexpr char kStandardOutput[] = "-";

unsigned CurrentUmask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

// A new empty file "<folder>/.<name>.XXXXXX"; its path, or empty with errno.
std::string MakeWorkFile(const fs::path &folder, const std::string &name) {
  std::string pattern = (folder / ("." + name + ".XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = mkstemp(buffer.data());
  if (fd < 0) return {};
  close(fd);
  return buffer.data();
}

// The path that writing to `destination` reaches: links followed, a link to
// a file that does not exist yet included (writing through it makes that
// file, so the job must land there and leave the link alone).
fs::path RealPath(const std::string &destination, std::error_code &ec) {
  constexpr int kMaxLinks = 40;  // as the kernel gives up on loops
  fs::path path = fs::absolute(destination, ec);
  std::error_code missing;  // a path that does not exist is no link
  for (int hops = 0; !ec && hops < kMaxLinks && fs::is_symlink(path, missing); ++hops) {
    const fs::path target = fs::read_symlink(path, ec);
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return ec ? fs::path() : fs::weakly_canonical(path, ec);
}

fs::path TemporaryFolder() {
  std::error_code ignored;
  fs::path folder = fs::temp_directory_path(ignored);
  return folder.empty() ? fs::path("/tmp") : folder;
}

// Copies the file at `from` to the open descriptor `to`.
bool CopyInto(const std::string &from, int to) {
  std::FILE *in = std::fopen(from.c_str(), "rb");
  if (in == nullptr) return false;
  std::vector<char> buffer(1 << 16);
  bool ok = true;
  size_t got = 0;
  while (ok && (got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
    for (size_t done = 0; ok && done < got;) {
      const ssize_t wrote = write(to, buffer.data() + done, got - done);
      if (wrote < 0 && errno == EINTR) continue;
      ok = wrote > 0;
      if (ok) done += static_cast<size_t>(wrote);
    }
  }
  if (std::ferror(in)) ok = false;
  const int readError = errno;
  std::fclose(in);
  errno = readError;
  return ok;
}

}  // namespace

std::optional<JobFile> JobFile::Create(const std::string &destination, std::string &error) {
  const std::string cannot = "cannot write " + destination + ": ";
  if (destination.empty()) {
    error = "no output file given";
    return std::nullopt;
  }
  Target target = Target::StandardOutput;
  std::string real = destination;
  unsigned mode = 0666 & ~CurrentUmask();
  if (destination != kStandardOutput) {
    std::error_code ec;
    real = RealPath(destination, ec).string();
    struct stat info {};
    if (ec) {
      error = cannot + text::ReasonOfErrno(ec.value());
      return std::nullopt;
    }
    if (stat(real.c_str(), &info) == 0) {
      if (S_ISDIR(info.st_mode)) {
        error = cannot + "it is a folder";
        return std::nullopt;
      }
      target = S_ISREG(info.st_mode) ? Target::Rename : Target::CopyInto;
      if (target == Target::Rename) mode = info.st_mode & 07777;
    } else if (errno == ENOENT) {
      target = Target::Rename;
    } else {
      error = cannot + text::ReasonOfErrno(errno);
      return std::nullopt;
    }
  }
  // A file renamed over the destination must be made beside it.
  const fs::path folder = target == Target::Rename ? fs::path(real).parent_path() : TemporaryFolder();
  const std::string name = target == Target::Rename ? fs::path(real).filename().string() : "kvtprint-job";
  std::string work = MakeWorkFile(folder, name);
  if (work.empty()) {
    error = target == Target::Rename
                ? cannot + text::ReasonOfErrno(errno)
                : "cannot make a work file in " + folder.string() + ": " + text::ReasonOfErrno(errno);
    return std::nullopt;
  }
  const std::string shown = target == Target::StandardOutput ? "the standard output" : destination;
  return JobFile(shown, real, std::move(work), target, mode);
}

JobFile::JobFile(std::string shown, std::string destination, std::string workPath, Target target, unsigned mode)
    : shown_(std::move(shown)),
      destination_(std::move(destination)),
      workPath_(std::move(workPath)),
      target_(target),
      mode_(mode) {}

JobFile::JobFile(JobFile &&other) noexcept
    : shown_(std::move(other.shown_)),
      destination_(std::move(other.destination_)),
      workPath_(std::move(other.workPath_)),
      target_(other.target_),
      mode_(other.mode_),
      committed_(other.committed_) {
  other.workPath_.clear();
}

JobFile::~JobFile() {
  if (!workPath_.empty() && !committed_) unlink(workPath_.c_str());
}

void JobFile::StartWriteback() const {
  // A job copied into a device, pipe or standard output is read back from
  // the work file and never renamed: nothing to gain there.
  if (target_ != Target::Rename) return;
  const int fd = open(workPath_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
  close(fd);
}

bool JobFile::Commit(std::string &error) {
  const std::string cannot = "cannot write " + shown_ + ": ";
  if (target_ == Target::Rename) {
    if (chmod(workPath_.c_str(), mode_) != 0 || rename(workPath_.c_str(), destination_.c_str()) != 0) {
      error = cannot + text::ReasonOfErrno(errno);
      return false;
    }
    committed_ = true;
    return true;
  }
  int fd = STDOUT_FILENO;
  if (target_ == Target::CopyInto) {
    fd = open(destination_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
      error = cannot + text::ReasonOfErrno(errno);
      return false;
    }
  }
  bool ok = CopyInto(workPath_, fd);
  int copyError = errno;
  if (target_ == Target::CopyInto && close(fd) != 0 && ok) {
    ok = false;
    copyError = errno;
  }
  if (!ok) {
    error = cannot + text::ReasonOfErrno(copyError);
    return false;
  }
  return true;
}

}  // namespace kvt::print
