// Getting pixels out of the band surface. The surface's rows are padded to
// four bytes; the printer wants them packed, width * 3 bytes each. The copy
// polls for a user abort every ten lines so that a cancel is seen quickly.
#include "band_rows.h"

#include <string.h>

#include <scoped_handle.h>

#include "pdev.h"
#include "spool.h"

namespace {

#define ABORT_POLL_LINES 10
#define BYTES_PER_PIXEL 3

}  // namespace

BOOL EraseSurfaceWhite(SURFOBJ *pso) {
  RECTL rcl = {0, 0, pso->sizlBitmap.cx, pso->sizlBitmap.cy};
  return EngEraseSurface(pso, &rcl, WHITE_COLOR);
}

BOOL PackedRowBytes(LONG cRows, LONG cx, DWORD *pcb) {
  if (cRows < 0 || cx < 0) {
    return FALSE;
  }
  ULONGLONG cb = (ULONGLONG)cRows * (ULONGLONG)cx * BYTES_PER_PIXEL;
  // The image command's length word is 32 bits; heap sizes may be too.
  if (cb > 0x7FFFFFFFull) {
    return FALSE;
  }
  *pcb = (DWORD)cb;
  return TRUE;
}

BOOL PackRows(SURFOBJ *pso, LONG cRows, BYTE *pDst) {
  SIZE_T cbRow = (SIZE_T)pso->sizlBitmap.cx * BYTES_PER_PIXEL;
  const BYTE *pRow = (const BYTE *)pso->pvScan0;
  for (LONG y = 0; y < cRows; y++) {
    if (y % ABORT_POLL_LINES == 0 && EngCheckAbort(pso)) {
      return FALSE;
    }
    memcpy(pDst, pRow, cbRow);
    pDst += cbRow;
    pRow += pso->lDelta;
  }
  return TRUE;
}

BOOL SendRows(PDEV *pdev, SURFOBJ *pso, LONG cRows, BOOL bEndPage) {
  DWORD cb = 0;
  kvt::ScopedHeapBlock<BYTE> staging;
  if (PackedRowBytes(cRows, pso->sizlBitmap.cx, &cb)) {
    staging = kvt::HeapBlockOf(pdev->hHeap, (BYTE *)HeapAlloc(pdev->hHeap, 0, cb));
  }
  if (!staging) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  if (!PackRows(pso, cRows, staging.get()) || !SendImageData(pdev->hPrinter, staging.get(), cb) ||
      (bEndPage && !SendCommand(pdev->hPrinter, CMD_END_PAGE))) {
    // A cancel and a lost band end the page alike: nothing more is sent.
    pdev->flStatus |= PDEVF_ABORTED;
    return FALSE;
  }
  return TRUE;
}
