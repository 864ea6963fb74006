// What the spooler tells the other modules of the platform layer about its
// jobs. Only platform code includes this header; the libraries never do.
#pragma once

#include <windows.h>

namespace platform {

// True when the document open on printer handle `hPrinter` has been
// cancelled (SetJobW with JOB_CONTROL_CANCEL or JOB_CONTROL_DELETE). False
// for a handle without an open document, a closed or unknown handle, or null.
bool IsJobCancelled(HANDLE hPrinter);

}  // namespace platform
