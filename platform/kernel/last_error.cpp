// The last-error code, one per thread as on Windows.
#include <windows.h>

namespace {
thread_local DWORD tlsLastError = ERROR_SUCCESS;
}

extern "C" DWORD WINAPI GetLastError(void) { return tlsLastError; }

extern "C" void WINAPI SetLastError(DWORD dwErrCode) { tlsLastError = dwErrCode; }
