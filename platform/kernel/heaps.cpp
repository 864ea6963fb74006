// Private heaps and the process heap. A heap owns its blocks: destroying it
// frees them all at once, which is how the printer driver drops a PDEV and
// everything allocated during its job. Handles are checked against the
// table of live heaps, so a destroyed or made-up handle fails cleanly.
#include <platform/testing.h>

#include "kernel_internal.h"
#include "memory_blocks.h"

#include <map>
#include <memory>

namespace platform {

namespace {

struct Heap {
  SIZE_T maximumBytes = 0;  // 0: the heap grows as needed
  BlockTable blocks;
};

struct HeapTable {
  std::map<HANDLE, std::unique_ptr<Heap>> privateHeaps;
  HANDLE processHeapHandle = nullptr;
  Heap processHeap;
};

HeapTable &Heaps() {
  static HeapTable table;
  return table;
}

Heap *FindHeap(HANDLE hHeap) {
  HeapTable &table = Heaps();
  if (hHeap != nullptr && hHeap == table.processHeapHandle) return &table.processHeap;
  auto it = table.privateHeaps.find(hHeap);
  return it == table.privateHeaps.end() ? nullptr : it->second.get();
}

}  // namespace

void ResetHeaps() {
  HeapTable &table = Heaps();
  table.privateHeaps.clear();
  table.processHeap.blocks.Clear();
}

size_t LiveHeapCount() { return Heaps().privateHeaps.size(); }

}  // namespace platform

using platform::Fault;

extern "C" HANDLE WINAPI GetProcessHeap(void) {
  platform::HeapTable &table = platform::Heaps();
  if (table.processHeapHandle == nullptr) table.processHeapHandle = platform::NewHandleValue();
  return table.processHeapHandle;
}

// HEAP_NO_SERIALIZE and HEAP_GENERATE_EXCEPTIONS are accepted and have no
// effect: the machine is used from one thread and never raises exceptions.
extern "C" HANDLE WINAPI HeapCreate(DWORD /*flOptions*/, SIZE_T /*dwInitialSize*/, SIZE_T dwMaximumSize) {
  if (platform::ShouldFail(Fault::HeapCreate)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto heap = std::make_unique<platform::Heap>();
  heap->maximumBytes = dwMaximumSize;
  HANDLE handle = platform::NewHandleValue();
  platform::Heaps().privateHeaps.emplace(handle, std::move(heap));
  return handle;
}

extern "C" BOOL WINAPI HeapDestroy(HANDLE hHeap) {
  // The process heap cannot be destroyed; like any unknown handle it fails.
  auto &heaps = platform::Heaps().privateHeaps;
  auto it = heaps.find(hHeap);
  if (it == heaps.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  heaps.erase(it);
  return TRUE;
}

extern "C" LPVOID WINAPI HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
  platform::Heap *heap = platform::FindHeap(hHeap);
  if (heap == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const bool overMaximum = heap->maximumBytes != 0 &&
                           (dwBytes > heap->maximumBytes || heap->blocks.TotalBytes() > heap->maximumBytes - dwBytes);
  if (platform::ShouldFail(Fault::HeapAlloc) || overMaximum) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  void *block = heap->blocks.Allocate(dwBytes, (dwFlags & HEAP_ZERO_MEMORY) != 0);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

extern "C" BOOL WINAPI HeapFree(HANDLE hHeap, DWORD /*dwFlags*/, LPVOID lpMem) {
  platform::Heap *heap = platform::FindHeap(hHeap);
  if (heap == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lpMem == nullptr) return TRUE;
  if (!heap->blocks.Free(lpMem)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

extern "C" SIZE_T WINAPI HeapSize(HANDLE hHeap, DWORD /*dwFlags*/, LPCVOID lpMem) {
  platform::Heap *heap = platform::FindHeap(hHeap);
  if (heap == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<SIZE_T>(-1);
  }
  auto size = heap->blocks.SizeOf(lpMem);
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return static_cast<SIZE_T>(-1);
  }
  return *size;
}
