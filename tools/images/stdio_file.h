// Ownership of a C stdio stream, for the libraries that read and write
// through FILE*.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace kvt::image {

struct FileCloser {
  void operator()(std::FILE *file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

inline UniqueFile OpenFile(const std::string &path, const char *mode) {
  return UniqueFile(std::fopen(path.c_str(), mode));
}

}  // namespace kvt::image

namespace kvt::image {

// Closes a stream that was written to; false when buffered data could not be
// flushed, which the file's writer must report.
inline bool CloseWritten(UniqueFile &file) { return std::fclose(file.release()) == 0; }

}  // namespace kvt::image
