// The exported deletions of a printer driver and of a port monitor: one
// spooler call each on the local machine and its own environment, its
// outcome in the log, the spooler's own result returned.
#include <windows.h>
#include <winspool.h>

#include "KvtSetup.h"
#include "run/log_result.h"

namespace {

// A spooler deletion by name on the local machine and its own environment.
typedef BOOL(WINAPI *DeleteByName)(LPSTR server, LPSTR environment, LPSTR name);

// One deletion, its outcome logged as `call`(name); the spooler's result.
INT DeleteLogged(DeleteByName remove, LPCSTR call, LPCSTR name) {
  if (name == NULL) {
    return 0;
  }
  const BOOL deleted = remove(NULL, NULL, const_cast<LPSTR>(name));
  LogResult(deleted, "%s(%s)", call, name);
  return deleted;
}

}  // namespace

INT WINAPI KVT_DeletePrinterDriver(LPCSTR driverName) {
  return DeleteLogged(DeletePrinterDriverA, "DeletePrinterDriver", driverName);
}

INT WINAPI KVT_DeleteMonitor(LPCSTR monitorName) { return DeleteLogged(DeleteMonitorA, "DeleteMonitor", monitorName); }
