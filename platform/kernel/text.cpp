// Case folding, UTF-16 copies and UTF-8 conversion for the platform modules.
#include "text.h"

namespace platform {

std::u16string WideText(const WCHAR *text) {
  std::u16string result;
  if (text == nullptr) return result;
  for (; *text != 0; ++text) result.push_back(static_cast<char16_t>(*text));
  return result;
}

void CopyWideText(std::u16string_view text, WCHAR *out) {
  for (char16_t ch : text) *out++ = static_cast<WCHAR>(ch);
  *out = 0;
}

char16_t FoldCase(char16_t ch) {
  if (ch < 0x80) return (ch >= u'a' && ch <= u'z') ? ch - 0x20 : ch;
  if (ch >= 0xE0 && ch <= 0xFE && ch != 0xF7) return ch - 0x20;
  if (ch == 0xFF) return 0x178;
  if (ch >= 0x100 && ch <= 0x17F) {
    // Latin Extended-A pairs an upper-case letter with the next code; the
    // pairs start on even codes except in 0x139-0x148 and 0x179-0x17E.
    const bool oddPairs = (ch >= 0x139 && ch <= 0x148) || (ch >= 0x179 && ch <= 0x17E);
    if (ch == 0x130 || ch == 0x131 || ch == 0x138 || ch == 0x149 || ch == 0x17F) return ch;
    const bool isLower = oddPairs ? (ch % 2 == 0) : (ch % 2 == 1);
    return isLower ? ch - 1 : ch;
  }
  if (ch >= 0x3B1 && ch <= 0x3C9) return ch == 0x3C2 ? 0x3A3 : ch - 0x20;
  if (ch >= 0x430 && ch <= 0x44F) return ch - 0x20;
  if (ch >= 0x450 && ch <= 0x45F) return ch - 0x50;
  if (ch >= 0xFF41 && ch <= 0xFF5A) return ch - 0x20;
  return ch;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::optional<std::u16string> FromUtf8(std::string_view text) {
  std::u16string out;
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length;
    char32_t cp;
    if (lead < 0x80) {
      length = 1;
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      cp = lead & 0x07;
    } else {
      return std::nullopt;
    }
    if (i + length > text.size()) return std::nullopt;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are malformed.
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += length;
  }
  return out;
}

std::string WideToAnsi(std::u16string_view text) {
  std::string ansi;
  ansi.reserve(text.size());
  for (char16_t ch : text) ansi.push_back(WideToAnsiChar(ch));
  return ansi;
}

std::string UpperAnsi(std::string_view text) {
  std::string upper;
  upper.reserve(text.size());
  for (char ch : text) upper.push_back(WideToAnsiChar(FoldCase(AnsiToWideChar(ch))));
  return upper;
}

std::string HexOf(const std::vector<BYTE> &bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (BYTE byte : bytes) {
    hex.push_back(kDigits[byte >> 4]);
    hex.push_back(kDigits[byte & 0x0F]);
  }
  return hex;
}

namespace {

int HexDigit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::vector<BYTE>> BytesOfHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::vector<BYTE> bytes;
  bytes.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int high = HexDigit(hex[i]);
    const int low = HexDigit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<BYTE>(high * 16 + low));
  }
  return bytes;
}

}  // namespace platform
