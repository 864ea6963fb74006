// Where the spool reader takes its bytes from: a memory block (tests, the
// fuzz target) or a regular file, read front to back. The total size is
// known up front so that every length can be checked against the bytes left
// before anything is read or allocated for it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

namespace kvt::spool {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Total number of bytes in the source.
  virtual uint64_t Size() const = 0;
  // Fills `out` from the current position and advances; false on a read
  // error or if the source ends first.
  virtual bool Read(std::span<uint8_t> out) = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint64_t Size() const override { return bytes_.size(); }
  bool Read(std::span<uint8_t> out) override;

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

class FileSource final : public ByteSource {
 public:
  // Opens a regular file; on failure returns null and sets `error` to the
  // reason in the user's words.
  static std::unique_ptr<FileSource> Open(const std::string &path, std::string &error);
  // Takes standard input, which may be a pipe, by copying it to an unnamed
  // temporary file first: its size must be known before it is read.
  static std::unique_ptr<FileSource> OpenStandardInput(std::string &error);

  uint64_t Size() const override { return size_; }
  bool Read(std::span<uint8_t> out) override;

 private:
  struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
  };
  FileSource(std::unique_ptr<std::FILE, FileCloser> file, uint64_t size) : file_(std::move(file)), size_(size) {}
  static std::unique_ptr<FileSource> FromFile(std::unique_ptr<std::FILE, FileCloser> file, std::string &error);

  std::unique_ptr<std::FILE, FileCloser> file_;
  uint64_t size_;
};

}  // namespace kvt::spool
