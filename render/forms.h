// The settings' form against the spooler's form list: which spooler forms
// are the printer's papers, the paper-size number of a form, and taking a
// matching form's sizes and exact name into the settings.
#pragma once

#include <kvtddi.h>

#include <scoped_handle.h>

#include "paper.h"

// A spooler form kept beyond the enumeration buffer: pName points at wszName.
typedef struct _FORMCOPY {
  FORM_INFO_1W fi;
  WCHAR wszName[CCHFORMNAME];
} FORMCOPY, *PFORMCOPY;

#define FORM_MATCHED 0
#define FORM_NOT_MATCHED 2

// The spooler's forms (level 1) in a GlobalAlloc block, or an empty block.
kvt::ScopedGlobalBlock<FORM_INFO_1W> EnumFormsAlloc(HANDLE hPrinter, DWORD *pcForms);
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
