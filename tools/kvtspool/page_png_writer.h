// Saves each page of a spool stream as DIR/page-N.png while the stream is
// read, one chunk of rows at a time. A page that the stream leaves unfinished
// is removed rather than left behind half-written.
#pragma once

#include <filesystem>
#include <string>

#include "png_file.h"
#include "spool_reader.h"

namespace kvt::spool {

class PagePngWriter final : public SpoolVisitor {
 public:
  explicit PagePngWriter(std::filesystem::path directory) : directory_(std::move(directory)) {}
  ~PagePngWriter() override;

  bool OnCommand(const CommandRecord &record) override;
  bool OnRows(uint32_t firstRow, uint32_t rowCount, std::span<const uint8_t> rgb) override;

  // Why the writer stopped the reader, if it did.
  const std::string &Error() const { return error_; }
  // Removes the file of a page that is still open.
  void AbandonOpenPage();

 private:
  std::filesystem::path directory_;
  std::filesystem::path current_;
  kvt::image::PngRowWriter writer_;
  std::string error_;
};

}  // namespace kvt::spool
