// The exports of KvtSetup.dll for installer programs that load it: the setup
// run (start and finish), the log writer and the two readers of the setup
// INI file. Every export except KVT_LogFileWrite is __stdcall and exported
// under its plain name; KVT_LogFileWrite takes a variable argument list and
// is therefore __cdecl. Texts are ANSI; results are 32-bit integers.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Fixes the setup directory (null: the host program's folder), the INI and
// log paths (<directory>\<baseName>.ini/.log, KvtSetup.ini/.log for a null
// baseName) and the log level, and opens the log when "LogLevel" is not 0.
// Always returns 1. The thread's last-error code tells the host about the
// log: 0 when it was opened or not asked for, else why it could not be
// opened (the run then goes on without a log).
INT WINAPI KVT_SetupStart(LPCSTR directory, LPCSTR baseName, DWORD reserved, LPCSTR memo);

// Writes the finish banner and closes the log when one is open. Returns 0.
INT WINAPI KVT_SetupFinish(void);

// Formats one line (wsprintf conversions, at most 1,023 characters) and
// appends it with CR LF to the open log. Returns 0 when the line was
// written, 1 when no log is open or the write failed.
INT WINAPIV KVT_LogFileWrite(LPCSTR format, ...);

// Copies the value of `key` in `section` of the run's INI file into
// `buffer` (`size` bytes, terminator included; empty when missing), logs
// "key=value" and returns the number of characters stored.
INT WINAPI KVT_GetKvtSetupIniString(LPCSTR section, LPCSTR key, LPSTR buffer, DWORD size);

// Stores the integer value of `key` in `section` (0 when missing) in
// `*value` when `value` is not null, logs "key=number" and returns 1.
INT WINAPI KVT_GetKvtSetupIniInt(LPCSTR section, LPCSTR key, INT *value);

#ifdef __cplusplus
}
#endif
