// The file lists: files to delete ("DelFile"), and files to copy
// ("CopyFile") or move ("MoveFile"). A file's attributes are reset before it
// is deleted, so that a read-only file goes too.
#include "KvtSetup.h"
#include "run/list_items.h"
#include "run/log_result.h"

namespace {

// Resets the attributes (unchecked), deletes the file and logs it. Returns
// LogResult's code.
INT DeleteLoggedFile(LPCSTR path) {
  SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  return LogResult(DeleteFileA(path), "DeleteFile(%s)", path);
}

}  // namespace

INT WINAPI KVT_DeleteFileList(void) {
  KVT_LogFileWrite("KVT_DeleteFileList()");
  const INT count = ReadListCount("DelFile");
  ListFrame frame;
  ReadWindowsDirectory(&frame);
  INT result = 1;
  for (INT n = 1; n <= count; ++n) {
    CHAR key[LIST_KEY_SIZE];
    CHAR value[LIST_VALUE_SIZE];
    CHAR path[LIST_PATH_SIZE];
    FormatItemKey(key, "DelFile", n);
    ReadItemValue("DelFile", key, value);
    if (!BuildItemPath(&frame, LIST_WINDOWS_FOLDERS, key, value, path)) {
      continue;
    }
    // Only a refused deletion fails the list: a file already gone is fine.
    if (DeleteLoggedFile(path) == ERROR_ACCESS_DENIED) {
      result = 0;
    }
  }
  return result;
}

INT WINAPI KVT_CopyFileList(INT move) {
  KVT_LogFileWrite("KVT_CopyFileList()");
  LPCSTR section = move != 0 ? "MoveFile" : "CopyFile";
  const INT count = ReadListCount(section);
  ListFrame frame;
  ReadWindowsDirectory(&frame);
  for (INT n = 1; n <= count; ++n) {
    CHAR key[LIST_KEY_SIZE];
    CHAR value[LIST_VALUE_SIZE];
    CHAR source[LIST_PATH_SIZE];
    CHAR destination[LIST_PATH_SIZE];
    FormatItemKey(key, "Sorc", n);
    ReadItemValue(section, key, value);
    const BOOL haveSource = BuildItemPath(&frame, LIST_WINDOWS_AND_SETUP_FOLDERS, key, value, source);
    FormatItemKey(key, "Dest", n);
    ReadItemValue(section, key, value);
    const BOOL haveDestination = BuildItemPath(&frame, LIST_WINDOWS_AND_SETUP_FOLDERS, key, value, destination);
    if (!haveSource || !haveDestination) {
      continue;
    }
    const BOOL copied = CopyFileA(source, destination, FALSE);
    LogResult(copied, "CopyFile(%s->%s)", source, destination);
    // A source is deleted only once its copy is in place.
    if (copied && move != 0) {
      DeleteLoggedFile(source);
    }
  }
  return 1;
}
