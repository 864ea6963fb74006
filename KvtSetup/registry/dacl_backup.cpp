// Saving and restoring a registry key's DACL around an unlock. Opening a
// key's access to Everyone is only meant to let one deletion through; when
// the deletion fails anyway, the key must not stay open to everyone. The
// handle that reads the DACL is kept for the write back: it was granted
// WRITE_DAC before the unlock, so the restore cannot be refused later, and
// it is a key's own handle, never a predefined one.
#include "registry/dacl_backup.h"

#include <utility>

DWORD SaveKeyDacl(HKEY key, LPCSTR keyPath, SavedDacl *saved) {
  saved->dacl = NULL;
  saved->descriptor.reset();
  saved->key.reset();
  kvt::ScopedKey opened;
  DWORD code = static_cast<DWORD>(RegOpenKeyExA(key, keyPath, 0, READ_CONTROL | WRITE_DAC, opened.receive()));
  if (code != ERROR_SUCCESS) {
    return code;
  }
  code = GetSecurityInfo(reinterpret_cast<HANDLE>(opened.get()), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL,
                         &saved->dacl, NULL, saved->descriptor.receive());
  if (code != ERROR_SUCCESS) {
    saved->dacl = NULL;
    return code;
  }
  saved->key = std::move(opened);
  return ERROR_SUCCESS;
}

DWORD RestoreKeyDacl(const SavedDacl *saved) {
  const DWORD lastError = GetLastError();
  DWORD code = SetSecurityInfo(reinterpret_cast<HANDLE>(saved->key.get()), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION,
                               NULL, NULL, saved->dacl, NULL);
  if (code == ERROR_KEY_DELETED) {
    code = ERROR_SUCCESS;
  }
  SetLastError(lastError);
  return code;
}
