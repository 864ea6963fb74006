// The frame that every INI-driven list shares: its count, its numbered item
// keys, and the paths that its values name relative to a folder chosen by
// their first letter. Internal: used by the list operations.
#pragma once

#include <windows.h>

// Buffer sizes, terminators included.
#define LIST_KEY_SIZE 64
#define LIST_VALUE_SIZE 4096
#define LIST_WINDOWS_DIRECTORY_SIZE 128
#define LIST_PATH_SIZE 4096

// Which folders a list's path values may name: I (Windows\inf), S
// (Windows\System) and W (Windows) always; B (the setup directory) only in
// the copy list.
enum ListFolders { LIST_WINDOWS_FOLDERS, LIST_WINDOWS_AND_SETUP_FOLDERS };

// The Windows directory of one list call, read once.
struct ListFrame {
  CHAR windowsDirectory[LIST_WINDOWS_DIRECTORY_SIZE];
  BOOL windowsKnown;  // FALSE when it did not fit its buffer
};

// Starts a list call: writes its entry line, reads "Count" of `section`
// (logged) and gives the number of items to work through: 0 for a missing,
// zero or negative count.
INT BeginList(LPCSTR entryLine, LPCSTR section);

// The same for a list of path values, which also reads the Windows
// directory once into `frame`. One that does not fit is never cut: an
// error line is logged and no path of the Windows folders is built in
// this call.
INT BeginPathList(LPCSTR entryLine, LPCSTR section, ListFrame *frame);

// Reads "<prefix><n>" of `section` (n in decimal without leading zeros)
// into `value` (LIST_VALUE_SIZE bytes), logged as "key=value".
void ReadItem(LPCSTR section, LPCSTR prefix, INT n, LPSTR value);

// Reads "<prefix><n>" of `section` as ReadItem does and builds into `path`
// (LIST_PATH_SIZE bytes) the full path that its value names. FALSE, with a
// log line naming the key and saying why, when the value names no path of
// this list (no folder letter, the empty text included), its folder is not
// known, or the path would be longer than a log line can show.
BOOL ReadItemPath(const ListFrame *frame, ListFolders folders, LPCSTR section, LPCSTR prefix, INT n, LPSTR path);
