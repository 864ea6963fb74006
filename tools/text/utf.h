// UTF-16 and UTF-8 conversion for the tools: names in settings images and
// spooler calls are UTF-16, the terminal and the command line UTF-8. Host
// wide-character functions are never used: wchar_t is 16 bits wide in the
// programs that link the platform layer and 32 bits in libc.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kvt::text {

// Converts UTF-16 code units up to the first zero unit (or the end of
// `units`). Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::span<const char16_t> units);

// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string &out, char32_t codePoint);

// Converts UTF-8 text; malformed sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// Converts text of code page 1252, the ANSI code page of the machines the
// tools work with (the setup log is written in it). The five bytes that the
// code page leaves undefined stand for the C1 controls of the same value.
std::string AnsiToUtf8(std::string_view text);

}  // namespace kvt::text
