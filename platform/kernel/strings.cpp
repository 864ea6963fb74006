// lstrlen and lstrcmp, wide and ANSI. Windows compares with its linguistic sort; here the
// comparison is ordinal by UTF-16 code unit (after simple case folding for
// lstrcmpiW). Equality, which is all the package relies on, is the same.
// Null pointers are accepted as on Windows: an empty length, and null sorts
// before any text.
#include "text.h"

namespace {

template <typename Fold>
int CompareWide(LPCWSTR a, LPCWSTR b, Fold fold) {
  if (a == nullptr || b == nullptr) return (a == nullptr ? 0 : 1) - (b == nullptr ? 0 : 1);
  for (;; ++a, ++b) {
    const char16_t ca = fold(static_cast<char16_t>(*a));
    const char16_t cb = fold(static_cast<char16_t>(*b));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

// ANSI texts through their code page 1252 characters, so that letter case
// folds as it does for the wide comparison.
template <typename Fold>
int CompareAnsi(LPCSTR a, LPCSTR b, Fold fold) {
  if (a == nullptr || b == nullptr) return (a == nullptr ? 0 : 1) - (b == nullptr ? 0 : 1);
  for (;; ++a, ++b) {
    const char16_t ca = fold(platform::AnsiToWideChar(*a));
    const char16_t cb = fold(platform::AnsiToWideChar(*b));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
}

}  // namespace

extern "C" int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) {
  return CompareAnsi(lpString1, lpString2, [](char16_t ch) { return ch; });
}

extern "C" int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) {
  return CompareAnsi(lpString1, lpString2, platform::FoldCase);
}

extern "C" int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2) {
  return CompareWide(lpString1, lpString2, [](char16_t ch) { return ch; });
}

extern "C" int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) {
  return CompareWide(lpString1, lpString2, platform::FoldCase);
}

extern "C" int WINAPI lstrlenW(LPCWSTR lpString) {
  if (lpString == nullptr) return 0;
  int length = 0;
  while (lpString[length] != 0) ++length;
  return length;
}

extern "C" int WINAPI lstrlenA(LPCSTR lpString) {
  if (lpString == nullptr) return 0;
  int length = 0;
  while (lpString[length] != '\0') ++length;
  return length;
}
