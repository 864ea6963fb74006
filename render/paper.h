// Paper geometry and forms: the paper records, the localized form names,
// matching the settings' form against the spooler's forms, and the
// printable rectangle in dots at 403 dpi.
#pragma once

#include <kvtddi.h>

// The selected paper, in dots from the paper's top-left corner.
typedef struct _CURRENTFORM {
  WCHAR wszFormName[CCHFORMNAME];
  CHAR szFormName[CCHFORMNAME];
  RECTL rclPrintable;
  LONG cxPaper;
  LONG cyPaper;
  LONG bLandscape;
} CURRENTFORM, *PCURRENTFORM;

struct _PDEV;

#define DEVICE_DPI 403
#define DOTS_PER_MM (403.0 / 25.4)

#define PAPER_KIND_POSTCARD 0
#define PAPER_KIND_3_5X5 1
#define PAPER_KIND_SMALL 2
#define PAPER_KIND_COUNT 3

// One paper as the printer handles it; millimetre and dot sizes of the sheet
// and of the image printed on it.
typedef struct _PAPER_RECORD {
  LONG dwKind;
  LONG dwReserved;
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

#define PAPER_RECORD_COUNT 5
extern const PAPER_RECORD g_aPaperRecords[PAPER_RECORD_COUNT];

// The record for a paper kind with or without the white border.
const PAPER_RECORD *PaperRecordFor(LONG kind, BOOL bBorder);

// A spooler form kept beyond the enumeration buffer: pName points at wszName.
typedef struct _FORMCOPY {
  FORM_INFO_1W fi;
  WCHAR wszName[CCHFORMNAME];
} FORMCOPY, *PFORMCOPY;

#define FORM_MATCHED 0
#define FORM_NOT_MATCHED 2

// The spooler's forms (level 1) in GlobalAlloc'ed memory, or null.
FORM_INFO_1W *EnumFormsAlloc(HANDLE hPrinter, DWORD *pcForms);
// TRUE when pForm carries a paper kind's localized name and the imageable
// area of its bordered record; then fills pOut (when given).
BOOL IsKnownForm(const FORM_INFO_1W *pForm, CURRENTFORM *pOut);
// 1-based position of the first known spooler form named pwszName, or -1.
SHORT FindFormIndex(HANDLE hPrinter, LPCWSTR pwszName);
// Brings dmPaperSize in line with the spooler's position of dmFormName.
VOID UpdatePaperSize(HANDLE hPrinter, DEVMODEW *pdm);
// Looks the settings' form up in the spooler's list (letters A-Z folded) and
// takes its sizes and exact name; FORM_MATCHED or FORM_NOT_MATCHED.
INT MatchDevmodeForm(HANDLE hPrinter, DEVMODEW *pdm, FORMCOPY *pFormOut);
// Names the current form after the paper loaded in the tray.
VOID SetTrayFormNames(struct _PDEV *pdev);
// Fills pdev->form from the merged settings; always TRUE.
BOOL ComputePaperGeometry(struct _PDEV *pdev);
