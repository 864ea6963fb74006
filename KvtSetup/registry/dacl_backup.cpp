// Saving and restoring a registry key's DACL around an unlock. Opening a
// key's access to Everyone is only meant to let one deletion through; when
// the deletion fails anyway, the key must not stay open to everyone. The
// handle that reads the DACL is kept for the write back: it was granted
// WRITE_DAC before the unlock, so the restore cannot be refused later, and
// it is a key's own handle, never a predefined one.
#include "registry/dacl_backup.h"

DWORD SaveKeyDacl(HKEY key, LPCSTR keyPath, SavedDacl *saved) {
  saved->key = NULL;
  saved->descriptor = NULL;
  saved->dacl = NULL;
  HKEY opened = NULL;
  DWORD code = static_cast<DWORD>(RegOpenKeyExA(key, keyPath, 0, READ_CONTROL | WRITE_DAC, &opened));
  if (code != ERROR_SUCCESS) {
    return code;
  }
  code = GetSecurityInfo(reinterpret_cast<HANDLE>(opened), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL,
                         &saved->dacl, NULL, &saved->descriptor);
  if (code != ERROR_SUCCESS) {
    RegCloseKey(opened);
    saved->descriptor = NULL;
    saved->dacl = NULL;
    return code;
  }
  saved->key = opened;
  return ERROR_SUCCESS;
}

DWORD RestoreKeyDacl(const SavedDacl *saved) {
  const DWORD lastError = GetLastError();
  DWORD code = SetSecurityInfo(reinterpret_cast<HANDLE>(saved->key), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL,
                               NULL, saved->dacl, NULL);
  if (code == ERROR_KEY_DELETED) {
    code = ERROR_SUCCESS;
  }
  SetLastError(lastError);
  return code;
}

void ReleaseSavedDacl(SavedDacl *saved) {
  if (saved->key != NULL) {
    RegCloseKey(saved->key);
    saved->key = NULL;
  }
  if (saved->descriptor != NULL) {
    LocalFree(saved->descriptor);
    saved->descriptor = NULL;
  }
  saved->dacl = NULL;
}
