// The oracle's arithmetic: 14-bit weights per axis, area averaging when an
// axis shrinks, bilinear interpolation when it grows, the nearest pixel
// without halftoning; each weight list sums to exactly one.
#include "reference_stretch.h"

#include <algorithm>
#include <vector>

namespace reference {
namespace {

constexpr int kWeightBits = 14;
constexpr int64_t kOne = int64_t{1} << kWeightBits;

struct Tap {
  int64_t index;
  int64_t weight;
};

std::vector<Tap> AreaTaps(int64_t j, int64_t srcLen, int64_t dstLen) {
  std::vector<Tap> taps;
  const int64_t lo = j * srcLen;
  const int64_t hi = lo + srcLen;
  int64_t covered = 0;
  int64_t given = 0;
  for (int64_t k = lo / dstLen; k <= (hi - 1) / dstLen; ++k) {
    covered += std::min((k + 1) * dstLen, hi) - std::max(k * dstLen, lo);
    const int64_t upTo = (covered * kOne + srcLen / 2) / srcLen;
    if (upTo > given) taps.push_back({k, upTo - given});
    given = upTo;
  }
  return taps;
}

std::vector<Tap> BilinearTaps(int64_t j, int64_t srcLen, int64_t dstLen) {
  const int64_t num = (2 * j + 1) * srcLen - dstLen;
  const int64_t den = 2 * dstLen;
  if (num <= 0) return {{0, kOne}};
  const int64_t k = num / den;
  if (k >= srcLen - 1) return {{srcLen - 1, kOne}};
  const int64_t next = ((num % den) * kOne + den / 2) / den;
  std::vector<Tap> taps;
  if (next < kOne) taps.push_back({k, kOne - next});
  if (next > 0) taps.push_back({k + 1, next});
  return taps;
}

std::vector<Tap> TapsOf(int64_t j, int64_t srcLen, int64_t dstLen, bool halftone) {
  if (!halftone) return {{std::min(((2 * j + 1) * srcLen) / (2 * dstLen), srcLen - 1), kOne}};
  return srcLen >= dstLen ? AreaTaps(j, srcLen, dstLen) : BilinearTaps(j, srcLen, dstLen);
}

}  // namespace

void Stretch(const Pixels &src, const RECTL &srcRect, const Pixels &dst, const RECTL &dstRect, const RECTL &clip,
             bool halftone, bool swapRedBlue) {
  const bool mirrorX = dstRect.left > dstRect.right;
  const bool mirrorY = dstRect.top > dstRect.bottom;
  const int64_t dl = std::min(dstRect.left, dstRect.right), dr = std::max(dstRect.left, dstRect.right);
  const int64_t dt = std::min(dstRect.top, dstRect.bottom), db = std::max(dstRect.top, dstRect.bottom);
  const int64_t srcWidth = int64_t{srcRect.right} - srcRect.left;
  const int64_t srcHeight = int64_t{srcRect.bottom} - srcRect.top;
  for (int64_t y = std::max<int64_t>(clip.top, dt); y < std::min<int64_t>(clip.bottom, db); ++y) {
    const int64_t j = mirrorY ? db - 1 - y : y - dt;
    const std::vector<Tap> rows = TapsOf(j, srcHeight, db - dt, halftone);
    for (int64_t x = std::max<int64_t>(clip.left, dl); x < std::min<int64_t>(clip.right, dr); ++x) {
      const int64_t i = mirrorX ? dr - 1 - x : x - dl;
      const std::vector<Tap> columns = TapsOf(i, srcWidth, dr - dl, halftone);
      uint64_t sum[3] = {0, 0, 0};
      for (const Tap &row : rows) {
        const uint8_t *line = src.scan0 + (srcRect.top + row.index) * src.delta;
        for (const Tap &column : columns) {
          const uint8_t *p = line + (srcRect.left + column.index) * src.bytesPerPixel;
          for (int c = 0; c < 3; ++c) sum[c] += uint64_t(row.weight) * uint64_t(column.weight) * p[c];
        }
      }
      uint8_t bytes[3];
      for (int c = 0; c < 3; ++c) {
        bytes[c] =
            uint8_t(std::min<uint64_t>(255, (sum[c] + (uint64_t{1} << (2 * kWeightBits - 1))) >> (2 * kWeightBits)));
      }
      uint8_t *out = dst.scan0 + y * dst.delta + x * dst.bytesPerPixel;
      out[0] = swapRedBlue ? bytes[2] : bytes[0];
      out[1] = bytes[1];
      out[2] = swapRedBlue ? bytes[0] : bytes[2];
      if (dst.bytesPerPixel == 4) out[3] = 0;
    }
  }
}

}  // namespace reference
