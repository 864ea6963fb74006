// The device context record: creation in its own private heap, validity,
// completion, reset in the middle of a document and destruction. Destroying
// the heap releases the PDEV and every job buffer at once.
#include "pdev.h"

#include <string.h>

#include "capabilities.h"
#include "hooks.h"
#include "printer_data.h"

namespace {

#define PDEV_HEAP_INITIAL_SIZE 8192

}  // namespace

BOOL IsValidPdev(const PDEV *pdev) {
  return pdev != NULL && pdev->dwSignature == PDEV_SIGNATURE && pdev->dwSignatureEnd == PDEV_SIGNATURE;
}

PDEV *PdevOfSurface(SURFOBJ *pso) {
  if (pso == NULL) {
    return NULL;
  }
  PDEV *pdev = (PDEV *)pso->dhpdev;
  return IsValidPdev(pdev) ? pdev : NULL;
}

PDEV *PdevForOutput(SURFOBJ *pso) {
  PDEV *pdev = PdevOfSurface(pso);
  if (pdev == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  return (pdev->flStatus & PDEVF_ABORTED) ? NULL : pdev;
}

BOOL InitPdev(PDEV *pdev, const DEVMODEW *pdm, LPCWSTR pwszDeviceName, HANDLE hPrinter) {
  pdev->flStatus = 0;
  pdev->dwSignatureEnd = PDEV_SIGNATURE;
  pdev->dwSignature = PDEV_SIGNATURE;
  pdev->pPrinterData = GetPrinterDataBlock(hPrinter);
  if (pdev->pPrinterData == NULL) {
    return FALSE;
  }
  InitDefaultDevmode(&pdev->dm, pwszDeviceName, hPrinter);
  // A refused DEVMODEW is not an error: the defaults stand.
  MergeDevmode(&pdev->dm, pdm, hPrinter);
  ComputePaperGeometry(pdev);
  pdev->lCopies = pdev->dm.dmCopies;
  pdev->cPages = 0;
  return TRUE;
}

VOID FreePdev(PDEV *pdev) {
  if (pdev->pPrinterData != NULL) {
    GlobalFree(pdev->pPrinterData);
    pdev->pPrinterData = NULL;
  }
  // The PDEV lives in this heap: nothing of it may be read afterwards.
  HANDLE hHeap = pdev->hHeap;
  HeapDestroy(hHeap);
}

DHPDEV APIENTRY DrvEnablePDEV(DEVMODEW *pdm, LPWSTR pwszLogAddress, ULONG cPat, HSURF *phsurfPatterns, ULONG cjCaps,
                              ULONG *pdevcaps, ULONG cjDevInfo, DEVINFO *pdi, HDEV hdev, LPWSTR pwszDeviceName,
                              HANDLE hDriver) {
  (void)pwszLogAddress;
  (void)hdev;
  HANDLE hHeap = HeapCreate(0, PDEV_HEAP_INITIAL_SIZE, 0);
  if (hHeap == NULL) {
    return NULL;
  }
  PDEV *pdev = (PDEV *)HeapAlloc(hHeap, 0, sizeof(PDEV));
  if (pdev == NULL) {
    HeapDestroy(hHeap);
    return NULL;
  }
  memset(pdev, 0, sizeof(PDEV));
  pdev->pwszDocName = NULL;
  pdev->hHeap = hHeap;
  pdev->hPrinter = hDriver;

  if (!InitPdev(pdev, pdm, pwszDeviceName, hDriver)) {
    FreePdev(pdev);
    return NULL;
  }
  FillGdiInfo(pdev, cjCaps, (GDIINFO *)pdevcaps);
  if (!FillDevInfo(pdev, cjDevInfo, pdi)) {
    FreePdev(pdev);
    return NULL;
  }
  // The driver supplies no fill patterns: the engine makes its own.
  if (phsurfPatterns != NULL) {
    for (ULONG i = 0; i < cPat; i++) {
      phsurfPatterns[i] = NULL;
    }
  }
  return (DHPDEV)pdev;
}

VOID APIENTRY DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev) {
  PDEV *pdev = (PDEV *)dhpdev;
  if (!IsValidPdev(pdev)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return;
  }
  pdev->hdev = hdev;
}

BOOL APIENTRY DrvResetPDEV(DHPDEV dhpdevOld, DHPDEV dhpdevNew) {
  PDEV *pdevOld = (PDEV *)dhpdevOld;
  PDEV *pdevNew = (PDEV *)dhpdevNew;
  if (!IsValidPdev(pdevOld) || !IsValidPdev(pdevNew)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Only the open document moves over; abort state and band position do not.
  if (pdevOld->flStatus & PDEVF_DOC_STARTED) {
    pdevNew->flStatus |= PDEVF_RESET_IN_DOC | PDEVF_DOC_STARTED;
    pdevNew->cPages = pdevOld->cPages;
  }
  return TRUE;
}

VOID APIENTRY DrvDisablePDEV(DHPDEV dhpdev) {
  PDEV *pdev = (PDEV *)dhpdev;
  if (!IsValidPdev(pdev)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return;
  }
  if (pdev->hpal != NULL) {
    EngDeletePalette(pdev->hpal);
    pdev->hpal = NULL;
  }
  FreePdev(pdev);
}
