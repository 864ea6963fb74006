// Deleting printers and printer drivers. A printer deleted while handles to
// it are open is marked pending deletion: its name is free at once (neither
// OpenPrinter nor EnumPrinters finds it), a job open on one of those handles
// keeps printing, and the printer with its data goes when the last handle
// closes. A driver that any printer uses, even one pending deletion, stays.
#include <winspool.h>

#include "../kernel/text.h"
#include "spooler_state.h"

#include <algorithm>

using namespace platform;

extern "C" BOOL WINAPI DeletePrinter(HANDLE hPrinter) {
  if (SpoolerUnavailable()) return FALSE;
  const PrinterHandle *handle = FindHandle(hPrinter);
  Printer *printer = handle != nullptr ? PrinterOf(*handle) : nullptr;
  if (printer == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if ((handle->access & DELETE) == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  // A second deletion of the same printer changes nothing and succeeds.
  // Deleting through a handle leaves at least that handle open, so the
  // printer is always removed by ClosePrinter.
  printer->pendingDeletion = true;
  return TRUE;
}

extern "C" BOOL WINAPI DeletePrinterDriverA(LPSTR pName, LPSTR pEnvironment, LPSTR pDriverName) {
  if (SpoolerUnavailable()) return FALSE;
  if (pName != nullptr && *pName != '\0') {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  // The driver name travels as a required pointer: a null one is refused by
  // the call itself.
  if (pDriverName == nullptr) {
    SetLastError(RPC_X_NULL_REF_POINTER);
    return FALSE;
  }
  SpoolerConfig &config = Spooler().config;
  const std::u16string environment = EnvironmentOf(pEnvironment);
  if (!IsKnownEnvironment(environment)) {
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return FALSE;
  }
  const std::u16string name = AnsiToWide(pDriverName);
  const PrinterDriver *driver = FindDriver(config, name, environment);
  if (driver == nullptr) {
    SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
    return FALSE;
  }
  // Printers of this machine use drivers of its own environment.
  if (EqualsIgnoreCase(environment, kLocalEnvironment)) {
    for (const Printer &printer : config.printers) {
      if (EqualsIgnoreCase(printer.driverName, name)) {
        SetLastError(ERROR_PRINTER_DRIVER_IN_USE);
        return FALSE;
      }
    }
  }
  std::erase_if(config.drivers, [driver](const PrinterDriver &item) { return &item == driver; });
  return TRUE;
}
