// wsprintfA and wvsprintfA: user32's own printf language, not the C
// runtime's. A conversion is %[-][#][0][width][.precision][size]type with
// the sizes l, h, w, I, I32 and I64 and the types c C d i u x X p s S; there
// is no floating point. An unknown type character is printed as text. The
// output never passes 1,024 bytes: every width, precision and text is cut to
// the room that is left, so no argument can make the formatter write or
// scan beyond its buffer.
#include <winuser.h>

#include <cstdarg>
#include <cstring>

#include "text.h"
#include "wsprintf_engine.h"

namespace platform {

namespace {

enum class Kind { Unknown, AnsiChar, WideChar, AnsiText, WideText, Signed, Unsigned, Hex };

struct Conversion {
  bool leftAlign = false;
  bool hexPrefix = false;
  bool zeroPad = false;
  bool sizeLong = false;
  bool sizeShort = false;
  bool sizeWide = false;
  bool sizePointer = false;
  bool size64 = false;
  bool upperHex = false;
  // user32 keeps both as 32-bit unsigned counters: huge values wrap, and
  // every use is cut to the room left, so neither can run past the buffer.
  uint32_t width = 0;
  uint32_t precision = 0;
  Kind kind = Kind::Unknown;
};

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// Reads one conversion that starts just after its '%'. Returns the position
// after it; for an unknown type, the position of that character, which the
// caller then prints as text.
const char *ParseConversion(const char *p, Conversion &c) {
  if (*p == '-') c.leftAlign = true, ++p;
  if (*p == '#') c.hexPrefix = true, ++p;
  if (*p == '0') c.zeroPad = true, ++p;
  for (; IsDigit(*p); ++p) c.width = c.width * 10u + static_cast<uint32_t>(*p - '0');
  if (*p == '.') {
    for (++p; IsDigit(*p); ++p) c.precision = c.precision * 10u + static_cast<uint32_t>(*p - '0');
  }
  if (*p == 'l') {
    c.sizeLong = true, ++p;
  } else if (*p == 'h') {
    c.sizeShort = true, ++p;
  } else if (*p == 'w') {
    c.sizeWide = true, ++p;
  } else if (*p == 'I') {
    if (p[1] == '6' && p[2] == '4') {
      c.size64 = true, p += 3;
    } else if (p[1] == '3' && p[2] == '2') {
      p += 3;
    } else {
      c.sizePointer = true, ++p;
    }
  }
  switch (*p) {
    case 'c':
      c.kind = c.sizeLong ? Kind::WideChar : Kind::AnsiChar;
      break;
    case 'C':
      c.kind = c.sizeShort ? Kind::AnsiChar : Kind::WideChar;
      break;
    case 'd':
    case 'i':
      c.kind = Kind::Signed;
      break;
    case 'u':
      c.kind = Kind::Unsigned;
      break;
    case 's':
      c.kind = (c.sizeLong || c.sizeWide) ? Kind::WideText : Kind::AnsiText;
      break;
    case 'S':
      c.kind = (c.sizeShort || c.sizeWide) ? Kind::AnsiText : Kind::WideText;
      break;
    case 'p':
      // A pointer: upper-case hex, zero-padded to its full width.
      c.width = 2 * sizeof(void *);
      c.zeroPad = true;
      c.sizePointer = true;
      c.upperHex = true;
      c.kind = Kind::Hex;
      break;
    case 'X':
      c.upperHex = true;
      c.kind = Kind::Hex;
      break;
    case 'x':
      c.kind = Kind::Hex;
      break;
    default:
      c.kind = Kind::Unknown;
      return p;
  }
  return p + 1;
}

// The output buffer: it takes characters up to its limit and drops the
// rest, so a miscounted layout can cut the text but never overrun.
class Output {
 public:
  Output(char *buffer, size_t limit) : buffer_(buffer), limit_(limit) {}
  void Put(char ch) {
    if (written_ < limit_) buffer_[written_++] = ch;
  }
  void Repeat(char ch, size_t count) {
    for (size_t i = 0; i < count; ++i) Put(ch);
  }
  size_t Room() const { return limit_ - written_; }
  size_t Written() const { return written_; }
  void Terminate() { buffer_[written_] = '\0'; }

