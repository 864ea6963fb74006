// Entry points of the kernel module for the rest of the platform layer: the
// machine reset, live counts and the handle values that modules hand out.
// Library code never includes this header.
#pragma once

#include <windows.h>

#include <cstddef>

namespace platform {

// A handle value never given out before in this process, so that a handle of
// a closed object or of a previous machine cannot alias a live one. Values
// are multiples of 4, as on Windows, and never null or INVALID_HANDLE_VALUE.
HANDLE NewHandleValue();

// Memory. ResetHeaps destroys every private heap and frees the process
// heap's blocks (its handle stays the same for the whole process);
// ResetGlobalMemory frees every GlobalAlloc/LocalAlloc block.
void ResetHeaps();
void ResetGlobalMemory();
size_t LiveHeapCount();
size_t LiveGlobalBlockCount();

void ResetFaults();
void ResetLanguage();

}  // namespace platform
