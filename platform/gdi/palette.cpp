// EngCreatePalette and EngDeletePalette: the colour models a driver can give
// its surface. The engine keeps the mode so that it knows the byte order of
// the device's pixels.
#include "objects.h"

#include <platform/testing.h>

namespace {

// More entries than any palette of an 8- or 16-bit indexed format.
constexpr ULONG kMaxIndexedColors = 65536;

}  // namespace

extern "C" HPALETTE APIENTRY EngCreatePalette(ULONG iMode, ULONG cColors, ULONG *pulColors, FLONG flRed, FLONG flGreen,
                                              FLONG flBlue) {
  auto palette = std::make_unique<platform::gdi::Palette>();
  palette->iMode = iMode;
  switch (iMode) {
    case PAL_RGB:
    case PAL_BGR:
      break;
    case PAL_BITFIELDS:
      if (flRed == 0 || flGreen == 0 || flBlue == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
      palette->flRed = flRed;
      palette->flGreen = flGreen;
      palette->flBlue = flBlue;
      break;
    case PAL_INDEXED:
      if (cColors == 0 || cColors > kMaxIndexedColors) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
      // Without colours the entries start black, as the engine documents.
      palette->colors.assign(cColors, 0);
      if (pulColors != nullptr) palette->colors.assign(pulColors, pulColors + cColors);
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
  if (platform::ShouldFail(platform::Fault::EngCreatePalette)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return platform::gdi::AddPalette(std::move(palette));
}

extern "C" BOOL APIENTRY EngDeletePalette(HPALETTE hpal) {
  if (!platform::gdi::RemovePalette(hpal)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
