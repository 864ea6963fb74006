// Opening a registry key's access to Everyone, and deleting a locked key.
// The grant adds one explicit full-access entry for S-1-1-0 that subkeys
// inherit; a key that does not exist is created so that it can carry it.
// Neither ever acts on the key of the handle it is given: a path that
// names no subkey is refused before anything is read or granted.
#include "registry/key_access.h"

#include "KvtSetup.h"
#include "registry/acl_edit.h"
#include "registry/dacl_backup.h"
#include "registry/key_tree.h"
#include "run/log_result.h"

namespace {

DWORD HandleNumber(HKEY key) { return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(key)); }

}  // namespace

INT WINAPI KVT_RegAllowAccessToEveryone(HKEY key, LPCSTR keyPath) {
  if (!NamesSubkey(keyPath)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 1;
  }
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  kvt::ScopedSid everyone;
  if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, everyone.receive())) {
    return 1;
  }
  kvt::ScopedKey opened;
  DWORD disposition = 0;
  if (RegCreateKeyExA(key, keyPath, 0, NULL, 0, READ_CONTROL | WRITE_DAC, NULL, opened.receive(), &disposition) ==
      ERROR_SUCCESS) {
    GrantKeyAccess(everyone.get(), opened.get());
  }
  return 1;
}

DWORD DeleteUnlockedKey(HKEY key, LPCSTR keyPath) {
  // The tree deletion refuses such a path with its usual lines; nothing may
  // be unlocked before it does.
  if (!NamesSubkey(keyPath)) {
    return DeleteRegKey(key, keyPath);
  }
  SavedDacl saved;
  const DWORD state = SaveKeyDacl(key, keyPath, &saved);
  // A missing key has nothing to protect: the unlock creates it. A key
  // whose DACL cannot be kept is not unlocked, as it could not be locked
  // again.
  if (state == ERROR_SUCCESS || state == ERROR_FILE_NOT_FOUND) {
    KVT_RegAllowAccessToEveryone(key, keyPath);
  }
  const DWORD code = DeleteRegKey(key, keyPath);
  if (code != ERROR_SUCCESS && state == ERROR_SUCCESS) {
    const DWORD restore = RestoreKeyDacl(&saved);
    if (restore != ERROR_SUCCESS) {
      // The key stays open to everyone: a failure of its own.
      const DWORD lastError = GetLastError();
      SetLastError(restore);
      LogResult(FALSE, "SetSecurityInfo(%lx, %s)", HandleNumber(key), keyPath);
      SetLastError(lastError);
    }
  }
  return code;
}

INT WINAPI KVT_RegDeleteLockedKey(HKEY key, LPCSTR keyPath) { return DeleteUnlockedKey(key, keyPath) == 0 ? 1 : 0; }
