// The exported key deletion by path text: one tree deletion, and when the
// key turns out to be locked and unlocking is allowed, one unlock and one
// more attempt. Each outcome is result-logged under the label of the step
// that decided it.
#include "KvtSetup.h"
#include "registry/key_access.h"
#include "registry/key_tree.h"
#include "registry/reg_path.h"
#include "run/log_result.h"

namespace {

const DWORD kKeyPathSize = 4096;

INT HandleDecimal(HKEY key) { return static_cast<INT>(reinterpret_cast<ULONG_PTR>(key)); }

}  // namespace

INT WINAPI KVT_RegDeleteKey(LPCSTR path, INT noUnlock) {
  KVT_LogFileWrite("KVT_RegDeleteKey(%s, %d)", path, noUnlock);
  HKEY root = NULL;
  CHAR keyPath[kKeyPathSize];
  if (!SplitRegPath(path, &root, keyPath, kKeyPathSize)) {
    // A cut path would name another key: delete nothing.
    SetLastError(ERROR_INVALID_PARAMETER);
    LogResult(FALSE, "DeleteRegKey(%d, %s)", HandleDecimal(root), keyPath);
    return 0;
  }
  DWORD code = DeleteRegKey(root, keyPath);
  if (code == ERROR_ACCESS_DENIED && noUnlock == 0) {
    code = DeleteUnlockedKey(root, keyPath);
    SetLastError(code);
    LogResult(code == ERROR_SUCCESS, "KVT_RegDeleteLockedKey(%d, %s)", HandleDecimal(root), keyPath);
  } else {
    SetLastError(code);
    LogResult(code == ERROR_SUCCESS, "DeleteRegKey(%d, %s)", HandleDecimal(root), keyPath);
  }
  return code == ERROR_SUCCESS ? 1 : 0;
}
