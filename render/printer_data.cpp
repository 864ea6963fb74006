// The two values the driver reads from the printer's stored data: the paper
// kind loaded in the tray and the opaque printer data block. Each is a pair
// of a 32-bit size value and a data value of that size. The size value is
// only a claim: a data value shorter than it counts as missing, so that no
// byte the spooler did not deliver is ever read.
#include "printer_data.h"

#include <string.h>

#include <scoped_handle.h>

#include "paper.h"

namespace {

typedef struct _PRINTER_PAIR {
  LPCWSTR pwszSizeName;
  LPCWSTR pwszDataName;
} PRINTER_PAIR;

const PRINTER_PAIR g_aPrinterPairs[] = {
    {L"TrayFormSize", L"TrayFormTable"},
    {L"PrinterDataSize", L"PrinterData"},
};

// The block a printer without stored data gets.
typedef struct _DEFAULT_PRINTER_DATA {
  WORD wVersion;
  WORD cbSize;
  DWORD dwReserved;
} DEFAULT_PRINTER_DATA;

const DEFAULT_PRINTER_DATA g_DefaultPrinterData = {0x400, sizeof(DEFAULT_PRINTER_DATA), 0};
static_assert(sizeof(DEFAULT_PRINTER_DATA) == 8);

}  // namespace

PVOID ReadPrinterBlob(HANDLE hPrinter, DWORD *pcbOut, INT iPair) {
  if (iPair < 0 || iPair >= (INT)(sizeof(g_aPrinterPairs) / sizeof(g_aPrinterPairs[0]))) {
    return NULL;
  }
  const PRINTER_PAIR *pPair = &g_aPrinterPairs[iPair];
  DWORD dwType = 0;
  DWORD cbNeeded = 0;
  DWORD cbData = 0;
  if (GetPrinterDataW(hPrinter, (LPWSTR)pPair->pwszSizeName, &dwType, (LPBYTE)&cbData, sizeof(cbData), &cbNeeded) !=
          ERROR_SUCCESS ||
      cbData == 0) {
    return NULL;
  }
  kvt::ScopedGlobalBlock<> data(GlobalAlloc(GMEM_FIXED, cbData));
  if (!data) {
    return NULL;
  }
  if (GetPrinterDataW(hPrinter, (LPWSTR)pPair->pwszDataName, &dwType, (LPBYTE)data.get(), cbData, &cbNeeded) !=
          ERROR_SUCCESS ||
      cbNeeded < cbData) {
    return NULL;
  }
  if (pcbOut != NULL) {
    *pcbOut = cbData;
  }
  return data.release();
}

PVOID GetPrinterDataBlock(HANDLE hPrinter) {
  PVOID pData = ReadPrinterBlob(hPrinter, NULL, PRINTER_PAIR_PRINTER_DATA);
  if (pData != NULL) {
    return pData;
  }
  pData = GlobalAlloc(GMEM_FIXED, sizeof(g_DefaultPrinterData));
  if (pData != NULL) {
    memcpy(pData, &g_DefaultPrinterData, sizeof(g_DefaultPrinterData));
  }
  return pData;
}

LONG GetTrayPaperKind(HANDLE hPrinter) {
  if (hPrinter == NULL) {
    return PAPER_KIND_POSTCARD;
  }
  DWORD cb = 0;
  const kvt::ScopedGlobalBlock<> data(ReadPrinterBlob(hPrinter, &cb, PRINTER_PAIR_TRAY_FORM));
  if (!data) {
    return PAPER_KIND_POSTCARD;
  }
  LONG kind = PAPER_KIND_POSTCARD;
  if (cb == sizeof(LONG)) {
    memcpy(&kind, data.get(), sizeof(LONG));
  }
  return kind;
}
