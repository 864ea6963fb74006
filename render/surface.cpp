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
  // A second enable must not strand the first surface.
  if (pdev->hsurf != NULL) {
    EngDeleteSurface(pdev->hsurf);
    pdev->hsurf = NULL;
  }
  const RECTL *prcl = &pdev->form.rclPrintable;
  pdev->cxSurface = prcl->right - prcl->left;
  pdev->cySurface = prcl->bottom - prcl->top;

  SIZEL sizl = {pdev->cxSurface, BAND_HEIGHT};
  LONG lStride = ((pdev->cxSurface * 3 + 3) / 4) * 4;
  HSURF hsurf = (HSURF)EngCreateBitmap(sizl, lStride, BMF_24BPP, BMF_TOPDOWN, NULL);
  if (hsurf == NULL) {
    return NULL;
  }
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
