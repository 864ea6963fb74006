// The graphics engine's object table: palettes, bitmap surfaces and engine
// devices, each reached only through a checked handle. Handles are numbers
// that are never reused on a machine, so a stale or forged handle is simply
// not found. Private to platform/gdi.
#pragma once

#include <kvtddi.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform::gdi {

struct Palette {
  ULONG iMode = 0;
  std::vector<ULONG> colors;  // PAL_INDEXED only
  FLONG flRed = 0, flGreen = 0, flBlue = 0;
};

struct Surface {
  SURFOBJ so{};                          // what EngLockSurface hands out
  std::unique_ptr<uint8_t[]> ownedBits;  // null when the caller supplied the bits
  HDEV hdev = nullptr;                   // from EngAssociateSurface
  FLONG hooks = 0;
  bool banding = false;
  unsigned locks = 0;
};

struct Device {
  HANDLE hPrinter = nullptr;
  std::vector<DRVFN> hooks;
  DHPDEV dhpdev = nullptr;
};

HPALETTE AddPalette(std::unique_ptr<Palette> palette);
Palette *FindPalette(HPALETTE hpal);
bool RemovePalette(HPALETTE hpal);

HSURF AddSurface(std::unique_ptr<Surface> surface);
Surface *FindSurface(HSURF hsurf);
// The surface whose SURFOBJ is `pso`, or null for a SURFOBJ the engine did
// not make.
Surface *FindSurfaceByObject(const SURFOBJ *pso);
bool RemoveSurface(HSURF hsurf);

HDEV AddDevice(std::unique_ptr<Device> device);
Device *FindDevice(HDEV hdev);
bool RemoveDevice(HDEV hdev);

// A validated view of pixel memory: `scan0` is pixel (0, 0), rows `delta`
// bytes apart (negative for bottom-up memory), pixels of a row `step` bytes
// apart (bytesPerPixel, except in a view that reads a picture turned a
// quarter, where the view's rows are the memory's columns).
struct PixelView {
  uint8_t *scan0 = nullptr;
  ptrdiff_t delta = 0;
  ptrdiff_t step = 0;
  LONG width = 0;
  LONG height = 0;
  int bytesPerPixel = 0;

  uint8_t *Row(LONG y) const { return scan0 + static_cast<ptrdiff_t>(y) * delta; }
  uint8_t *At(LONG x, LONG y) const { return Row(y) + static_cast<ptrdiff_t>(x) * step; }
};

// The pixel view of `pso` when it describes a 24- or 32-bit surface with
// usable geometry; false (nothing read past the record) otherwise.
bool ViewOf(const SURFOBJ *pso, PixelView &view);

// Creates a bitmap surface as EngCreateBitmap does, without counting a call
// that fault injection could fail: for the engine's own temporary surfaces
// (an application's picture). Null with `error` set on failure.
HSURF CreateSurface(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits, DWORD &error);

}  // namespace platform::gdi
