// Removal of the printer's colour profile: uninstalled and its file deleted
// in one call of the colour management interface.
#include <windows.h>
#include <icm.h>

#include "KvtSetup.h"
#include "run/log_result.h"

INT WINAPI KVT_DeleteICMProfile(LPCSTR profileName) {
  if (profileName == NULL) {
    return 0;
  }
  const BOOL uninstalled = UninstallColorProfileA(NULL, profileName, TRUE);
  LogResult(uninstalled, "UninstallColorProfile(%s)", profileName);
  return uninstalled;
}
