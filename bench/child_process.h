// Running a program as a child process and measuring it: wall time and the
// peak resident memory that the kernel recorded for that child alone.
#pragma once

#include <string>
#include <vector>

namespace kvt::bench {

struct ChildRun {
  int exitCode = -1;  // 127 when the program could not be started
  double seconds = 0;
  double peakMiB = 0;  // ru_maxrss of the child
};

// Runs `program` with `args`, its stdout and stderr discarded.
ChildRun RunChild(const std::string &program, const std::vector<std::string> &args);

// The first `name` on PATH that is an executable file, or "".
std::string FindOnPath(const std::string &name);

// As FindOnPath, but a compiled program is preferred over a script of the
// same name earlier on PATH (a wrapper that may stand in for the tool).
std::string FindProgramOnPath(const std::string &name);

}  // namespace kvt::bench
