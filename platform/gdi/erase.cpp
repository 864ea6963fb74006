// EngEraseSurface: a solid fill of a rectangle, clipped to the surface, with
// a colour already in the surface's pixel format. The engine's own solid
// fills (an application's rectangles) come through here too.
#include "objects.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" BOOL APIENTRY EngEraseSurface(SURFOBJ *pso, RECTL *prcl, ULONG iColor) {
  platform::gdi::PixelView view;
  if (!platform::gdi::ViewOf(pso, view) || prcl == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const LONG left = std::max<LONG>(0, std::min(prcl->left, prcl->right));
  const LONG right = std::min<LONG>(view.width, std::max(prcl->left, prcl->right));
  const LONG top = std::max<LONG>(0, std::min(prcl->top, prcl->bottom));
  const LONG bottom = std::min<LONG>(view.height, std::max(prcl->top, prcl->bottom));
  if (left >= right || top >= bottom) return TRUE;

  // The colour's bytes in memory order: the low byte first, as a pixel of
  // the surface holds it.
  const uint8_t pixel[4] = {static_cast<uint8_t>(iColor), static_cast<uint8_t>(iColor >> 8),
                            static_cast<uint8_t>(iColor >> 16), static_cast<uint8_t>(iColor >> 24)};
  const size_t bpp = static_cast<size_t>(view.bytesPerPixel);
  const size_t spanBytes = static_cast<size_t>(right - left) * bpp;
  const size_t offset = static_cast<size_t>(left) * bpp;
  // White and black, the usual erase colours, have equal bytes: memset then
  // fills a row at memory speed instead of pixel by pixel.
  if (std::all_of(pixel + 1, pixel + bpp, [&](uint8_t b) { return b == pixel[0]; })) {
    for (LONG y = top; y < bottom; ++y) std::memset(view.Row(y) + offset, pixel[0], spanBytes);
    return TRUE;
  }
  std::vector<uint8_t> row(spanBytes);
  for (size_t i = 0; i < row.size(); i += bpp) std::memcpy(&row[i], pixel, bpp);
  for (LONG y = top; y < bottom; ++y) std::memcpy(view.Row(y) + offset, row.data(), row.size());
  return TRUE;
}
