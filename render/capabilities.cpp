// The capability records handed to GDI when a PDEV is enabled: GDIINFO (a
// 403 dpi, 24-bit raster printer whose surface is the printable rectangle)
// and DEVINFO (default fonts and the RGB device palette). Both are built
// whole and then copied only as far as the caller's buffer reaches.
#include "capabilities.h"

#include <string.h>

#include "pdev.h"
#include "text.h"

namespace {

// Millimetres per dot: the single-precision value nearest to 25.4 / 403.
const float kMillimetresPerDot = 0.0630272925f;

VOID FillDefaultFont(LOGFONTW *plf, SHORT sPrintQuality) {
  memset(plf, 0, sizeof(*plf));
  // A 10-point font at the device resolution, rounded.
  plf->lfHeight = -((10 * sPrintQuality + 36) / 72);
  plf->lfWeight = FW_NORMAL;
  plf->lfPitchAndFamily = FF_MODERN | FIXED_PITCH;
  CopyWideBounded(plf->lfFaceName, L"Courier", LF_FACESIZE);
}

}  // namespace

BOOL FillGdiInfo(PDEV *pdev, ULONG cj, GDIINFO *pGdiInfo) {
  if (pGdiInfo == NULL) {
    return FALSE;
  }
  const RECTL *prcl = &pdev->form.rclPrintable;
  LONG cx = prcl->right - prcl->left;
  LONG cy = prcl->bottom - prcl->top;

  GDIINFO gdi;
  memset(&gdi, 0, sizeof(gdi));
  gdi.ulVersion = 0x400;
  gdi.ulTechnology = DT_RASPRINTER;
  gdi.ulHorzSize = (ULONG)((float)cx * kMillimetresPerDot);
  gdi.ulVertSize = (ULONG)((float)cy * kMillimetresPerDot);
  gdi.ulHorzRes = (ULONG)cx;
  gdi.ulVertRes = (ULONG)cy;
  gdi.cBitsPixel = 24;
  gdi.cPlanes = 1;
  gdi.ulNumColors = 0x1000000;
  gdi.ulLogPixelsX = DEVICE_DPI;
  gdi.ulLogPixelsY = DEVICE_DPI;
  gdi.ulAspectX = DEVICE_DPI;
  gdi.ulAspectY = DEVICE_DPI;
  gdi.ulAspectXY = 569;  // the diagonal of a 403 x 403 square
  gdi.xStyleStep = 1;
  gdi.yStyleStep = 1;
  gdi.denStyleStep = pdev->dm.dmPrintQuality / 25;
  gdi.ptlPhysOffset.x = prcl->left;
  gdi.ptlPhysOffset.y = prcl->top;
  gdi.szlPhysSize.cx = pdev->form.cxPaper;
  gdi.szlPhysSize.cy = pdev->form.cyPaper;
  gdi.ulHTPatternSize = HT_PATSIZE_2x2;
  gdi.ulHTOutputFormat = HT_FORMAT_24BPP;

  memset(pGdiInfo, 0, cj);
  memcpy(pGdiInfo, &gdi, cj < sizeof(gdi) ? cj : sizeof(gdi));
  return TRUE;
}

BOOL FillDevInfo(PDEV *pdev, ULONG cj, DEVINFO *pDevInfo) {
  DEVINFO devinfo;
  memset(&devinfo, 0, sizeof(devinfo));
  FillDefaultFont(&devinfo.lfDefaultFont, pdev->dm.dmPrintQuality);
  devinfo.lfAnsiVarFont = devinfo.lfDefaultFont;
  devinfo.lfAnsiVarFont.lfPitchAndFamily = FF_SWISS | VARIABLE_PITCH;
  CopyWideBounded(devinfo.lfAnsiVarFont.lfFaceName, L"Helvetica", LF_FACESIZE);
  devinfo.lfAnsiFixFont = devinfo.lfDefaultFont;
  devinfo.iDitherFormat = BMF_24BPP;

  if (pdev->hpal != NULL) {
    EngDeletePalette(pdev->hpal);
    pdev->hpal = NULL;
  }
  HPALETTE hpal = EngCreatePalette(PAL_RGB, 0, NULL, 0, 0, 0);
  if (hpal == NULL) {
    return FALSE;
  }
  pdev->hpal = hpal;
  devinfo.hpalDefault = hpal;
  if (pDevInfo != NULL) {
    memcpy(pDevInfo, &devinfo, cj < sizeof(devinfo) ? cj : sizeof(devinfo));
  }
  return TRUE;
}
