// Saving and restoring a registry key's DACL around an unlock. Opening a
// key's access to Everyone is only meant to let one deletion through; when
// the deletion fails anyway, the key must not stay open to everyone.
#include "registry/dacl_backup.h"

DWORD SaveKeyDacl(HKEY key, LPCSTR keyPath, PSECURITY_DESCRIPTOR *descriptor, PACL *dacl) {
  *descriptor = NULL;
  *dacl = NULL;
  HKEY opened = NULL;
  DWORD code = static_cast<DWORD>(RegOpenKeyExA(key, keyPath, 0, READ_CONTROL, &opened));
  if (code != ERROR_SUCCESS) {
    return code;
  }
  code = GetSecurityInfo(reinterpret_cast<HANDLE>(opened), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, dacl,
                         NULL, descriptor);
  RegCloseKey(opened);
  if (code != ERROR_SUCCESS) {
    *descriptor = NULL;
    *dacl = NULL;
  }
  return code;
}

void RestoreKeyDacl(HKEY key, LPCSTR keyPath, PACL dacl) {
  const DWORD lastError = GetLastError();
  HKEY opened = NULL;
  if (RegOpenKeyExA(key, keyPath, 0, WRITE_DAC, &opened) == ERROR_SUCCESS) {
    SetSecurityInfo(reinterpret_cast<HANDLE>(opened), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, dacl,
                    NULL);
    RegCloseKey(opened);
  }
  SetLastError(lastError);
}