 private:
  char *buffer_;
  size_t limit_;
  size_t written_ = 0;
};

// Digits of an integer conversion, with a leading '-' for a negative %d.
// 20 digits, a sign and the terminator fit.
struct Digits {
  char text[22] = {};
  size_t length = 0;
};

Digits FormatInteger(const Conversion &c, int64_t value) {
  uint64_t magnitude = static_cast<uint64_t>(value);
  Digits digits;
  size_t at = 0;
  if (c.kind == Kind::Signed && value < 0) {
    digits.text[at++] = '-';
    magnitude = 0 - magnitude;
  }
  // The size prefix decides how many bits the number has.
  if (c.sizePointer) {
    magnitude = static_cast<uintptr_t>(magnitude);
  } else if (!c.size64) {
    magnitude = static_cast<uint32_t>(magnitude);
  }
  const unsigned base = c.kind == Kind::Hex ? 16 : 10;
  const char *symbols = c.upperHex ? "0123456789ABCDEF" : "0123456789abcdef";
  char reversed[20];
  size_t count = 0;
  do {
    reversed[count++] = symbols[magnitude % base];
    magnitude /= base;
  } while (magnitude != 0);
  while (count > 0) digits.text[at++] = reversed[--count];
  digits.length = at;
  return digits;
}

// Characters of a text conversion that will be printed: up to the
// precision (0 means all), and never more than `room`. Scans no further.
template <typename Char>
size_t TextLength(const Char *text, uint32_t precision, size_t room) {
  size_t limit = room;
  if (precision != 0 && precision < limit) limit = precision;
  size_t length = 0;
  while (length < limit && text[length] != 0) ++length;
  return length;
}

const char kNullAnsi[] = "(null)";
const WCHAR kNullWide[] = {'(', 'n', 'u', 'l', 'l', ')', 0};

void Pad(Output &out, const Conversion &c, uint32_t used) {
  if (used < c.width) out.Repeat(' ', c.width - used);
}

void WriteConversion(Output &out, Conversion &c, FormatArguments &args) {
  const size_t room = out.Room();
  if (c.leftAlign) c.zeroPad = false;
  if (c.width > room) c.width = static_cast<uint32_t>(room);

  switch (c.kind) {
    case Kind::Unknown:
      // No argument; only the leading padding is printed.
      if (!c.leftAlign) Pad(out, c, c.precision);
      return;
    case Kind::AnsiChar:
    case Kind::WideChar: {
      const int32_t value = args.NextInt();
      const char ch =
          c.kind == Kind::AnsiChar ? static_cast<char>(value) : WideToAnsiChar(static_cast<char16_t>(value));
      if (!c.leftAlign) Pad(out, c, 1);
      out.Put(ch);
      if (c.leftAlign) Pad(out, c, 1);
      return;
    }
    case Kind::AnsiText: {
      const char *text = args.NextAnsiText();
      if (text == nullptr) text = kNullAnsi;
      const size_t length = TextLength(text, c.precision, room);
      if (!c.leftAlign) Pad(out, c, static_cast<uint32_t>(length));
      for (size_t i = 0; i < length; ++i) out.Put(text[i]);
      if (c.leftAlign) Pad(out, c, static_cast<uint32_t>(length));
      return;
    }
    case Kind::WideText: {
      const WCHAR *text = args.NextWideText();
      if (text == nullptr) text = kNullWide;
      // Code page 1252 gives one byte per UTF-16 unit.
      const size_t length = TextLength(text, c.precision, room);
      if (!c.leftAlign) Pad(out, c, static_cast<uint32_t>(length));
      for (size_t i = 0; i < length; ++i) out.Put(WideToAnsiChar(static_cast<char16_t>(text[i])));
      if (c.leftAlign) Pad(out, c, static_cast<uint32_t>(length));
      return;
    }
    case Kind::Signed:
    case Kind::Unsigned:
    case Kind::Hex:
      break;
  }

  int64_t value;
  if (c.sizePointer) {
    value = args.NextIntPtr();
  } else if (c.size64) {
    value = args.NextInt64();
  } else {
    value = args.NextInt();
  }
  const Digits digits = FormatInteger(c, value);
  // The precision is the minimum count of characters, sign included; a
  // zero-padded conversion fills its whole width with zeros.
  const uint32_t length = static_cast<uint32_t>(digits.length < room ? digits.length : room);
  if (c.precision < length) c.precision = length;
  if (c.precision > room) c.precision = static_cast<uint32_t>(room);
  if (c.zeroPad && c.width > c.precision) c.precision = c.width;

  if (!c.leftAlign) Pad(out, c, c.precision);
  // The 0x prefix comes on top of the width, and only where it fits with a
  // digit after it.
  if (c.kind == Kind::Hex && c.hexPrefix && out.Room() >= 3) {
    out.Put('0');
    out.Put(c.upperHex ? 'X' : 'x');
  }
  size_t first = 0;
  if (digits.text[0] == '-') {
    out.Put('-');
    first = 1;
  }
  out.Repeat('0', c.precision - length);
  for (size_t i = first; i < length; ++i) out.Put(digits.text[i]);
  if (c.leftAlign) Pad(out, c, c.precision);
}

// The arguments of a va_list, taken in the order the format names them.
class VaListArguments : public FormatArguments {
 public:
  explicit VaListArguments(va_list args) { va_copy(args_, args); }
  ~VaListArguments() override { va_end(args_); }
  VaListArguments(const VaListArguments &) = delete;
  VaListArguments &operator=(const VaListArguments &) = delete;

  int32_t NextInt() override { return va_arg(args_, int32_t); }
  int64_t NextInt64() override { return va_arg(args_, int64_t); }
  intptr_t NextIntPtr() override { return va_arg(args_, intptr_t); }
  const char *NextAnsiText() override { return va_arg(args_, const char *); }
  const WCHAR *NextWideText() override { return va_arg(args_, const WCHAR *); }

 private:
  va_list args_;
};

}  // namespace

int FormatWsprintf(char *out, size_t capacity, const char *format, FormatArguments &args) {
  if (capacity == 0) return 0;
  if (capacity > kWsprintfBufferBytes) capacity = kWsprintfBufferBytes;
  Output output(out, capacity - 1);
  const char *cursor = format != nullptr ? format : "";
  while (*cursor != '\0' && output.Room() > 0) {
    if (*cursor != '%') {
      output.Put(*cursor++);
      continue;
    }
    ++cursor;
    if (*cursor == '%') {
      output.Put(*cursor++);
      continue;
    }
    Conversion conversion;
    cursor = ParseConversion(cursor, conversion);
    WriteConversion(output, conversion, args);
  }
  output.Terminate();
  // A full buffer reports its size, whether or not anything was cut.
  return output.Room() > 0 ? static_cast<int>(output.Written()) : static_cast<int>(capacity);
}

}  // namespace platform

extern "C" int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list args) {
  if (buffer == nullptr) return 0;
  platform::VaListArguments arguments(args);
  return platform::FormatWsprintf(buffer, platform::kWsprintfBufferBytes, format, arguments);
}

extern "C" int WINAPIV wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  va_list args;
  va_start(args, format);
  const int written = wvsprintfA(buffer, format, args);
  va_end(args);
  return written;
}
