// Entry point of KvtSetup.dll. When a host unloads the library in the middle
// of a run, the log handle is closed instead of being left open (and the
// file locked) for the rest of the host's life.
#include <windows.h>

#include "run/run_state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  // At process exit (reserved not null) the system closes the handle itself.
  if (reason == DLL_PROCESS_DETACH && reserved == NULL) {
    ResetRunState();
  }
  return TRUE;
}
