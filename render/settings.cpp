// The settings image of a PDEV: defaults, conversion of an application's
// DEVMODEW of any known version, and the merge that decides which of the
// application's fields the driver accepts. The image is sent to the printer
// byte for byte, so every byte written here is part of the job format.
#include "settings.h"

#include <string.h>

#include <scoped_handle.h>

#include "forms.h"
#include "paper.h"
#include "pdev.h"
#include "printer_data.h"
#include "text.h"

namespace {

#define DEVMODE_SIZE_320 188
#define DEVMODE_SIZE_400 212
#define DEVMODE_SIZE_401 220

// Our image always carries a 220-byte DEVMODEW, so its private block sits at
// a fixed place, whatever dmSize a caller's record claims.
PRIVDEVMODE *PrivateBlockOf(DEVMODEW *pdm) { return (PRIVDEVMODE *)((BYTE *)pdm + sizeof(DEVMODEW)); }

SHORT ClampOrDefault(SHORT value, SHORT lo, SHORT hi, SHORT fallback) {
  return (value < lo || value > hi) ? fallback : value;
}

VOID ClampPrivateValues(PRIVDEVMODE *pPriv) {
  pPriv->sRed = ClampOrDefault(pPriv->sRed, PRIV_COLOR_MIN, PRIV_COLOR_MAX, PRIV_COLOR_DEFAULT);
  pPriv->sGreen = ClampOrDefault(pPriv->sGreen, PRIV_COLOR_MIN, PRIV_COLOR_MAX, PRIV_COLOR_DEFAULT);
  pPriv->sBlue = ClampOrDefault(pPriv->sBlue, PRIV_COLOR_MIN, PRIV_COLOR_MAX, PRIV_COLOR_DEFAULT);
  pPriv->sDensity = ClampOrDefault(pPriv->sDensity, PRIV_DENSITY_MIN, PRIV_DENSITY_MAX, 0);
  pPriv->sSharpness = ClampOrDefault(pPriv->sSharpness, PRIV_SHARPNESS_MIN, PRIV_SHARPNESS_MAX, 0);
}

}  // namespace

WORD SpecVersionOf(const DEVMODEW *pdm) {
  if (pdm == NULL) {
    return 0;
  }
  switch (pdm->dmSize) {
    case DEVMODE_SIZE_320:
      return 0x320;
    case DEVMODE_SIZE_400:
      return 0x400;
    case DEVMODE_SIZE_401:
      return 0x401;
    default:
      return pdm->dmSpecVersion;
  }
}

VOID InitDefaultDevmode(DEVMODEW *pdm, LPCWSTR pwszDeviceName, HANDLE hPrinter) {
  memset(pdm, 0, SETTINGS_IMAGE_SIZE);
  CopyWideBounded(pdm->dmDeviceName, pwszDeviceName, CCHDEVICENAME);
  pdm->dmSpecVersion = DM_SPECVERSION;
  pdm->dmDriverVersion = 0x400;
  pdm->dmSize = sizeof(DEVMODEW);
  pdm->dmDriverExtra = sizeof(PRIVDEVMODE);
  pdm->dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_DEFAULTSOURCE | DM_FORMNAME;
  pdm->dmOrientation = DMORIENT_PORTRAIT;
  pdm->dmPaperSize = 0;
  pdm->dmPaperLength = 0;
  pdm->dmPaperWidth = 0;
  pdm->dmScale = 100;
  pdm->dmCopies = 1;
  pdm->dmDefaultSource = DMBIN_CASSETTE;
  pdm->dmPrintQuality = DEVICE_DPI;
  pdm->dmColor = DMCOLOR_COLOR;
  pdm->dmDuplex = DMDUP_SIMPLEX;
  pdm->dmYResolution = DEVICE_DPI;
  pdm->dmTTOption = DMTT_BITMAP;
  pdm->dmCollate = DMCOLLATE_FALSE;
  CopyWideBounded(pdm->dmFormName, FormNameForKind(GetTrayPaperKind(hPrinter)), CCHFORMNAME);
  UpdatePaperSize(hPrinter, pdm);
  pdm->dmLogPixels = DEVICE_DPI;
  pdm->dmBitsPerPel = 24;
  pdm->dmICMMethod = DMICMMETHOD_SYSTEM;
  pdm->dmICMIntent = DMICM_COLORIMETRIC;
  pdm->dmMediaType = DMMEDIA_STANDARD;
  pdm->dmDitherType = DMDITHER_NONE;

  PRIVDEVMODE *pPriv = PrivateBlockOf(pdm);
  pPriv->dwSignature = PDEV_SIGNATURE;
  pPriv->sRed = PRIV_COLOR_DEFAULT;
  pPriv->sGreen = PRIV_COLOR_DEFAULT;
  pPriv->sBlue = PRIV_COLOR_DEFAULT;
}

