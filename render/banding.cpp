// Band hooks: the engine renders a page into the 100-line surface one band
// at a time; after each band the driver packs its rows and sends them as one
// image command, and after the page's last band it ends the page. The band
// advance is always 100 lines, so the last band carries only what is left.
#include "band_rows.h"
#include "hooks.h"
#include "pdev.h"
#include "spool.h"

namespace {

VOID SetNoMoreBands(POINTL *pptl) {
  pptl->x = -1;
  pptl->y = -1;
}

// The PDEV of a band call, or NULL when the call must fail: as for any
// output hook, and also for a missing band origin (ERROR_INVALID_PARAMETER).
PDEV *PdevForBanding(SURFOBJ *pso, POINTL *pptl) {
  PDEV *pdev = PdevForOutput(pso);
  if (pdev == NULL) {
    return NULL;
  }
  if (pptl == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  return pdev;
}

}  // namespace

BOOL APIENTRY DrvStartBanding(SURFOBJ *pso, POINTL *pptl) {
  PDEV *pdev = PdevForBanding(pso, pptl);
  if (pdev == NULL) {
    return FALSE;
  }
  pptl->x = 0;
  pptl->y = 0;
  pdev->yNextBand = 0;
  EraseSurfaceWhite(pso);
  // A lost start-of-page is tolerated; the page setup that follows is not.
  SendCommand(pdev->hPrinter, CMD_START_PAGE);
  const RECTL *prcl = &pdev->form.rclPrintable;
  return SendPageSetup(pdev->hPrinter, (DWORD)(prcl->right - prcl->left), (DWORD)(prcl->bottom - prcl->top), &pdev->dm);
}

BOOL APIENTRY DrvNextBand(SURFOBJ *pso, POINTL *pptl) {
  PDEV *pdev = PdevForBanding(pso, pptl);
  if (pdev == NULL) {
    return FALSE;
  }
  if (EngCheckAbort(pso)) {
    pdev->flStatus |= PDEVF_ABORTED;
    SetNoMoreBands(pptl);
    return FALSE;
  }

  LONG cRemaining = pdev->cySurface - pdev->yNextBand;
  LONG cRows = pso->sizlBitmap.cy < cRemaining ? pso->sizlBitmap.cy : cRemaining;
  // Called again after the page's last band: there is no band to send.
  if (cRows <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    SetNoMoreBands(pptl);
    return FALSE;
  }
  pdev->yNextBand += BAND_HEIGHT;
  const BOOL bLastBand = pdev->yNextBand >= pdev->cySurface;
  // The rows are sent and the surface left white for the next band.
  if (!SendRows(pdev, pso, cRows, bLastBand, TRUE)) {
    SetNoMoreBands(pptl);
    return FALSE;
  }
  if (bLastBand) {
    SetNoMoreBands(pptl);
  } else {
    pptl->x = 0;
    pptl->y = pdev->yNextBand;
  }
  return TRUE;
}
