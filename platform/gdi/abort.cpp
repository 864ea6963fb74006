// EngCheckAbort: the driver's only way to learn that the user cancelled the
// job. The engine asks the spooler about the job on its device's printer
// handle; tests can also make the nth check from now report an abort.
#include "objects.h"

#include <platform/engine.h>
#include <platform/spooler_internal.h>
#include <platform/testing.h>

namespace {

// Checks left until the injected abort; 0 when none is pending.
unsigned checksUntilAbort = 0;
bool abortInjected = false;

void ResetAbort() {
  checksUntilAbort = 0;
  abortInjected = false;
}

const bool registered = [] {
  platform::RegisterResetHook(&ResetAbort);
  return true;
}();

bool InjectedAbort() {
  if (checksUntilAbort > 0 && --checksUntilAbort == 0) abortInjected = true;
  return abortInjected;
}

}  // namespace

namespace platform {

void AbortAtCheck(unsigned nth) {
  checksUntilAbort = nth;
  abortInjected = false;
}

}  // namespace platform

extern "C" BOOL APIENTRY EngCheckAbort(SURFOBJ *pso) {
  if (InjectedAbort()) return TRUE;
  if (pso == nullptr) return FALSE;
  const platform::gdi::Device *device = platform::gdi::FindDevice(pso->hdev);
  return device != nullptr && platform::IsJobCancelled(device->hPrinter) ? TRUE : FALSE;
}
