// Saves each page of a spool stream as DIR/<job>-page-N.png while the stream
// is read, one chunk of rows at a time: the pages of two jobs never mix. A
// page that the stream leaves unfinished is removed rather than left behind
// half-written. A page is either the printed area alone or, as a sheet, the
// whole paper with the white margins around the printed area.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "png_file.h"
#include "spool_reader.h"

namespace kvt::spool {

class PagePngWriter final : public SpoolVisitor {
 public:
  enum class Extent { PrintedArea, Sheet };
  PagePngWriter(std::filesystem::path directory, std::string jobName, Extent extent)
      : directory_(std::move(directory)), jobName_(std::move(jobName)), extent_(extent) {}
  ~PagePngWriter() override;

  bool OnCommand(const CommandRecord &record) override;
  bool OnRows(uint32_t firstRow, uint32_t rowCount, std::span<const uint8_t> rgb) override;

  // Why the writer stopped the reader, if it did.
  const std::string &Error() const { return error_; }
  // Removes the file of a page that is still open.
  void AbandonOpenPage();
  // The file of page `page`.
  std::filesystem::path PagePath(uint32_t page) const;

 private:
  // Writes `count` white rows of the sheet.
  bool WriteMargin(uint32_t count);

  std::filesystem::path directory_;
  std::string jobName_;
  Extent extent_;
  std::filesystem::path current_;
  kvt::image::PngRowWriter writer_;
  std::string error_;
  // The sheet of the open page, in sheet extent.
  uint32_t sheetWidth_ = 0, sheetHeight_ = 0, left_ = 0, top_ = 0, rowsWritten_ = 0;
  std::vector<uint8_t> row_;
};

}  // namespace kvt::spool
