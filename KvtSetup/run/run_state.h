// The process-wide state of the setup run: the paths that KVT_SetupStart
// fixes, the log level and the open log. One instance per loaded library,
// unlocked, because the host calls the library from one thread at a time.
#pragma once

#include <windows.h>

// Size in bytes, terminator included, of each of the run's path texts.
#define RUN_PATH_SIZE 8192

struct RunState {
  CHAR setupDirectory[RUN_PATH_SIZE];  // without a trailing backslash
  CHAR iniPath[RUN_PATH_SIZE];         // empty: no INI file to read
  CHAR logPath[RUN_PATH_SIZE];         // empty: no log can be opened
  INT logLevel;                        // 0: no log; any other value: log everything
  HANDLE logFile;                      // NULL when no log is open
};

extern RunState g_runState;

// Closes an open log without a finish banner and empties the state, as a
// freshly loaded library has it. Used when the library is unloaded and by
// tests that need the state of a library that has not run yet.
void ResetRunState(void);
