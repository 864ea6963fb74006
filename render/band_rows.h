// Moving finished pixels out of the band surface: erasing it to white,
// packing its rows without the row padding into a staging buffer, and
// sending them to the printer.
#pragma once

#include <kvtddi.h>

#define WHITE_COLOR 0xFFFFFFFFu

// Erases the whole surface to white.
BOOL EraseSurfaceWhite(SURFOBJ *pso);
// Bytes of cRows packed rows of cx pixels; FALSE for a negative count or a
// size that one image command cannot carry.
BOOL PackedRowBytes(LONG cRows, LONG cx, DWORD *pcb);
// Copies the first cRows scan lines into pDst, cx * 3 bytes each, asking
// EngCheckAbort before every tenth line. With bErase each line is made
// white as soon as it is copied, while it is still in the processor's
// cache. FALSE when the user aborted; the surface is then as it was.
BOOL PackRows(SURFOBJ *pso, LONG cRows, BYTE *pDst, BOOL bErase);
// Puts cRows packed lines back into the surface: undoes PackRows's erase.
VOID UnpackRows(SURFOBJ *pso, LONG cRows, const BYTE *pSrc);

struct _PDEV;

// Packs the first cRows rows of the surface into a staging buffer of the
// PDEV's heap, sends them as one image record and, when bEndPage, ends the
// page. With bErase the whole surface is white afterwards, as after
// EraseSurfaceWhite. FALSE with ERROR_NOT_ENOUGH_MEMORY when the buffer
// cannot be had (nothing is sent and the job goes on); FALSE with the PDEV
// aborted for good when the user aborted or the rows did not all reach the
// stream. Whenever it fails the surface holds what it held before.
BOOL SendRows(struct _PDEV *pdev, SURFOBJ *pso, LONG cRows, BOOL bEndPage, BOOL bErase);
