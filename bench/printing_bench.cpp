// The device walk and the OEM INF search of the setup library against bare
// references on the same machine: KVT_RemoveDevice over 10^4 devices of
// which none matches (every hardware-ID list read and scanned) against a
// plain enumeration with one property read per device, and
// KVT_DeleteOemxInf over 10^3 OEM INF files against a search that reads the
// same value of each. The counters give the ratio of the two times.
#include <benchmark/benchmark.h>

#include <windows.h>
#include <platform/testing.h>
#include <setupapi.h>
#include <scoped_handle.h>

#include <chrono>
#include <fstream>
#include <string>

#include "KvtSetup.h"
#include "run/run_state.h"

namespace kvt::bench {
namespace {

using Clock = std::chrono::steady_clock;

const GUID kBenchClass = {0x4b565434, 0x6265, 0x6e63, {0x68, 0, 0, 0, 0, 0, 0, 1}};

void MakeDevices(int count) {
  const kvt::ScopedDeviceInfoSet set(SetupDiCreateDeviceInfoList(&kBenchClass, NULL));
  for (int i = 0; i < count; ++i) {
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    const std::string ids = "KVTBENCH\\DEVICE_" + std::to_string(i) + std::string(1, '\0') + "KVTBENCH\\COMPAT";
    SetupDiCreateDeviceInfoA(set.get(), "KVTBENCH", &kBenchClass, NULL, NULL, DICD_GENERATE_ID, &device);
    SetupDiSetDeviceRegistryPropertyA(set.get(), &device, SPDRP_HARDWAREID, reinterpret_cast<const BYTE *>(ids.c_str()),
                                      static_cast<DWORD>(ids.size() + 2));
    SetupDiRegisterDeviceInfo(set.get(), &device, 0, NULL, NULL, NULL);
  }
}

// The reference walk: each device's hardware IDs read once into a buffer.
void BareWalk() {
  const kvt::ScopedDeviceInfoSet set(SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_ALLCLASSES));
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  BYTE ids[256];
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
    SetupDiGetDeviceRegistryPropertyA(set.get(), &device, SPDRP_HARDWAREID, NULL, ids, sizeof(ids), NULL);
  }
}

void BM_RemoveDeviceWalk(benchmark::State &state) {
  platform::ResetMachine();
  ResetRunState();
  MakeDevices(static_cast<int>(state.range(0)));
  double walk = 0, reference = 0;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    benchmark::DoNotOptimize(KVT_RemoveDevice("KVTBENCH\\NO_SUCH_DEVICE"));
    walk += std::chrono::duration<double>(Clock::now() - start).count();
    start = Clock::now();
    BareWalk();
    reference += std::chrono::duration<double>(Clock::now() - start).count();
  }
  state.counters["walk_ms"] = benchmark::Counter(walk * 1e3 / state.iterations());
  state.counters["reference_ms"] = benchmark::Counter(reference * 1e3 / state.iterations());
  state.counters["ratio"] = walk / reference;
}
BENCHMARK(BM_RemoveDeviceWalk)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_DeleteOemxInfSearch(benchmark::State &state) {
  platform::ResetMachine();
  ResetRunState();
  const std::string inf = *platform::HostPathOfWindowsPath("C:\\WINDOWS\\Inf");
  for (int i = 0; i < state.range(0); ++i) {
    std::ofstream(inf + "/oem" + std::to_string(i) + ".inf") << "[Version]\r\nProvider=Other" << i << "\r\n";
  }
  double search = 0, reference = 0;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    benchmark::DoNotOptimize(KVT_DeleteOemxInf("Version", "Provider", "Example"));
    search += std::chrono::duration<double>(Clock::now() - start).count();
    start = Clock::now();
    WIN32_FIND_DATAA entry;
    kvt::ScopedFind find(FindFirstFileA("C:\\WINDOWS\\Inf\\oem*.inf", &entry));
    char value[1024];
    do {
      const std::string path = std::string("C:\\WINDOWS\\Inf\\") + entry.cFileName;
      GetPrivateProfileStringA("Version", "Provider", "", value, sizeof(value), path.c_str());
    } while (FindNextFileA(find.get(), &entry));
    find.reset();
    reference += std::chrono::duration<double>(Clock::now() - start).count();
  }
  state.counters["search_ms"] = benchmark::Counter(search * 1e3 / state.iterations());
  state.counters["reference_ms"] = benchmark::Counter(reference * 1e3 / state.iterations());
  state.counters["ratio"] = search / reference;
}
BENCHMARK(BM_DeleteOemxInfSearch)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kvt::bench
