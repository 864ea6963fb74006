// Zero-terminated WCHAR copies of UTF-16 text for Win32 calls. WCHAR and
// char16_t are distinct types of the same width, so the text is copied
// unit by unit rather than reinterpreted.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

namespace kvt::print {

inline std::vector<WCHAR> WideBuffer(std::u16string_view text) {
  std::vector<WCHAR> buffer(text.size() + 1, 0);
  for (size_t i = 0; i < text.size(); ++i) buffer[i] = static_cast<WCHAR>(text[i]);
  return buffer;
}

}  // namespace kvt::print
