// The two values the driver reads from the printer's stored data: the paper
// kind loaded in the tray and the opaque printer data block.
#pragma once

#include <kvtddi.h>

// The two pairs of per-printer data values: a 32-bit size value, then a data
// value of that many bytes.
#define PRINTER_PAIR_TRAY_FORM 0     // "TrayFormSize" / "TrayFormTable"
#define PRINTER_PAIR_PRINTER_DATA 1  // "PrinterDataSize" / "PrinterData"

// The data value of pair iPair in GlobalAlloc'ed memory (caller frees), or
// null when the printer has none, it cannot be read, or it holds fewer
// bytes than the pair's size value gives.
PVOID ReadPrinterBlob(HANDLE hPrinter, DWORD *pcbOut, INT iPair);
// The printer's opaque data block, else an 8-byte default; null only when
// even the default cannot be allocated. GlobalAlloc'ed, caller frees.
PVOID GetPrinterDataBlock(HANDLE hPrinter);
// The paper kind loaded in the tray; 0 when the printer data gives none.
LONG GetTrayPaperKind(HANDLE hPrinter);
