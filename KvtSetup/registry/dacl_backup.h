// Keeping a registry key's DACL across an unlock: read before the access is
// opened, written back when the key outlives a failed deletion. Internal.
#pragma once

#include <windows.h>
#include <aclapi.h>

// The DACL of `key`\`keyPath` as it is now. On ERROR_SUCCESS, `*descriptor`
// holds it (release with LocalFree) and `*dacl` points into it (null for a
// null DACL). Otherwise the open's or the read's code, with nothing kept.
DWORD SaveKeyDacl(HKEY key, LPCSTR keyPath, PSECURITY_DESCRIPTOR *descriptor, PACL *dacl);

// Sets `dacl` again on `key`\`keyPath` when that key still exists. Leaves
// the thread's last-error code as it found it.
void RestoreKeyDacl(HKEY key, LPCSTR keyPath, PACL dacl);
