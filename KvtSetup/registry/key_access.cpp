// Opening a registry key's access to Everyone, and deleting a locked key.
// The grant adds one explicit full-access entry for S-1-1-0 that subkeys
// inherit; a key that does not exist is created so that it can carry it.
#include "registry/key_access.h"

#include "KvtSetup.h"
#include "registry/acl_edit.h"
#include "registry/dacl_backup.h"
#include "registry/key_tree.h"

INT WINAPI KVT_RegAllowAccessToEveryone(HKEY key, LPCSTR keyPath) {
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = NULL;
  if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
    return 1;
  }
  HKEY opened = NULL;
  DWORD disposition = 0;
  if (RegCreateKeyExA(key, keyPath, 0, NULL, 0, READ_CONTROL | WRITE_DAC, NULL, &opened, &disposition) ==
      ERROR_SUCCESS) {
    GrantKeyAccess(everyone, opened);
    RegCloseKey(opened);
  }
  FreeSid(everyone);
  return 1;
}

DWORD DeleteUnlockedKey(HKEY key, LPCSTR keyPath) {
  PSECURITY_DESCRIPTOR saved = NULL;
  PACL dacl = NULL;
  const DWORD state = SaveKeyDacl(key, keyPath, &saved, &dacl);
  // A missing key has nothing to protect: the unlock creates it.
  if (state == ERROR_SUCCESS || state == ERROR_FILE_NOT_FOUND) {
    KVT_RegAllowAccessToEveryone(key, keyPath);
  }
  const DWORD code = DeleteRegKey(key, keyPath);
  if (code != ERROR_SUCCESS && saved != NULL) {
    RestoreKeyDacl(key, keyPath, dacl);
  }
  if (saved != NULL) {
    LocalFree(saved);
  }
  return code;
}

INT WINAPI KVT_RegDeleteLockedKey(HKEY key, LPCSTR keyPath) { return DeleteUnlockedKey(key, keyPath) == 0 ? 1 : 0; }
