// GlobalAlloc and LocalAlloc: fixed memory only. On Win32 both families draw
// from the same place and free each other's blocks, so they share one table.
#include <platform/testing.h>

#include "kernel_internal.h"
#include "memory_blocks.h"

namespace platform {

namespace {

// Flags that make sense for fixed memory; GMEM_MOVEABLE (0x0002) and unknown
// bits are refused, since no caller here locks movable handles.
constexpr UINT kAcceptedFlags = GMEM_ZEROINIT | 0x0010 /*NOCOMPACT*/ | 0x0020 /*NODISCARD*/ | 0x2000 /*DDESHARE*/;

BlockTable &GlobalBlocks() {
  static BlockTable table;
  return table;
}

HGLOBAL AllocateFixed(Fault fault, UINT flags, SIZE_T bytes) {
  if ((flags & ~kAcceptedFlags) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (ShouldFail(fault)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  void *block = GlobalBlocks().Allocate(bytes, (flags & GMEM_ZEROINIT) != 0);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

// Null on success, the block itself when it is not a live block.
HGLOBAL FreeFixed(HGLOBAL block) {
  if (block == nullptr) return nullptr;
  if (!GlobalBlocks().Free(block)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return block;
  }
  return nullptr;
}

}  // namespace

void ResetGlobalMemory() { GlobalBlocks().Clear(); }

size_t LiveGlobalBlockCount() { return GlobalBlocks().Count(); }

}  // namespace platform

extern "C" HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  return platform::AllocateFixed(platform::Fault::GlobalAlloc, uFlags, dwBytes);
}

extern "C" HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) { return platform::FreeFixed(hMem); }

extern "C" HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
  return platform::AllocateFixed(platform::Fault::LocalAlloc, uFlags, uBytes);
}

extern "C" HLOCAL WINAPI LocalFree(HLOCAL hMem) { return platform::FreeFixed(hMem); }
