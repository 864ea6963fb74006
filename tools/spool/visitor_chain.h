// Hands every event of the reader to several visitors in turn, so that one
// pass over a stream can list it and save its pages.
#pragma once

#include <initializer_list>
#include <vector>

#include "spool_reader.h"

namespace kvt::spool {

class VisitorChain final : public SpoolVisitor {
 public:
  VisitorChain(std::initializer_list<SpoolVisitor *> visitors) : visitors_(visitors) {}

  bool OnCommand(const CommandRecord &record) override {
    for (SpoolVisitor *v : visitors_)
      if (!v->OnCommand(record)) return false;
    return true;
  }
  bool OnRows(uint32_t firstRow, uint32_t rowCount, std::span<const uint8_t> rgb) override {
    for (SpoolVisitor *v : visitors_)
      if (!v->OnRows(firstRow, rowCount, rgb)) return false;
    return true;
  }

 private:
  std::vector<SpoolVisitor *> visitors_;
};

}  // namespace kvt::spool
