// Pixel resampling for the engine's blts: stretching a source rectangle onto
// a destination rectangle, and mapping one onto a parallelogram. HALFTONE
// means photo quality: area averaging where the picture shrinks, bilinear
// interpolation where it grows, separately per axis. The other stretch
// modes take the nearest source pixel. Callers validate every rectangle;
// these functions only write destination pixels inside `clip`.
#pragma once

#include "objects.h"

namespace platform::gdi {

enum class Filter { Nearest, Halftone };

// Largest destination extent a blt accepts, far beyond any page, so that
// the fixed-point arithmetic below cannot overflow.
constexpr int64_t kMaxExtent = int64_t{1} << 28;

// `srcRect` is well ordered and inside `src`. `dstRect` may be inverted in
// either direction, which mirrors; its extents are at most kMaxExtent.
// `clip` is well ordered and inside `dst`. `swapRedBlue` exchanges the first
// and third byte of each pixel written.
void StretchPixels(const PixelView &src, const RECTL &srcRect, const PixelView &dst, const RECTL &dstRect,
                   const RECTL &clip, Filter filter, bool swapRedBlue);

struct PointD {
  double x = 0;
  double y = 0;
};

// Maps `srcRect` so that its top-left, top-right and bottom-left corners land
// on corners[0..2] (destination pixel units). A destination pixel is drawn
// when its centre lies inside the parallelogram.
void MapParallelogram(const PixelView &src, const RECTL &srcRect, const PixelView &dst, const PointD corners[3],
                      const RECTL &clip, Filter filter, bool swapRedBlue);

}  // namespace platform::gdi
