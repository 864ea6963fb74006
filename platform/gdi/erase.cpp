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
  std::vector<uint8_t> row(static_cast<size_t>(right - left) * bpp);
  for (size_t i = 0; i < row.size(); i += bpp) std::memcpy(&row[i], pixel, bpp);
  for (LONG y = top; y < bottom; ++y) {
    std::memcpy(view.Row(y) + static_cast<size_t>(left) * bpp, row.data(), row.size());
  }
  return TRUE;
}
