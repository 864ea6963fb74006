// Engine devices: the HDEV that GDI hands a driver, tying the driver's PDEV,
// its hook table and the printer handle of its jobs together.
#include "objects.h"

#include <platform/engine.h>

namespace platform {

EngineDevice::EngineDevice(HANDLE hPrinter) {
  auto device = std::make_unique<gdi::Device>();
  device->hPrinter = hPrinter;
  hdev_ = gdi::AddDevice(std::move(device));
}

EngineDevice::~EngineDevice() { gdi::RemoveDevice(hdev_); }

void EngineDevice::SetPdev(DHPDEV dhpdev) {
  if (gdi::Device *device = gdi::FindDevice(hdev_)) device->dhpdev = dhpdev;
}

void EngineDevice::SetHooks(const DRVFN *pdrvfn, ULONG count) {
  gdi::Device *device = gdi::FindDevice(hdev_);
  if (device == nullptr) return;
  device->hooks.clear();
  if (pdrvfn != nullptr) device->hooks.assign(pdrvfn, pdrvfn + count);
}

PFN FindHook(const DRVFN *table, ULONG count, ULONG iFunc) {
  if (table == nullptr) return nullptr;
  for (ULONG i = 0; i < count; ++i) {
    if (table[i].iFunc == iFunc) return table[i].pfn;
  }
  return nullptr;
}

}  // namespace platform
