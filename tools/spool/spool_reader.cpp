// A state machine over the command records: each record's marker and code
// are read and checked against what the position in the job allows, then its
// argument words and payload, each checked against the bytes left first.
// When framing alone is checked, the position in the job is still followed
// but nothing is refused for it.
#include "spool_reader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "byte_order.h"

namespace kvt::spool {

std::string_view CommandName(uint32_t code) {
  switch (static_cast<Command>(code)) {
    case Command::StartDoc:
      return "START_DOC";
    case Command::EndDoc:
      return "END_DOC";
    case Command::StartPage:
      return "START_PAGE";
    case Command::EndPage:
      return "END_PAGE";
    case Command::PageSetup:
      return "PAGE_SETUP";
    case Command::ImageData:
      return "IMAGE_DATA";
  }
  return {};
}

std::string FormatError(const SpoolError &error) {
  std::array<char, 64> prefix{};
  std::snprintf(prefix.data(), prefix.size(), "offset %llu (0x%llx): ", static_cast<unsigned long long>(error.offset),
                static_cast<unsigned long long>(error.offset));
  return prefix.data() + error.message;
}

namespace {

// Rows are handed to the visitor in chunks of about this size.
constexpr size_t kRowChunkBytes = size_t{1} << 20;

enum class State {
  BeforeDoc,    // expects START_DOC
  InDoc,        // expects START_PAGE or END_DOC, or START_DOC again
  PageStarted,  // expects PAGE_SETUP
  PageRows,     // expects IMAGE_DATA until the page's rows are complete
  PageFull,     // expects END_PAGE
  Done,         // expects the end of the stream
};

std::string Hex32(uint32_t value) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "0x%08X", value);
  return text.data();
}

class Reader {
 public:
  Reader(ByteSource &source, SpoolVisitor &visitor, Checks checks)
      : source_(source), visitor_(visitor), wholeJob_(checks == Checks::WholeJob) {}

  ReadResult Run() {
    while (!result_.error && !result_.stoppedByVisitor) {
      if (Left() == 0) {
        if (wholeJob_ && state_ != State::Done) Fail(position_, "stream ends; expected " + Expected());
        break;
      }
      ReadRecord();
    }
    return std::move(result_);
  }

 private:
  uint64_t Left() const { return source_.Size() - position_; }

  void Fail(uint64_t offset, std::string message) { result_.error = SpoolError{offset, std::move(message)}; }

  // Reads `out.size()` bytes of `what`; fails naming the field's offset if
  // the stream is shorter.
  bool ReadField(std::span<uint8_t> out, const std::string &what) {
    uint64_t offset = position_;
    if (Left() < out.size()) {
      Fail(offset,
           "stream ends after " + std::to_string(Left()) + " of " + std::to_string(out.size()) + " bytes of " + what);
      return false;
    }
    if (!source_.Read(out)) {
      Fail(offset, "read error in " + what);
      return false;
    }
    position_ += out.size();
    return true;
  }

  bool ReadWord(uint32_t &value, const std::string &what) {
    std::array<uint8_t, kWordSize> bytes{};
    if (!ReadField(bytes, what)) return false;
    value = LoadBE32(bytes);
    return true;
  }

  std::string Expected() const {
    switch (state_) {
      case State::BeforeDoc:
        return "START_DOC";
      case State::InDoc:
        return "START_PAGE or END_DOC";
      case State::PageStarted:
        return "PAGE_SETUP";
      case State::PageRows:
        return "IMAGE_DATA (" + std::to_string(rowsDone_) + " of " + std::to_string(height_) + " rows so far)";
      case State::PageFull:
        return "END_PAGE";
      case State::Done:
        return "end of stream";
    }
    return {};
  }

  bool Allowed(Command command) const {
    if (!wholeJob_) return true;
    switch (state_) {
      case State::BeforeDoc:
        return command == Command::StartDoc;
      case State::InDoc:
        // A device context reset in the middle of a document starts the
        // document again on the new one; the pages simply go on.
        return command == Command::StartPage || command == Command::EndDoc || command == Command::StartDoc;
      case State::PageStarted:
        return command == Command::PageSetup;
      case State::PageRows:
        return command == Command::ImageData;
      case State::PageFull:
        return command == Command::EndPage;
      case State::Done:
        return false;
    }
    return false;
  }

  void ReadRecord() {
    CommandRecord record;
    record.offset = position_;
    if (wholeJob_ && state_ == State::Done) {
      Fail(position_, "data after END_DOC; expected end of stream");
      return;
    }
    uint32_t marker = 0;
    if (!ReadWord(marker, "a marker; expected " + Expected())) return;
    if (marker != kMarker) {
      Fail(record.offset, "found " + Hex32(marker) + " where a marker " + Hex32(kMarker) + " was expected");
      return;
    }
    uint64_t codeOffset = position_;
    uint32_t code = 0;
    if (!ReadWord(code, "a command code; expected " + Expected())) return;
    if (CommandName(code).empty()) {
      Fail(codeOffset, "unknown command code " + Hex32(code) + "; expected " + Expected());
      return;
    }
    record.command = static_cast<Command>(code);
    if (!Allowed(record.command)) {
      Fail(codeOffset, std::string(CommandName(code)) + " out of order; expected " + Expected());
      return;
    }
    switch (record.command) {
      case Command::StartDoc:
        state_ = State::InDoc;
        Notify(record);
        break;
      case Command::EndDoc:
        state_ = State::Done;
        Notify(record);
        break;
      case Command::StartPage:
        ++page_;
        record.page = page_;
        state_ = State::PageStarted;
        Notify(record);
        break;
      case Command::EndPage:
        record.page = page_;
        state_ = State::InDoc;
        ++result_.pages;
        Notify(record);
        break;
      case Command::PageSetup:
        record.page = page_;
        ReadPageSetup(record);
        break;
      case Command::ImageData:
        record.page = page_;
        ReadImageData(record);
        break;
    }
  }

