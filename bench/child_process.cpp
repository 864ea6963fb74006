// fork/exec with wait4, which returns the resource use of exactly the child
// that was waited for.
#include "child_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kvt::bench {

ChildRun RunChild(const std::string &program, const std::vector<std::string> &args) {
  std::vector<std::string> argvText{program};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (std::string &a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);

  ChildRun run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child < 0) return run;
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(child, &status, 0, &usage) != child) return run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
  return run;
}

namespace {

std::vector<std::string> AllOnPath(const std::string &name) {
  std::vector<std::string> found;
  const char *path = std::getenv("PATH");
  if (!path) return found;
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) found.push_back(candidate);
  }
  return found;
}

bool IsCompiledProgram(const std::string &path) {
  char head[4] = {};
  std::ifstream file(path, std::ios::binary);
  file.read(head, sizeof(head));
  return file.gcount() == 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F';
}

}  // namespace

std::string FindOnPath(const std::string &name) {
  const std::vector<std::string> found = AllOnPath(name);
  return found.empty() ? "" : found.front();
}

std::string FindProgramOnPath(const std::string &name) {
  const std::vector<std::string> found = AllOnPath(name);
  for (const std::string &candidate : found) {
    if (IsCompiledProgram(candidate)) return candidate;
  }
  return found.empty() ? "" : found.front();
}

}  // namespace kvt::bench
