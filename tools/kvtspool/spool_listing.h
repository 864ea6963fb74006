// The human-readable account of a spool stream: one line per command with
// its offset and arguments, and the decoded settings of every page setup.
#pragma once

#include <ostream>

#include "spool_reader.h"

namespace kvt::spool {

class SpoolListing final : public SpoolVisitor {
 public:
  explicit SpoolListing(std::ostream &out) : out_(out) {}
  bool OnCommand(const CommandRecord &record) override;

 private:
  std::ostream &out_;
};

}  // namespace kvt::spool