  // Hands the record to the visitor once its words are read; `payloadLeft`
  // bytes of it follow.
  void Notify(CommandRecord &record, uint64_t payloadLeft = 0) {
    record.size = position_ - record.offset + payloadLeft;
    if (!visitor_.OnCommand(record)) result_.stoppedByVisitor = true;
  }

  bool ReadDimension(uint32_t &value, const char *name) {
    uint64_t offset = position_;
    if (!ReadWord(value, std::string("the page ") + name)) return false;
    if (wholeJob_ && (value == 0 || value > kMaxPageSide)) {
      Fail(offset, std::string("page ") + name + " " + std::to_string(value) + " is outside 1.." +
                       std::to_string(kMaxPageSide));
      return false;
    }
    return true;
  }

  void ReadPageSetup(CommandRecord &record) {
    if (!ReadDimension(width_, "width") || !ReadDimension(height_, "height")) return;
    uint64_t imageOffset = position_;
    std::array<uint8_t, kSettingsImageSize> image{};
    if (!ReadField(image, "the settings image")) return;
    SettingsDecode decoded = DecodeSettingsImage(image);
    if (decoded.fault && wholeJob_) {
      Fail(imageOffset + decoded.fault->offset, "settings image: " + decoded.fault->message);
      return;
    }
    settings_ = std::move(decoded.settings);
    rowsDone_ = 0;
    state_ = State::PageRows;
    record.width = width_;
    record.height = height_;
    record.settings = decoded.fault ? nullptr : &settings_;
    record.settingsBytes = image;
    Notify(record);
  }

  // The payload of an image record whose page is not checked: its length
  // only has to fit the bytes left.
  void ReadImageBytes(CommandRecord &record, uint64_t lengthOffset, uint32_t length) {
    if (length > Left()) {
      Fail(lengthOffset, "IMAGE_DATA length " + std::to_string(length) + " runs past the end of the stream (" +
                             std::to_string(Left()) + " bytes left)");
      return;
    }
    record.byteCount = length;
    Notify(record, length);
    uint64_t done = 0;
    while (!result_.stoppedByVisitor && done < length) {
      chunk_.resize(std::min<uint64_t>(kRowChunkBytes, length - done));
      if (!ReadField(chunk_, "IMAGE_DATA bytes")) return;
      if (!visitor_.OnImageBytes(chunk_)) result_.stoppedByVisitor = true;
      done += chunk_.size();
    }
  }

  void ReadImageData(CommandRecord &record) {
    uint64_t lengthOffset = position_;
    uint32_t length = 0;
    if (!ReadWord(length, "the IMAGE_DATA length")) return;
    if (!wholeJob_) {
      ReadImageBytes(record, lengthOffset, length);
      return;
    }
    const uint64_t rowBytes = uint64_t{width_} * kBytesPerPixel;
    const uint32_t rowsLeft = height_ - rowsDone_;
    if (length == 0 || length % rowBytes != 0) {
      Fail(lengthOffset, "IMAGE_DATA length " + std::to_string(length) + " is not a whole number of rows of " +
                             std::to_string(rowBytes) + " bytes");
      return;
    }
    const uint64_t rows = length / rowBytes;
    if (rows > rowsLeft) {
      Fail(lengthOffset, "IMAGE_DATA of " + std::to_string(rows) + " rows overruns the page (" +
                             std::to_string(rowsDone_) + " of " + std::to_string(height_) + " rows so far)");
      return;
    }
    if (length > Left()) {
      Fail(lengthOffset, "IMAGE_DATA length " + std::to_string(length) + " runs past the end of the stream (" +
                             std::to_string(Left()) + " bytes left)");
      return;
    }
    record.byteCount = length;
    record.firstRow = rowsDone_;
    record.rowCount = static_cast<uint32_t>(rows);
    Notify(record, length);
    if (result_.stoppedByVisitor) return;

    const uint64_t chunkRows = std::max<uint64_t>(1, kRowChunkBytes / rowBytes);
    uint64_t rowsRead = 0;
    while (rowsRead < rows) {
      const uint64_t n = std::min(chunkRows, rows - rowsRead);
      chunk_.resize(n * rowBytes);
      if (!ReadField(chunk_, "IMAGE_DATA rows")) return;
      if (!visitor_.OnRows(rowsDone_, static_cast<uint32_t>(n), chunk_)) {
        result_.stoppedByVisitor = true;
        return;
      }
      rowsDone_ += static_cast<uint32_t>(n);
      rowsRead += n;
    }
    if (rowsDone_ == height_) state_ = State::PageFull;
  }

  ByteSource &source_;
  SpoolVisitor &visitor_;
  const bool wholeJob_;
  ReadResult result_;
  uint64_t position_ = 0;
  State state_ = State::BeforeDoc;
  uint32_t page_ = 0;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  uint32_t rowsDone_ = 0;
  SettingsImage settings_;
  std::vector<uint8_t> chunk_;
};

}  // namespace

ReadResult ReadSpool(ByteSource &source, SpoolVisitor &visitor, Checks checks) {
  return Reader(source, visitor, checks).Run();
}

}  // namespace kvt::spool
