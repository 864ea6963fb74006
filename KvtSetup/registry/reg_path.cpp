// Splitting registry path texts. Root names are matched byte for byte,
// case-sensitively, in a fixed order; no abbreviations are recognised, so
// a mistyped root leaves a null root that every registry call rejects.
#include "registry/reg_path.h"

namespace {

struct RootName {
  LPCSTR name;
  DWORD length;
  HKEY root;
};

const RootName kRoots[] = {
    {"HKEY_CLASSES_ROOT", 17, HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_CONFIG", 19, HKEY_CURRENT_CONFIG},
    {"HKEY_CURRENT_USER", 17, HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", 18, HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", 10, HKEY_USERS},
};

// Whether `path` (of `pathLength` bytes) begins with `root`'s name.
BOOL StartsWithRoot(LPCSTR path, DWORD pathLength, const RootName &root) {
  if (pathLength < root.length) {
    return FALSE;
  }
  for (DWORD i = 0; i < root.length; ++i) {
    if (path[i] != root.name[i]) {
      return FALSE;
    }
  }
  return TRUE;
}

}  // namespace

BOOL SplitRegPath(LPCSTR path, HKEY *root, LPSTR keyPath, DWORD keyPathSize) {
  DWORD pathLength = 0;
  if (path != NULL) {
    while (path[pathLength] != '\0') {
      ++pathLength;
    }
  }
  *root = NULL;
  DWORD rootLength = 0;
  for (const RootName &candidate : kRoots) {
    if (StartsWithRoot(path, pathLength, candidate)) {
      *root = candidate.root;
      rootLength = candidate.length;
      break;
    }
  }
  // The byte after the root name is the separator, whatever it is.
  const DWORD skip = rootLength + 1;
  const DWORD keyLength = pathLength > skip ? pathLength - skip : 0;
  if (keyPathSize == 0) {
    return keyLength == 0 ? TRUE : FALSE;
  }
  const DWORD copied = keyLength < keyPathSize ? keyLength : keyPathSize - 1;
  for (DWORD i = 0; i < copied; ++i) {
    keyPath[i] = path[skip + i];
  }
  keyPath[copied] = '\0';
  return copied == keyLength ? TRUE : FALSE;
}
