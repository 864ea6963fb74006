// The file that receives a print job. The spool stream is written to a new
// file made for it and put in place only once the whole job has succeeded,
// so a job that fails never destroys what stood at the destination, and
// nothing the program did not create is ever removed.
#pragma once

#include <optional>
#include <string>

namespace kvt::print {

class JobFile {
 public:
  // Makes the work file for `destination`: beside it when the destination
  // is a regular file or does not exist yet (so that it can be renamed over
  // it), in the temporary folder when it is standard output ("-") or a
  // device or pipe (which are written into, never replaced). Nullopt with
  // a reason in the user's words when the destination cannot be written.
  static std::optional<JobFile> Create(const std::string &destination, std::string &error);

  JobFile(JobFile &&other) noexcept;
  JobFile &operator=(JobFile &&) = delete;
  JobFile(const JobFile &) = delete;
  ~JobFile();  // removes the work file unless it was committed

  // Where the job is written.
  const std::string &WorkPath() const { return workPath_; }

  // Starts writing what the job holds so far to the disk, without waiting
  // for it: renaming a file over another makes the file system flush the
  // new one first, and a job whose data is already on its way to the disk
  // is put in place at once. Only a hint; a failure shows when the job is
  // committed, if at all.
  void StartWriteback() const;

  // Puts the finished job in place: renamed over a regular destination
  // (which keeps the mode of the file it replaces), copied into a device,
  // pipe or standard output.
  bool Commit(std::string &error);

 private:
  enum class Target { Rename, CopyInto, StandardOutput };
  JobFile(std::string shown, std::string destination, std::string workPath, Target target, unsigned mode);

  std::string shown_;        // as the user named it, for messages
  std::string destination_;  // the real path: links followed
  std::string workPath_;
  Target target_;
  unsigned mode_;  // of the file that a rename puts in place
  bool committed_ = false;
};

}  // namespace kvt::print
