// The exported printer operations: whether a local printer uses a driver,
// and the deletion of every local printer that uses it. Both list each
// printer they examine, numbered in the spooler's order.
#include "KvtSetup.h"
#include "printing/printer_enum.h"
#include "run/bounded_text.h"
#include "run/log_result.h"

namespace {

void LogPrinterLine(DWORD index, const PRINTER_INFO_2A *record) {
  KVT_LogFileWrite("  %03d:%s(%s)", index, record->pPrinterName, record->pDriverName);
}

// Opens a printer for deletion, deletes it and closes the handle. The
// deletion is attempted even when the open failed: its error then tells why
// in the log, and the close of the null handle that follows fails as well.
// TRUE only when both the deletion and the close succeeded.
BOOL DeleteOnePrinter(LPSTR printerName) {
  PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
  kvt::ScopedPrinter printer;
  if (!OpenPrinterA(printerName, printer.receive(), &defaults)) {
    printer.release();  // whatever a failed open left there is no handle
  }
  const BOOL deleted = DeletePrinter(printer.get());
  LogResult(deleted, "DeletePrinter(%s)", printerName);
  // Closed here rather than by the owner: the close's result counts.
  const BOOL closed = ClosePrinter(printer.release());
  return deleted && closed;
}

}  // namespace

INT WINAPI KVT_FindPrinter(LPCSTR driverName) {
  if (driverName == NULL) {
    return 0;
  }
  KVT_LogFileWrite("KVT_FindPrinter(%s)", driverName);
  PrinterList list;
  EnumerateLocalPrinters(&list);
  INT found = 0;
  for (DWORD i = 0; i < list.count && !found; ++i) {
    LogPrinterLine(i, &list.records[i]);
    found = SameAnsiText(list.records[i].pDriverName, driverName) ? 1 : 0;
  }
  return found;
}

INT WINAPI KVT_DeleteAllPrinter(LPCSTR driverName) {
  if (driverName == NULL) {
    return 0;
  }
  KVT_LogFileWrite("KVT_DeleteAllPrinter(%s)", driverName);
  PrinterList list;
  EnumerateLocalPrinters(&list);
  if (list.error == RPC_S_SERVER_UNAVAILABLE) {
    return -1;
  }
  // 1 only when every printer of the driver is gone: a printer whose
  // deletion or close failed makes the result 0 even when later ones were
  // deleted, so that the caller never takes a printer left behind for done.
  INT result = list.error == ERROR_SUCCESS ? 1 : 0;
  for (DWORD i = 0; i < list.count; ++i) {
    const PRINTER_INFO_2A *record = &list.records[i];
    LogPrinterLine(i, record);
    if (SameAnsiText(record->pDriverName, driverName) && !DeleteOnePrinter(record->pPrinterName)) {
      result = 0;
    }
  }
  return result;
}
