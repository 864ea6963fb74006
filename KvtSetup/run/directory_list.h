// Deleting one directory of the directory list. Internal.
#pragma once

#include <windows.h>

// Deletes every entry directly inside `directory` (a full path without a
// trailing backslash) as a file, "." and ".." included, logging each, then
// removes the directory and logs that. 1 when the directory was removed,
// else 0.
INT DeleteDirectory(LPCSTR directory);
