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
  ListFrame frame;
  const INT count = BeginPathList("KVT_DeleteFileList()", "DelFile", &frame);
  INT result = 1;
  for (INT n = 1; n <= count; ++n) {
    CHAR path[LIST_PATH_SIZE];
    // Only a refused deletion fails the list: a file already gone is fine.
    if (ReadItemPath(&frame, LIST_WINDOWS_FOLDERS, "DelFile", "DelFile", n, path) &&
        DeleteLoggedFile(path) == ERROR_ACCESS_DENIED) {
      result = 0;
    }
  }
  return result;
}

INT WINAPI KVT_CopyFileList(INT move) {
  LPCSTR section = move != 0 ? "MoveFile" : "CopyFile";
  ListFrame frame;
  const INT count = BeginPathList("KVT_CopyFileList()", section, &frame);
  for (INT n = 1; n <= count; ++n) {
    CHAR source[LIST_PATH_SIZE];
    CHAR destination[LIST_PATH_SIZE];
    const BOOL haveSource = ReadItemPath(&frame, LIST_WINDOWS_AND_SETUP_FOLDERS, section, "Sorc", n, source);
    const BOOL haveDestination = ReadItemPath(&frame, LIST_WINDOWS_AND_SETUP_FOLDERS, section, "Dest", n, destination);
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
