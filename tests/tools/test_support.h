// Scaffolding for tests that run the tools as programs: a scratch folder
// per test and a runner that captures exit code, stdout and stderr.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "rgb_image.h"

namespace kvt::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::filesystem::path &Path() const { return path_; }
  std::string File(const std::string &name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

struct ProgramRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs `program` with `args` (no shell interpretation of the arguments),
// feeding `input` to its standard input through a pipe.
ProgramRun RunProgram(const std::string &program, const std::vector<std::string> &args, const std::string &input = "");

std::vector<uint8_t> ReadBytes(const std::string &path);

// The JPEG with an APP1 EXIF block holding only the orientation put right
// after its SOI, in either byte order.
std::vector<uint8_t> WithExifOrientation(std::vector<uint8_t> jpeg, uint16_t orientation, bool bigEndian = false);

// A picture that compresses like a photograph: smooth colour gradients
// with a fine deterministic grain.
image::RgbImage PhotoLike(uint32_t width, uint32_t height);
void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes);

}  // namespace kvt::test
