// Writes streams byte by byte, independent of both the reader and the
// driver's writer.
#include "spool_builder.h"

#include <algorithm>

namespace kvt::test {

namespace {

void PutLE16(std::array<uint8_t, 256> &image, size_t offset, uint16_t value) {
  image[offset] = static_cast<uint8_t>(value);
  image[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void PutLE32(std::array<uint8_t, 256> &image, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) image[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutName(std::array<uint8_t, 256> &image, size_t offset, const std::u16string &name) {
  for (size_t i = 0; i < name.size() && i < 32; ++i) PutLE16(image, offset + 2 * i, name[i]);
}

}  // namespace

std::array<uint8_t, 256> MakeSettingsImage(const SettingsValues &v) {
  std::array<uint8_t, 256> image{};
  PutName(image, 0, v.deviceName);
  PutLE16(image, 64, 0x401);
  PutLE16(image, 66, 0x400);
  PutLE16(image, 68, v.size);
  PutLE16(image, 70, v.driverExtra);
  PutLE32(image, 72, v.fields);
  PutLE16(image, 76, static_cast<uint16_t>(v.orientation));
  PutLE16(image, 86, static_cast<uint16_t>(v.copies));
  PutLE16(image, 90, 403);
  PutName(image, 102, v.formName);
  PutLE32(image, 220, v.signature);
  PutLE16(image, 230, static_cast<uint16_t>(v.red));
  PutLE16(image, 232, static_cast<uint16_t>(v.green));
  PutLE16(image, 234, static_cast<uint16_t>(v.blue));
  PutLE16(image, 236, static_cast<uint16_t>(v.density));
  PutLE16(image, 238, static_cast<uint16_t>(v.sharpness));
  PutLE32(image, 240, v.border);
  return image;
}

std::array<uint8_t, 3> PatternPixel(uint32_t x, uint32_t y) {
  return {static_cast<uint8_t>(x * 7 + y), static_cast<uint8_t>(y * 13), static_cast<uint8_t>(x ^ y)};
}

void SpoolBuilder::Append(const uint8_t *data, size_t size, uint64_t reportedAt, bool framing) {
  fields_.push_back({bytes_.size(), size, reportedAt, framing});
  bytes_.insert(bytes_.end(), data, data + size);
}

SpoolBuilder &SpoolBuilder::Word(uint32_t value) {
  const uint8_t be[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                         static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  Append(be, 4, bytes_.size());
  return *this;
}

SpoolBuilder &SpoolBuilder::FramingWord(uint32_t value) {
  Word(value);
  fields_.back().framing = true;
  return *this;
}

SpoolBuilder &SpoolBuilder::Command(uint32_t code) { return FramingWord(0x4B56725A).FramingWord(code); }

SpoolBuilder &SpoolBuilder::PageSetup(uint32_t width, uint32_t height, const SettingsValues &values) {
  Command(0x84).Word(width).Word(height);
  std::array<uint8_t, 256> image = MakeSettingsImage(values);
  Append(image.data(), image.size(), bytes_.size());
  return *this;
}

SpoolBuilder &SpoolBuilder::ImageRows(uint32_t width, uint32_t firstRow, uint32_t rows) {
  Command(0x85);
  uint64_t lengthAt = bytes_.size();
  FramingWord(width * 3 * rows);
  std::vector<uint8_t> data;
  for (uint32_t y = firstRow; y < firstRow + rows; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      auto p = PatternPixel(x, y);
      data.insert(data.end(), p.begin(), p.end());
    }
  }
  Append(data.data(), data.size(), lengthAt);
  return *this;
}

SpoolBuilder &SpoolBuilder::Page(uint32_t width, uint32_t height, uint32_t band, const SettingsValues &values) {
  Command(0x82).PageSetup(width, height, values);
  for (uint32_t y = 0; y < height; y += band) ImageRows(width, y, std::min(band, height - y));
  return Command(0x83);
}

SpoolBuilder &SpoolBuilder::Raw(const std::vector<uint8_t> &bytes) {
  Append(bytes.data(), bytes.size(), bytes_.size());
  return *this;
}

uint64_t SpoolBuilder::ReportedOffsetForCut(uint64_t cut) const {
  for (const Field &f : fields_)
    if (cut >= f.start && cut < f.start + f.size) return f.reportedAt;
  return bytes_.size();
}

bool SpoolBuilder::IsFramingByte(uint64_t offset) const {
  for (const Field &f : fields_)
    if (offset >= f.start && offset < f.start + f.size) return f.framing;
  return false;
}

}  // namespace kvt::test
