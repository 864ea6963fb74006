// A plain, slow stretch kept as the oracle of the engine's fast one: for
// every destination pixel the weights of each axis are worked out afresh
// and summed exactly, then rounded once. The engine must give the same
// bytes for every picture, rectangle, clip, mirror and pixel format.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace reference {

// Pixel memory: `scan0` is pixel (0, 0), rows `delta` bytes apart,
// `bytesPerPixel` 3 or 4.
struct Pixels {
  uint8_t *scan0 = nullptr;
  ptrdiff_t delta = 0;
  int bytesPerPixel = 3;
  LONG width = 0;
  LONG height = 0;
};

// As EngStretchBlt with a rectangular clip: `srcRect` well ordered inside
// `src`, `dstRect` possibly inverted (mirroring), `clip` inside `dst`.
void Stretch(const Pixels &src, const RECTL &srcRect, const Pixels &dst, const RECTL &dstRect, const RECTL &clip,
             bool halftone, bool swapRedBlue);

}  // namespace reference
