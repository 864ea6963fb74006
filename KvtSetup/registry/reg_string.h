// Reading a text value of a subkey, with a default for whatever goes wrong.
// Internal: used by the setup registry clean-up.
#pragma once

#include <windows.h>

// The size of the block the value is read into, and of the callers'
// buffers.
#define REG_STRING_SIZE 4096

// Reads value `valueName` of `parent`\`subkeyName` (opened, or made, with
// full access) as a text into `out` (`outSize` bytes): the value up to its
// first zero and never beyond the bytes read, or `defaultText` when it
// cannot be read; the empty text when the text does not fit. Returns the
// code of the read, or of the open when that failed.
DWORD GetRegString(HKEY parent, LPCSTR subkeyName, LPCSTR valueName, LPSTR out, DWORD outSize, LPCSTR defaultText);
