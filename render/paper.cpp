// The five papers the printer handles and the geometry of the selected one:
// paper size and printable rectangle in dots, in the page's orientation.
// The paper size follows from the millimetre values, so it can be a dot
// smaller than the printable rectangle of a borderless paper.
#include "paper.h"

#include <string.h>

#include "messages.h"
#include "pdev.h"
#include "text.h"

const PAPER_RECORD g_aPaperRecords[PAPER_RECORD_COUNT] = {
    // kind, -, paper mm, paper dots, image mm, image dots, margins L T R B
    {PAPER_KIND_POSTCARD, 0, 101.6, 152.4, 1612, 2418, 95.549, 143.324, 1516, 2274, 48, 72, 48, 72},
    {PAPER_KIND_POSTCARD, 0, 104.877, 155.425, 1664, 2466, 104.877, 155.425, 1664, 2466, 0, 0, 0, 0},
    {PAPER_KIND_3_5X5, 0, 88.995, 127.063, 1412, 2016, 83.952, 122.021, 1332, 1936, 40, 40, 40, 40},
    {PAPER_KIND_3_5X5, 0, 92.272, 130.088, 1464, 2064, 92.272, 130.088, 1464, 2064, 0, 0, 0, 0},
    {PAPER_KIND_SMALL, 0, 89.94, 101.6, 1427, 1612, 71.662, 95.549, 1137, 1516, 76, 48, 214, 48},
};

const PAPER_RECORD *PaperRecordFor(LONG kind, BOOL bBorder) {
  switch (kind) {
    case PAPER_KIND_3_5X5:
      return &g_aPaperRecords[bBorder ? 2 : 3];
    case PAPER_KIND_SMALL:
      return &g_aPaperRecords[4];  // Small is always printed with its border
    default:
      return &g_aPaperRecords[bBorder ? 0 : 1];
  }
}

VOID SetTrayFormNames(PDEV *pdev) {
  LPCWSTR pwszName = FormNameForKind(GetTrayPaperKind(pdev->hPrinter));
  CHAR szName[CCHFORMNAME];
  WideToAnsi(szName, pwszName, CCHFORMNAME);
  CopyAnsiBounded(pdev->form.szFormName, szName, CCHFORMNAME);
  CopyWideBounded(pdev->form.wszFormName, pwszName, CCHFORMNAME);
}

BOOL ComputePaperGeometry(PDEV *pdev) {
  FORMCOPY formCopy;
  if (MatchDevmodeForm(pdev->hPrinter, &pdev->dm, &formCopy) == FORM_NOT_MATCHED ||
      !IsKnownForm(&formCopy.fi, &pdev->form)) {
    SetTrayFormNames(pdev);
  }

  LONG kind = PAPER_KIND_POSTCARD;
  for (LONG candidate = 0; candidate < PAPER_KIND_COUNT; candidate++) {
    if (lstrcmpW(pdev->dm.dmFormName, FormNameForKind(candidate)) == 0) {
      kind = candidate;
      break;
    }
  }
  const PAPER_RECORD *pPaper = PaperRecordFor(kind, pdev->dmPrivate.dwBorder != 0);
  CURRENTFORM *pForm = &pdev->form;

  if ((pdev->dm.dmFields & DM_ORIENTATION) && pdev->dm.dmOrientation == DMORIENT_LANDSCAPE) {
    pForm->cxPaper = (LONG)(pPaper->dPaperHeightMm * DOTS_PER_MM);
    pForm->cyPaper = (LONG)(pPaper->dPaperWidthMm * DOTS_PER_MM);
    pForm->rclPrintable.left = pPaper->yTopMargin;
    pForm->rclPrintable.top = pPaper->xLeftMargin;
    pForm->rclPrintable.right = pPaper->yTopMargin + pPaper->cyImage;
    pForm->rclPrintable.bottom = pPaper->xLeftMargin + pPaper->cxImage;
    pForm->bLandscape = 1;
  } else {
    pForm->cxPaper = (LONG)(pPaper->dPaperWidthMm * DOTS_PER_MM);
    pForm->cyPaper = (LONG)(pPaper->dPaperHeightMm * DOTS_PER_MM);
    // The Small image sits at the right margin's distance from the left edge.
    LONG xLeft = kind == PAPER_KIND_SMALL ? pPaper->xRightMargin : pPaper->xLeftMargin;
    pForm->rclPrintable.left = xLeft;
    pForm->rclPrintable.top = pPaper->yTopMargin;
    pForm->rclPrintable.right = xLeft + pPaper->cxImage;
    pForm->rclPrintable.bottom = pPaper->yTopMargin + pPaper->cyImage;
    pForm->bLandscape = 0;
  }
  return TRUE;
}
