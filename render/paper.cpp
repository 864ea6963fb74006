// The five paper records and what follows from them: the paper a form name
// stands for and the geometry of the selected paper (paper size and
// printable rectangle in dots, in the page's orientation). The paper size
// follows from the millimetre values, so it can be a dot smaller than the
// printable rectangle of a borderless paper.
#include "paper.h"

#include <string.h>

#include "forms.h"
#include "messages.h"
#include "pdev.h"
#include "printer_data.h"
#include "text.h"

namespace {

// Each record on two lines: what it is, then its sizes.
// clang-format off
const PAPER_RECORD g_aPaperRecords[] = {
    // kind, border, name
    //  paper mm, paper dots, image mm, image dots, margins L T R B
    {PAPER_KIND_POSTCARD, TRUE, MSG_FORM_POSTCARD,
     101.6, 152.4, 1612, 2418, 95.549, 143.324, 1516, 2274, 48, 72, 48, 72},
    {PAPER_KIND_POSTCARD, FALSE, MSG_FORM_POSTCARD,
     104.877, 155.425, 1664, 2466, 104.877, 155.425, 1664, 2466, 0, 0, 0, 0},
    {PAPER_KIND_3_5X5, TRUE, MSG_FORM_3_5X5,
     88.995, 127.063, 1412, 2016, 83.952, 122.021, 1332, 1936, 40, 40, 40, 40},
    {PAPER_KIND_3_5X5, FALSE, MSG_FORM_3_5X5,
     92.272, 130.088, 1464, 2064, 92.272, 130.088, 1464, 2064, 0, 0, 0, 0},
    {PAPER_KIND_SMALL, TRUE, MSG_FORM_SMALL,
     89.94, 101.6, 1427, 1612, 71.662, 95.549, 1137, 1516, 76, 48, 214, 48},
};
// clang-format on

}  // namespace

const PAPER_RECORD *PaperRecordFor(LONG kind, BOOL bBorder) {
  if (kind != PAPER_KIND_3_5X5 && kind != PAPER_KIND_SMALL) {
    kind = PAPER_KIND_POSTCARD;
  }
  const PAPER_RECORD *pBordered = NULL;
  for (const PAPER_RECORD &record : g_aPaperRecords) {
    if (record.lKind != kind) {
      continue;
    }
    if (!record.bBorder == !bBorder) {
      return &record;
    }
    if (record.bBorder) {
      pBordered = &record;
    }
  }
  return pBordered;
}

LPCWSTR FormNameForKind(LONG kind) { return LocalizedString(PaperRecordFor(kind, TRUE)->iFormNameMessage); }

LONG PaperKindOfFormName(LPCWSTR pwszName) {
  // Both records of a paper carry its name; the first one answers.
  for (const PAPER_RECORD &record : g_aPaperRecords) {
    if (lstrcmpW(pwszName, LocalizedString(record.iFormNameMessage)) == 0) {
      return record.lKind;
    }
  }
  return PAPER_KIND_NONE;
}

RECTL PaperImageRect(const PAPER_RECORD *pPaper) {
  RECTL rcl = {pPaper->xLeftMargin, pPaper->yTopMargin, pPaper->xLeftMargin + pPaper->cxImage,
               pPaper->yTopMargin + pPaper->cyImage};
  return rcl;
}

RECTL PrintableRect(const PAPER_RECORD *pPaper, BOOL bLandscape) {
  const RECTL rcl = PaperImageRect(pPaper);
  if (bLandscape) {
    // The page is the portrait sheet turned: its top margin runs along the left.
    RECTL rclTurned = {rcl.top, rcl.left, rcl.bottom, rcl.right};
    return rclTurned;
  }
  if (pPaper->lKind == PAPER_KIND_SMALL) {
    // The Small image sits at the right margin's distance from the left edge.
    RECTL rclSmall = {pPaper->xRightMargin, rcl.top, pPaper->xRightMargin + pPaper->cxImage, rcl.bottom};
    return rclSmall;
  }
  return rcl;
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

  LONG kind = PaperKindOfFormName(pdev->dm.dmFormName);
  if (kind == PAPER_KIND_NONE) {
    kind = PAPER_KIND_POSTCARD;
  }
  const PAPER_RECORD *pPaper = PaperRecordFor(kind, pdev->dmPrivate.dwBorder != 0);
  const BOOL bLandscape = (pdev->dm.dmFields & DM_ORIENTATION) && pdev->dm.dmOrientation == DMORIENT_LANDSCAPE;
  CURRENTFORM *pForm = &pdev->form;
  const LONG cxPortrait = (LONG)(pPaper->dPaperWidthMm * DOTS_PER_MM);
  const LONG cyPortrait = (LONG)(pPaper->dPaperHeightMm * DOTS_PER_MM);
  pForm->cxPaper = bLandscape ? cyPortrait : cxPortrait;
  pForm->cyPaper = bLandscape ? cxPortrait : cyPortrait;
  pForm->rclPrintable = PrintableRect(pPaper, bLandscape);
  pForm->bLandscape = bLandscape;
  return TRUE;
}
