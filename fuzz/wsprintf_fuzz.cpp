// Hostile format strings through the wsprintf engine and FormatMessageA's
// string path. The input up to its first zero byte is the format; the rest
// feeds the values. Every text argument is a real, terminated text built
// from the input (never a pointer made of input bytes), and each is stored
// as UTF-16 so that it is a valid text whether a conversion reads it as
// ANSI or as wide. The engine must stay inside its buffer, always
// terminate it and report a length that matches it.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "../platform/kernel/wsprintf_engine.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// Values and texts taken from the bytes after the format, cyclically; an
// empty pool gives zeros and empty texts.
class FuzzArguments : public platform::FormatArguments {
 public:
  FuzzArguments(const uint8_t *data, size_t size) : data_(data), size_(size) {}

  int32_t NextInt() override { return static_cast<int32_t>(Bits(4)); }
  int64_t NextInt64() override { return static_cast<int64_t>(Bits(8)); }
  intptr_t NextIntPtr() override { return static_cast<intptr_t>(Bits(sizeof(intptr_t))); }
  const char *NextAnsiText() override {
    const WCHAR *text = NextText();
    return text == nullptr ? nullptr : reinterpret_cast<const char *>(text);
  }
  const WCHAR *NextWideText() override { return NextText(); }

 private:
  uint8_t Byte() {
    if (size_ == 0) return 0;
    const uint8_t byte = data_[at_ % size_];
    ++at_;
    return byte;
  }
  uint64_t Bits(size_t bytes) {
    uint64_t value = 0;
    for (size_t i = 0; i < bytes; ++i) value = (value << 8) | Byte();
    return value;
  }
  // A length byte (0xFF stands for a null text), then that many bytes.
  const WCHAR *NextText() {
    const uint8_t length = Byte();
    if (length == 0xFF) return nullptr;
    std::vector<WCHAR> &text = texts_.emplace_back();
    // Two bytes a unit; a final zero unit ends it both as ANSI and as UTF-16.
    for (size_t i = 0; i < length; ++i) {
      const uint16_t unit = static_cast<uint16_t>(Byte()) | static_cast<uint16_t>(Byte() << 8);
      if (unit == 0) break;
      text.push_back(static_cast<WCHAR>(unit));
    }
    text.push_back(0);
    return text.data();
  }

  const uint8_t *data_;
  size_t size_;
  size_t at_ = 0;
  std::deque<std::vector<WCHAR>> texts_;
};

void CheckFormatted(const std::vector<char> &buffer, int result) {
  Require(result >= 0 && static_cast<size_t>(result) <= buffer.size());
  if (static_cast<size_t>(result) < buffer.size()) {
    Require(buffer[static_cast<size_t>(result)] == '\0');
  } else {
    Require(buffer.back() == '\0');
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const auto *end = static_cast<const uint8_t *>(std::memchr(data, 0, size));
  const size_t formatLength = end != nullptr ? static_cast<size_t>(end - data) : size;
  const std::string format(reinterpret_cast<const char *>(data), formatLength);
  const uint8_t *pool = end != nullptr ? end + 1 : data + size;
  const size_t poolSize = static_cast<size_t>(data + size - pool);

  // The full wsprintf buffer, then a smaller one chosen by the input, each
  // allocated to its exact size so that any overrun is caught.
  {
    std::vector<char> buffer(platform::kWsprintfBufferBytes);
    FuzzArguments args(pool, poolSize);
    CheckFormatted(buffer, platform::FormatWsprintf(buffer.data(), buffer.size(), format.c_str(), args));
  }
  {
    const size_t capacity = 1 + (poolSize != 0 ? pool[0] % 64 : 0);
    std::vector<char> buffer(capacity);
    FuzzArguments args(pool, poolSize);
    CheckFormatted(buffer, platform::FormatWsprintf(buffer.data(), buffer.size(), format.c_str(), args));
  }

  // FormatMessageA with an argument array whose every slot is a valid text,
  // so that any insert format, numeric or text, reads something real.
  FuzzArguments texts(pool, poolSize);
  // Eight texts serve the 99 inserts in turn.
  static const WCHAR kEmpty[] = {0};
  DWORD_PTR distinct[8];
  for (DWORD_PTR &text : distinct) {
    const WCHAR *next = texts.NextWideText();
    text = reinterpret_cast<DWORD_PTR>(next != nullptr ? next : kEmpty);
  }
  std::vector<DWORD_PTR> slots(99);
  for (size_t i = 0; i < slots.size(); ++i) slots[i] = distinct[i % 8];
  const uint8_t choice = poolSize != 0 ? pool[0] : 0;
  DWORD flags = FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY;
  if ((choice & 1) != 0) flags |= FORMAT_MESSAGE_MAX_WIDTH_MASK;
  if ((choice & 2) != 0) flags |= FORMAT_MESSAGE_IGNORE_INSERTS;
  char *message = nullptr;
  const DWORD length = FormatMessageA(flags, format.c_str(), 0, 0, reinterpret_cast<LPSTR>(&message), 0,
                                      reinterpret_cast<va_list *>(slots.data()));
  if (length != 0) {
    Require(message != nullptr && std::strlen(message) <= length);
    LocalFree(message);
  } else {
    Require(message == nullptr);
  }
  return 0;
}
