// Keeping a registry key's DACL across an unlock: read before the access is
// opened, written back when the key outlives a failed deletion. Internal.
#pragma once

#include <windows.h>
#include <aclapi.h>

#include <scoped_handle.h>

// A key's DACL as it was, with an open handle to that key that may write
// its DACL again whatever the unlock and the deletion did in between. Both
// are released when the record ends.
struct SavedDacl {
  kvt::ScopedKey key;                        // opened with READ_CONTROL | WRITE_DAC
  kvt::ScopedSecurityDescriptor descriptor;  // from GetSecurityInfo, holds `dacl`
  PACL dacl = NULL;                          // null for a null DACL
};

// Opens `key`\`keyPath` and reads its DACL into `*saved`. ERROR_SUCCESS
// when it was kept; otherwise the open's or the read's code, with nothing
// kept.
DWORD SaveKeyDacl(HKEY key, LPCSTR keyPath, SavedDacl *saved);

// Sets the saved DACL on the key again. ERROR_SUCCESS also when the key has
// been deleted meanwhile (there is nothing left to protect); otherwise the
// code of the failed write. Leaves the thread's last-error code as it was.
DWORD RestoreKeyDacl(const SavedDacl *saved);
