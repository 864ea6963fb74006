// Separable resampling with precomputed per-position weights. For each
// destination row the needed source rows are blended into one accumulator
// row (only the source columns the clipped destination uses), then each
// destination pixel blends its accumulator columns. Weights are 14-bit
// fixed point and sum exactly to one per position, so a uniform picture
// stays exactly uniform. A large stretch blends its rows on two threads.
#include "resample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include <unistd.h>

namespace platform::gdi {
namespace {

constexpr int kWeightBits = 14;
constexpr int64_t kOne = int64_t{1} << kWeightBits;

struct Tap {
  LONG index;  // absolute source column or row
  uint32_t weight;
};

// For destination positions from..to-1 of one axis, the source pixels each
// draws from: taps of position i are taps[begin[i]] .. taps[begin[i + 1] - 1].
struct AxisTaps {
  std::vector<size_t> begin;
  std::vector<Tap> taps;
  LONG lowest = 0;
  LONG highest = 0;

  size_t Positions() const { return begin.size() - 1; }
};

// Area averaging: destination pixel j covers the source span
// [j * srcLen / dstLen, (j + 1) * srcLen / dstLen); every source pixel adds
// its overlap. Counted in units of 1/dstLen source pixel to stay exact, and
// rounded cumulatively so that the weights sum to exactly kOne.
void AddAreaTaps(int64_t j, int64_t srcLen, int64_t dstLen, std::vector<Tap> &taps) {
  const int64_t lo = j * srcLen;
  const int64_t hi = lo + srcLen;
  int64_t covered = 0;
  int64_t given = 0;
  for (int64_t k = lo / dstLen; k <= (hi - 1) / dstLen; ++k) {
    covered += std::min((k + 1) * dstLen, hi) - std::max(k * dstLen, lo);
    const int64_t upTo = (covered * kOne + srcLen / 2) / srcLen;
    if (upTo > given) taps.push_back({static_cast<LONG>(k), static_cast<uint32_t>(upTo - given)});
    given = upTo;
  }
}

// Bilinear interpolation between the two source pixels whose centres
// surround the destination pixel's centre, clamped at the edges.
void AddBilinearTaps(int64_t j, int64_t srcLen, int64_t dstLen, std::vector<Tap> &taps) {
  // Centre of j in source pixels, minus one half: ((2j+1)*srcLen - dstLen) / (2*dstLen).
  const int64_t num = (2 * j + 1) * srcLen - dstLen;
  const int64_t den = 2 * dstLen;
  if (num <= 0) {
    taps.push_back({0, static_cast<uint32_t>(kOne)});
    return;
  }
  const int64_t k = num / den;
  if (k >= srcLen - 1) {
    taps.push_back({static_cast<LONG>(srcLen - 1), static_cast<uint32_t>(kOne)});
    return;
  }
  const int64_t next = ((num % den) * kOne + den / 2) / den;
  if (next < kOne) taps.push_back({static_cast<LONG>(k), static_cast<uint32_t>(kOne - next)});
  if (next > 0) taps.push_back({static_cast<LONG>(k + 1), static_cast<uint32_t>(next)});
}

void AddNearestTap(int64_t j, int64_t srcLen, int64_t dstLen, std::vector<Tap> &taps) {
  const int64_t k = std::min(((2 * j + 1) * srcLen) / (2 * dstLen), srcLen - 1);
  taps.push_back({static_cast<LONG>(k), static_cast<uint32_t>(kOne)});
}

AxisTaps BuildTaps(LONG srcStart, int64_t srcLen, int64_t dstLen, int64_t from, int64_t to, bool mirror,
                   Filter filter) {
  AxisTaps axis;
  axis.begin.reserve(static_cast<size_t>(to - from) + 1);
  axis.lowest = srcStart + static_cast<LONG>(srcLen - 1);
  axis.highest = srcStart;
  for (int64_t i = from; i < to; ++i) {
    const int64_t j = mirror ? dstLen - 1 - i : i;
    const size_t first = axis.taps.size();
    axis.begin.push_back(first);
    if (filter == Filter::Nearest) {
      AddNearestTap(j, srcLen, dstLen, axis.taps);
    } else if (srcLen >= dstLen) {
      AddAreaTaps(j, srcLen, dstLen, axis.taps);
    } else {
      AddBilinearTaps(j, srcLen, dstLen, axis.taps);
    }
    for (size_t t = first; t < axis.taps.size(); ++t) {
      axis.taps[t].index += srcStart;
      axis.lowest = std::min(axis.lowest, axis.taps[t].index);
      axis.highest = std::max(axis.highest, axis.taps[t].index);
    }
  }
  axis.begin.push_back(axis.taps.size());
  return axis;
}

// The taps of a whole axis, kept from one blt to the next: the band player
// stretches the same picture onto the same page once per band, and only
// the band's slice of the destination changes.
struct AxisKey {
  LONG srcStart = 0;
  int64_t srcLen = 0;
  int64_t dstLen = 0;
  bool mirror = false;
  Filter filter = Filter::Nearest;
  friend bool operator==(const AxisKey &, const AxisKey &) = default;
};

struct CachedAxis {
  AxisKey key;
  AxisTaps taps;  // positions 0 .. dstLen-1
};

// Small axes are cheap to build and a long-lived copy of a huge one would
// only hold memory: only axes up to this many positions are kept.
constexpr int64_t kMaxCachedPositions = int64_t{1} << 16;

const AxisTaps &WholeAxis(const AxisKey &key) {
  // Two axes per picture and page, and a page may draw a few pictures.
  thread_local std::array<CachedAxis, 4> cache;
  thread_local size_t next = 0;
  thread_local AxisTaps uncached;
  for (const CachedAxis &entry : cache) {
    if (entry.key == key && !entry.taps.begin.empty()) return entry.taps;
  }
  AxisTaps built = BuildTaps(key.srcStart, key.srcLen, key.dstLen, 0, key.dstLen, key.mirror, key.filter);
  if (key.dstLen > kMaxCachedPositions) {
    uncached = std::move(built);
    return uncached;
  }
  CachedAxis &entry = cache[next];
  next = (next + 1) % cache.size();
  entry.key = key;
  entry.taps = std::move(built);
  return entry.taps;
}

// The taps of positions from .. to-1 of an axis, each as the same number of
// consecutive source pixels (`count`), starting at `first`, with zero
// weights where a position has fewer taps: the fixed shape lets the inner
// loops be unrolled. `first` is relative to `lowest`.
struct FixedTaps {
  size_t count = 0;
  LONG lowest = 0;
  LONG highest = 0;
  std::vector<uint32_t> first;
  std::vector<uint16_t> weights;  // count per position; kOne fits 16 bits
  bool lastRare = false;          // at most one position in kRareLastTap has a last tap
};

// A last tap used this rarely is summed only where it is used; more often,
// the test would cost more than the products it saves.
constexpr size_t kRareLastTap = 16;

FixedTaps FixTaps(const AxisTaps &axis, int64_t from, int64_t to) {
  FixedTaps fixed;
  const size_t p0 = static_cast<size_t>(from);
  const size_t p1 = static_cast<size_t>(to);
  fixed.lowest = axis.taps[axis.begin[p0]].index;
  fixed.highest = fixed.lowest;
  for (size_t p = p0; p < p1; ++p) {
    const Tap &head = axis.taps[axis.begin[p]];
    const Tap &tail = axis.taps[axis.begin[p + 1] - 1];
    fixed.lowest = std::min(fixed.lowest, head.index);
    fixed.highest = std::max(fixed.highest, tail.index);
    fixed.count = std::max(fixed.count, static_cast<size_t>(tail.index - head.index) + 1);
  }
  fixed.first.resize(p1 - p0);
  fixed.weights.assign((p1 - p0) * fixed.count, 0);
  // A position with fewer taps starts early enough that its last one stays
  // within the source pixels the slice reads.
  const LONG lastStart = fixed.highest - static_cast<LONG>(fixed.count) + 1;
  size_t lastTaps = 0;
  for (size_t p = p0; p < p1; ++p) {
    const LONG start = std::min(axis.taps[axis.begin[p]].index, lastStart);
    fixed.first[p - p0] = static_cast<uint32_t>(start - fixed.lowest);
    uint16_t *weights = &fixed.weights[(p - p0) * fixed.count];
    for (size_t t = axis.begin[p]; t < axis.begin[p + 1]; ++t) {
      weights[axis.taps[t].index - start] = static_cast<uint16_t>(axis.taps[t].weight);
    }
    lastTaps += weights[fixed.count - 1] != 0;
  }
  fixed.lastRare = fixed.count >= 2 && lastTaps * kRareLastTap <= p1 - p0;
  return fixed;
}

// Adds one source row, weighted, into the accumulator row of a destination
// row; the first row sets it. A plain loop over the row's bytes times a
// 16-bit weight, which compilers turn into vector code on any x86-64 (kept
// out of line: inlined into its caller, GCC 12 loses the 16-bit multiply).
template <ptrdiff_t kStep>
[[gnu::noinline]] void AccumulateRow(const uint8_t *src, ptrdiff_t step, uint16_t weight, uint32_t *acc, size_t columns,
                                     bool first) {
  if (kStep == 3) {
    const size_t n = columns * 3;
    if (first) {
      for (size_t k = 0; k < n; ++k) acc[k] = uint32_t{weight} * uint16_t{src[k]};
    } else {
      for (size_t k = 0; k < n; ++k) acc[k] += uint32_t{weight} * uint16_t{src[k]};
    }
    return;
  }
  for (size_t k = 0; k < columns; ++k, src += step, acc += 3) {
    if (first) acc[0] = acc[1] = acc[2] = 0;
    acc[0] += uint32_t{weight} * src[0];
    acc[1] += uint32_t{weight} * src[1];
    acc[2] += uint32_t{weight} * src[2];
  }
}

// The weights of each axis sum to exactly kOne, so a sum is at most
// 255 * kOne * kOne and its rounded value at most 255: no clamp is needed.
uint8_t ToByte(uint64_t sum) {
  constexpr uint64_t kHalf = uint64_t{1} << (2 * kWeightBits - 1);
  return static_cast<uint8_t>((sum + kHalf) >> (2 * kWeightBits));
}

// Each destination pixel of a row from the accumulator row, with the same
// number of taps for every position so that the compiler unrolls them.
// With `lastRare`, the last tap is summed only where its weight is not zero:
// a picture shrunk by a few percent spans a third source pixel at about one
// position in fifty, and skipping the zero products leaves every sum as it was.
template <size_t kCount, bool kLastRare = false>
void BlendColumns(const uint32_t *acc, const FixedTaps &taps, uint8_t *out) {
  const size_t n = kCount != 0 ? kCount : taps.count;
  const size_t always = kLastRare ? n - 1 : n;
  const size_t positions = taps.first.size();
  const uint16_t *weights = taps.weights.data();
  for (size_t c = 0; c < positions; ++c, weights += n, out += 3) {
    const uint32_t *a = acc + size_t{taps.first[c]} * 3;
    uint64_t s0 = 0, s1 = 0, s2 = 0;
    for (size_t t = 0; t < always; ++t, a += 3) {
      const uint64_t w = weights[t];
      s0 += w * a[0];
      s1 += w * a[1];
      s2 += w * a[2];
    }
    if (kLastRare && weights[always] != 0) {
      const uint64_t w = weights[always];
      s0 += w * a[0];
      s1 += w * a[1];
      s2 += w * a[2];
    }
    out[0] = ToByte(s0);
    out[1] = ToByte(s1);
    out[2] = ToByte(s2);
  }
}

void BlendRow(const uint32_t *acc, const FixedTaps &taps, uint8_t *out) {
  switch (taps.count) {
    case 1:
      return BlendColumns<1>(acc, taps, out);
    case 2:
      return BlendColumns<2>(acc, taps, out);
    case 3:
      return taps.lastRare ? BlendColumns<3, true>(acc, taps, out) : BlendColumns<3>(acc, taps, out);
    case 4:
      return taps.lastRare ? BlendColumns<4, true>(acc, taps, out) : BlendColumns<4>(acc, taps, out);
    default:
      return BlendColumns<0>(acc, taps, out);
  }
}

// The source pixels a stretch reads, copied into contiguous 24-bit rows when
// the view's pixels are not next to each other in memory (a turned picture):
// reading its columns directly would touch a memory page per pixel.
struct Gathered {
  std::vector<uint8_t> bytes;
  PixelView view;  // pixel (0, 0) is the source's (left, top)
};

Gathered Gather(const PixelView &src, LONG left, LONG top, LONG right, LONG bottom) {
  Gathered out;
  const LONG width = right - left + 1;
  const LONG height = bottom - top + 1;
  out.bytes.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  out.view = {out.bytes.data(), static_cast<ptrdiff_t>(width) * 3, 3, width, height, 3};
  // Walk in the source's memory order: along the view's columns.
  for (LONG x = 0; x < width; ++x) {
    for (LONG y = 0; y < height; ++y) std::memcpy(out.view.At(x, y), src.At(left + x, top + y), 3);
  }
  return out;
}

void PutPixel(uint8_t *out, int bytesPerPixel, uint8_t c0, uint8_t c1, uint8_t c2, bool swapRedBlue) {
  out[0] = swapRedBlue ? c2 : c0;
  out[1] = c1;
  out[2] = swapRedBlue ? c0 : c2;
  if (bytesPerPixel == 4) out[3] = 0;
}

// A stretch is shared with a second thread only when each half has at least
// this many rows and pixels (half a band of a photo): starting a thread costs
// tens of microseconds.
constexpr size_t kMinRowsPerThread = 16;
constexpr size_t kMinPixelsPerThread = 32 * 1024;

// A thread kept for the engine's stretches: starting one for every band
// costs more than its half of the band saves, and a new thread often starts
// on the core of the thread that made it. One stretch at a time uses it;
// another that finds it busy blends all its rows itself. It is never torn
// down: it waits for work until the process ends. A process forked after it
// was started has no such thread, and blends alone.
class StretchHelper {
 public:
  static StretchHelper &Get() {
    static StretchHelper *helper = new StretchHelper;
    return *helper;
  }
  // Starts `work` on the helper: false when the helper is busy or cannot be
  // had. Wait() must follow a start.
  bool Start(const std::function<void()> &work) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (work_ != nullptr || failed_) return false;
    if (owner_ == 0) {
      try {
        std::thread(&StretchHelper::Serve, this).detach();
      } catch (const std::system_error &) {
        failed_ = true;
        return false;
      }
      owner_ = getpid();
    } else if (owner_ != getpid()) {
      return false;  // forked: the thread, and its waits, stayed behind
    }
    work_ = &work;
    done_ = false;
    wake_.notify_one();
    return true;
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return done_; });
    work_ = nullptr;
  }

 private:
  StretchHelper() = default;

  void Serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return work_ != nullptr && !done_; });
      const std::function<void()> *work = work_;
      lock.unlock();
      (*work)();
      lock.lock();
      done_ = true;
      finished_.notify_one();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  const std::function<void()> *work_ = nullptr;  // set from a start to its wait
  bool done_ = true;
  bool failed_ = false;
  pid_t owner_ = 0;  // the process that started the thread; 0 before
};

