// A folder of the fuzz target's own for the files an input goes through,
// made once per process, and a file's bytes read back.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace kvt::fuzz {

inline const std::string &ScratchFolder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/kvt-fuzz-XXXXXX";
    const char *made = mkdtemp(pattern);
    return std::string(made != nullptr ? made : "/tmp");
  }();
  return folder;
}

inline std::string FileBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kvt::fuzz
