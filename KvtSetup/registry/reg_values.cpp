// The exported value operations: set, read and delete one value of the key
// that a path text names. They never create a key, never convert data and
// write nothing to the log; the result is the registry's own code.
#include <scoped_handle.h>

#include "KvtSetup.h"
#include "registry/reg_path.h"

namespace {

// The key path of `path` in a block of the process heap, or an empty block
// when no memory was left.
kvt::ScopedHeapBlock<CHAR> SplitIntoHeap(LPCSTR path, HKEY *root) {
  DWORD length = 0;
  if (path != NULL) {
    while (path[length] != '\0') {
      ++length;
    }
  }
  const HANDLE heap = GetProcessHeap();
  kvt::ScopedHeapBlock<CHAR> keyPath = kvt::HeapBlockOf(heap, static_cast<LPSTR>(HeapAlloc(heap, 0, length + 1)));
  if (keyPath) {
    SplitRegPath(path, root, keyPath.get(), length + 1);  // always fits: it is shorter than the path
  }
  return keyPath;
}

// Opens the key that `path` names with `access` into `*key`; the registry's
// code.
LONG OpenKeyAtPath(LPCSTR path, REGSAM access, kvt::ScopedKey *key) {
  HKEY root = NULL;
  const kvt::ScopedHeapBlock<CHAR> keyPath = SplitIntoHeap(path, &root);
  if (!keyPath) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  return RegOpenKeyExA(root, keyPath.get(), 0, access, key->receive());
}

}  // namespace

INT WINAPI KVT_RegSetValue(LPCSTR path, LPCSTR valueName, DWORD type, const BYTE *data, DWORD size) {
  kvt::ScopedKey key;
  LONG code = OpenKeyAtPath(path, KEY_SET_VALUE, &key);
  if (code == ERROR_SUCCESS) {
    code = RegSetValueExA(key.get(), valueName, 0, type, data, size);
  }
  return code;
}

INT WINAPI KVT_RegGetValue(LPCSTR path, LPCSTR valueName, DWORD *type, BYTE *data, DWORD *size) {
  kvt::ScopedKey key;
  LONG code = OpenKeyAtPath(path, KEY_READ, &key);
  if (code == ERROR_SUCCESS) {
    code = RegQueryValueExA(key.get(), valueName, NULL, type, data, size);
  }
  return code;
}

INT WINAPI KVT_RegDeleteValue(LPCSTR path, LPCSTR valueName) {
  kvt::ScopedKey key;
  LONG code = OpenKeyAtPath(path, KEY_SET_VALUE, &key);
  if (code == ERROR_SUCCESS) {
    code = RegDeleteValueA(key.get(), valueName);
  }
  return code;
}