// Blends destination rows of one stretch: for each, the source rows it reads
// are summed, weighted, into one accumulator row (only the source columns
// that the clipped destination uses), then each destination pixel blends its
// accumulator columns. Rows are independent, so ranges of them may be
// blended on different threads, each with its own accumulator.
struct RowBlender {
  const PixelView &src;
  const PixelView &dst;
  const FixedTaps &columns;
  const AxisTaps &rowAxis;
  bool scattered;  // read from `gathered`, not `src`
  const Gathered &gathered;
  LONG lowestRow;  // the gathered pixels' first row
  int64_t x0;      // the first destination column
  int64_t top;     // the destination row of position 0
  bool swapRedBlue;

  void Blend(size_t from, size_t to) const {
    const size_t accColumns = static_cast<size_t>(columns.highest - columns.lowest) + 1;
    std::vector<uint32_t> acc(accColumns * 3);
    std::vector<uint8_t> bytes(columns.first.size() * 3);
    const bool direct = dst.step == 3 && dst.bytesPerPixel == 3 && !swapRedBlue;
    for (size_t r = from; r < to; ++r) {
      for (size_t t = rowAxis.begin[r]; t < rowAxis.begin[r + 1]; ++t) {
        const LONG row = rowAxis.taps[t].index;
        const uint8_t *line = scattered ? gathered.view.Row(row - lowestRow) : src.At(columns.lowest, row);
        const ptrdiff_t step = scattered ? gathered.view.step : src.step;
        const uint16_t weight = static_cast<uint16_t>(rowAxis.taps[t].weight);
        const bool first = t == rowAxis.begin[r];
        if (step == 3) {
          AccumulateRow<3>(line, step, weight, acc.data(), accColumns, first);
        } else {
          AccumulateRow<0>(line, step, weight, acc.data(), accColumns, first);
        }
      }
      uint8_t *out = dst.At(static_cast<LONG>(x0), static_cast<LONG>(top + static_cast<int64_t>(r)));
      if (direct) {
        BlendRow(acc.data(), columns, out);
        continue;
      }
      BlendRow(acc.data(), columns, bytes.data());
      for (size_t k = 0; k < bytes.size(); k += 3, out += dst.step) {
        PutPixel(out, dst.bytesPerPixel, bytes[k], bytes[k + 1], bytes[k + 2], swapRedBlue);
      }
    }
  }
};

}  // namespace

