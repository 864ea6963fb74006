// Loads the shipped KVTRZ4PR.dll the way the spooler does (LoadLibrary and
// the exports by name) and checks its driver query and enable answers under
// a real Windows loader. Sentinels catch writes past what each call may touch.
#include <windows.h>

#include <cstdio>

namespace {

typedef BOOL(APIENTRY *QueryFn)(DWORD, PVOID, DWORD, PDWORD);
typedef BOOL(APIENTRY *EnableFn)(ULONG, ULONG, void *);
typedef VOID(APIENTRY *DisableFn)(VOID);

struct EnableData {  // DRVENABLEDATA of the 32-bit DDI
  ULONG iDriverVersion;
  ULONG c;
  void *pdrvfn;
};
struct HookEntry {  // DRVFN
  ULONG iFunc;
  void *pfn;
};

int g_passed = 0;
int g_failed = 0;

void Check(bool ok, const char *what) {
  if (ok) {
    ++g_passed;
  } else {
    ++g_failed;
    std::printf("FAILED: %s\n", what);
  }
}

}  // namespace

int main() {
  HMODULE dll = LoadLibraryA("KVTRZ4PR.dll");
  Check(dll != NULL, "KVTRZ4PR.dll loads");
  if (dll == NULL) {
    std::printf("LoadLibrary error %lu\n", GetLastError());
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return 1;
  }
  auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void *>(GetProcAddress(dll, "DrvQueryDriverInfo")));
  auto enable = reinterpret_cast<EnableFn>(reinterpret_cast<void *>(GetProcAddress(dll, "DrvEnableDriver")));
  auto disable = reinterpret_cast<DisableFn>(reinterpret_cast<void *>(GetProcAddress(dll, "DrvDisableDriver")));
  Check(query && enable && disable, "the three exports are found by their plain names");
  Check(GetProcAddress(dll, "DrvEnablePDEV") == NULL, "hooks are not exported");
  if (!query || !enable || !disable) {
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return 1;
  }

  DWORD value = 0xdeadbeef, needed = 0xdeadbeef;
  Check(query(1, &value, sizeof(value), &needed) && value == 1 && needed == 4,
        "user-mode query answers 1 with 4 bytes needed");
  needed = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  Check(!query(1, &value, 3, &needed) && GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed == 4,
        "a 3-byte buffer gives 122 and still reports 4 bytes");
  needed = 0xdeadbeef;
  SetLastError(0xdeadbeef);
  Check(!query(2, &value, sizeof(value), &needed) && needed == 0xdeadbeef && GetLastError() == 0xdeadbeef,
        "other modes touch nothing");

  struct {
    EnableData data;
    ULONG sentinel;
  } out;
  out.sentinel = 0xa5a5a5a5;
  Check(enable(0x20000, sizeof(EnableData), &out.data) && out.data.iDriverVersion == 0x20000 && out.data.c == 15,
        "engine 0x20000 gets version 0x20000 and 15 hooks");
  Check(out.sentinel == 0xa5a5a5a5, "enable data written within 12 bytes");
  const HookEntry *hooks = static_cast<const HookEntry *>(out.data.pdrvfn);
  static const ULONG kIndexes[15] = {0, 7, 1, 2, 3, 4, 20, 32, 33, 35, 34, 57, 58, 69, 70};
  bool order = hooks != NULL;
  for (int i = 0; order && i < 15; ++i) order = hooks[i].iFunc == kIndexes[i] && hooks[i].pfn != NULL;
  Check(order, "hook table in its published order");

  SetLastError(0xdeadbeef);
  Check(!enable(0x10000, sizeof(EnableData), &out.data) && GetLastError() == ERROR_BAD_DRIVER_LEVEL,
        "an older engine is refused with 119");
  SetLastError(0xdeadbeef);
  Check(!enable(0x20000, 8, &out.data) && GetLastError() == ERROR_BAD_DRIVER_LEVEL,
        "a short enable record is refused with 119");
  disable();

  Check(FreeLibrary(dll) != 0, "unloads");
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}
