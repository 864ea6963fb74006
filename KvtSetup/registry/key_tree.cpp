// The key-tree deletion. It does not recurse: each pass walks down from the
// given key along the first subkey of every level to a leaf, deletes that
// leaf and starts again from the top, so the depth of a tree costs no stack
// and no key stays open between passes. When the given key has no subkeys
// left, it is deleted itself.
#include "registry/key_tree.h"

#include "KvtSetup.h"
#include "run/log_result.h"

namespace {

// Subkey names are at most 255 characters; the buffer leaves ample room.
const DWORD kNameSize = 4096;

DWORD HandleNumber(HKEY key) { return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(key)); }

// Opens `parent`\`name` with full access and reads its first subkey's name
// into `found`. TRUE leaves the key open in `*opened`; FALSE (no subkey, or
// the key could not be opened or listed) leaves nothing open.
BOOL PeekFirstSubkey(HKEY parent, LPCSTR name, HKEY *opened, LPSTR found) {
  *opened = NULL;
  HKEY key = NULL;
  if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
    return FALSE;
  }
  DWORD length = kNameSize;
  FILETIME written;
  if (RegEnumKeyExA(key, 0, found, &length, NULL, NULL, NULL, &written) != ERROR_SUCCESS) {
    RegCloseKey(key);
    return FALSE;
  }
  *opened = key;
  return TRUE;
}

void CopyName(LPSTR dest, LPCSTR source) {
  DWORD i = 0;
  for (; i < kNameSize - 1 && source[i] != '\0'; ++i) {
    dest[i] = source[i];
  }
  dest[i] = '\0';
}

// Deletes `name` under `key` and logs it. A key that is already gone counts
// as deleted.
DWORD DeleteOneKey(HKEY key, LPCSTR name) {
  const DWORD code = static_cast<DWORD>(RegDeleteKeyA(key, name));
  if (code != ERROR_SUCCESS) {
    SetLastError(code);  // registry calls return their code without setting it
  }
  LogResult(code == ERROR_SUCCESS || code == ERROR_FILE_NOT_FOUND, "RegDeleteKey(%lx, %s) ret=%d", HandleNumber(key),
            name, static_cast<INT>(code));
  return code;
}

}  // namespace

DWORD DeleteRegKey(HKEY parent, LPCSTR keyPath) {
  if (keyPath == NULL) {
    keyPath = "";
  }
  KVT_LogFileWrite("DeleteRegKey(%lx, %s)", HandleNumber(parent), keyPath);
  if (parent != NULL && keyPath[0] == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    LogResult(FALSE, "RegDeleteKey(%lx, %s) ret=%d", HandleNumber(parent), keyPath,
              static_cast<INT>(ERROR_INVALID_PARAMETER));
    return ERROR_INVALID_PARAMETER;
  }
  CHAR found[kNameSize];
  CHAR current[kNameSize];
  HKEY level = NULL;
  while (PeekFirstSubkey(parent, keyPath, &level, found)) {
    CopyName(current, found);
    HKEY child = NULL;
    while (PeekFirstSubkey(level, current, &child, found)) {
      RegCloseKey(level);
      level = child;
      CopyName(current, found);
    }
    const DWORD code = DeleteOneKey(level, current);
    RegCloseKey(level);
    level = NULL;
    // The next pass would reach the same leaf again: end the walk with the
    // leaf's code rather than repeat it, and do not try the given key, whose
    // deletion must fail while this leaf remains.
    if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND) {
      return code;
    }
  }
  return DeleteOneKey(parent, keyPath);
}
