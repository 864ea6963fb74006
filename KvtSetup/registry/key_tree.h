// Deletion of a registry key with its whole subtree. Internal: used by the
// key deletions of the library, not exported.
#pragma once

#include <windows.h>

// Whether `keyPath` names a key below the handle it is given with: it holds
// something other than backslashes. An empty path, or one of separators
// only, names the handle's own key (a whole root, for a root handle).
BOOL NamesSubkey(LPCSTR keyPath);

// Deletes `parent`\`keyPath` and everything below it, logging each step.
// Returns the code of the deletion of the key itself, or of the first leaf
// that could not be removed (the walk then ends there, without trying the
// key itself). A key path that does not name a subkey of a real key is
// refused with ERROR_INVALID_PARAMETER before any registry call.
DWORD DeleteRegKey(HKEY parent, LPCSTR keyPath);
