// KVT_RegDeleteOemxInf over 1,000 device instance keys of the printer
// class, every tenth naming the driver. The export starts its scan again
// at the first subkey after each deletion, as its rule is; the reference
// deletes in one pass, staying at the index of a deleted key. The counters
// give both times and their ratio: the price of the restarts.
#include <benchmark/benchmark.h>

#include <windows.h>
#include <scoped_handle.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "KvtSetup.h"
#include "registry/key_tree.h"

namespace kvt::bench {
namespace {

using Clock = std::chrono::steady_clock;

const char kPrinterClass[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E979-E325-11CE-BFC1-08002BE10318}";
const char kDriver[] = "KVT-RZ4";

void MakeInstanceKeys(int keys) {
  for (int n = 0; n < keys; ++n) {
    char name[16];
    std::snprintf(name, sizeof(name), "%04d", n);
    const std::string path = std::string(kPrinterClass) + "\\" + name;
    kvt::ScopedKey key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, key.receive(), NULL);
    const char *desc = n % 10 == 0 ? kDriver : "Other printer";
    RegSetValueExA(key.get(), "DriverDesc", 0, REG_SZ, reinterpret_cast<const BYTE *>(desc),
                   static_cast<DWORD>(std::strlen(desc) + 1));
  }
}

// One pass: read each key's description, delete a match and stay put.
void DeleteInOnePass(const char *driver) {
  kvt::ScopedKey classKey;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPrinterClass, 0, KEY_ALL_ACCESS, classKey.receive());
  char name[256], desc[4096];
  for (DWORD index = 0;;) {
    DWORD size = sizeof(name);
    if (RegEnumKeyExA(classKey.get(), index, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
    kvt::ScopedKey key;
    DWORD descSize = sizeof(desc);
    const bool match = RegOpenKeyExA(classKey.get(), name, 0, KEY_READ, key.receive()) == ERROR_SUCCESS &&
                       RegQueryValueExA(key.get(), "DriverDesc", NULL, NULL, reinterpret_cast<BYTE *>(desc),
                                        &descSize) == ERROR_SUCCESS &&
                       std::strcmp(desc, driver) == 0;
    key.reset();
    if (match && RegDeleteKeyA(classKey.get(), name) == ERROR_SUCCESS) continue;
    ++index;
  }
}

void ClearClassKey() {
  kvt::ScopedKey classKey;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPrinterClass, 0, KEY_ALL_ACCESS, classKey.receive());
  char name[256];
  DWORD size = sizeof(name);
  while (RegEnumKeyExA(classKey.get(), 0, name, &size, NULL, NULL, NULL, NULL) == ERROR_SUCCESS) {
    DeleteRegKey(classKey.get(), name);
    size = sizeof(name);
  }
}

void BM_DeleteInstanceKeysByDriver(benchmark::State &state) {
  const int keys = static_cast<int>(state.range(0));
  double scan = 0, reference = 0;
  for (auto _ : state) {
    MakeInstanceKeys(keys);
    auto start = Clock::now();
    KVT_RegDeleteOemxInf(kDriver);
    scan += std::chrono::duration<double>(Clock::now() - start).count();
    ClearClassKey();
    MakeInstanceKeys(keys);
    start = Clock::now();
    DeleteInOnePass(kDriver);
    reference += std::chrono::duration<double>(Clock::now() - start).count();
    ClearClassKey();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["restarting_ms"] = 1000 * scan / n;
  state.counters["one_pass_ms"] = 1000 * reference / n;
  state.counters["ratio"] = reference > 0 ? scan / reference : 0;
}

BENCHMARK(BM_DeleteInstanceKeysByDriver)->ArgName("keys")->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace kvt::bench