LONG ConvertDevmode(const DEVMODEW *pdmIn, DEVMODEW *pdmOut) {
  if (SpecVersionOf(pdmIn) == 0 || SpecVersionOf(pdmOut) == 0) {
    return -1;
  }
  WORD wOutDriverVersion = pdmOut->dmDriverVersion;
  WORD cbOutSize = pdmOut->dmSize;
  WORD cbOutExtra = pdmOut->dmDriverExtra;
  WORD wOutSpecVersion = SpecVersionOf(pdmOut);
  WORD cbInSize = pdmIn->dmSize;
  WORD cbInExtra = pdmIn->dmDriverExtra;

  // Never more than the output record holds: its own sizes bound the copy.
  WORD cbPublic = cbOutSize < cbInSize ? cbOutSize : cbInSize;
  memmove(pdmOut, pdmIn, cbPublic);
  pdmOut->dmSpecVersion = wOutSpecVersion;
  pdmOut->dmDriverExtra = cbOutExtra;
  pdmOut->dmDriverVersion = wOutDriverVersion;
  pdmOut->dmSize = cbOutSize;

  WORD cbPrivate = cbOutExtra < cbInExtra ? cbOutExtra : cbInExtra;
  memmove((BYTE *)pdmOut + cbOutSize, (const BYTE *)pdmIn + cbInSize, cbPrivate);
  return (LONG)cbPublic + (LONG)cbPrivate;
}

BOOL MergeDevmode(DEVMODEW *pdm, const DEVMODEW *pdmIn, HANDLE hPrinter) {
  if (pdmIn == NULL) {
    return TRUE;
  }
  const kvt::ScopedGlobalBlock<DEVMODEW> scratch((DEVMODEW *)GlobalAlloc(GMEM_FIXED, SETTINGS_IMAGE_SIZE));
  if (!scratch) {
    return FALSE;
  }
  DEVMODEW *pdmScratch = scratch.get();
  memcpy(pdmScratch, pdm, SETTINGS_IMAGE_SIZE);
  if (ConvertDevmode(pdmIn, pdmScratch) <= 0) {
    return FALSE;
  }

  if (pdmScratch->dmFields & DM_ORIENTATION) {
    pdm->dmFields |= DM_ORIENTATION;
    SHORT orientation = pdmScratch->dmOrientation;
    pdm->dmOrientation =
        (orientation == DMORIENT_PORTRAIT || orientation == DMORIENT_LANDSCAPE) ? orientation : DMORIENT_PORTRAIT;
  }

  // A caller's name need not be terminated; cut it inside its own field so
  // that the comparison cannot run into the fields behind it.
  pdmScratch->dmFormName[CCHFORMNAME - 1] = 0;
  if ((pdmScratch->dmFields & DM_FORMNAME) && PaperKindOfFormName(pdmScratch->dmFormName) != PAPER_KIND_NONE) {
    CopyWideBounded(pdm->dmFormName, pdmScratch->dmFormName, CCHFORMNAME);
  } else {
    CopyWideBounded(pdm->dmFormName, FormNameForKind(GetTrayPaperKind(hPrinter)), CCHFORMNAME);
  }
  pdm->dmFields &= ~(DWORD)(DM_PAPERLENGTH | DM_PAPERWIDTH);
  pdm->dmFields |= DM_FORMNAME;
  UpdatePaperSize(hPrinter, pdm);

  if (pdmScratch->dmFields & DM_COPIES) {
    pdm->dmFields |= DM_COPIES;
    pdm->dmCopies = pdmScratch->dmCopies;
  }
  // The printer has one resolution; a request for another is answered with it.
  if (pdmScratch->dmFields & DM_PRINTQUALITY) {
    pdm->dmFields |= DM_PRINTQUALITY;
    pdm->dmPrintQuality = DEVICE_DPI;
  }

  PRIVDEVMODE *pScratchPriv = PrivateBlockOf(pdmScratch);
  if (pScratchPriv->dwSignature == PDEV_SIGNATURE) {
    PRIVDEVMODE *pPriv = PrivateBlockOf(pdm);
    memcpy(pPriv, pScratchPriv, sizeof(PRIVDEVMODE));
    ClampPrivateValues(pPriv);
  }
  return TRUE;
}
