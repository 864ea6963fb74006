// Pointing the system's setup source path at the package's folder while it
// installs, and putting the earlier path back afterwards. The earlier path
// lives in a value of its own beside it for as long as the package's path
// is in place, and is never lost: nothing is replaced that was not saved,
// and the saved copy goes only once it is back in place.
#include "KvtSetup.h"

namespace {

const CHAR kSetupKey[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";
const CHAR kSourcePath[] = "SourcePath";
const CHAR kSavedSourcePath[] = "SourcePath.0ACC15D3";
const DWORD kValueSize = 1024;

DWORD ReadValue(LPCSTR name, BYTE *data, DWORD *size) {
  DWORD type = 0;
  *size = kValueSize;
  return static_cast<DWORD>(KVT_RegGetValue(kSetupKey, name, &type, data, size));
}

DWORD WriteText(LPCSTR name, const BYTE *data, DWORD size) {
  return static_cast<DWORD>(KVT_RegSetValue(kSetupKey, name, REG_SZ, data, size));
}

// The text in the first `size` bytes of `data` (which hold kValueSize + 1)
// equals `text`.
BOOL SameText(BYTE *data, DWORD size, LPCSTR text) {
  data[size < kValueSize ? size : kValueSize] = 0;
  LPCSTR read = reinterpret_cast<LPCSTR>(data);
  while (*read != '\0' && *read == *text) {
    ++read, ++text;
  }
  return *read == *text;
}

}  // namespace

INT WINAPI KVT_SetWin98SetupReg(LPCSTR folder) {
  if (folder == NULL) {
    return 0;
  }
  BYTE data[kValueSize + 1] = {};
  DWORD size = 0;
  // A saved copy already holds the path from before the first call; one
  // that cannot be read may be there all the same, and is not overwritten.
  if (ReadValue(kSavedSourcePath, data, &size) != ERROR_FILE_NOT_FOUND) {
    return 0;
  }
  const DWORD read = ReadValue(kSourcePath, data, &size);
  if (read == ERROR_FILE_NOT_FOUND) {
    // No source path yet: the empty text is what there is to put back.
    data[0] = 0;
    size = 1;
  } else if (read != ERROR_SUCCESS) {
    return 0;  // a path that cannot be read cannot be saved, so it stays
  }
  if (WriteText(kSavedSourcePath, data, size) != ERROR_SUCCESS) {
    return 0;
  }
  DWORD length = 0;
  while (folder[length] != '\0') {
    ++length;
  }
  WriteText(kSourcePath, reinterpret_cast<const BYTE *>(folder), length + 1);
  return 1;
}

INT WINAPI KVT_ClearWin98SetupReg(LPCSTR folder) {
  if (folder == NULL) {
    return 0;
  }
  BYTE data[kValueSize + 1] = {};
  DWORD size = 0;
  // Somebody else has changed the source path since: leave both as they are.
  if (ReadValue(kSourcePath, data, &size) == ERROR_SUCCESS && !SameText(data, size, folder)) {
    return 0;
  }
  if (ReadValue(kSavedSourcePath, data, &size) != ERROR_SUCCESS) {
    return 0;
  }
  if (WriteText(kSourcePath, data, size) != ERROR_SUCCESS) {
    return 0;
  }
  KVT_RegDeleteValue(kSetupKey, kSavedSourcePath);
  return 1;
}
