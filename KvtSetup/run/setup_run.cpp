// The frame of every setup run: KVT_SetupStart fixes the setup directory,
// the INI and log paths and the log level and opens the log; KVT_SetupFinish
// closes it. The paths stay after a finish, so INI reads keep working.
#include "KvtSetup.h"
#include "run/bounded_text.h"
#include "run/log_file.h"
#include "run/run_state.h"

namespace {

// The folder of the host program (the process's main module, not this
// library), without its trailing backslash. Empty when the module path is
// unavailable or does not fit.
void TakeHostProgramFolder(LPSTR folder, DWORD size) {
  folder[0] = '\0';
  const DWORD length = GetModuleFileNameA(NULL, folder, size);
  if (length == 0 || length >= size) {
    folder[0] = '\0';
    return;
  }
  DWORD cut = length;
  while (cut > 0 && folder[cut - 1] != '\\') {
    --cut;
  }
  folder[cut] = '\0';  // keeps the backslash; the caller drops one
}

// setupDirectory + "\" + name + extension, or an empty path when it does
// not fit: a cut path would name some other file.
void ComposeRunPath(LPSTR path, LPCSTR name, LPCSTR extension) {
  BOOL fits = CopyText(path, RUN_PATH_SIZE, g_runState.setupDirectory);
  fits = fits && AppendText(path, RUN_PATH_SIZE, "\\");
  fits = fits && AppendText(path, RUN_PATH_SIZE, name);
  fits = fits && AppendText(path, RUN_PATH_SIZE, extension);
  if (!fits) {
    path[0] = '\0';
  }
}

void WriteBanner(LPCSTR format) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  KVT_LogFileWrite(format, now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

}  // namespace

INT WINAPI KVT_SetupStart(LPCSTR directory, LPCSTR baseName, DWORD reserved, LPCSTR memo) {
  (void)reserved;
  // An earlier run that was never finished: its log is closed (without a
  // finish banner) rather than leaked, which would also lock this run out
  // of the same file.
  CloseLogFile();

  if (directory != NULL) {
    // Over-long directories are cut; the paths built from them then do not
    // fit and stay empty, so nothing is read or written under a wrong name.
    CopyText(g_runState.setupDirectory, RUN_PATH_SIZE, directory);
  } else {
    TakeHostProgramFolder(g_runState.setupDirectory, RUN_PATH_SIZE);
  }
  const DWORD length = BoundedLength(g_runState.setupDirectory, RUN_PATH_SIZE);
  if (length > 0 && g_runState.setupDirectory[length - 1] == '\\') {
    g_runState.setupDirectory[length - 1] = '\0';
  }

  LPCSTR name = baseName != NULL ? baseName : "KvtSetup";
  ComposeRunPath(g_runState.iniPath, name, ".ini");
  ComposeRunPath(g_runState.logPath, name, ".log");

  g_runState.logLevel = 0;
  if (g_runState.iniPath[0] != '\0') {
    g_runState.logLevel = static_cast<INT>(GetPrivateProfileIntA("KVTSetup", "LogLevel", 0, g_runState.iniPath));
  }

  // The result is always 1; whether the log could be opened reaches the
  // host as the thread's last-error code (0 when opened or not wanted).
  DWORD openError = ERROR_SUCCESS;
  if (g_runState.logLevel != 0) {
    openError = OpenLogFile();
    if (openError == ERROR_SUCCESS) {
      WriteBanner("*** Log Start (%02d/%02d/%02d %02d:%02d:%02d) ***");
      if (memo != NULL) {
        KVT_LogFileWrite("memo : %s", memo);
      }
    }
  }
  SetLastError(openError);
  return 1;
}

INT WINAPI KVT_SetupFinish(void) {
  if (g_runState.logFile != NULL) {
    // The banner's own CR LF plus the writer's leaves an empty line that
    // separates this run from the next one in the file.
    WriteBanner("*** Log Finish (%02d/%02d/%02d %02d:%02d:%02d) ***\r\n");
    CloseLogFile();
  }
  return 0;
}
