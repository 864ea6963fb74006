// Opening, appending to and closing the run's log. The file is never
// truncated: each run continues the log of the runs before it. It is opened
// without sharing, so nobody else can write into it while a run holds it,
// and every line reaches the system in the same call that produces it, so
// the log is complete up to the last line even if the host never finishes.
#include "run/log_file.h"

#include <scoped_handle.h>

#include "run/bounded_text.h"
#include "run/run_state.h"

DWORD OpenLogFile(void) {
  CloseLogFile();
  const DWORD length = BoundedLength(g_runState.logPath, RUN_PATH_SIZE);
  // An empty path means the log path did not fit its buffer. Paths of
  // MAX_PATH characters or more are refused here rather than left to the
  // file system, some of which would accept them.
  if (length == 0 || length >= MAX_PATH) {
    return ERROR_FILENAME_EXCED_RANGE;
  }
  kvt::ScopedFile file(
      CreateFileA(g_runState.logPath, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL));
  if (!file) {
    return GetLastError();
  }
  // A log whose end cannot be reached (one past 4 GB) would be overwritten
  // from its start: such a log stays closed.
  SetLastError(ERROR_SUCCESS);
  if (SetFilePointer(file.get(), 0, NULL, FILE_END) == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS) {
    return GetLastError();
  }
  // From here the run state holds the log, until CloseLogFile.
  g_runState.logFile = file.release();
  return ERROR_SUCCESS;
}

BOOL AppendToLog(LPCSTR bytes, DWORD count) {
  if (g_runState.logFile == NULL) {
    return FALSE;
  }
  DWORD written = 0;
  if (!WriteFile(g_runState.logFile, bytes, count, &written, NULL)) {
    return FALSE;
  }
  if (written != count) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  return TRUE;
}

void CloseLogFile(void) {
  if (g_runState.logFile != NULL) {
    CloseHandle(g_runState.logFile);
    g_runState.logFile = NULL;
  }
}
