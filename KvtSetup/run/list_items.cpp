// A path value is a selector letter, characters that are skipped unread,
// and a relative part that is inserted as it is: nothing of it is
// interpreted. A path is never cut to fit: a cut path names another file.
#include "run/list_items.h"

#include "KvtSetup.h"
#include "run/bounded_text.h"
#include "run/log_result.h"
#include "run/run_state.h"

namespace {

// Beyond this many items a count is not a list anyone wrote: the rest is
// not read, so that a damaged count cannot keep an uninstall busy for days.
const INT kMaxListItems = 10000;

// The longest path a log line can show whole (the formatting limit).
const DWORD kMaxPathLength = 1023;

struct Selector {
  CHAR letter;  // upper case; the value's first character in either case
  LPCSTR middle;
  DWORD relativeStart;  // index of the relative part in the value
  BOOL setupDirectory;  // the run's setup directory, not the Windows one
};

const Selector kSelectors[] = {
    {'I', "\\inf\\", 7, FALSE},
    {'S', "\\System\\", 7, FALSE},
    {'W', "\\", 7, FALSE},
    {'B', "\\", 8, TRUE},
};

const Selector *FindSelector(CHAR first, ListFolders folders) {
  const CHAR upper = (first >= 'a' && first <= 'z') ? static_cast<CHAR>(first - 'a' + 'A') : first;
  for (const Selector &selector : kSelectors) {
    if (selector.letter == upper && (!selector.setupDirectory || folders == LIST_WINDOWS_AND_SETUP_FOLDERS)) {
      return &selector;
    }
  }
  return NULL;
}

INT ReadListCount(LPCSTR section) {
  INT count = 0;
  KVT_GetKvtSetupIniInt(section, "Count", &count);
  if (count > kMaxListItems) {
    KVT_LogFileWrite("Count=%d is more than a list holds: only the first %d items are read", count, kMaxListItems);
    return kMaxListItems;
  }
  return count > 0 ? count : 0;
}

void ReadWindowsDirectory(ListFrame *frame) {
  const UINT length = GetWindowsDirectoryA(frame->windowsDirectory, LIST_WINDOWS_DIRECTORY_SIZE);
  frame->windowsKnown = length != 0 && length < LIST_WINDOWS_DIRECTORY_SIZE;
  if (!frame->windowsKnown) {
    frame->windowsDirectory[0] = '\0';
    if (length != 0) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
    }
    LogResult(FALSE, "GetWindowsDirectory()");
  }
}

void FormatItemKey(LPSTR key, LPCSTR prefix, INT n) { wsprintfA(key, "%s%d", prefix, n); }

BOOL BuildItemPath(const ListFrame *frame, ListFolders folders, LPCSTR key, LPCSTR value, LPSTR path) {
  path[0] = '\0';
  const Selector *selector = FindSelector(value[0], folders);
  if (selector == NULL) {
    KVT_LogFileWrite("%s: not a path of this list", key);
    return FALSE;
  }
  if (!selector->setupDirectory && !frame->windowsKnown) {
    KVT_LogFileWrite("%s: no path, the Windows directory is not known", key);
    return FALSE;
  }
  LPCSTR folder = selector->setupDirectory ? g_runState.setupDirectory : frame->windowsDirectory;
  const DWORD valueLength = BoundedLength(value, LIST_VALUE_SIZE);
  LPCSTR relative = value + (valueLength > selector->relativeStart ? selector->relativeStart : valueLength);
  const DWORD length = BoundedLength(folder, RUN_PATH_SIZE) + BoundedLength(selector->middle, LIST_PATH_SIZE) +
                       BoundedLength(relative, LIST_VALUE_SIZE);
  if (length > kMaxPathLength) {
    KVT_LogFileWrite("%s: no path, it would be longer than %d characters", key, static_cast<INT>(kMaxPathLength));
    return FALSE;
  }
  wsprintfA(path, "%s%s%s", folder, selector->middle, relative);
  return TRUE;
}

}  // namespace

INT BeginList(LPCSTR entryLine, LPCSTR section) {
  KVT_LogFileWrite("%s", entryLine);
  return ReadListCount(section);
}

INT BeginPathList(LPCSTR entryLine, LPCSTR section, ListFrame *frame) {
  const INT count = BeginList(entryLine, section);
  ReadWindowsDirectory(frame);
  return count;
}

void ReadItem(LPCSTR section, LPCSTR prefix, INT n, LPSTR value) {
  CHAR key[LIST_KEY_SIZE];
  FormatItemKey(key, prefix, n);
  KVT_GetKvtSetupIniString(section, key, value, LIST_VALUE_SIZE);
}

BOOL ReadItemPath(const ListFrame *frame, ListFolders folders, LPCSTR section, LPCSTR prefix, INT n, LPSTR path) {
  CHAR key[LIST_KEY_SIZE];
  CHAR value[LIST_VALUE_SIZE];
  FormatItemKey(key, prefix, n);
  KVT_GetKvtSetupIniString(section, key, value, LIST_VALUE_SIZE);
  return BuildItemPath(frame, folders, key, value, path);
}
