// The settings' form against the spooler's form list: which spooler forms
// are the printer's papers, the paper-size number of a form, and taking a
// matching form's sizes and exact name into the settings.
#include "forms.h"

#include <string.h>

#include "text.h"

namespace {

// Only the letters A to Z are folded; every other character must match.
WCHAR FoldAsciiLetter(WCHAR ch) { return (ch >= L'A' && ch <= L'Z') ? (WCHAR)(ch - L'A' + L'a') : ch; }

BOOL EqualFoldingAsciiLetters(LPCWSTR a, LPCWSTR b) {
  for (;; a++, b++) {
    if (FoldAsciiLetter(*a) != FoldAsciiLetter(*b)) {
      return FALSE;
    }
    if (*a == 0) {
      return TRUE;
    }
  }
}

}  // namespace

kvt::ScopedGlobalBlock<FORM_INFO_1W> EnumFormsAlloc(HANDLE hPrinter, DWORD *pcForms) {
  DWORD cbNeeded = 0;
  if (EnumFormsW(hPrinter, 1, NULL, 0, &cbNeeded, pcForms) || GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return {};
  }
  kvt::ScopedGlobalBlock<FORM_INFO_1W> forms((FORM_INFO_1W *)GlobalAlloc(GMEM_FIXED, cbNeeded));
  if (forms && !EnumFormsW(hPrinter, 1, (LPBYTE)forms.get(), cbNeeded, &cbNeeded, pcForms)) {
    forms.reset();
  }
  return forms;
}

BOOL IsKnownForm(const FORM_INFO_1W *pForm, CURRENTFORM *pOut) {
  if (pForm == NULL || pForm->pName == NULL) {
    return FALSE;
  }
  const LONG kind = PaperKindOfFormName(pForm->pName);
  if (kind == PAPER_KIND_NONE) {
    return FALSE;
  }
  // A spooler form of ours carries the image area of the bordered paper.
  const PAPER_RECORD *pPaper = PaperRecordFor(kind, TRUE);
  const RECTL *prcl = &pForm->ImageableArea;
  if (prcl->left != 0 || prcl->top != 0 || prcl->right / 1000 != (LONG)pPaper->dImageWidthMm ||
      prcl->bottom / 1000 != (LONG)pPaper->dImageHeightMm) {
    return FALSE;
  }
  if (pOut != NULL) {
    CopyWideBounded(pOut->wszFormName, pForm->pName, CCHFORMNAME);
    pOut->rclPrintable = PaperImageRect(pPaper);
    pOut->cxPaper = (LONG)pPaper->cxPaperDots;
    pOut->cyPaper = (LONG)pPaper->cyPaperDots;
    pOut->bLandscape = FALSE;
  }
  return TRUE;
}

SHORT FindFormIndex(HANDLE hPrinter, LPCWSTR pwszName) {
  DWORD cForms = 0;
  const kvt::ScopedGlobalBlock<FORM_INFO_1W> forms = EnumFormsAlloc(hPrinter, &cForms);
  if (!forms) {
    return -1;
  }
  const FORM_INFO_1W *pForms = forms.get();
  for (DWORD i = 0; i < cForms; i++) {
    if (IsKnownForm(&pForms[i], NULL) && lstrcmpW(pForms[i].pName, pwszName) == 0) {
      return (SHORT)(i + 1);
    }
  }
  return -1;
}

VOID UpdatePaperSize(HANDLE hPrinter, DEVMODEW *pdm) {
  pdm->dmFields &= ~(DWORD)(DM_PAPERLENGTH | DM_PAPERWIDTH);
  SHORT index = FindFormIndex(hPrinter, pdm->dmFormName);
  pdm->dmPaperSize = pdm->dmPaperSize >= 1 ? index : 0;
  pdm->dmFields |= DM_PAPERSIZE;
}

INT MatchDevmodeForm(HANDLE hPrinter, DEVMODEW *pdm, FORMCOPY *pFormOut) {
  // The copy is read later even when nothing matches: never leave it stale.
  memset(pFormOut, 0, sizeof(*pFormOut));
  INT result = FORM_NOT_MATCHED;
  DWORD cForms = 0;
  const kvt::ScopedGlobalBlock<FORM_INFO_1W> forms = EnumFormsAlloc(hPrinter, &cForms);
  if (!forms || cForms == 0) {
    return FORM_NOT_MATCHED;
  }
  if (pdm->dmFields & DM_FORMNAME) {
    for (DWORD i = 0; i < cForms; i++) {
      const FORM_INFO_1W *pForm = &forms.get()[i];
      if (pForm->pName == NULL || !EqualFoldingAsciiLetters(pForm->pName, pdm->dmFormName)) {
        continue;
      }
      pFormOut->fi = *pForm;
      CopyWideBounded(pFormOut->wszName, pForm->pName, CCHFORMNAME);
      pdm->dmPaperWidth = (SHORT)(pForm->Size.cx / 100);
      pdm->dmPaperLength = (SHORT)(pForm->Size.cy / 100);
      pdm->dmFields |= DM_FORMNAME;
      pdm->dmPaperSize = (SHORT)(i + 1);
      CopyWideBounded(pdm->dmFormName, pForm->pName, CCHFORMNAME);
      UpdatePaperSize(hPrinter, pdm);
      result = FORM_MATCHED;
      break;
    }
  }
  pFormOut->fi.pName = pFormOut->wszName;
  return result;
}
