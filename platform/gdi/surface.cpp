// Bitmap surfaces: EngCreateBitmap with the engine's or the caller's memory,
// association with a device and its hooks, banding mark, locking and
// deletion. A surface's SURFOBJ lives as long as the surface.
#include "objects.h"

#include <platform/testing.h>

#include <cstring>
#include <new>

namespace platform::gdi {
namespace {

// Larger than any page or picture the engine is asked to hold.
constexpr int64_t kMaxBitmapBytes = int64_t{1} << 30;

// Fills engine memory that the caller asked not to zero, so that reading it
// before drawing shows up as a pattern instead of old heap contents.
constexpr uint8_t kNoZeroInitFill = 0xCD;

ULONG nextUniq = 1;

struct BitmapLayout {
  int bytesPerPixel = 0;
  LONG stride = 0;
  size_t bytes = 0;
};

bool PlanBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, PVOID pvBits, BitmapLayout &layout) {
  if (iFormat == BMF_24BPP) {
    layout.bytesPerPixel = 3;
  } else if (iFormat == BMF_32BPP) {
    layout.bytesPerPixel = 4;
  } else {
    return false;
  }
  if (sizl.cx <= 0 || sizl.cy <= 0 || lWidth < 0) return false;
  const int64_t rowBytes = int64_t{sizl.cx} * layout.bytesPerPixel;
  const int64_t padded = (rowBytes + 3) / 4 * 4;
  int64_t stride = padded;
  if (lWidth >= rowBytes) {
    stride = lWidth;
  } else if (lWidth != 0 && pvBits != nullptr) {
    return false;  // rows of the caller's memory would overlap
  }
  if (stride > kMaxBitmapBytes || stride * sizl.cy > kMaxBitmapBytes) return false;
  layout.stride = static_cast<LONG>(stride);
  layout.bytes = static_cast<size_t>(stride * sizl.cy);
  return true;
}

HSURF BuildSurface(SIZEL sizl, ULONG iFormat, FLONG fl, PVOID pvBits, const BitmapLayout &layout, DWORD &error) {
  auto surface = std::make_unique<Surface>();
  uint8_t *bits = static_cast<uint8_t *>(pvBits);
  if (bits == nullptr) {
    surface->ownedBits.reset(new (std::nothrow) uint8_t[layout.bytes]);
    if (!surface->ownedBits) {
      error = ERROR_NOT_ENOUGH_MEMORY;
      return nullptr;
    }
    bits = surface->ownedBits.get();
    std::memset(bits, (fl & BMF_NOZEROINIT) != 0 ? kNoZeroInitFill : 0, layout.bytes);
  }
  SURFOBJ &so = surface->so;
  const bool topDown = (fl & BMF_TOPDOWN) != 0;
  so.sizlBitmap = sizl;
  so.cjBits = static_cast<ULONG>(layout.bytes);
  so.pvBits = bits;
  so.pvScan0 = topDown ? bits : bits + static_cast<size_t>(layout.stride) * static_cast<size_t>(sizl.cy - 1);
  so.lDelta = topDown ? layout.stride : -layout.stride;
  so.iUniq = nextUniq++;
  so.iBitmapFormat = iFormat;
  so.iType = STYPE_BITMAP;
  so.fjBitmap = topDown ? BMF_TOPDOWN : 0;
  Surface *raw = surface.get();
  const HSURF hsurf = AddSurface(std::move(surface));
  raw->so.hsurf = hsurf;
  return hsurf;
}

}  // namespace

HSURF CreateSurface(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits, DWORD &error) {
  BitmapLayout layout;
  if (!PlanBitmap(sizl, lWidth, iFormat, pvBits, layout)) {
    error = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  return BuildSurface(sizl, iFormat, fl, pvBits, layout, error);
}

}  // namespace platform::gdi

using platform::gdi::FindDevice;
using platform::gdi::FindSurface;
using platform::gdi::FindSurfaceByObject;

extern "C" HBITMAP APIENTRY EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits) {
  platform::gdi::BitmapLayout layout;
  if (!platform::gdi::PlanBitmap(sizl, lWidth, iFormat, pvBits, layout)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (platform::ShouldFail(platform::Fault::EngCreateBitmap)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  DWORD error = ERROR_SUCCESS;
  const HSURF hsurf = platform::gdi::BuildSurface(sizl, iFormat, fl, pvBits, layout, error);
  if (hsurf == nullptr) SetLastError(error);
  return reinterpret_cast<HBITMAP>(hsurf);
}

extern "C" BOOL APIENTRY EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks) {
  platform::gdi::Surface *surface = FindSurface(hsurf);
  if (surface == nullptr || FindDevice(hdev) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  surface->hdev = hdev;
  surface->hooks = flHooks;
  surface->so.hdev = hdev;
  return TRUE;
}

extern "C" BOOL APIENTRY EngMarkBandingSurface(HSURF hsurf) {
  platform::gdi::Surface *surface = FindSurface(hsurf);
  if (surface == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  surface->banding = true;
  return TRUE;
}

extern "C" BOOL APIENTRY EngDeleteSurface(HSURF hsurf) {
  if (!platform::gdi::RemoveSurface(hsurf)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

extern "C" SURFOBJ *APIENTRY EngLockSurface(HSURF hsurf) {
  platform::gdi::Surface *surface = FindSurface(hsurf);
  if (surface == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // The device's PDEV may have been set after the association.
  const platform::gdi::Device *device = FindDevice(surface->hdev);
  surface->so.hdev = device != nullptr ? surface->hdev : nullptr;
  surface->so.dhpdev = device != nullptr ? device->dhpdev : nullptr;
  ++surface->locks;
  return &surface->so;
}

extern "C" VOID APIENTRY EngUnlockSurface(SURFOBJ *pso) {
  platform::gdi::Surface *surface = FindSurfaceByObject(pso);
  if (surface != nullptr && surface->locks > 0) --surface->locks;
}
