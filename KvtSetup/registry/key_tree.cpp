// The key-tree deletion. It does not recurse: each pass walks down from the
// given key along the first subkey of every level to a leaf, deletes that
// leaf and starts again from the top, so the depth of a tree costs no stack
// and no key stays open between passes. When the given key has no subkeys
// left, it is deleted itself.
//
// Every pass must remove its leaf, or the next pass would meet the same leaf
// again: a leaf that stays is the end of the walk, whatever the registry
// said. That includes a name the ANSI code page cannot spell, which lists as
// '?'s that no call can open or delete (code 2, although the key is there).
#include "registry/key_tree.h"

#include <scoped_handle.h>

#include <utility>

#include "KvtSetup.h"
#include "run/bounded_text.h"
#include "run/log_result.h"

namespace {

// Subkey names are at most 255 characters; the buffer leaves ample room.
const DWORD kNameSize = 4096;

DWORD HandleNumber(HKEY key) { return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(key)); }

// Opens `parent`\`name` with full access into `*opened` and reads its first
// subkey's name into `found`. FALSE (no subkey, or the key could not be
// opened or listed) leaves `*opened` empty.
BOOL PeekFirstSubkey(HKEY parent, LPCSTR name, kvt::ScopedKey *opened, LPSTR found) {
  kvt::ScopedKey key;
  if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, key.receive()) != ERROR_SUCCESS) {
    return FALSE;
  }
  DWORD length = kNameSize;
  FILETIME written;
  if (RegEnumKeyExA(key.get(), 0, found, &length, NULL, NULL, NULL, &written) != ERROR_SUCCESS) {
    return FALSE;
  }
  *opened = std::move(key);
  return TRUE;
}

// Whether `key`'s first subkey is still the one named `name`; `scratch`
// holds kNameSize bytes.
BOOL StillFirstSubkey(HKEY key, LPCSTR name, LPSTR scratch) {
  DWORD length = kNameSize;
  FILETIME written;
  return RegEnumKeyExA(key, 0, scratch, &length, NULL, NULL, NULL, &written) == ERROR_SUCCESS &&
         SameAnsiText(scratch, name);
}

void LogDeletion(HKEY key, LPCSTR name, DWORD code, BOOL removed) {
  if (code != ERROR_SUCCESS) {
    SetLastError(code);  // registry calls return their code without setting it
  }
  LogResult(removed, "RegDeleteKey(%lx, %s) ret=%d", HandleNumber(key), name, static_cast<INT>(code));
}

// Deletes `name` under `key` and logs it. A key that is already gone counts
// as deleted.
DWORD DeleteOneKey(HKEY key, LPCSTR name) {
  const DWORD code = static_cast<DWORD>(RegDeleteKeyA(key, name));
  LogDeletion(key, name, code, code == ERROR_SUCCESS || code == ERROR_FILE_NOT_FOUND);
  return code;
}

// Deletes the leaf `name`, the first subkey of `key`, and logs it. TRUE when
// it is gone: deleted, or not found and no longer listed. `scratch` holds
// kNameSize bytes.
BOOL DeleteLeaf(HKEY key, LPCSTR name, LPSTR scratch, DWORD *code) {
  *code = static_cast<DWORD>(RegDeleteKeyA(key, name));
  BOOL removed = *code == ERROR_SUCCESS;
  if (*code == ERROR_FILE_NOT_FOUND) {
    removed = !StillFirstSubkey(key, name, scratch);
  }
  LogDeletion(key, name, *code, removed);
  return removed;
}

}  // namespace

BOOL NamesSubkey(LPCSTR keyPath) {
  if (keyPath == NULL) {
    return FALSE;
  }
  for (; *keyPath != '\0'; ++keyPath) {
    if (*keyPath != '\\') {
      return TRUE;
    }
  }
  return FALSE;
}

DWORD DeleteRegKey(HKEY parent, LPCSTR keyPath) {
  if (keyPath == NULL) {
    keyPath = "";
  }
  KVT_LogFileWrite("DeleteRegKey(%lx, %s)", HandleNumber(parent), keyPath);
  // A null parent is left to the registry, which refuses it with its own
  // code; under a real key such a path would empty that key.
  if (parent != NULL && !NamesSubkey(keyPath)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    LogResult(FALSE, "RegDeleteKey(%lx, %s) ret=%d", HandleNumber(parent), keyPath,
              static_cast<INT>(ERROR_INVALID_PARAMETER));
    return ERROR_INVALID_PARAMETER;
  }
  CHAR found[kNameSize];
  CHAR current[kNameSize];
  kvt::ScopedKey level;
  while (PeekFirstSubkey(parent, keyPath, &level, found)) {
    CopyText(current, kNameSize, found);
    kvt::ScopedKey child;
    while (PeekFirstSubkey(level.get(), current, &child, found)) {
      level = std::move(child);
      CopyText(current, kNameSize, found);
    }
    DWORD code = ERROR_SUCCESS;
    const BOOL removed = DeleteLeaf(level.get(), current, found, &code);
    level.reset();
    // The next pass would reach the same leaf: end the walk with its code,
    // and do not try the given key, which cannot go while the leaf stays.
    if (!removed) {
      return code;
    }
  }
  return DeleteOneKey(parent, keyPath);
}
