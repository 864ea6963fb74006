// Scratch folders and child processes for the tools' tests.
#include "test_support.h"

#include <algorithm>
#include <cmath>

#include <fcntl.h>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace kvt::test {

namespace {

std::string Slurp(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("kvt-tools-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ProgramRun RunProgram(const std::string &program, const std::vector<std::string> &args, const std::string &input) {
  TempDir capture;
  int feed[2];
  if (pipe(feed) != 0) throw std::runtime_error("pipe failed");
  const std::string outPath = capture.File("stdout");
  const std::string errPath = capture.File("stderr");
  std::vector<std::string> argvText{program};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (std::string &a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || dup2(feed[0], 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
    close(feed[0]);
    close(feed[1]);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(feed[0]);
  // A program that stops reading early closes the pipe: that is its answer,
  // not the test's failure.
  signal(SIGPIPE, SIG_IGN);
  for (size_t done = 0; done < input.size();) {
    const ssize_t wrote = write(feed[1], input.data() + done, input.size() - done);
    if (wrote <= 0) break;
    done += static_cast<size_t>(wrote);
  }
  close(feed[1]);
  int status = 0;
  if (waitpid(child, &status, 0) != child) throw std::runtime_error("waitpid failed");
  ProgramRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = Slurp(outPath);
  run.err = Slurp(errPath);
  return run;
}

std::vector<uint8_t> ReadBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> WithExifOrientation(std::vector<uint8_t> jpeg, uint16_t orientation, bool bigEndian) {
  std::vector<uint8_t> tiff =
      bigEndian
          ? std::vector<uint8_t>{'M',  'M',  0, 42, 0, 0, 0, 8, 0, 1,
                                 0x01, 0x12, 0, 3,  0, 0, 0, 1, 0, static_cast<uint8_t>(orientation),
                                 0,    0,    0, 0,  0, 0}
          : std::vector<uint8_t>{
                'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, static_cast<uint8_t>(orientation),
                0,   0,   0,  0, 0, 0, 0};
  std::vector<uint8_t> app1 = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
  app1.insert(app1.end(), tiff.begin(), tiff.end());
  const size_t length = app1.size() - 2;
  app1[2] = static_cast<uint8_t>(length >> 8);
  app1[3] = static_cast<uint8_t>(length);
  jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
  return jpeg;
}

image::RgbImage PhotoLike(uint32_t width, uint32_t height) {
  image::RgbImage photo(width, height);
  uint32_t noise = 12345;
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t *p = photo.Row(y);
    for (uint32_t x = 0; x < width; ++x, p += 3) {
      noise = noise * 1664525u + 1013904223u;
      const int grain = static_cast<int>(noise >> 28) - 8;
      const double fx = static_cast<double>(x) / width, fy = static_cast<double>(y) / height;
      auto channel = [&](double v) {
        return static_cast<uint8_t>(std::clamp(static_cast<int>(v * 255.0) + grain, 0, 255));
      };
      p[0] = channel(0.5 + 0.5 * std::sin(6.0 * fx + 2.0 * fy));
      p[1] = channel(fy);
      p[2] = channel(0.5 + 0.5 * std::cos(9.0 * fx * fy));
    }
  }
  return photo;
}

}  // namespace kvt::test
