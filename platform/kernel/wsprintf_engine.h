// The user32 text formatter behind wsprintfA and wvsprintfA, with its
// arguments behind an interface so that the same engine serves a va_list,
// FormatMessageA's inserts and the fuzzer's generated arguments. Library
// code never includes this header.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace platform {

// The fixed size of a wsprintf output buffer, terminator included.
constexpr size_t kWsprintfBufferBytes = 1024;

// Supplies the values a format asks for, in the order of its conversions.
// Each conversion takes exactly one value of the kind its type names.
class FormatArguments {
 public:
  virtual ~FormatArguments() = default;
  // %c, %C, %d, %i, %u, %x, %X and their l/h forms: one int-sized value.
  virtual int32_t NextInt() = 0;
  // The I64 size prefix.
  virtual int64_t NextInt64() = 0;
  // %p and the I size prefix: a pointer-sized value.
  virtual intptr_t NextIntPtr() = 0;
  // %s (and %hs, %hS): an ANSI text or null.
  virtual const char *NextAnsiText() = 0;
  // %S (and %ls, %ws, %lS): a UTF-16 text or null.
  virtual const WCHAR *NextWideText() = 0;
};

// Formats `format` into `out`, which holds `capacity` bytes (1 to
// kWsprintfBufferBytes; the output is always terminated). Returns the
// number of characters written, or `capacity` when the output filled the
// buffer: the count user32 reports for a cut text.
int FormatWsprintf(char *out, size_t capacity, const char *format, FormatArguments &args);

}  // namespace platform
