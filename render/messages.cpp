// The localized message table: 105 entries in each of five languages. The
// library itself reads only the three paper names (entries 9 to 11); the
// other entries are left empty here.
#include "messages.h"

namespace {

enum MessageLanguage {
  LANG_INDEX_ENGLISH,
  LANG_INDEX_GERMAN,
  LANG_INDEX_FRENCH,
  LANG_INDEX_SPANISH,
  LANG_INDEX_JAPANESE,
  LANG_INDEX_COUNT
};

// Entries left null read as "".
const LPCWSTR g_aMessages[LANG_INDEX_COUNT][MESSAGE_COUNT] = {
    {NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, L"Post card", L"Small", L"3.5x5 inch"},
    {NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, L"Postkartenformat", L"Kleinformat", L"3,5x5 Zoll"},
    {NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, L"Carte postale", L"Petit", L"3.5x5 pouces"},
    {NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, L"Tarjeta postal", L"Peque\u00F1o", L"9 x 13 cm"},
    {NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
     L"\u30DD\u30B9\u30C8\u30AB\u30FC\u30C9\u30B5\u30A4\u30BA",  // post card size
     L"\u30B9\u30E2\u30FC\u30EB\u30B5\u30A4\u30BA",              // small size
     L"\uFF2C\u30B5\u30A4\u30BA"},                               // L size
};

// The table is chosen by the low six bits of the language identifier, not
// by the ten-bit primary language.
INT UserLanguageIndex() {
  switch (GetUserDefaultLangID() & 0x3F) {
    case LANG_GERMAN:
      return LANG_INDEX_GERMAN;
    case LANG_SPANISH:
      return LANG_INDEX_SPANISH;
    case LANG_FRENCH:
      return LANG_INDEX_FRENCH;
    case LANG_JAPANESE:
      return LANG_INDEX_JAPANESE;
    default:
      return LANG_INDEX_ENGLISH;
  }
}

}  // namespace

LPCWSTR LocalizedString(INT index) {
  if (index < 0 || index >= MESSAGE_COUNT) {
    return L"";
  }
  LPCWSTR pwsz = g_aMessages[UserLanguageIndex()][index];
  return pwsz != NULL ? pwsz : L"";
}
