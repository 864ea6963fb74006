// Files, directories, profile (INI) files and module paths over the
// machine's drives.
#pragma once

#include <windows.h>
