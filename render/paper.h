// The papers the printer handles, as one table of paper records: which
// paper a localized form name stands for, each paper's sizes and margins,
// and the geometry of the selected paper in dots at 403 dpi.
#pragma once

#include <kvtddi.h>

// The selected paper, in dots from the paper's top-left corner.
typedef struct _CURRENTFORM {
  WCHAR wszFormName[CCHFORMNAME];
  CHAR szFormName[CCHFORMNAME];
  RECTL rclPrintable;
  LONG cxPaper;
  LONG cyPaper;
  BOOL bLandscape;
} CURRENTFORM, *PCURRENTFORM;

struct _PDEV;

#define DEVICE_DPI 403
#define DOTS_PER_MM (403.0 / 25.4)

#define PAPER_KIND_POSTCARD 0
#define PAPER_KIND_3_5X5 1
#define PAPER_KIND_SMALL 2
#define PAPER_KIND_COUNT 3
#define PAPER_KIND_NONE (-1)  // a form name that is none of the printer's papers

// One paper as the printer handles it, with or without its white border:
// millimetre and dot sizes of the sheet and of the image printed on it,
// and the message that names the paper.
typedef struct _PAPER_RECORD {
  LONG lKind;
  BOOL bBorder;
  INT iFormNameMessage;
  double dPaperWidthMm;
  double dPaperHeightMm;
  ULONG cxPaperDots;
  ULONG cyPaperDots;
  double dImageWidthMm;
  double dImageHeightMm;
  LONG cxImage;
  LONG cyImage;
  LONG xLeftMargin;
  LONG yTopMargin;
  LONG xRightMargin;
  LONG yBottomMargin;
} PAPER_RECORD, *PPAPER_RECORD;

// The record of a paper kind printed with or without its white border. An
// unknown kind is Post card; a paper without a borderless record (Small)
// keeps its border.
const PAPER_RECORD *PaperRecordFor(LONG kind, BOOL bBorder);
// The localized form name of a paper kind; unknown kinds read as Post card.
LPCWSTR FormNameForKind(LONG kind);
// The paper kind whose localized form name is exactly pwszName, or
// PAPER_KIND_NONE.
LONG PaperKindOfFormName(LPCWSTR pwszName);
// The image's rectangle on the portrait sheet as the record gives it: the
// left and top margins and the image size.
RECTL PaperImageRect(const PAPER_RECORD *pPaper);
// The rectangle the driver prints into, in the page's orientation.
RECTL PrintableRect(const PAPER_RECORD *pPaper, BOOL bLandscape);

// Names the current form after the paper loaded in the tray.
VOID SetTrayFormNames(struct _PDEV *pdev);
// Fills pdev->form from the merged settings; always TRUE.
BOOL ComputePaperGeometry(struct _PDEV *pdev);
