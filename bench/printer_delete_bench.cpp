// Deleting every printer of a driver through KVT_DeleteAllPrinter against
// the same deletions made directly (open, delete, close per printer, no
// enumeration and no log). Each iteration sets up the same printers twice
// and times both; the counters give both times, their ratio and the bytes
// that one enumeration of them needs (with 1,000 printers far beyond the
// first 8,192-byte buffer, so the retry is part of the measurement).
#include <benchmark/benchmark.h>

#include <platform/testing.h>
#include <winspool.h>
#include <scoped_handle.h>

#include <chrono>
#include <string>

#include "KvtSetup.h"

namespace kvt::bench {
namespace {

using Clock = std::chrono::steady_clock;

const char kDriver[] = "KVT Bench Driver";

std::string PrinterName(int index) { return "KVT Bench Printer " + std::to_string(index); }

bool AddPrinters(int count) {
  platform::ResetMachine();
  DRIVER_INFO_2A driver{};
  driver.cVersion = 3;
  driver.pName = const_cast<LPSTR>(kDriver);
  driver.pDriverPath = const_cast<LPSTR>("KVTRZ4PR.dll");
  driver.pDataFile = const_cast<LPSTR>("KVTRZ4.gpd");
  driver.pConfigFile = const_cast<LPSTR>("KVTRZ4UI.dll");
  if (!AddPrinterDriverA(nullptr, 2, reinterpret_cast<LPBYTE>(&driver))) return false;
  for (int i = 0; i < count; ++i) {
    const std::string name = PrinterName(i);
    PRINTER_INFO_2A info{};
    info.pPrinterName = const_cast<LPSTR>(name.c_str());
    info.pPortName = const_cast<LPSTR>("NUL:");
    info.pDriverName = const_cast<LPSTR>(kDriver);
    if (!kvt::ScopedPrinter(AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)))) return false;
  }
  return true;
}

bool DeleteDirectly(int count) {
  PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  bool all = true;
  for (int i = 0; i < count; ++i) {
    const std::string name = PrinterName(i);
    HANDLE printer = nullptr;
    OpenPrinterA(const_cast<LPSTR>(name.c_str()), &printer, &defaults);
    all = DeletePrinter(printer) && all;
    all = ClosePrinter(printer) && all;
  }
  return all;
}

void BM_DeleteAllPrinter(benchmark::State &state) {
  const int count = static_cast<int>(state.range(0));
  double exported = 0, direct = 0;
  DWORD needed = 0;
  for (auto _ : state) {
    if (!AddPrinters(count)) state.SkipWithError("machine preparation failed");
    DWORD returned = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
    auto start = Clock::now();
    if (KVT_DeleteAllPrinter(kDriver) != 1) state.SkipWithError("KVT_DeleteAllPrinter failed");
    exported += std::chrono::duration<double>(Clock::now() - start).count();
    if (!AddPrinters(count)) state.SkipWithError("machine preparation failed");
    start = Clock::now();
    if (!DeleteDirectly(count)) state.SkipWithError("direct deletion failed");
    direct += std::chrono::duration<double>(Clock::now() - start).count();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["export_ms"] = 1000 * exported / n;
  state.counters["direct_ms"] = 1000 * direct / n;
  state.counters["ratio"] = direct > 0 ? exported / direct : 0;
  state.counters["enum_bytes"] = needed;
}

BENCHMARK(BM_DeleteAllPrinter)->ArgName("printers")->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kvt::bench
