// The local printers as the spooler lists them at level 2, for the printer
// operations of the library. Internal: not exported.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <scoped_handle.h>

// The records of one enumeration, in the spooler's order, in a buffer of
// the process heap that the list owns.
struct PrinterList {
  kvt::ScopedHeapBlock<BYTE> buffer;
  const PRINTER_INFO_2A *records = NULL;
  DWORD count = 0;
  DWORD error = ERROR_SUCCESS;  // 0 when the enumeration succeeded, else the code it ended with
};

// Enumerates the local printers into the empty `list`: first into 8,192
// bytes, and when that fails, once more into exactly the size the spooler
// reported as needed. When the second attempt fails too (or its buffer
// cannot be had), writes the "-->Error" result line alone and leaves the
// list empty with `error` set.
void EnumerateLocalPrinters(PrinterList *list);
