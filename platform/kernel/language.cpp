// The user's default language, settable by tests (English unless told).
#include <platform/testing.h>

#include "kernel_internal.h"

namespace platform {

namespace {
constexpr LANGID kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_DEFAULT);
LANGID userLangId = kEnglishUs;
}  // namespace

void SetUserDefaultLangID(LANGID langId) { userLangId = langId; }

void ResetLanguage() { userLangId = kEnglishUs; }

}  // namespace platform

extern "C" LANGID WINAPI GetUserDefaultLangID(void) { return platform::userLangId; }
