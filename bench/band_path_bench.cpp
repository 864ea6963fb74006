// The driver's band path against a plain copy of the same bytes. A page of
// the largest surface (borderless Post card, landscape: 2466 x 1664) is
// sent band by band through DrvStartBanding and DrvNextBand, which pack
// each band into a staging buffer, write it with WritePrinter to a NUL:
// port and erase the surface; the reference copies the same bytes with one
// memcpy per band. Both run in every iteration, and the ratio of their
// throughputs is reported (goal: at least 0.8). A second reference, memcpy
// plus the memset that erases the band, shows what the erase costs.
#include <benchmark/benchmark.h>

#include <platform/engine.h>
#include <platform/testing.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "application_settings.h"
#include "hooks.h"
#include "print_machine.h"

namespace kvt::bench {
namespace {

using Clock = std::chrono::steady_clock;
using BandFn = BOOL(APIENTRY *)(SURFOBJ *, POINTL *);
using SurfaceFn = BOOL(APIENTRY *)(SURFOBJ *);

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The driver on the built-in machine, printing to NUL: with a document open.
class DriverOnNulPort {
 public:
  DriverOnNulPort() {
    std::string error;
    if (!print::PrepareBuiltInMachine({print::Language::English, print::PaperKind::Postcard, "NUL:"}, error)) {
      throw std::runtime_error(error);
    }
    printer_ = print::OpenPrinterForJob(print::kDefaultPrinterName, error);
    if (!printer_) throw std::runtime_error(error);
    const print::ApplicationDevmode devmode =
        print::MakeApplicationDevmode(print::PrintSettings{}, print::Orientation::Landscape, u"KVT-RZ4");
    dc_ = std::make_unique<platform::PrinterDC>(DrvEnableDriver, printer_.get(), u"KVT-RZ4", &devmode.dm,
                                                DrvDisableDriver);
    if (!dc_->Valid() || !dc_->StartDoc(u"band path")) throw std::runtime_error(dc_->Failure());
  }
  ~DriverOnNulPort() {
    if (dc_) dc_->EndDoc();
  }

  SURFOBJ *Surface() const { return dc_->Surface(); }
  LONG Width() const { return static_cast<LONG>(dc_->GdiInfo().ulHorzRes); }
  LONG Height() const { return static_cast<LONG>(dc_->GdiInfo().ulVertRes); }

  // One page through the band hooks; the number of bands sent.
  int SendPage() {
    SURFOBJ *pso = dc_->Surface();
    POINTL origin{};
    if (!dc_->HookAs<SurfaceFn>(INDEX_DrvStartPage)(pso) || !dc_->HookAs<BandFn>(INDEX_DrvStartBanding)(pso, &origin)) {
      throw std::runtime_error("the driver refused the page");
    }
    const BandFn nextBand = dc_->HookAs<BandFn>(INDEX_DrvNextBand);
    int bands = 0;
    do {
      if (!nextBand(pso, &origin)) throw std::runtime_error("DrvNextBand failed");
      ++bands;
    } while (origin.x != -1);
    return bands;
  }

 private:
  kvt::ScopedPrinter printer_;
  std::unique_ptr<platform::PrinterDC> dc_;
};

void BM_BandPathAgainstMemcpy(benchmark::State &state) {
  DriverOnNulPort driver;
  const size_t rowBytes = size_t(driver.Width()) * 3;
  const size_t bandBytes = rowBytes * 100;
  const LONG height = driver.Height();
  const size_t pageBytes = rowBytes * size_t(height);
  std::vector<uint8_t> source(bandBytes, 0xFF);
  std::vector<uint8_t> staging(bandBytes);

  double driverSeconds = 0;
  double copySeconds = 0;
  double copyEraseSeconds = 0;
  for (auto _ : state) {
    const auto copyStart = Clock::now();
    for (LONG top = 0; top < height; top += 100) {
      const size_t rows = size_t(std::min<LONG>(100, height - top));
      std::memcpy(staging.data(), source.data(), rows * rowBytes);
      benchmark::ClobberMemory();
    }
    const auto copyEraseStart = Clock::now();
    for (LONG top = 0; top < height; top += 100) {
      const size_t rows = size_t(std::min<LONG>(100, height - top));
      std::memcpy(staging.data(), source.data(), rows * rowBytes);
      std::memset(source.data(), 0xFF, source.size());
      benchmark::ClobberMemory();
    }
    const auto driverStart = Clock::now();
    driver.SendPage();
    const auto end = Clock::now();
    copySeconds += Seconds(copyEraseStart - copyStart);
    copyEraseSeconds += Seconds(driverStart - copyEraseStart);
    driverSeconds += Seconds(end - driverStart);
    state.SetIterationTime(Seconds(end - driverStart));
  }
  const double bytes = double(pageBytes) * double(state.iterations());
  state.SetBytesProcessed(int64_t(bytes));
  state.counters["driver_MBps"] = bytes / driverSeconds / 1e6;
  state.counters["memcpy_MBps"] = bytes / copySeconds / 1e6;
  state.counters["copy_erase_MBps"] = bytes / copyEraseSeconds / 1e6;
  state.counters["throughput_ratio"] = copySeconds / driverSeconds;
  state.counters["ratio_to_copy_erase"] = copyEraseSeconds / driverSeconds;
}
BENCHMARK(BM_BandPathAgainstMemcpy)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace kvt::bench
