// One PNG per page, written as the rows arrive.
#include "page_png_writer.h"

#include <system_error>

namespace kvt::spool {

PagePngWriter::~PagePngWriter() { AbandonOpenPage(); }

void PagePngWriter::AbandonOpenPage() {
  if (current_.empty()) return;
  writer_.Abandon();
  std::error_code ignored;
  std::filesystem::remove(current_, ignored);
  current_.clear();
}

bool PagePngWriter::OnCommand(const CommandRecord &record) {
  if (record.command == Command::PageSetup) {
    current_ = directory_ / ("page-" + std::to_string(record.page) + ".png");
    if (!writer_.Open(current_.string(), record.width, record.height, error_)) {
      AbandonOpenPage();
      return false;
    }
  } else if (record.command == Command::EndPage) {
    bool ok = writer_.Finish(error_);
    current_.clear();
    return ok;
  }
  return true;
}

bool PagePngWriter::OnRows(uint32_t, uint32_t, std::span<const uint8_t> rgb) {
  if (writer_.WriteRows(rgb, error_)) return true;
  AbandonOpenPage();
  return false;
}

}  // namespace kvt::spool
