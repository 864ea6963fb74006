// The exported deletions of a printer driver and of a port monitor: one
// spooler call each on the local machine and its own environment, its
// outcome in the log, the spooler's own result returned.
#include <windows.h>
#include <winspool.h>

#include "KvtSetup.h"
#include "run/log_result.h"

INT WINAPI KVT_DeletePrinterDriver(LPCSTR driverName) {
  if (driverName == NULL) {
    return 0;
  }
  const BOOL deleted = DeletePrinterDriverA(NULL, NULL, const_cast<LPSTR>(driverName));
  LogResult(deleted, "DeletePrinterDriver(%s)", driverName);
  return deleted;
}

INT WINAPI KVT_DeleteMonitor(LPCSTR monitorName) {
  if (monitorName == NULL) {
    return 0;
  }
  const BOOL deleted = DeleteMonitorA(NULL, NULL, const_cast<LPSTR>(monitorName));
  LogResult(deleted, "DeleteMonitor(%s)", monitorName);
  return deleted;
}
