// What the printer package tells applications and the spooler about its
// papers: the three paper kinds, their form names in each user language, and
// the spooler form that each kind is defined as.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace kvt::print {

enum class PaperKind { Postcard = 0, Photo3_5x5 = 1, Small = 2 };
enum class Language { English, German, French, Spanish, Japanese };

// "postcard", "3.5x5", "small", or any language's form name ("Post card",
// "Kleinformat", ...), letter case aside; "en", "de", "fr", "es", "ja".
std::optional<PaperKind> PaperKindFromName(std::string_view name);
std::optional<Language> LanguageFromName(std::string_view name);

LANGID LanguageId(Language language);

// The localized form name, as the spooler's form and an application's
// dmFormName carry it.
std::u16string FormName(PaperKind kind, Language language);

// The spooler form of a paper kind in thousandths of a millimetre: the
// paper with border and its imageable area from the top-left corner.
struct FormSize {
  LONG paperWidth;
  LONG paperHeight;
  LONG imageWidth;
  LONG imageHeight;
};
FormSize SpoolerFormSize(PaperKind kind);

}  // namespace kvt::print
