// The paper tables of the printer package, as constants.
#include "paper_catalog.h"

#include <array>
#include <string>

#include "paper_sheets.h"
#include "utf.h"

namespace kvt::print {

namespace {

constexpr std::array<FormSize, 3> kFormSizes{{
    {101600, 152400, 95549, 143324},
    {88995, 127063, 83952, 122021},
    {89940, 101600, 71662, 95549},
}};

// Letter case of the Latin letters does not matter in names the user types.
std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char &ch : lower) {
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  }
  return lower;
}

}  // namespace

std::optional<PaperKind> PaperKindFromName(std::string_view name) {
  const std::string wanted = LowerAscii(name);
  constexpr std::array<std::string_view, 3> kShortNames{"postcard", "3.5x5", "small"};
  for (size_t kind = 0; kind < kShortNames.size(); ++kind) {
    if (wanted == kShortNames[kind]) return static_cast<PaperKind>(kind);
    for (std::u16string_view form : paper::FormNames(static_cast<paper::Kind>(kind))) {
      if (wanted == LowerAscii(text::Utf16ToUtf8(form))) return static_cast<PaperKind>(kind);
    }
  }
  return std::nullopt;
}

std::optional<Language> LanguageFromName(std::string_view name) {
  if (name == "en") return Language::English;
  if (name == "de") return Language::German;
  if (name == "fr") return Language::French;
  if (name == "es") return Language::Spanish;
  if (name == "ja") return Language::Japanese;
  return std::nullopt;
}

LANGID LanguageId(Language language) {
  switch (language) {
    case Language::English:
      return MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT);
    case Language::German:
      return MAKELANGID(LANG_GERMAN, SUBLANG_DEFAULT);
    case Language::French:
      return MAKELANGID(LANG_FRENCH, SUBLANG_DEFAULT);
    case Language::Spanish:
      return MAKELANGID(LANG_SPANISH, SUBLANG_DEFAULT);
    case Language::Japanese:
      return MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
  }
  return MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT);
}

std::u16string FormName(PaperKind kind, Language language) {
  return std::u16string(paper::FormNames(static_cast<paper::Kind>(kind))[static_cast<size_t>(language)]);
}

FormSize SpoolerFormSize(PaperKind kind) { return kFormSizes[static_cast<size_t>(kind)]; }

}  // namespace kvt::print
