// The printer enumeration with its buffer policy: one spooler call in the
// common case, and a single retry with the size that a failed call reported.
// The buffer comes from the process heap and goes back on every path.
#include "printing/printer_enum.h"

#include <utility>

#include "run/log_result.h"

namespace {

const DWORD kFirstEnumSize = 8192;

// One EnumPrintersA call into a fresh buffer of `size` bytes. On success the
// list holds the buffer; on failure the buffer is released again.
BOOL EnumerateInto(PrinterList *list, DWORD size, DWORD *needed) {
  const HANDLE heap = GetProcessHeap();
  kvt::ScopedHeapBlock<BYTE> buffer = kvt::HeapBlockOf(heap, static_cast<LPBYTE>(HeapAlloc(heap, 0, size)));
  if (!buffer) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  DWORD returned = 0;
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer.get(), size, needed, &returned)) {
    return FALSE;
  }
  list->records = reinterpret_cast<const PRINTER_INFO_2A *>(buffer.get());
  list->count = returned;
  list->buffer = std::move(buffer);
  return TRUE;
}

}  // namespace

void EnumerateLocalPrinters(PrinterList *list) {
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
