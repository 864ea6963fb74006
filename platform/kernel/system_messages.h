// The system message table behind FormatMessageA, for the kernel module and
// the platform's own tests. Library code never includes this header.
#pragma once

#include <windows.h>

#include <vector>

namespace platform {

// The English text of system error `code`, ending in CR LF, or null when
// the table has none.
const char *SystemMessageText(DWORD code);

// Every code that has a text, in increasing order.
std::vector<DWORD> SystemMessageCodes();

}  // namespace platform
