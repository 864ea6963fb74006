// kvtprint as a whole, run as a child process on a 4000 x 3000 JPEG onto a
// borderless Post card: wall time and peak memory, against ImageMagick's
// convert doing the same centre-crop resize when a working convert is on
// PATH (goals: at most 0.35 of its time, at most 60 MiB). And the peak
// memory of a 1-page against a 10-page job, which should differ by less
// than one decoded picture, since each picture is released after its page.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include <unistd.h>

#include "child_process.h"
#include "jpeg_file.h"

namespace kvt::bench {
namespace {

constexpr uint32_t kPhotoWidth = 4000;
constexpr uint32_t kPhotoHeight = 3000;
constexpr double kPictureMiB = double(kPhotoWidth) * kPhotoHeight * 3 / (1024.0 * 1024.0);

// A scratch folder with a photo-like JPEG: smooth colour gradients with a
// fine deterministic texture, so that it compresses like a photograph.
class PhotoFixture {
 public:
  PhotoFixture() {
    dir_ = std::filesystem::temp_directory_path() / ("kvt-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    image::RgbImage photo(kPhotoWidth, kPhotoHeight);
    uint32_t noise = 12345;
    for (uint32_t y = 0; y < kPhotoHeight; ++y) {
      for (uint32_t x = 0; x < kPhotoWidth; ++x) {
        noise = noise * 1664525u + 1013904223u;
        const int grain = int(noise >> 28) - 8;
        const double fx = double(x) / kPhotoWidth, fy = double(y) / kPhotoHeight;
        auto channel = [&](double v) { return uint8_t(std::clamp(int(v * 255.0) + grain, 0, 255)); };
        photo.Set(x, y,
                  {channel(0.5 + 0.5 * std::sin(6.0 * fx + 2.0 * fy)), channel(fy),
                   channel(0.5 + 0.5 * std::cos(9.0 * fx * fy))});
      }
    }
    std::string error;
    if (!image::WriteJpeg(Photo(), photo, 90, error)) throw std::runtime_error(error);
  }
  ~PhotoFixture() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string Photo() const { return (dir_ / "photo.jpg").string(); }
  std::string File(const std::string &name) const { return (dir_ / name).string(); }

 private:
  std::filesystem::path dir_;
};

const PhotoFixture &Fixture() {
  static PhotoFixture fixture;
  return fixture;
}

ChildRun Kvtprint(std::vector<std::string> pictures) {
  pictures.insert(pictures.end(), {"--paper", "postcard", "--borderless", "-o", Fixture().File("job.spl")});
  return RunChild(KVTPRINT_PROGRAM, pictures);
}

void BM_KvtprintJpegAgainstConvert(benchmark::State &state) {
  const std::string photo = Fixture().Photo();
  const std::string convert = FindOnPath("convert");
  double printSeconds = 0, printPeak = 0, convertSeconds = 0, convertPeak = 0;
  bool convertWorks = !convert.empty();
  for (auto _ : state) {
    ChildRun print = Kvtprint({photo});
    if (print.exitCode != 0) {
      state.SkipWithError("kvtprint failed");
      return;
    }
    printSeconds += print.seconds;
    printPeak = std::max(printPeak, print.peakMiB);
    state.SetIterationTime(print.seconds);
    if (convertWorks) {
      // Raw RGB output, as the spool file carries raw rows.
      ChildRun reference = RunChild(convert, {photo, "-resize", "2466x1664^", "-gravity", "center", "-extent",
                                              "2466x1664", "rgb:" + Fixture().File("convert.rgb")});
      convertWorks = reference.exitCode == 0;
      convertSeconds += reference.seconds;
      convertPeak = std::max(convertPeak, reference.peakMiB);
    }
  }
  const double n = double(state.iterations());
  state.counters["kvtprint_s"] = printSeconds / n;
  state.counters["kvtprint_peak_MiB"] = printPeak;
  if (convertWorks) {
    state.counters["convert_s"] = convertSeconds / n;
    state.counters["convert_peak_MiB"] = convertPeak;
    state.counters["time_ratio"] = printSeconds / convertSeconds;
  } else {
    state.SetLabel("no working ImageMagick convert on PATH");
  }
}
BENCHMARK(BM_KvtprintJpegAgainstConvert)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PeakMemoryOneVsTenPages(benchmark::State &state) {
  const std::string photo = Fixture().Photo();
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
  state.counters["picture_MiB"] = kPictureMiB;
  state.SetLabel(ten - one <= kPictureMiB ? "within one picture buffer" : "MORE than one picture buffer");
}
BENCHMARK(BM_PeakMemoryOneVsTenPages)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace kvt::bench
