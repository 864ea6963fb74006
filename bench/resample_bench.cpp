// The engine's halftone stretch of a photo onto a borderless Post card
// (2466 x 1664, fill), one band of 100 lines at a time as the band player
// draws it: from a 4000 x 3000 picture decoded whole, and from the same
// picture decoded at 5/8 (2500 x 1875), as kvtprint now decodes it. The
// reference is one pass over the same source rows (a sum of their bytes),
// the least any resampler must read; the counters give the milliseconds per
// page and their ratio to that pass.
#include <benchmark/benchmark.h>

#include <platform/engine.h>

#include <chrono>
#include <cstring>
#include <numeric>
#include <stdexcept>
#include <vector>

namespace kvt::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr LONG kPageWidth = 2466;
constexpr LONG kPageHeight = 1664;
constexpr LONG kBand = 100;

// An engine bitmap over memory of its own or of the caller's, locked.
class Bitmap {
 public:
  Bitmap(LONG cx, LONG cy, PVOID bits) {
    hsurf_ = reinterpret_cast<HSURF>(EngCreateBitmap({cx, cy}, bits ? cx * 3 : 0, BMF_24BPP, BMF_TOPDOWN, bits));
    pso_ = hsurf_ ? EngLockSurface(hsurf_) : nullptr;
    if (pso_ == nullptr) throw std::runtime_error("no bitmap");
  }
  ~Bitmap() {
    EngUnlockSurface(pso_);
    EngDeleteSurface(hsurf_);
  }
  SURFOBJ *Object() const { return pso_; }

 private:
  HSURF hsurf_ = nullptr;
  SURFOBJ *pso_ = nullptr;
};

// A smooth picture with grain, like a photograph.
std::vector<uint8_t> Photo(LONG width, LONG height) {
  std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
  uint32_t noise = 12345;
  for (size_t i = 0; i < rgb.size(); ++i) {
    noise = noise * 1664525u + 1013904223u;
    const size_t pixel = i / 3;
    rgb[i] = uint8_t((pixel % size_t(width)) * 255 / size_t(width) + (pixel / size_t(width)) % 64 + (noise >> 29));
  }
  return rgb;
}

void BM_HalftoneStretchOfAPhoto(benchmark::State &state) {
  const LONG width = LONG(state.range(0));
  const LONG height = width * 3 / 4;
  std::vector<uint8_t> rgb = Photo(width, height);
  Bitmap picture(width, height, rgb.data());
  Bitmap band(kPageWidth, kBand, nullptr);
  // Fill: the picture's centre, cut to the page's shape.
  const LONG cropHeight = LONG((int64_t(width) * kPageHeight + kPageWidth / 2) / kPageWidth);
  RECTL src{0, (height - cropHeight) / 2, width, (height - cropHeight) / 2 + cropHeight};
  double stretchSeconds = 0, readSeconds = 0;
  uint64_t checksum = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    for (LONG top = 0; top < kPageHeight; top += kBand) {
      CLIPOBJ clip{};
      clip.iDComplexity = DC_RECT;
      clip.rclBounds = {0, 0, kPageWidth, std::min(kBand, kPageHeight - top)};
      RECTL dst{0, -top, kPageWidth, kPageHeight - top};
      RECTL source = src;
      if (!EngStretchBlt(band.Object(), picture.Object(), nullptr, &clip, nullptr, nullptr, nullptr, &dst, &source,
                         nullptr, HALFTONE)) {
        state.SkipWithError("EngStretchBlt failed");
        return;
      }
      benchmark::ClobberMemory();
    }
    const auto middle = Clock::now();
    const uint8_t *first = rgb.data() + size_t(src.top) * size_t(width) * 3;
    const uint8_t *last = rgb.data() + size_t(src.bottom) * size_t(width) * 3;
    checksum += std::accumulate(first, last, uint64_t{0});
    benchmark::DoNotOptimize(checksum);
    const auto end = Clock::now();
    stretchSeconds += std::chrono::duration<double>(middle - start).count();
    readSeconds += std::chrono::duration<double>(end - middle).count();
    state.SetIterationTime(std::chrono::duration<double>(middle - start).count());
  }
  const double n = double(state.iterations());
  state.counters["stretch_ms"] = stretchSeconds * 1e3 / n;
  state.counters["one_pass_ms"] = readSeconds * 1e3 / n;
  state.counters["ratio_to_one_pass"] = stretchSeconds / readSeconds;
}
BENCHMARK(BM_HalftoneStretchOfAPhoto)
    ->ArgName("picture_width")
    ->Arg(4000)
    ->Arg(2500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

}  // namespace
}  // namespace kvt::bench
