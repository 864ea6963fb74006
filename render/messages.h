// The driver's localized message table. Only the paper names are read by the
// library; the language follows the user's default language.
#pragma once

#include <kvtddi.h>

#define MESSAGE_COUNT 105
#define MSG_FORM_POSTCARD 9
#define MSG_FORM_SMALL 10
#define MSG_FORM_3_5X5 11

// Entry `index` in the user's language; "" for an index out of range.
LPCWSTR LocalizedString(INT index);
