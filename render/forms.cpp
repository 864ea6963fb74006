// The settings' form against the spooler's form list: which spooler forms
// are the printer's papers, the paper-size number of a form, and taking a
// matching form's sizes and exact name into the settings.
#include <string.h>

#include "messages.h"
#include "paper.h"
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

FORM_INFO_1W *EnumFormsAlloc(HANDLE hPrinter, DWORD *pcForms) {
  DWORD cbNeeded = 0;
  if (EnumFormsW(hPrinter, 1, NULL, 0, &cbNeeded, pcForms) || GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return NULL;
  }
  FORM_INFO_1W *pForms = (FORM_INFO_1W *)GlobalAlloc(GMEM_FIXED, cbNeeded);
  if (pForms == NULL) {
    return NULL;
  }
  if (!EnumFormsW(hPrinter, 1, (LPBYTE)pForms, cbNeeded, &cbNeeded, pcForms)) {
    GlobalFree(pForms);
    return NULL;
  }
  return pForms;
}

BOOL IsKnownForm(const FORM_INFO_1W *pForm, CURRENTFORM *pOut) {
  if (pForm == NULL || pForm->pName == NULL) {
    return FALSE;
  }
  static const LONG s_aBorderedRecord[PAPER_KIND_COUNT] = {0, 2, 4};
  for (LONG kind = 0; kind < PAPER_KIND_COUNT; kind++) {
    if (lstrcmpW(pForm->pName, FormNameForKind(kind)) != 0) {
      continue;
    }
    const PAPER_RECORD *pPaper = &g_aPaperRecords[s_aBorderedRecord[kind]];
    const RECTL *prcl = &pForm->ImageableArea;
    if (prcl->left != 0 || prcl->top != 0 || prcl->right / 1000 != (LONG)pPaper->dImageWidthMm ||
        prcl->bottom / 1000 != (LONG)pPaper->dImageHeightMm) {
      continue;
    }
    if (pOut != NULL) {
      CopyWideBounded(pOut->wszFormName, pForm->pName, CCHFORMNAME);
      pOut->rclPrintable.left = pPaper->xLeftMargin;
      pOut->rclPrintable.top = pPaper->yTopMargin;
      pOut->rclPrintable.right = pPaper->xLeftMargin + pPaper->cxImage;
      pOut->rclPrintable.bottom = pPaper->yTopMargin + pPaper->cyImage;
      pOut->cxPaper = (LONG)pPaper->cxPaperDots;
      pOut->cyPaper = (LONG)pPaper->cyPaperDots;
      pOut->bLandscape = 0;
    }
    return TRUE;
  }
  return FALSE;
}

SHORT FindFormIndex(HANDLE hPrinter, LPCWSTR pwszName) {
  SHORT index = -1;
  DWORD cForms = 0;
  FORM_INFO_1W *pForms = EnumFormsAlloc(hPrinter, &cForms);
  if (pForms == NULL) {
    return -1;
  }
  for (DWORD i = 0; i < cForms; i++) {
    if (IsKnownForm(&pForms[i], NULL) && lstrcmpW(pForms[i].pName, pwszName) == 0) {
      index = (SHORT)(i + 1);
      break;
    }
  }
  GlobalFree(pForms);
  return index;
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
  FORM_INFO_1W *pForms = EnumFormsAlloc(hPrinter, &cForms);
  if (pForms == NULL) {
    return FORM_NOT_MATCHED;
  }
  if (cForms == 0) {
    GlobalFree(pForms);
    return FORM_NOT_MATCHED;
  }
  if (pdm->dmFields & DM_FORMNAME) {
    for (DWORD i = 0; i < cForms; i++) {
      const FORM_INFO_1W *pForm = &pForms[i];
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
  GlobalFree(pForms);
  return result;
}
