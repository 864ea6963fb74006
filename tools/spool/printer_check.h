// What the printer takes beyond the stream's format: settings values that
// the driver can send (it clamps every one of them), and a page whose size
// is the printable area of the paper that its settings select. A stream
// that breaks these was not written by the driver, or was damaged on the
// way, even when every frame of it is well formed.
#pragma once

#include <optional>

#include "paper_sheets.h"
#include "spool_reader.h"

namespace kvt::spool {

// The sheet that a page's settings select: the paper kind named by the
// form (Post card for a name of no kind, as the driver does), with or
// without border, in the settings' orientation.
const paper::Sheet &SheetOfSettings(const SettingsImage &settings);

// The first fault of a page setup record, at its offset in the stream.
std::optional<SpoolError> CheckPageSetup(const CommandRecord &record);

// Stops the reader at the first page setup that the printer would refuse.
class PrinterCheck final : public SpoolVisitor {
 public:
  bool OnCommand(const CommandRecord &record) override;
  const std::optional<SpoolError> &Fault() const { return fault_; }

 private:
  std::optional<SpoolError> fault_;
};

}  // namespace kvt::spool
