// The directory list: each directory's own entries are deleted as files,
// then the directory is removed. Subdirectories are not entered, so a
// directory that holds one stays, its plain files gone.
#include "run/directory_list.h"

#include <scoped_handle.h>

#include "KvtSetup.h"
#include "run/bounded_text.h"
#include "run/list_items.h"
#include "run/log_result.h"

namespace {

BOOL IsDotEntry(LPCSTR name) { return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')); }

}  // namespace

INT DeleteDirectory(LPCSTR directory) {
  CHAR pattern[LIST_PATH_SIZE];
  if (!CopyText(pattern, LIST_PATH_SIZE, directory) || !AppendText(pattern, LIST_PATH_SIZE, "\\*")) {
    pattern[0] = '\0';
  }
  WIN32_FIND_DATAA entry;
  kvt::ScopedFind find(pattern[0] != '\0' ? FindFirstFileA(pattern, &entry) : INVALID_HANDLE_VALUE);
  if (pattern[0] == '\0') {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
  }
  // The action ends in CR: the line ends CR CR LF, as the log has always had it.
  LogResult(find ? TRUE : FALSE, "FindFirstFile(%s)\r", pattern);
  if (find) {
    do {
      CHAR name[LIST_PATH_SIZE];
      if (!CopyText(name, LIST_PATH_SIZE, directory) || !AppendText(name, LIST_PATH_SIZE, "\\") ||
          !AppendText(name, LIST_PATH_SIZE, entry.cFileName)) {
        continue;
      }
      // "." and ".." name the directory and its parent: their attributes
      // are not this list's to change.
      if (!IsDotEntry(entry.cFileName)) {
        SetFileAttributesA(name, FILE_ATTRIBUTE_NORMAL);
      }
      LogResult(DeleteFileA(name), "DeleteFile(%s)", name);
    } while (FindNextFileA(find.get(), &entry));
    find.reset();
  }
  const BOOL removed = RemoveDirectoryA(directory);
  LogResult(removed, "RemoveDirectory(%s)", directory);
  return removed ? 1 : 0;
}

INT WINAPI KVT_DeleteDirList(void) {
  ListFrame frame;
  const INT count = BeginPathList("KVT_DeleteDirList()", "DelDir", &frame);
  INT result = 1;
  for (INT n = 1; n <= count; ++n) {
    CHAR path[LIST_PATH_SIZE];
    if (ReadItemPath(&frame, LIST_WINDOWS_FOLDERS, "DelDir", "DelDir", n, path)) {
      result = DeleteDirectory(path);
      LogResult(result, "DeleteDirectory(%s)", path);
    }
  }
  return result;
}
