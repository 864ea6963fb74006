// Registry path texts: a root name, one separator byte, then the key path.
// Internal: not exported.
#pragma once

#include <windows.h>

// Splits `path` (null counts as empty) into its predefined root, null when
// the text starts with none of the five root names, and the key path after
// the root name and the one byte that follows it. The key path is copied
// into `keyPath`, which holds `keyPathSize` bytes and is always terminated.
// Returns FALSE when the key path did not fit and was cut; a cut path must
// not be used, as it names another key.
BOOL SplitRegPath(LPCSTR path, HKEY *root, LPSTR keyPath, DWORD keyPathSize);
