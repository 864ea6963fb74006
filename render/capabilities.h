// The capability records handed to GDI when a PDEV is enabled.
#pragma once

#include <kvtddi.h>

struct _PDEV;

// GDIINFO of the PDEV's paper: at most cj bytes are written to the buffer.
BOOL FillGdiInfo(struct _PDEV *pdev, ULONG cj, GDIINFO *pGdiInfo);
// Creates the device palette and fills DEVINFO; FALSE (nothing copied) when
// the palette cannot be created.
BOOL FillDevInfo(struct _PDEV *pdev, ULONG cj, DEVINFO *pDevInfo);
