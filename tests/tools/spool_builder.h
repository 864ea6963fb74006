// Hand-built spool streams for the reader's tests. The builder remembers
// every field it writes, so a test can ask which offset the reader must name
// when the stream is cut inside any of them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kvt::test {

// The values a page's settings image carries, written at their byte offsets.
struct SettingsValues {
  std::u16string deviceName = u"KVT-RZ4";
  uint16_t size = 220;
  uint16_t driverExtra = 36;
  uint32_t fields = 0x10303;
  int16_t orientation = 1;
  int16_t copies = 1;
  std::u16string formName = u"Post card";
  uint32_t signature = 0x4B565234;
  int16_t red = 100;
  int16_t green = 100;
  int16_t blue = 100;
  int16_t density = 0;
  int16_t sharpness = 0;
  uint32_t border = 0;
};

std::array<uint8_t, 256> MakeSettingsImage(const SettingsValues &values);

class SpoolBuilder {
 public:
  SpoolBuilder &Word(uint32_t value);
  SpoolBuilder &Command(uint32_t code);  // marker, code
  SpoolBuilder &PageSetup(uint32_t width, uint32_t height, const SettingsValues &values = {});
  // IMAGE_DATA carrying `rows` rows of `width` pixels of a pattern that
  // depends on the page row, so that misplaced rows show.
  SpoolBuilder &ImageRows(uint32_t width, uint32_t firstRow, uint32_t rows);
  // A whole page: START_PAGE, PAGE_SETUP, bands of `band` rows, END_PAGE.
  SpoolBuilder &Page(uint32_t width, uint32_t height, uint32_t band, const SettingsValues &values = {});
  SpoolBuilder &Raw(const std::vector<uint8_t> &bytes);

  const std::vector<uint8_t> &Bytes() const { return bytes_; }
  std::vector<uint8_t> &MutableBytes() { return bytes_; }

  // The offset the reader reports when the stream ends at `cut`: the start
  // of the field that the cut falls into, where a cut in an image payload
  // is reported at that record's length word.
  uint64_t ReportedOffsetForCut(uint64_t cut) const;
  // True for a byte of a marker, a command code or an image length: any
  // change there must make the stream invalid.
  bool IsFramingByte(uint64_t offset) const;

 private:
  struct Field {
    uint64_t start;
    uint64_t size;
    uint64_t reportedAt;
    bool framing;
  };
  SpoolBuilder &FramingWord(uint32_t value);
  void Append(const uint8_t *data, size_t size, uint64_t reportedAt, bool framing = false);
  std::vector<uint8_t> bytes_;
  std::vector<Field> fields_;
};

// The test pattern of ImageRows at a page position.
std::array<uint8_t, 3> PatternPixel(uint32_t x, uint32_t y);

}  // namespace kvt::test
