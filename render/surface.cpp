// The band surface: a 24-bit top-down bitmap of 100 scan lines across the
// printable width, owned by the engine's memory and rendered into by the
// engine. Only the three blt hooks are routed through the driver.
#include "hooks.h"
#include "pdev.h"

HSURF APIENTRY DrvEnableSurface(DHPDEV dhpdev) {
  PDEV *pdev = (PDEV *)dhpdev;
  if (!IsValidPdev(pdev)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  const RECTL *prcl = &pdev->form.rclPrintable;
  LONG cx = prcl->right - prcl->left;
  LONG cy = prcl->bottom - prcl->top;
  SIZEL sizl = {cx, BAND_HEIGHT};
  LONG lStride = ((cx * 3 + 3) / 4) * 4;
  HSURF hsurf = (HSURF)EngCreateBitmap(sizl, lStride, BMF_24BPP, BMF_TOPDOWN, NULL);
  if (hsurf == NULL) {
    // A second enable that fails leaves the first surface in place.
    return NULL;
  }
  // A second enable must not strand the first surface.
  if (pdev->hsurf != NULL) {
    EngDeleteSurface(pdev->hsurf);
  }
  pdev->cxSurface = cx;
  pdev->cySurface = cy;
  EngAssociateSurface(hsurf, pdev->hdev, HOOK_STRETCHBLT | HOOK_PLGBLT | HOOK_STRETCHBLTROP);
  EngMarkBandingSurface(hsurf);
  pdev->hsurf = hsurf;
  return hsurf;
}

VOID APIENTRY DrvDisableSurface(DHPDEV dhpdev) {
  PDEV *pdev = (PDEV *)dhpdev;
  if (!IsValidPdev(pdev)) {
    return;
  }
  if (pdev->hsurf != NULL) {
    EngDeleteSurface(pdev->hsurf);
    pdev->hsurf = NULL;
  }
}
