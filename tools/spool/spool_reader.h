// The spool stream reader: walks a stream command by command, checks every
// marker, code, length and the order of the commands, and hands each command
// and the rows of each page to a visitor. Between pages START_DOC may come
// again: the driver repeats it when the application resets its device
// context in the middle of a document. It is the printer side's view of
// the stream and the oracle that the driver's output is tested against.
//
// Nothing is allocated from a length before the length has been checked
// against the bytes left and against the page's size; pixel rows are passed
// on in bounded chunks, so memory does not grow with the page or the stream.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "byte_source.h"
#include "settings_image.h"
#include "spool_format.h"

namespace kvt::spool {

struct CommandRecord {
  uint64_t offset = 0;  // of the marker
  uint64_t size = 0;    // of the whole record, marker to the end of its payload
  Command command = Command::StartDoc;
  uint32_t page = 0;  // 1-based; 0 outside a page
  // PAGE_SETUP
  uint32_t width = 0;
  uint32_t height = 0;
  const SettingsImage *settings = nullptr;  // null only when framing alone is checked and it does not decode
  std::span<const uint8_t> settingsBytes;   // the image as it was sent
  // IMAGE_DATA
  uint32_t byteCount = 0;
  uint32_t firstRow = 0;
  uint32_t rowCount = 0;
};

class SpoolVisitor {
 public:
  virtual ~SpoolVisitor() = default;
  // Called for each command once its words are checked; for an image record
  // before its rows. Returning false stops the reader.
  virtual bool OnCommand(const CommandRecord &) { return true; }
  // Consecutive rows of the current page, each width * 3 bytes of R, G, B.
  virtual bool OnRows(uint32_t /*firstRow*/, uint32_t /*rowCount*/, std::span<const uint8_t> /*rgb*/) { return true; }
  // When framing alone is checked: the next bytes of the current image
  // record's payload, in place of rows, which need a page.
  virtual bool OnImageBytes(std::span<const uint8_t> /*bytes*/) { return true; }
};

// How much of a stream the reader checks.
enum class Checks {
  // Everything the printer checks (see above).
  WholeJob,
  // Only what it takes to cut the stream into records: each marker, a known
  // command code, and every argument word and payload inside the bytes
  // left. The order of the commands, page sizes, row counts and settings
  // values are not judged, so that a stream that an abort or a failed write
  // cut short still reads record by record.
  Framing,
};

struct SpoolError {
  uint64_t offset = 0;
  std::string message;
};

struct ReadResult {
  std::optional<SpoolError> error;  // the stream is not valid
  bool stoppedByVisitor = false;
  uint32_t pages = 0;  // completed pages
};

// Reads the whole source. The result is valid when neither error nor
// stoppedByVisitor is set.
ReadResult ReadSpool(ByteSource &source, SpoolVisitor &visitor, Checks checks = Checks::WholeJob);

// "offset 24 (0x18): <message>".
std::string FormatError(const SpoolError &error);

}  // namespace kvt::spool