// Every sum is exact, so the result is rounded once, whichever thread
// blends a row.
void StretchPixels(const PixelView &src, const RECTL &srcRect, const PixelView &dst, const RECTL &dstRect,
                   const RECTL &clip, Filter filter, bool swapRedBlue) {
  const bool mirrorX = dstRect.left > dstRect.right;
  const bool mirrorY = dstRect.top > dstRect.bottom;
  const int64_t dl = std::min(dstRect.left, dstRect.right);
  const int64_t dr = std::max(dstRect.left, dstRect.right);
  const int64_t dt = std::min(dstRect.top, dstRect.bottom);
  const int64_t db = std::max(dstRect.top, dstRect.bottom);
  const int64_t x0 = std::max<int64_t>(clip.left, dl);
  const int64_t x1 = std::min<int64_t>(clip.right, dr);
  const int64_t y0 = std::max<int64_t>(clip.top, dt);
  const int64_t y1 = std::min<int64_t>(clip.bottom, db);
  if (x0 >= x1 || y0 >= y1) return;

  const int64_t srcWidth = int64_t{srcRect.right} - srcRect.left;
  const int64_t srcHeight = int64_t{srcRect.bottom} - srcRect.top;
  const AxisTaps &columnAxis = WholeAxis({srcRect.left, srcWidth, dr - dl, mirrorX, filter});
  const FixedTaps columns = FixTaps(columnAxis, x0 - dl, x1 - dl);
  const AxisTaps &rowAxis = WholeAxis({srcRect.top, srcHeight, db - dt, mirrorY, filter});
  const size_t r0 = static_cast<size_t>(y0 - dt);
  const size_t r1 = static_cast<size_t>(y1 - dt);

  const bool scattered = src.step != src.bytesPerPixel;
  Gathered gathered;
  LONG lowestRow = 0;
  if (scattered) {
    lowestRow = rowAxis.taps[rowAxis.begin[r0]].index;
    LONG highestRow = lowestRow;
    for (size_t t = rowAxis.begin[r0]; t < rowAxis.begin[r1]; ++t) {
      lowestRow = std::min(lowestRow, rowAxis.taps[t].index);
      highestRow = std::max(highestRow, rowAxis.taps[t].index);
    }
    gathered = Gather(src, columns.lowest, lowestRow, columns.highest, highestRow);
  }
  const RowBlender blender{src, dst, columns, rowAxis, scattered, gathered, lowestRow, x0, dt, swapRedBlue};
  // A large stretch (a band of a photo) is shared with a second thread, which
  // blends the lower half of its rows. Should it fail, this thread blends
  // them after its own.
  const size_t half = (r1 - r0) / 2;
  size_t split = r1;
  bool helped = false;
  std::function<void()> lowerHalf;
  if (half >= kMinRowsPerThread && half * columns.first.size() >= kMinPixelsPerThread) {
    lowerHalf = [&blender, &helped, from = r1 - half, r1] {
      try {
        blender.Blend(from, r1);
        helped = true;
      } catch (const std::bad_alloc &) {
      }
    };
  }
  StretchHelper &helper = StretchHelper::Get();
  const bool shared = lowerHalf && helper.Start(lowerHalf);
  if (shared) split = r1 - half;
  try {
    blender.Blend(r0, split);
  } catch (...) {
    if (shared) helper.Wait();
    throw;
  }
  if (shared) helper.Wait();
  if (split < r1 && !helped) blender.Blend(split, r1);
}

