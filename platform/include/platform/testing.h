// The platform layer's test interface: the machine that the Win32 calls act
// on, fault injection and live-object counts. Tests and tools use it; the
// two libraries never do.
#pragma once

#include <windows.h>

#include <cstddef>

namespace platform {

// Calls that can be made to fail. An injected failure behaves as the real
// failure would: null or FALSE with the documented last-error code.
enum class Fault {
  HeapCreate,
  HeapAlloc,
  GlobalAlloc,
  LocalAlloc,
  EngCreatePalette,
  EngCreateBitmap,
  WritePrinter,
};

// Makes the nth call of `fault` from now fail once (1 = the next call).
// 0 cancels a pending injection.
void FailNthCall(Fault fault, unsigned nth);

// Calls of `fault`'s kind since the machine was reset, failed ones included.
unsigned CallCount(Fault fault);

// The language that GetUserDefaultLangID reports (English by default).
void SetUserDefaultLangID(LANGID langId);

// Objects alive on the machine, for leak checks.
struct LiveObjects {
  size_t heaps = 0;
  size_t globalBlocks = 0;  // GlobalAlloc and LocalAlloc blocks
  size_t palettes = 0;
  size_t surfaces = 0;
  size_t printerHandles = 0;
};
LiveObjects Live();

// Starts a fresh machine: the spooler's built-in forms, no printers or
// drivers, English user, no pending faults, counters at zero. Objects of the
// previous machine must not be used afterwards.
void ResetMachine();

}  // namespace platform
