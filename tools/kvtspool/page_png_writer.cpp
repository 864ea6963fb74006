// One PNG per page, written as the rows arrive. On a sheet, the printed
// rows are laid at the printable area's place and cut at the paper's edge
// (a borderless print runs a dot past it), with white all around.
#include "page_png_writer.h"

#include <algorithm>
#include <system_error>

#include "printer_check.h"

namespace kvt::spool {

PagePngWriter::~PagePngWriter() { AbandonOpenPage(); }

void PagePngWriter::AbandonOpenPage() {
  if (current_.empty()) return;
  writer_.Abandon();
  std::error_code ignored;
  std::filesystem::remove(current_, ignored);
  current_.clear();
}

std::filesystem::path PagePngWriter::PagePath(uint32_t page) const {
  return directory_ / (jobName_ + "-page-" + std::to_string(page) + ".png");
}

bool PagePngWriter::OnCommand(const CommandRecord &record) {
  if (record.command == Command::PageSetup) {
    current_ = PagePath(record.page);
    sheetWidth_ = record.width, sheetHeight_ = record.height, left_ = 0, top_ = 0;
    if (extent_ == Extent::Sheet && record.settings != nullptr) {
      const paper::Sheet &sheet = SheetOfSettings(*record.settings);
      sheetWidth_ = sheet.paperWidth, sheetHeight_ = sheet.paperHeight, left_ = sheet.left, top_ = sheet.top;
    }
    rowsWritten_ = 0;
    row_.assign(size_t{sheetWidth_} * 3, 0xFF);
    if (!writer_.Open(current_.string(), sheetWidth_, sheetHeight_, error_) || !WriteMargin(top_)) {
      AbandonOpenPage();
      return false;
    }
  } else if (record.command == Command::EndPage) {
    bool ok = WriteMargin(sheetHeight_ - std::min(rowsWritten_, sheetHeight_)) && writer_.Finish(error_);
    current_.clear();
    return ok;
  }
  return true;
}

bool PagePngWriter::WriteMargin(uint32_t count) {
  std::fill(row_.begin(), row_.end(), 0xFF);
  for (uint32_t i = 0; i < count; ++i) {
    if (!writer_.WriteRows(row_, error_)) return false;
  }
  rowsWritten_ += count;
  return true;
}

bool PagePngWriter::OnRows(uint32_t, uint32_t rowCount, std::span<const uint8_t> rgb) {
  bool ok = true;
  if (extent_ == Extent::PrintedArea) {
    ok = writer_.WriteRows(rgb, error_);
    rowsWritten_ += rowCount;
  } else {
    const size_t rowBytes = rgb.size() / rowCount;
    const size_t keep = std::min(rowBytes, (size_t{sheetWidth_} - left_) * 3);
    for (uint32_t i = 0; ok && i < rowCount && rowsWritten_ < sheetHeight_; ++i, ++rowsWritten_) {
      std::copy_n(rgb.data() + i * rowBytes, keep, row_.begin() + size_t{left_} * 3);
      ok = writer_.WriteRows(row_, error_);
    }
  }
  if (ok) return true;
  AbandonOpenPage();
  return false;
}

}  // namespace kvt::spool
