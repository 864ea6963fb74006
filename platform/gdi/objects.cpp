// The engine's object table and its part of the machine: palettes, surfaces
// and devices by handle, released when the machine is reset and counted for
// leak checks.
#include "objects.h"

#include <platform/testing.h>

#include <cstdlib>
#include <map>

namespace platform::gdi {
namespace {

template <typename T>
using Table = std::map<uintptr_t, std::unique_ptr<T>>;

struct Objects {
  Table<Palette> palettes;
  Table<Surface> surfaces;
  Table<Device> devices;
};

Objects &State() {
  static Objects objects;
  return objects;
}

// Handle values grow across machine resets, so a handle of an earlier machine
// never names an object of a later one.
uintptr_t nextHandle = 0x10000;

uintptr_t NewHandle() {
  nextHandle += 0x10;
  return nextHandle;
}

template <typename T>
uintptr_t Add(Table<T> &table, std::unique_ptr<T> object) {
  const uintptr_t handle = NewHandle();
  table.emplace(handle, std::move(object));
  return handle;
}

template <typename T>
T *Find(Table<T> &table, const void *handle) {
  auto it = table.find(reinterpret_cast<uintptr_t>(handle));
  return it == table.end() ? nullptr : it->second.get();
}

template <typename T>
bool Remove(Table<T> &table, const void *handle) {
  return table.erase(reinterpret_cast<uintptr_t>(handle)) != 0;
}

void ResetObjects() {
  Objects &objects = State();
  objects.palettes.clear();
  objects.surfaces.clear();
  objects.devices.clear();
}

void CountObjects(LiveObjects &live) {
  live.palettes = State().palettes.size();
  live.surfaces = State().surfaces.size();
}

const bool registered = [] {
  RegisterResetHook(&ResetObjects);
  RegisterLiveCounter(&CountObjects);
  return true;
}();

}  // namespace

HPALETTE AddPalette(std::unique_ptr<Palette> palette) {
  return reinterpret_cast<HPALETTE>(Add(State().palettes, std::move(palette)));
}
Palette *FindPalette(HPALETTE hpal) { return Find(State().palettes, hpal); }
bool RemovePalette(HPALETTE hpal) { return Remove(State().palettes, hpal); }

HSURF AddSurface(std::unique_ptr<Surface> surface) {
  const uintptr_t handle = Add(State().surfaces, std::move(surface));
  return reinterpret_cast<HSURF>(handle);
}
Surface *FindSurface(HSURF hsurf) { return Find(State().surfaces, hsurf); }
bool RemoveSurface(HSURF hsurf) { return Remove(State().surfaces, hsurf); }

Surface *FindSurfaceByObject(const SURFOBJ *pso) {
  if (pso == nullptr) return nullptr;
  for (auto &[handle, surface] : State().surfaces) {
    if (&surface->so == pso) return surface.get();
  }
  return nullptr;
}

HDEV AddDevice(std::unique_ptr<Device> device) {
  return reinterpret_cast<HDEV>(Add(State().devices, std::move(device)));
}
Device *FindDevice(HDEV hdev) { return Find(State().devices, hdev); }
bool RemoveDevice(HDEV hdev) { return Remove(State().devices, hdev); }

bool ViewOf(const SURFOBJ *pso, PixelView &view) {
  if (pso == nullptr || pso->pvScan0 == nullptr) return false;
  int bytesPerPixel = 0;
  if (pso->iBitmapFormat == BMF_24BPP) {
    bytesPerPixel = 3;
  } else if (pso->iBitmapFormat == BMF_32BPP) {
    bytesPerPixel = 4;
  } else {
    return false;
  }
  const LONG cx = pso->sizlBitmap.cx;
  const LONG cy = pso->sizlBitmap.cy;
  if (cx <= 0 || cy <= 0) return false;
  const int64_t rowBytes = static_cast<int64_t>(cx) * bytesPerPixel;
  const int64_t delta = pso->lDelta;
  if (std::llabs(delta) < rowBytes) return false;
  view.scan0 = static_cast<uint8_t *>(pso->pvScan0);
  view.delta = static_cast<ptrdiff_t>(delta);
  view.step = bytesPerPixel;
  view.width = cx;
  view.height = cy;
  view.bytesPerPixel = bytesPerPixel;
  return true;
}

}  // namespace platform::gdi
