// The printer enumeration with its buffer policy: one spooler call in the
// common case, and a single retry with the size that a failed call reported.
// The buffer comes from the process heap and goes back on every path.
#include "printing/printer_enum.h"

#include "run/log_result.h"

namespace {

const DWORD kFirstEnumSize = 8192;

LPBYTE TakeBuffer(DWORD size) { return static_cast<LPBYTE>(HeapAlloc(GetProcessHeap(), 0, size)); }

void GiveBack(LPBYTE buffer) {
  if (buffer != NULL) {
    HeapFree(GetProcessHeap(), 0, buffer);
  }
}

// One EnumPrintersA call into a fresh buffer of `size` bytes. On success the
// list holds the buffer; on failure the buffer is released again.
BOOL EnumerateInto(PrinterList *list, DWORD size, DWORD *needed) {
  LPBYTE buffer = TakeBuffer(size);
  if (buffer == NULL) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  DWORD returned = 0;
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer, size, needed, &returned)) {
    GiveBack(buffer);
    return FALSE;
  }
  list->buffer = buffer;
  list->records = reinterpret_cast<const PRINTER_INFO_2A *>(buffer);
  list->count = returned;
  return TRUE;
}

}  // namespace

void EnumerateLocalPrinters(PrinterList *list) {
  list->buffer = NULL;
  list->records = NULL;
  list->count = 0;
  list->error = ERROR_SUCCESS;
  // A failed call that reports no size leads to a second try of the same size.
  DWORD needed = kFirstEnumSize;
  if (EnumerateInto(list, kFirstEnumSize, &needed)) {
    return;
  }
  if (EnumerateInto(list, needed, &needed)) {
    return;
  }
  list->error = static_cast<DWORD>(LogResult(FALSE, NULL));
}

void ReleasePrinterList(PrinterList *list) {
  GiveBack(list->buffer);
  list->buffer = NULL;
  list->records = NULL;
  list->count = 0;
}

BOOL SameAnsiText(LPCSTR left, LPCSTR right) {
  if (left == NULL || right == NULL) {
    return FALSE;
  }
  while (*left != '\0' && *left == *right) {
    ++left;
    ++right;
  }
  return *left == *right;
}
