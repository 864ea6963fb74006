// The paper tables, as constants. The sheet sizes are the paper's size in
// millimetres at 403 dpi, cut to whole dots, which is why a borderless
// printable area (printed a little past the edges) is a dot larger.
#include "paper_sheets.h"

namespace kvt::paper {

namespace {

constexpr std::array<std::array<std::u16string_view, kLanguages>, 3> kFormNames{{
    {u"Post card", u"Postkartenformat", u"Carte postale", u"Tarjeta postal",
     u"\u30DD\u30B9\u30C8\u30AB\u30FC\u30C9\u30B5\u30A4\u30BA"},
    {u"3.5x5 inch", u"3,5x5 Zoll", u"3.5x5 pouces", u"9 x 13 cm", u"\uFF2C\u30B5\u30A4\u30BA"},
    {u"Small", u"Kleinformat", u"Petit", u"Peque\u00F1o", u"\u30B9\u30E2\u30FC\u30EB\u30B5\u30A4\u30BA"},
}};

constexpr Sheet kSheets[] = {
    {Kind::Postcard, true, false, 1612, 2418, 48, 72, 1564, 2346},
    {Kind::Postcard, true, true, 2418, 1612, 72, 48, 2346, 1564},
    {Kind::Postcard, false, false, 1663, 2465, 0, 0, 1664, 2466},
    {Kind::Postcard, false, true, 2465, 1663, 0, 0, 2466, 1664},
    {Kind::Photo3_5x5, true, false, 1412, 2015, 40, 40, 1372, 1976},
    {Kind::Photo3_5x5, true, true, 2015, 1412, 40, 40, 1976, 1372},
    {Kind::Photo3_5x5, false, false, 1464, 2063, 0, 0, 1464, 2064},
    {Kind::Photo3_5x5, false, true, 2063, 1464, 0, 0, 2064, 1464},
    {Kind::Small, true, false, 1427, 1612, 214, 48, 1351, 1564},
    {Kind::Small, true, true, 1612, 1427, 48, 76, 1564, 1213},
};

}  // namespace

const std::array<std::u16string_view, kLanguages> &FormNames(Kind kind) {
  return kFormNames[static_cast<size_t>(kind)];
}

std::optional<Kind> KindOfFormName(std::u16string_view name) {
  for (size_t kind = 0; kind < kFormNames.size(); ++kind) {
    for (std::u16string_view form : kFormNames[kind]) {
      if (form == name) return static_cast<Kind>(kind);
    }
  }
  return std::nullopt;
}

std::string_view KindName(Kind kind) {
  switch (kind) {
    case Kind::Photo3_5x5:
      return "3.5x5 inch";
    case Kind::Small:
      return "Small";
    case Kind::Postcard:
      break;
  }
  return "Post card";
}

const Sheet &SheetFor(Kind kind, bool border, bool landscape) {
  if (kind == Kind::Small) border = true;
  for (const Sheet &sheet : kSheets) {
    if (sheet.kind == kind && sheet.border == border && sheet.landscape == landscape) return sheet;
  }
  return kSheets[0];
}

}  // namespace kvt::paper
