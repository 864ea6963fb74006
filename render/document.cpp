// Document and page hooks. A document is always closed in the stream, even
// after an abort; a page that was aborted or failed to write is never
// continued. DrvSendPage is the engine's non-banded way to finish a page.
#include <string.h>

#include "band_rows.h"
#include "hooks.h"
#include "pdev.h"
#include "spool.h"

BOOL APIENTRY DrvStartDoc(SURFOBJ *pso, LPWSTR pwszDocName, DWORD dwJobId) {
  (void)dwJobId;
  PDEV *pdev = PdevOfSurface(pso);
  if (pdev == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  pdev->flStatus |= PDEVF_DOC_STARTED;
  // A PDEV that took over an open document keeps its page count and name.
  if (!(pdev->flStatus & PDEVF_RESET_IN_DOC)) {
    pdev->cPages = 0;
    pdev->flStatus &= ~PDEVF_PAGE_STARTED;
    if (pdev->pwszDocName != NULL) {
      HeapFree(pdev->hHeap, 0, pdev->pwszDocName);
      pdev->pwszDocName = NULL;
    }
    if (pwszDocName != NULL) {
      SIZE_T cch = (SIZE_T)lstrlenW(pwszDocName) + 1;
      PWSTR pwszCopy = (PWSTR)HeapAlloc(pdev->hHeap, 0, cch * sizeof(WCHAR));
      if (pwszCopy == NULL) {
        return FALSE;
      }
      memcpy(pwszCopy, pwszDocName, cch * sizeof(WCHAR));
      pdev->pwszDocName = pwszCopy;
    }
  }
  // The printer side copes with a missing start; the job goes on.
  SendCommand(pdev->hPrinter, CMD_START_DOC);
  return TRUE;
}

BOOL APIENTRY DrvEndDoc(SURFOBJ *pso, FLONG fl) {
  (void)fl;
  PDEV *pdev = PdevOfSurface(pso);
  if (pdev == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  pdev->flStatus &= ~(PDEVF_DOC_STARTED | PDEVF_RESET_IN_DOC);
  // Nothing is left to protect once the document ends: a failure is ignored.
  SendCommand(pdev->hPrinter, CMD_END_DOC);
  return TRUE;
}

BOOL APIENTRY DrvStartPage(SURFOBJ *pso) {
  PDEV *pdev = PdevForOutput(pso);
  if (pdev == NULL) {
    return FALSE;
  }
  if (pdev->flStatus & PDEVF_PAGE_STARTED) {
    return TRUE;
  }
  EraseSurfaceWhite(pso);
  pdev->flStatus |= PDEVF_PAGE_STARTED;
  pdev->cPages++;
  return TRUE;
}

BOOL APIENTRY DrvSendPage(SURFOBJ *pso) {
  PDEV *pdev = PdevForOutput(pso);
  if (pdev == NULL) {
    return FALSE;
  }
  // The non-banded finish leaves the surface as it is.
  if (!SendRows(pdev, pso, pso->sizlBitmap.cy, TRUE, FALSE)) {
    return FALSE;
  }
  pdev->cPages++;
  pdev->flStatus &= ~PDEVF_PAGE_STARTED;
  return TRUE;
}
