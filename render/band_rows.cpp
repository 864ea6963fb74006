// Getting pixels out of the band surface. The surface's rows are padded to
// four bytes; the printer wants them packed, width * 3 bytes each. The copy
// polls for a user abort every ten lines so that a cancel is seen quickly.
// After a band the surface is erased for the next one; the erase is done
// line by line as the copy goes, which costs little more than the copy,
// and undone from the packed copy whenever the band is not sent after all.
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

BOOL PackRows(SURFOBJ *pso, LONG cRows, BYTE *pDst, BOOL bErase) {
  SIZE_T cbRow = (SIZE_T)pso->sizlBitmap.cx * BYTES_PER_PIXEL;
  BYTE *pRow = (BYTE *)pso->pvScan0;
  BYTE *pOut = pDst;
  for (LONG y = 0; y < cRows; y++) {
    if (y % ABORT_POLL_LINES == 0 && EngCheckAbort(pso)) {
      if (bErase) UnpackRows(pso, y, pDst);
      return FALSE;
    }
    memcpy(pOut, pRow, cbRow);
    // White is 0xFF in every byte of a 24-bit pixel.
    if (bErase) memset(pRow, 0xFF, cbRow);
    pOut += cbRow;
    pRow += pso->lDelta;
  }
  return TRUE;
}

VOID UnpackRows(SURFOBJ *pso, LONG cRows, const BYTE *pSrc) {
  SIZE_T cbRow = (SIZE_T)pso->sizlBitmap.cx * BYTES_PER_PIXEL;
  BYTE *pRow = (BYTE *)pso->pvScan0;
  for (LONG y = 0; y < cRows; y++) {
    memcpy(pRow, pSrc, cbRow);
    pSrc += cbRow;
    pRow += pso->lDelta;
  }
}

BOOL SendRows(PDEV *pdev, SURFOBJ *pso, LONG cRows, BOOL bEndPage, BOOL bErase) {
  DWORD cb = 0;
  kvt::ScopedHeapBlock<BYTE> staging;
  if (PackedRowBytes(cRows, pso->sizlBitmap.cx, &cb)) {
    staging = kvt::HeapBlockOf(pdev->hHeap, (BYTE *)HeapAlloc(pdev->hHeap, 0, cb));
  }
  if (!staging) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  BOOL bSent = PackRows(pso, cRows, staging.get(), bErase);
  if (bSent &&
      (!SendImageData(pdev->hPrinter, staging.get(), cb) || (bEndPage && !SendCommand(pdev->hPrinter, CMD_END_PAGE)))) {
    // A lost band leaves the surface as a failed page finds it: unerased.
    if (bErase) UnpackRows(pso, cRows, staging.get());
    bSent = FALSE;
  }
  if (!bSent) {
    // A cancel and a lost band end the page alike: nothing more is sent.
    pdev->flStatus |= PDEVF_ABORTED;
    return FALSE;
  }
  if (bErase && cRows < pso->sizlBitmap.cy) {
    // The lines below the page's last row were not copied; they are made
    // white as the copied ones were.
    RECTL rcl = {0, cRows, pso->sizlBitmap.cx, pso->sizlBitmap.cy};
    EngEraseSurface(pso, &rcl, WHITE_COLOR);
  }
  return TRUE;
}
