// The printer package's papers as the whole job path knows them: the
// localized form names of the three paper kinds, and each paper's sheet
// with the printable area the printer fills on it, in dots at 403 dpi.
// Shared by the application side (kvtprint) and the printer side
// (kvtspool); the driver keeps its own tables, which these check.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kvt::paper {

enum class Kind { Postcard = 0, Photo3_5x5 = 1, Small = 2 };

inline constexpr size_t kLanguages = 5;  // English, German, French, Spanish, Japanese

// The form names of a kind, by language, as UTF-16.
const std::array<std::u16string_view, kLanguages> &FormNames(Kind kind);

// The kind a form name (exactly, in any language) belongs to.
std::optional<Kind> KindOfFormName(std::u16string_view name);

// English words for a kind: "Post card", "3.5x5 inch", "Small".
std::string_view KindName(Kind kind);

struct Sheet {
  Kind kind;
  bool border;  // printed with a white border
  bool landscape;
  uint32_t paperWidth, paperHeight;   // the sheet
  uint32_t left, top, right, bottom;  // the printable area on it
  uint32_t Width() const { return right - left; }
  uint32_t Height() const { return bottom - top; }
};

// The sheet of a kind with or without border, in an orientation. Small
// paper has only the bordered sheet.
const Sheet &SheetFor(Kind kind, bool border, bool landscape);

}  // namespace kvt::paper
