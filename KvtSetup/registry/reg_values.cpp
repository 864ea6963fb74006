// The exported value operations: set, read and delete one value of the key
// that a path text names. They never create a key, never convert data and
// write nothing to the log; the result is the registry's own code.
#include "KvtSetup.h"
#include "registry/reg_path.h"

namespace {

// The key path of `path` on the process heap (released with FreeKeyPath),
// or null when no memory was left.
LPSTR SplitIntoHeap(LPCSTR path, HKEY *root) {
  DWORD length = 0;
  if (path != NULL) {
    while (path[length] != '\0') {
      ++length;
    }
  }
  LPSTR keyPath = static_cast<LPSTR>(HeapAlloc(GetProcessHeap(), 0, length + 1));
  if (keyPath != NULL) {
    SplitRegPath(path, root, keyPath, length + 1);  // always fits: it is shorter than the path
  }
  return keyPath;
}

void FreeKeyPath(LPSTR keyPath) { HeapFree(GetProcessHeap(), 0, keyPath); }

// Opens the key that `path` names with `access`; the registry's code.
LONG OpenKeyAtPath(LPCSTR path, REGSAM access, HKEY *key) {
  HKEY root = NULL;
  LPSTR keyPath = SplitIntoHeap(path, &root);
  if (keyPath == NULL) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  const LONG code = RegOpenKeyExA(root, keyPath, 0, access, key);
  FreeKeyPath(keyPath);
  return code;
}

}  // namespace

INT WINAPI KVT_RegSetValue(LPCSTR path, LPCSTR valueName, DWORD type, const BYTE *data, DWORD size) {
  HKEY key = NULL;
  LONG code = OpenKeyAtPath(path, KEY_SET_VALUE, &key);
  if (code == ERROR_SUCCESS) {
    code = RegSetValueExA(key, valueName, 0, type, data, size);
    RegCloseKey(key);
  }
  return code;
}

INT WINAPI KVT_RegGetValue(LPCSTR path, LPCSTR valueName, DWORD *type, BYTE *data, DWORD *size) {
  HKEY key = NULL;
  LONG code = OpenKeyAtPath(path, KEY_READ, &key);
  if (code == ERROR_SUCCESS) {
    code = RegQueryValueExA(key, valueName, NULL, type, data, size);
    RegCloseKey(key);
  }
  return code;
}

INT WINAPI KVT_RegDeleteValue(LPCSTR path, LPCSTR valueName) {
  HKEY key = NULL;
  LONG code = OpenKeyAtPath(path, KEY_SET_VALUE, &key);
  if (code == ERROR_SUCCESS) {
    code = RegDeleteValueA(key, valueName);
    RegCloseKey(key);
  }
  return code;
}
