// The library's three exports: the user-mode query, the hook table handed to
// the graphics engine, and the (empty) driver shutdown. The hook table is the
// one place that lists what the driver implements.
#include <string.h>

#include "hooks.h"

namespace {

// Function pointers pass through void(*)(void) on their way into a DRVFN:
// the published slot type matches none of the hooks' real signatures.
template <typename Fn>
PFN HookFn(Fn *pfn) {
  return reinterpret_cast<PFN>(reinterpret_cast<void (*)(void)>(pfn));
}

const DRVFN g_aDrvFn[] = {
    {INDEX_DrvEnablePDEV, HookFn(DrvEnablePDEV)},
    {INDEX_DrvResetPDEV, HookFn(DrvResetPDEV)},
    {INDEX_DrvCompletePDEV, HookFn(DrvCompletePDEV)},
    {INDEX_DrvDisablePDEV, HookFn(DrvDisablePDEV)},
    {INDEX_DrvEnableSurface, HookFn(DrvEnableSurface)},
    {INDEX_DrvDisableSurface, HookFn(DrvDisableSurface)},
    {INDEX_DrvStretchBlt, HookFn(DrvStretchBlt)},
    {INDEX_DrvSendPage, HookFn(DrvSendPage)},
    {INDEX_DrvStartPage, HookFn(DrvStartPage)},
    {INDEX_DrvStartDoc, HookFn(DrvStartDoc)},
    {INDEX_DrvEndDoc, HookFn(DrvEndDoc)},
    {INDEX_DrvStartBanding, HookFn(DrvStartBanding)},
    {INDEX_DrvNextBand, HookFn(DrvNextBand)},
    {INDEX_DrvStretchBltROP, HookFn(DrvStretchBltROP)},
    {INDEX_DrvPlgBlt, HookFn(DrvPlgBlt)},
};

#define DRVFN_COUNT (sizeof(g_aDrvFn) / sizeof(g_aDrvFn[0]))

}  // namespace

BOOL APIENTRY DrvQueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded) {
  if (dwMode != DRVQUERY_USERMODE) {
    return FALSE;
  }
  if (pcbNeeded != NULL) {
    *pcbNeeded = sizeof(DWORD);
  }
  if (pBuffer == NULL || cbBuf < sizeof(DWORD)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  const DWORD dwUserMode = 1;
  memcpy(pBuffer, &dwUserMode, sizeof(dwUserMode));
  return TRUE;
}

BOOL APIENTRY DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA *pded) {
  if (iEngineVersion < DDI_DRIVER_VERSION_NT5 || cj < sizeof(DRVENABLEDATA)) {
    SetLastError(ERROR_BAD_DRIVER_LEVEL);
    return FALSE;
  }
  if (pded == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  pded->iDriverVersion = DDI_DRIVER_VERSION_NT5;
  pded->c = DRVFN_COUNT;
  pded->pdrvfn = const_cast<DRVFN *>(g_aDrvFn);
  return TRUE;
}

VOID APIENTRY DrvDisableDriver(VOID) {}
