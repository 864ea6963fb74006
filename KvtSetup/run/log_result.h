// The result logger that every operation of the library uses after a
// system call. Internal: not exported.
#pragma once

#include <windows.h>

// Writes the action line formatted from `format` (nothing for a null
// format), then "-->Success" when `success` is not 0, else
// "-->Error(<code>):<system text>" with the thread's last-error code as the
// failed call left it. Returns 0 on success, else that code, which is also
// left as the thread's last-error code. The result is the same whether or
// not a log is open.
INT WINAPIV LogResult(INT success, LPCSTR format, ...);
