// The two readers of the run's INI file. Each reads one key of one section
// with the system's profile functions and logs what it read ("key=value").
// Before the first run, or when the INI path did not fit its buffer, there
// is no INI file: reads give the defaults (empty text, 0) and touch no file.
#include "KvtSetup.h"
#include "run/bounded_text.h"
#include "run/run_state.h"

namespace {

// A null section or key would ask the profile functions for a list of
// names instead of one value; such reads give the defaults as well.
BOOL CanReadKey(LPCSTR section, LPCSTR key) { return section != NULL && key != NULL && g_runState.iniPath[0] != '\0'; }

}  // namespace

INT WINAPI KVT_GetKvtSetupIniString(LPCSTR section, LPCSTR key, LPSTR buffer, DWORD size) {
  DWORD stored = 0;
  if (buffer != NULL && size > 0) {
    buffer[0] = '\0';
    if (CanReadKey(section, key)) {
      GetPrivateProfileStringA(section, key, "", buffer, size, g_runState.iniPath);
      buffer[size - 1] = '\0';
      stored = BoundedLength(buffer, size);
    }
  }
  KVT_LogFileWrite("%s=%s", key != NULL ? key : "", buffer != NULL && size > 0 ? buffer : "");
  return static_cast<INT>(stored);
}

INT WINAPI KVT_GetKvtSetupIniInt(LPCSTR section, LPCSTR key, INT *value) {
  INT number = 0;
  if (CanReadKey(section, key)) {
    number = static_cast<INT>(GetPrivateProfileIntA(section, key, 0, g_runState.iniPath));
  }
  if (value != NULL) {
    *value = number;
  }
  // Logged even without a place to store it: the log shows what the INI
  // file holds either way.
  KVT_LogFileWrite("%s=%d", key != NULL ? key : "", number);
  return 1;
}
