// Deletion of a registry key with its whole subtree. Internal: used by the
// key deletions of the library, not exported.
#pragma once

#include <windows.h>

// Deletes `parent`\`keyPath` and everything below it, logging each step.
// Returns the code of the deletion of the key itself, or of the first leaf
// that could not be deleted (the walk then ends there). An empty key path
// under a real key is refused with ERROR_INVALID_PARAMETER: it would name
// `parent` itself, a whole root key included.
DWORD DeleteRegKey(HKEY parent, LPCSTR keyPath);
