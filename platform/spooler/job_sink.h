// Where a print job's bytes go: a host file, nowhere ("NUL:"), or a buffer
// kept for tests. A file is owned by exactly one JobSink, opened when the
// document starts and closed when it ends (or when the owner goes away);
// every write goes straight to the file, so a large job costs no memory.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The host path of a path given to the spooler (an output file or a file
// port): a host absolute path ("/tmp/job.prn") as it is, or a Windows path on
// the machine's drives ("C:\\out\\job.prn", folders must exist). Nullopt when
// the text cannot name a file.
std::optional<std::string> HostPathOf(std::u16string_view windowsPath);

// True for a port name that names a file rather than a device: a host
// absolute path or a drive path such as "C:\\out.prn".
bool IsFilePort(std::u16string_view portName);

class JobSink {
 public:
  enum class Kind { Memory, File, Discard };

  static JobSink Memory() { return JobSink(Kind::Memory); }
  static JobSink Discard() { return JobSink(Kind::Discard); }
  // Creates or truncates `hostPath`; nullopt with the Windows error in *error.
  static std::optional<JobSink> CreateFile(const std::string &hostPath, DWORD *error);

  JobSink(JobSink &&other) noexcept;
  JobSink &operator=(JobSink &&other) noexcept;
  JobSink(const JobSink &) = delete;
  JobSink &operator=(const JobSink &) = delete;
  ~JobSink();

  Kind kind() const { return kind_; }
  // Writes all of `data` or fails; *written is the count that did land.
  // On failure, *error is the Windows error code.
  bool Write(const void *data, DWORD size, DWORD *written, DWORD *error);
  // Closes a file output; later writes fail. Memory stays readable.
  void Close();
  const std::vector<uint8_t> &bytes() const { return bytes_; }

 private:
  explicit JobSink(Kind kind) : kind_(kind) {}

  Kind kind_;
  int fd_ = -1;
  std::vector<uint8_t> bytes_;
};

}  // namespace platform
