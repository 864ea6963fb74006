// kvtprint as a whole, run as a child process on photo-like JPEGs of 1, 12,
// 24 and 48 megapixels onto a borderless Post card (fill), against the
// resize tools that do the same centre-cropped fill: libvips'
// vipsthumbnail and ImageMagick's convert, when they are installed. Each
// run writes raw rows, as the spool file carries raw rows. Wall time and
// peak memory of each child, and kvtprint's ratios to each tool in the same
// run (goals against vipsthumbnail on an idle machine: time at most 0.35
// at 12 MP and 0.7 at 24 MP; memory at most 1.1 at 48 MP). And the peak
// memory of a 1-page against a 10-page job, which must not grow with the
// page count.
//
// KVT_BENCH_KVTPRINT names another kvtprint program to measure (an older
// build, to compare before and after in one session).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "child_process.h"
#include "jpeg_file.h"

namespace kvt::bench {
namespace {

// Camera-like sizes: 4:3 for 1, 12 and 48 megapixels, 3:2 for 24.
struct PhotoSize {
  uint32_t width;
  uint32_t height;
};

PhotoSize SizeForMegapixels(int64_t megapixels) {
  switch (megapixels) {
    case 1:
      return {1152, 864};
    case 24:
      return {6000, 4000};
    case 48:
      return {8000, 6000};
    default:
      return {4000, 3000};
  }
}

// A scratch folder with photo-like JPEGs (quality 90): smooth colour
// gradients with a fine deterministic grain, so that they compress like
// photographs. Each size is made when first asked for.
class PhotoFixture {
 public:
  PhotoFixture() {
    dir_ = std::filesystem::temp_directory_path() / ("kvt-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  ~PhotoFixture() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string Photo(int64_t megapixels) {
    auto found = photos_.find(megapixels);
    if (found != photos_.end()) return found->second;
    const PhotoSize size = SizeForMegapixels(megapixels);
    image::RgbImage photo(size.width, size.height);
    uint32_t noise = 12345;
    for (uint32_t y = 0; y < size.height; ++y) {
      uint8_t *p = photo.Row(y);
      for (uint32_t x = 0; x < size.width; ++x, p += 3) {
        noise = noise * 1664525u + 1013904223u;
        const int grain = int(noise >> 28) - 8;
        const double fx = double(x) / size.width, fy = double(y) / size.height;
        auto channel = [&](double v) { return uint8_t(std::clamp(int(v * 255.0) + grain, 0, 255)); };
        p[0] = channel(0.5 + 0.5 * std::sin(6.0 * fx + 2.0 * fy));
        p[1] = channel(fy);
        p[2] = channel(0.5 + 0.5 * std::cos(9.0 * fx * fy));
      }
    }
    const std::string path = File("photo-" + std::to_string(megapixels) + "mp.jpg");
    std::string error;
    if (!image::WriteJpeg(path, photo, 90, error)) throw std::runtime_error(error);
    photos_[megapixels] = path;
    return path;
  }
  std::string File(const std::string &name) const { return (dir_ / name).string(); }

 private:
  std::filesystem::path dir_;
  std::map<int64_t, std::string> photos_;
};

PhotoFixture &Fixture() {
  static PhotoFixture fixture;
  return fixture;
}

std::string KvtprintProgram() {
  const char *other = std::getenv("KVT_BENCH_KVTPRINT");
  return other != nullptr && *other != 0 ? other : KVTPRINT_PROGRAM;
}

ChildRun Kvtprint(std::vector<std::string> pictures) {
  pictures.insert(pictures.end(), {"--paper", "postcard", "--borderless", "-o", Fixture().File("job.spl")});
  return RunChild(KvtprintProgram(), pictures);
}

// One reference tool: its program, whether it has worked so far, and its
// totals over the iterations.
struct Reference {
  std::string program;
  bool works = false;
  double seconds = 0;
  double peakMiB = 0;

  explicit Reference(const std::string &name) : program(FindProgramOnPath(name)), works(!program.empty()) {}
  void Run(const std::vector<std::string> &args) {
    if (!works) return;
    const ChildRun run = RunChild(program, args);
    works = run.exitCode == 0;
    seconds += run.seconds;
    peakMiB = std::max(peakMiB, run.peakMiB);
  }
  void Report(benchmark::State &state, const std::string &name, double printSeconds, double printPeak,
              std::string &missing) const {
    if (!works) {
      missing += (missing.empty() ? "not installed or not working: " : ", ") + name;
      return;
    }
    const double n = double(state.iterations());
    state.counters[name + "_s"] = seconds / n;
    state.counters[name + "_peak_MiB"] = peakMiB;
    state.counters[name + "_time_ratio"] = printSeconds / seconds;
    state.counters[name + "_memory_ratio"] = printPeak / peakMiB;
  }
};

void BM_KvtprintAgainstResizeTools(benchmark::State &state) {
  const std::string photo = Fixture().Photo(state.range(0));
  Reference vips("vipsthumbnail");
  Reference convert("convert");
  double printSeconds = 0, printPeak = 0;
  for (auto _ : state) {
    // The three run one after the other in each iteration, so that a change
    // in the machine's load falls on all of them alike.
    ChildRun print = Kvtprint({photo});
    if (print.exitCode != 0) {
      state.SkipWithError("kvtprint failed");
      return;
    }
    printSeconds += print.seconds;
    printPeak = std::max(printPeak, print.peakMiB);
    state.SetIterationTime(print.seconds);
    vips.Run({photo, "--size", "2466x1664", "--smartcrop", "centre", "-o", Fixture().File("vips.ppm")});
    convert.Run({photo, "-resize", "2466x1664^", "-gravity", "center", "-extent", "2466x1664",
                 "rgb:" + Fixture().File("convert.rgb")});
  }
  const double n = double(state.iterations());
  state.counters["kvtprint_s"] = printSeconds / n;
  state.counters["kvtprint_peak_MiB"] = printPeak;
  std::string missing;
  vips.Report(state, "vips", printSeconds, printPeak, missing);
  convert.Report(state, "convert", printSeconds, printPeak, missing);
  if (!missing.empty()) state.SetLabel(missing + "; kvtprint's own figures only");
}
BENCHMARK(BM_KvtprintAgainstResizeTools)
    ->ArgName("megapixels")
    ->Arg(1)
    ->Arg(12)
    ->Arg(24)
    ->Arg(48)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void BM_PeakMemoryOneVsTenPages(benchmark::State &state) {
  const std::string photo = Fixture().Photo(12);
  const PhotoSize size = SizeForMegapixels(12);
  const double pictureMiB = double(size.width) * size.height * 3 / (1024.0 * 1024.0);
  double one = 0, ten = 0;
  for (auto _ : state) {
    ChildRun single = Kvtprint({photo});
    ChildRun many = Kvtprint(std::vector<std::string>(10, photo));
    if (single.exitCode != 0 || many.exitCode != 0) {
      state.SkipWithError("kvtprint failed");
      return;
    }
    one = std::max(one, single.peakMiB);
    ten = std::max(ten, many.peakMiB);
    state.SetIterationTime(single.seconds + many.seconds);
  }
  state.counters["peak_1page_MiB"] = one;
  state.counters["peak_10page_MiB"] = ten;
  state.counters["difference_MiB"] = ten - one;
  state.counters["picture_MiB"] = pictureMiB;
  state.SetLabel(ten - one <= pictureMiB ? "within one picture buffer" : "MORE than one picture buffer");
}
BENCHMARK(BM_PeakMemoryOneVsTenPages)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace kvt::bench
