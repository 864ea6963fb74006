// Moving finished pixels out of the band surface: erasing it to white and
// packing its rows without the row padding into a staging buffer.
#pragma once

#include <kvtddi.h>

#define WHITE_COLOR 0xFFFFFFFFu

// Erases the whole surface to white.
BOOL EraseSurfaceWhite(SURFOBJ *pso);
// Bytes of cRows packed rows of cx pixels; FALSE for a negative count or a
// size that one image command cannot carry.
BOOL PackedRowBytes(LONG cRows, LONG cx, DWORD *pcb);
// Copies the first cRows scan lines into pDst, cx * 3 bytes each, asking
// EngCheckAbort before every tenth line. FALSE when the user aborted.
BOOL PackRows(SURFOBJ *pso, LONG cRows, BYTE *pDst);