namespace {

// Bilinear sample at (x, y) in source pixel units relative to the source
// rectangle's corner, pixel centres at k + 0.5, clamped to the rectangle.
void SampleBilinear(const PixelView &src, const RECTL &srcRect, double x, double y, double rgb[3]) {
  const LONG width = srcRect.right - srcRect.left;
  const LONG height = srcRect.bottom - srcRect.top;
  x = std::clamp(x - 0.5, 0.0, static_cast<double>(width - 1));
  y = std::clamp(y - 0.5, 0.0, static_cast<double>(height - 1));
  const LONG x0 = static_cast<LONG>(x);
  const LONG y0 = static_cast<LONG>(y);
  const LONG x1 = std::min(x0 + 1, width - 1);
  const LONG y1 = std::min(y0 + 1, height - 1);
  const double fx = x - x0;
  const double fy = y - y0;
  const uint8_t *p00 = src.At(srcRect.left + x0, srcRect.top + y0);
  const uint8_t *p10 = src.At(srcRect.left + x1, srcRect.top + y0);
  const uint8_t *p01 = src.At(srcRect.left + x0, srcRect.top + y1);
  const uint8_t *p11 = src.At(srcRect.left + x1, srcRect.top + y1);
  for (size_t c = 0; c < 3; ++c) {
    const double upper = p00[c] * (1 - fx) + p10[c] * fx;
    const double lower = p01[c] * (1 - fx) + p11[c] * fx;
    rgb[c] += upper * (1 - fy) + lower * fy;
  }
}

LONG ClampToLong(double value, LONG lo, LONG hi) {
  if (!(value > lo)) return lo;  // also catches NaN
  if (value >= hi) return hi;
  return static_cast<LONG>(value);
}

// Most samples per axis taken for one destination pixel when shrinking.
constexpr int kMaxSamplesPerAxis = 4;

}  // namespace

