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
