// The failed names of one scan, in a fixed table on the caller's stack.
#include "registry/failed_names.h"

#include "run/bounded_text.h"

void ClearFailedNames(FailedNames *failed) { failed->count = 0; }

BOOL HasFailed(const FailedNames *failed, LPCSTR name) {
  for (INT i = 0; i < failed->count; ++i) {
    if (lstrcmpiA(failed->names[i], name) == 0) {
      return TRUE;
    }
  }
  return FALSE;
}

BOOL RememberFailure(FailedNames *failed, LPCSTR name) {
  if (failed->count >= FAILED_NAMES_MAX) {
    return FALSE;
  }
  CopyText(failed->names[failed->count], FAILED_NAME_SIZE, name);
  ++failed->count;
  return TRUE;
}
