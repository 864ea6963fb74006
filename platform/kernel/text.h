// Text helpers shared by the platform modules: the ANSI code page (1252),
// simple case folding for case-insensitive names, and UTF-8 for files the
// machine is saved to. Library code never includes this header.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Code page 1252 in both directions. Characters without a 1252 byte become
// '?'; the five bytes 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// map to and from the C1 controls of the same value, as Windows does.
char WideToAnsiChar(char16_t ch);
char16_t AnsiToWideChar(char ch);
std::u16string AnsiToWide(const char *text);  // null gives ""
std::string WideToAnsi(std::u16string_view text);
// The ANSI text with each character upper-cased as FoldCase does.
std::string UpperAnsi(std::string_view text);

// A copy of a zero-terminated UTF-16 text (null gives "").
std::u16string WideText(const WCHAR *text);
// Copies `text` with its terminator into `out`, which must hold text.size()+1.
void CopyWideText(std::u16string_view text, WCHAR *out);

// Simple upper-case mapping: ASCII, Latin-1, Latin Extended-A, Greek,
// Cyrillic and full-width Latin letters. Other characters are unchanged.
char16_t FoldCase(char16_t ch);
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);
// UTF-8 to UTF-16; nullopt for malformed input.
std::optional<std::u16string> FromUtf8(std::string_view text);

// Bytes as lower-case hex digits, two a byte, for the JSON files of a saved
// machine; and back, taking either case. Nullopt for an odd length or a
// character that is not a hex digit.
std::string HexOf(const std::vector<BYTE> &bytes);
std::optional<std::vector<BYTE>> BytesOfHex(std::string_view hex);

}  // namespace platform
