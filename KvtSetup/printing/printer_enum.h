// The local printers as the spooler lists them at level 2, for the printer
// operations of the library. Internal: not exported.
#pragma once

#include <windows.h>
#include <winspool.h>

// The records of one enumeration, in the spooler's order, in a buffer that
// the list owns until ReleasePrinterList.
typedef struct PrinterList {
  LPBYTE buffer;
  const PRINTER_INFO_2A *records;
  DWORD count;
  DWORD error;  // 0 when the enumeration succeeded, else the code it ended with
} PrinterList;

// Enumerates the local printers: first into 8,192 bytes, and when that
// fails, once more into exactly the size the spooler reported as needed.
// When the second attempt fails too (or its buffer cannot be had), writes
// the "-->Error" result line alone and gives an empty list with `error` set.
// Always returns with a list that ReleasePrinterList can release.
void EnumerateLocalPrinters(PrinterList *list);

void ReleasePrinterList(PrinterList *list);

// Byte-for-byte equality of two ANSI texts: letter case counts and nothing
// is trimmed. A null text equals nothing.
BOOL SameAnsiText(LPCSTR left, LPCSTR right);
