// Deleting a key whose access has first been opened to Everyone. Internal:
// shared by the two exported deletions that unlock.
#pragma once

#include <windows.h>

// Opens `key`\`keyPath` to Everyone (KVT_RegAllowAccessToEveryone) and
// deletes its tree with DeleteRegKey, returning DeleteRegKey's code. When
// the deletion fails and the key remains, its former DACL is put back, and
// an error line is logged if it cannot be. A key that exists but whose DACL
// cannot be kept is not unlocked, as it could not be locked again; the
// deletion is still tried. A path that names no subkey is refused by the
// tree deletion before anything is unlocked.
DWORD DeleteUnlockedKey(HKEY key, LPCSTR keyPath);
