// Fuzz target for the spool stream reader. Each input is read twice: as a
// stream of its own, and laid over a small valid job (XOR, then cut to a
// length the input chooses), so that mutations reach the page and row
// states that random bytes alone seldom get to. Beyond memory safety it
// checks what the reader promises its visitors: rows arrive in order, in
// whole rows, never past the page, and a valid stream has complete pages;
// and that the printer's check of each page setup names a place inside it.
// A second read checks the framing alone: records in a row, payloads whole.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "byte_order.h"
#include "printer_check.h"
#include "spool_reader.h"

namespace {

using namespace kvt::spool;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

class InvariantCheck final : public SpoolVisitor {
 public:
  bool OnCommand(const CommandRecord &record) override {
    switch (record.command) {
      case Command::PageSetup:
        Require(record.settings != nullptr && record.width > 0 && record.height > 0);
        if (std::optional<SpoolError> fault = CheckPageSetup(record)) {
          Require(fault->offset >= record.offset && fault->offset < record.offset + 16 + kSettingsImageSize);
        } else {
          const kvt::paper::Sheet &sheet = SheetOfSettings(*record.settings);
          Require(record.width == sheet.Width() && record.height == sheet.Height());
        }
        width_ = record.width;
        height_ = record.height;
        rows_ = 0;
        break;
      case Command::ImageData:
        Require(record.firstRow == rows_);
        Require(uint64_t{record.byteCount} == uint64_t{record.rowCount} * width_ * 3);
        Require(record.rowCount > 0 && record.firstRow + uint64_t{record.rowCount} <= height_);
        break;
      case Command::EndPage:
        Require(rows_ == height_);
        ++endPages_;
        break;
      default:
        break;
    }
    return true;
  }

  bool OnRows(uint32_t firstRow, uint32_t rowCount, std::span<const uint8_t> rgb) override {
    Require(firstRow == rows_);
    Require(rgb.size() == size_t{rowCount} * width_ * 3);
    rows_ += rowCount;
    Require(rows_ <= height_);
    return true;
  }

  uint32_t EndPages() const { return endPages_; }

 private:
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  uint64_t rows_ = 0;
  uint32_t endPages_ = 0;
};

// What a framing-only read promises: records follow each other without a
// gap, and each image record's bytes arrive in full before the next record.
class FramingCheck final : public SpoolVisitor {
 public:
  bool OnCommand(const CommandRecord &record) override {
    Require(record.offset == next_ && pending_ == 0);
    next_ = record.offset + record.size;
    pending_ = record.command == Command::ImageData ? record.byteCount : 0;
    return true;
  }
  bool OnImageBytes(std::span<const uint8_t> bytes) override {
    Require(bytes.size() <= pending_);
    pending_ -= bytes.size();
    return true;
  }
  bool Complete(size_t size) const { return next_ == size && pending_ == 0; }

 private:
  uint64_t next_ = 0;
  uint64_t pending_ = 0;
};

void Check(std::span<const uint8_t> stream) {
  MemorySource source(stream);
  InvariantCheck check;
  ReadResult result = ReadSpool(source, check);
  Require(!result.stoppedByVisitor);
  if (result.error) {
    Require(result.error->offset <= stream.size());
    Require(!result.error->message.empty());
  } else {
    Require(result.pages == check.EndPages());
  }

  MemorySource again(stream);
  FramingCheck framing;
  ReadResult framed = ReadSpool(again, framing, Checks::Framing);
  Require(!framed.stoppedByVisitor);
  // A whole job frames; what frames was read to its last byte.
  Require(result.error || !framed.error);
  Require(framed.error || framing.Complete(stream.size()));
}

void Put(std::vector<uint8_t> &out, uint32_t word) {
  uint8_t bytes[4];
  StoreBE32(std::span<uint8_t, 4>(bytes), word);
  out.insert(out.end(), bytes, bytes + 4);
}

// START_DOC, one 3 x 2 page in two bands, END_DOC.
std::vector<uint8_t> SeedJob() {
  std::vector<uint8_t> s;
  Put(s, kMarker), Put(s, 0x80), Put(s, kMarker), Put(s, 0x82);
  Put(s, kMarker), Put(s, 0x84), Put(s, 3), Put(s, 2);
  std::vector<uint8_t> settings(kSettingsImageSize, 0);
  settings[settings_offset::kSize] = kPublicSize;
  settings[settings_offset::kDriverExtra] = kPrivateSize;
  for (size_t i = 0; i < 4; ++i) settings[settings_offset::kSignature + i] = (kPrivateSignature >> (8 * i)) & 0xFF;
  s.insert(s.end(), settings.begin(), settings.end());
  for (int band = 0; band < 2; ++band) {
    Put(s, kMarker), Put(s, 0x85), Put(s, 9);
    s.insert(s.end(), 9, static_cast<uint8_t>(band * 100));
  }
  Put(s, kMarker), Put(s, 0x83), Put(s, kMarker), Put(s, 0x81);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Check(std::span(data, size));

  static const std::vector<uint8_t> seed = SeedJob();
  std::vector<uint8_t> overlaid = seed;
  if (size > 0) {
    // The first byte picks how much of the job survives, the rest is XORed
    // over it from the start.
    size_t keep = seed.size() - (data[0] % 64 == 0 ? 0 : data[0] % 64);
    for (size_t i = 1; i < size && i - 1 < overlaid.size(); ++i) overlaid[i - 1] ^= data[i];
    overlaid.resize(keep);
  }
  Check(overlaid);
  return 0;
}
