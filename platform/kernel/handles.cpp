// Handle values for the platform's objects. Each module keeps its own table
// of live objects keyed by these values; drawing them from one counter keeps
// handles of different kinds and of closed objects from ever colliding.
#include "kernel_internal.h"

#include <cstdint>

namespace platform {

namespace {
uintptr_t lastHandleValue = 0x1000;
}

HANDLE NewHandleValue() {
  lastHandleValue += 4;
  return reinterpret_cast<HANDLE>(lastHandleValue);
}

}  // namespace platform
