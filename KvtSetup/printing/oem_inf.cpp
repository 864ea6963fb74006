// The package's INF file and Windows' copies of it: handing the INF to
// SetupAPI, which stores it in the INF directory under a name of its own
// (oemN.inf), and finding those copies again by a value inside them to
// delete each with its precompiled companion (.pnf). Every path is built
// in a fixed buffer; a path that does not fit is never cut and used, since
// a cut path would name another file.
#include <windows.h>
#include <setupapi.h>

#include <scoped_handle.h>

#include "KvtSetup.h"
#include "run/bounded_text.h"
#include "run/log_result.h"
#include "run/run_state.h"

namespace {

const DWORD kInfPathSize = 4096;     // paths inside the INF directory
const DWORD kSourcePathSize = 8192;  // the INF handed to SetupAPI
const DWORD kInfValueSize = 1024;

// "<Windows directory>\Inf" into `infDirectory`; FALSE when it does not fit.
BOOL BuildInfDirectory(LPSTR infDirectory) {
  const UINT length = GetWindowsDirectoryA(infDirectory, kInfPathSize);
  if (length == 0 || length >= kInfPathSize) {
    infDirectory[0] = '\0';
    return FALSE;
  }
  if (AppendText(infDirectory, kInfPathSize, "\\Inf")) {
    return TRUE;
  }
  infDirectory[0] = '\0';
  return FALSE;
}

// `directory` + "\" + `name` into `path` (kInfPathSize bytes).
BOOL BuildInfFilePath(LPSTR path, LPCSTR directory, LPCSTR name) {
  return CopyText(path, kInfPathSize, directory) && AppendText(path, kInfPathSize, "\\") &&
         AppendText(path, kInfPathSize, name);
}

// Clears the attributes (a read-only file could not be deleted), deletes
// the file and logs the outcome.
void DeleteLoggedFile(LPCSTR path) {
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  LogResult(DeleteFileA(path), "DeleteFile(%s)", path);
}

// Deletes the OEM INF file `fileName` of the INF directory and then its
// companion, whatever became of the INF file itself.
void DeleteOemInfAndCompanion(LPCSTR fileName) {
  CHAR infDirectory[kInfPathSize];
  CHAR path[kInfPathSize];
  if (!BuildInfDirectory(infDirectory) || !BuildInfFilePath(path, infDirectory, fileName)) {
    return;
  }
  DeleteLoggedFile(path);

  DWORD dot = BoundedLength(path, kInfPathSize);
  while (dot > 0 && path[dot - 1] != '.') {
    --dot;
  }
  // No extension: no companion to name.
  if (dot == 0) {
    return;
  }
  path[dot - 1] = '\0';
  if (AppendText(path, kInfPathSize, ".pnf")) {
    DeleteLoggedFile(path);
  }
}

// Whether the OEM INF at `path` holds `value` (not empty, letter case
// counting) under `key` in `section`.
BOOL HoldsValue(LPCSTR path, LPCSTR section, LPCSTR key, LPCSTR value) {
  CHAR found[kInfValueSize];
  const DWORD length = GetPrivateProfileStringA(section, key, "", found, kInfValueSize, path);
  return length != 0 && lstrcmpA(found, value) == 0;
}

}  // namespace

INT WINAPI KVT_SetupCopyOemInf(LPCSTR infName, LPCSTR sourceDirectory) {
  if (infName == NULL) {
    return 0;
  }
  LPCSTR directory = sourceDirectory != NULL ? sourceDirectory : g_runState.setupDirectory;
  CHAR sourcePath[kSourcePathSize];
  const BOOL fits = CopyText(sourcePath, kSourcePathSize, directory) && AppendText(sourcePath, kSourcePathSize, "\\") &&
                    AppendText(sourcePath, kSourcePathSize, infName);
  KVT_LogFileWrite("KVT_SetupCopyOemInf(%s,%s)", infName, directory);
  if (!fits) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    LogResult(FALSE, "SetupCopyOEMInf(%s,%s)", sourcePath, directory);
    return 0;
  }
  const BOOL copied = SetupCopyOEMInfA(sourcePath, directory, SPOST_PATH, 0, NULL, 0, NULL, NULL);
  LogResult(copied, "SetupCopyOEMInf(%s,%s)", sourcePath, directory);
  return copied;
}

INT WINAPI KVT_DeleteOemxInf(LPCSTR section, LPCSTR key, LPCSTR value) {
  if (section == NULL || key == NULL || value == NULL) {
    return 0;
  }
  KVT_LogFileWrite("KVT_DeleteOemxInf([%s]/%s=%s)", section, key, value);

  CHAR infDirectory[kInfPathSize];
  CHAR pattern[kInfPathSize];
  WIN32_FIND_DATAA entry;
  kvt::ScopedFind search;
  if (!BuildInfDirectory(infDirectory) || !BuildInfFilePath(pattern, infDirectory, "oem*.inf")) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
  } else {
    search.reset(FindFirstFileA(pattern, &entry));
  }
  if (!search) {
    LogResult(FALSE, "FindFirstFile(%s) find:%s", infDirectory, "");
    return 0;
  }

  // Files are deleted while the search goes on; it yields the rest.
  do {
    KVT_LogFileWrite("  %s\\%s", infDirectory, entry.cFileName);
    CHAR path[kInfPathSize];
    if (BuildInfFilePath(path, infDirectory, entry.cFileName) && HoldsValue(path, section, key, value)) {
      DeleteOemInfAndCompanion(entry.cFileName);
    }
  } while (FindNextFileA(search.get(), &entry));
  return 0;
}
