// The machine's ANSI code page, Windows-1252, and the ntdll conversion the
// printer driver uses for its ANSI form name.
#include "text.h"

#include <array>

namespace platform {

namespace {

// Bytes 0x80-0x9F of code page 1252; the rest of the page is Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

char16_t AnsiToWideChar(char ch) {
  const auto byte = static_cast<unsigned char>(ch);
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

char WideToAnsiChar(char16_t ch) {
  if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) return static_cast<char>(ch);
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == ch) return static_cast<char>(0x80 + i);
  }
  return '?';
}

std::u16string AnsiToWide(const char *text) {
  std::u16string result;
  if (text == nullptr) return result;
  for (; *text != '\0'; ++text) result.push_back(AnsiToWideChar(*text));
  return result;
}

}  // namespace platform

// Converts min(source characters, destination bytes) characters, one byte
// each, and reports success even when the output was cut, as ntdll does.
extern "C" NTSTATUS WINAPI RtlUnicodeToMultiByteN(PCHAR MultiByteString, ULONG MaxBytesInMultiByteString,
                                                  PULONG BytesInMultiByteString, PCWCH UnicodeString,
                                                  ULONG BytesInUnicodeString) {
  ULONG count = BytesInUnicodeString / sizeof(WCHAR);
  if (count > MaxBytesInMultiByteString) count = MaxBytesInMultiByteString;
  if (count > 0 && (MultiByteString == nullptr || UnicodeString == nullptr)) return STATUS_INVALID_PARAMETER;
  for (ULONG i = 0; i < count; ++i) {
    MultiByteString[i] = platform::WideToAnsiChar(static_cast<char16_t>(UnicodeString[i]));
  }
  if (BytesInMultiByteString != nullptr) *BytesInMultiByteString = count;
  return STATUS_SUCCESS;
}

extern "C" BOOL WINAPI IsDBCSLeadByte(BYTE /*TestChar*/) { return FALSE; }