void MapParallelogram(const PixelView &src, const RECTL &srcRect, const PixelView &dst, const PointD corners[3],
                      const RECTL &clip, Filter filter, bool swapRedBlue) {
  const PointD a = corners[0];
  const PointD e1{corners[1].x - a.x, corners[1].y - a.y};  // image of the source's top edge
  const PointD e2{corners[2].x - a.x, corners[2].y - a.y};  // image of its left edge
  const double det = e1.x * e2.y - e1.y * e2.x;
  if (!(std::fabs(det) > 1e-9)) return;  // degenerate: covers no pixel centre

  const double xs[4] = {a.x, corners[1].x, corners[2].x, corners[1].x + e2.x};
  const double ys[4] = {a.y, corners[1].y, corners[2].y, corners[1].y + e2.y};
  const LONG left = ClampToLong(std::floor(*std::min_element(xs, xs + 4)), clip.left, clip.right);
  const LONG right = ClampToLong(std::ceil(*std::max_element(xs, xs + 4)), clip.left, clip.right);
  const LONG top = ClampToLong(std::floor(*std::min_element(ys, ys + 4)), clip.top, clip.bottom);
  const LONG bottom = ClampToLong(std::ceil(*std::max_element(ys, ys + 4)), clip.top, clip.bottom);

  const double srcWidth = srcRect.right - srcRect.left;
  const double srcHeight = srcRect.bottom - srcRect.top;
  // Source pixels moved per destination pixel step in x and in y.
  const PointD perX{e2.y / det * srcWidth, -e1.y / det * srcHeight};
  const PointD perY{-e2.x / det * srcWidth, e1.x / det * srcHeight};
  const double footprint = std::max(std::hypot(perX.x, perX.y), std::hypot(perY.x, perY.y));
  const int samples =
      filter == Filter::Nearest ? 1 : std::clamp(static_cast<int>(std::ceil(footprint)), 1, kMaxSamplesPerAxis);
  const ptrdiff_t dstBytes = dst.step;

  for (LONG y = top; y < bottom; ++y) {
    uint8_t *out = dst.At(left, y);
    for (LONG x = left; x < right; ++x, out += dstBytes) {
      const double px = x + 0.5 - a.x;
      const double py = y + 0.5 - a.y;
      const double u = (px * e2.y - py * e2.x) / det;
      const double v = (e1.x * py - e1.y * px) / det;
      if (!(u >= 0 && u < 1 && v >= 0 && v < 1)) continue;
      const double su = u * srcWidth;
      const double sv = v * srcHeight;
      if (filter == Filter::Nearest) {
        const LONG col = ClampToLong(su, 0, srcRect.right - srcRect.left - 1);
        const LONG row = ClampToLong(sv, 0, srcRect.bottom - srcRect.top - 1);
        const uint8_t *p = src.At(srcRect.left + col, srcRect.top + row);
        PutPixel(out, dst.bytesPerPixel, p[0], p[1], p[2], swapRedBlue);
        continue;
      }
      double rgb[3] = {0, 0, 0};
      for (int sy = 0; sy < samples; ++sy) {
        const double oy = (sy + 0.5) / samples - 0.5;
        for (int sx = 0; sx < samples; ++sx) {
          const double ox = (sx + 0.5) / samples - 0.5;
          SampleBilinear(src, srcRect, su + ox * perX.x + oy * perY.x, sv + ox * perX.y + oy * perY.y, rgb);
        }
      }
      const double scale = 1.0 / (samples * samples);
      uint8_t bytes[3];
      for (int c = 0; c < 3; ++c) bytes[c] = static_cast<uint8_t>(std::lround(std::clamp(rgb[c] * scale, 0.0, 255.0)));
      PutPixel(out, dst.bytesPerPixel, bytes[0], bytes[1], bytes[2], swapRedBlue);
    }
  }
}

}  // namespace platform::gdi
